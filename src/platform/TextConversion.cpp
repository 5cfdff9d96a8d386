#include "platform/TextConversion.h"

#ifdef _WIN32
#include "platform/winapi.h"
#else
#include "platform/posix/CodePage.h"
#endif

#include <cstdio>

namespace text {
namespace {

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the UTF-8 character at bytes[pos] and its code; 0 when the bytes
// there are not one. Lossless UTF-8 allows a lone surrogate's three-byte form,
// strict UTF-8 (code page 65001) no surrogate at all.
size_t Utf8At(std::string_view bytes, size_t pos, char32_t& code, bool lossless) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    unsigned char lead = at(0);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || bytes.size() - pos < length)
        return 0;
    for (size_t i = 1; i < length; i++)
        if (!IsContinuation(at(i)))
            return 0;
    if ((lead == 0xE0 && at(1) < 0xA0) || (lead == 0xF0 && at(1) < 0x90) ||
        (lead == 0xF4 && at(1) >= 0x90) || (!lossless && lead == 0xED && at(1) >= 0xA0))
        return 0;
    static const unsigned char kLeadMask[5] = {0, 0, 0x1F, 0x0F, 0x07};
    code = lead & kLeadMask[length];
    for (size_t i = 1; i < length; i++)
        code = code << 6 | (at(i) & 0x3F);
    // A high surrogate right before a low one is no form of anything: the pair
    // has its four-byte form. Such bytes go by the rule for invalid input.
    if (IsHighSurrogate(code) && bytes.size() - pos >= 6 && at(3) == 0xED && at(4) >= 0xB0)
        return 0;
    return length;
}

void AppendUtf8AsWide(std::u16string& out, std::string_view bytes, bool lossless) {
    out.reserve(out.size() + bytes.size());
    for (size_t pos = 0; pos < bytes.size();) {
        unsigned char byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            out += static_cast<char16_t>(byte);
            pos++;
            continue;
        }
        char32_t code = 0;
        size_t length = Utf8At(bytes, pos, code, lossless);
        if (length == 0) {
            out += static_cast<char16_t>(0xDC00 + byte);
            pos++;
        } else if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            pos += length;
        } else {
            out += static_cast<char16_t>(code);
            pos += length;
        }
    }
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

size_t AsciiPrefix(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        i++;
    return i;
}

} // namespace

bool IsAscii(std::string_view bytes) {
    return AsciiPrefix(bytes) == bytes.size();
}

void AppendWideAsLossless(std::string& out, std::u16string_view wide) {
    out.reserve(out.size() + wide.size());
    for (size_t i = 0; i < wide.size(); i++) {
        char32_t unit = wide[i];
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            i++;
        } else {
            AppendUtf8(out, unit);
        }
    }
}

void AppendLosslessAsWide(std::u16string& out, std::string_view lossless) {
    AppendUtf8AsWide(out, lossless, true);
}

void AppendUtf8AsWide(std::u16string& out, std::string_view utf8) {
    AppendUtf8AsWide(out, utf8, false);
}

bool AppendWideAsUtf8(std::string& out, std::u16string_view wide) {
    bool whole = true;
    for (size_t i = 0; i < wide.size(); i++) {
        char32_t unit = wide[i];
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            i++;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += static_cast<char>(unit - 0xDC00);
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out += '?';
            whole = false;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return whole;
}

std::string WideToLossless(std::u16string_view wide) {
    std::string out;
    AppendWideAsLossless(out, wide);
    return out;
}

std::u16string LosslessToWide(std::string_view lossless) {
    std::u16string out;
    AppendLosslessAsWide(out, lossless);
    return out;
}

size_t LosslessWideLength(std::string_view lossless) {
    size_t units = 0;
    for (size_t pos = 0; pos < lossless.size();) {
        if (static_cast<unsigned char>(lossless[pos]) < 0x80) {
            units++;
            pos++;
            continue;
        }
        char32_t code = 0;
        size_t length = Utf8At(lossless, pos, code, true);
        units += length != 0 && code >= 0x10000 ? 2 : 1;
        pos += length != 0 ? length : 1;
    }
    return units;
}

#ifdef _WIN32

unsigned AnsiCodePage() {
    return GetACP();
}

void AppendAnsiAsWide(std::u16string& out, std::string_view ansi) {
    if (ansi.empty())
        return;
    int count =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (count <= 0)
        return;
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), count);
    out.append(wide.begin(), wide.end());
}

bool AppendWideAsAnsi(std::string& out, std::u16string_view wide) {
    if (wide.empty())
        return true;
    std::wstring units(wide.begin(), wide.end());
    BOOL usedDefault = FALSE;
    int count = WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()),
                                    nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return false;
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(count));
    WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()), out.data() + at,
                        count, nullptr, &usedDefault);
    return !usedDefault;
}

#else

unsigned AnsiCodePage() {
    return posix::CodePage::Ansi().Number();
}

void AppendAnsiAsWide(std::u16string& out, std::string_view ansi) {
    posix::CodePage::Ansi().AppendWide(out, ansi);
}

bool AppendWideAsAnsi(std::string& out, std::u16string_view wide) {
    return posix::CodePage::Ansi().AppendBytes(out, wide);
}

#endif

bool AnsiHolds(std::u16string_view wide) {
    bool ascii = true;
    for (char16_t unit : wide)
        ascii = ascii && unit < 0x80;
    if (ascii)
        return true;
    std::string ansi;
    // Best-fit forms ("A" for "A with macron") count as lost too: only the
    // way back tells.
    AppendWideAsAnsi(ansi, wide);
    std::u16string back;
    AppendAnsiAsWide(back, ansi);
    return back == wide;
}

std::string_view AnsiToLossless(std::string_view ansi, std::string& scratch) {
    size_t ascii = AsciiPrefix(ansi);
    if (ascii == ansi.size())
        return ansi;
    std::u16string wide;
    AppendAnsiAsWide(wide, ansi.substr(ascii));
    scratch.assign(ansi.substr(0, ascii));
    AppendWideAsLossless(scratch, wide);
    return scratch;
}

std::string_view LosslessToAnsi(std::string_view lossless, std::string& scratch) {
    size_t ascii = AsciiPrefix(lossless);
    if (ascii == lossless.size())
        return lossless;
    std::u16string wide;
    AppendLosslessAsWide(wide, lossless.substr(ascii));
    scratch.assign(lossless.substr(0, ascii));
    AppendWideAsAnsi(scratch, wide);
    return scratch;
}

std::string AnsiToLossless(std::string_view ansi) {
    std::string scratch;
    return std::string(AnsiToLossless(ansi, scratch));
}

std::string LosslessToAnsi(std::string_view lossless) {
    std::string scratch;
    return std::string(LosslessToAnsi(lossless, scratch));
}

std::string PrintableAnsi(std::u16string_view wide) {
    std::string out;
    for (size_t i = 0; i < wide.size(); i++) {
        size_t length =
            IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1]) ? 2 : 1;
        std::u16string_view character = wide.substr(i, length);
        if (AnsiHolds(character)) {
            AppendWideAsAnsi(out, character);
        } else {
            for (char16_t unit : character) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
                out += escape;
            }
        }
        i += length - 1;
    }
    return out;
}

std::string AnsiLoss(const char* what, std::u16string_view wide) {
    if (AnsiHolds(wide))
        return std::string();
    return std::string(what) + " \"" + PrintableAnsi(wide) + "\" has characters that code page " +
           std::to_string(AnsiCodePage()) + " cannot hold";
}

} // namespace text
