#include "regfile/RegFileText.h"

#include "platform/TextConversion.h"

namespace regfile::text_form {
namespace {

// UTF-16LE bytes to code units; an odd last byte is dropped.
std::u16string Utf16LeUnits(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); i++)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return units;
}

} // namespace

std::string Utf16LeBytes(std::u16string_view units) {
    std::string bytes(units.size() * 2, '\0');
    char* out = bytes.data();
    for (char16_t unit : units) {
        *out++ = static_cast<char>(unit & 0xFF);
        *out++ = static_cast<char>(unit >> 8);
    }
    return bytes;
}

void AppendEightBitAsText(std::string& out, std::string_view bytes, bool utf8) {
    if (text::IsAscii(bytes)) {
        out.append(bytes);
        return;
    }
    std::u16string wide;
    if (utf8)
        text::AppendUtf8AsWide(wide, bytes);
    else
        text::AppendAnsiAsWide(wide, bytes);
    text::AppendWideAsLossless(out, wide);
}

void AppendTextAsEightBit(std::string& out, std::string_view text, bool utf8) {
    if (text::IsAscii(text)) {
        out.append(text);
        return;
    }
    std::u16string wide = text::LosslessToWide(text);
    if (utf8)
        text::AppendWideAsUtf8(out, wide);
    else
        text::AppendWideAsAnsi(out, wide);
}

// Runs of ASCII, nearly all of a registry export, are copied unit by unit and
// only the rest goes through the full conversion.
void AppendUtf16LeAsText(std::string& out, std::string_view bytes) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t units = bytes.size() / 2;
    auto isAscii = [in](size_t unit) { return in[2 * unit + 1] == 0 && in[2 * unit] < 0x80; };
    // Room for all ASCII, one byte a unit. Kept true throughout: the room left is
    // at least the number of units left.
    size_t used = out.size();
    out.resize(used + units);
    size_t i = 0;
    while (i < units) {
        char* dest = out.data() + used;
        size_t runStart = i;
        for (; i < units && isAscii(i); i++)
            *dest++ = static_cast<char>(in[2 * i]);
        used += i - runStart;
        size_t otherStart = i;
        while (i < units && !isAscii(i))
            i++;
        if (i > otherStart) {
            // Surrogate pairs stay whole: a run ends only before an ASCII unit.
            std::string other = text::WideToLossless(
                Utf16LeUnits(bytes.substr(2 * otherStart, 2 * (i - otherStart))));
            if (used + other.size() + (units - i) > out.size())
                out.resize(used + other.size() + (units - i));
            other.copy(out.data() + used, other.size());
            used += other.size();
        }
    }
    out.resize(used);
}

std::string Utf16LeBytesToText(std::string_view bytes) {
    std::string out;
    AppendUtf16LeAsText(out, bytes);
    return out;
}

void AppendTextAsUtf16Le(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() * 2);
    size_t i = 0;
    while (i < text.size()) {
        size_t runEnd = i;
        while (runEnd < text.size() && static_cast<unsigned char>(text[runEnd]) < 0x80)
            runEnd++;
        if (runEnd > i) {
            size_t at = out.size();
            out.resize(at + 2 * (runEnd - i));
            char* dest = out.data() + at;
            for (; i < runEnd; i++) {
                *dest++ = text[i];
                *dest++ = '\0';
            }
        }
        // The rest runs to the next ASCII byte, which never lies inside a
        // UTF-8 character.
        size_t otherEnd = i;
        while (otherEnd < text.size() && static_cast<unsigned char>(text[otherEnd]) >= 0x80)
            otherEnd++;
        if (otherEnd > i) {
            out += Utf16LeBytes(text::LosslessToWide(text.substr(i, otherEnd - i)));
            i = otherEnd;
        }
    }
}

} // namespace regfile::text_form
