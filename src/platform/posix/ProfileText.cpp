#include "platform/posix/ProfileText.h"

namespace posix::profile {

std::string_view TrimBlanks(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsProfileBlank(text[begin]))
        ++begin;
    while (end > begin && IsProfileBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string_view TrimLeadingBlanks(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsProfileBlank(text[begin]))
        ++begin;
    return text.substr(begin);
}

std::string_view CutAtNul(std::string_view text) {
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

namespace {

char FoldAscii(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
}

// Trimmed text cut at its first NUL: what a stored name or value holds. The cut
// comes first so that blanks before a NUL never survive into a name.
std::string StoredText(std::string_view text) {
    return std::string(TrimBlanks(CutAtNul(text)));
}

} // namespace

std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (char& ch : folded)
        ch = FoldAscii(ch);
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

bool ProfileLineReader::Next(ProfileLine& line) {
    while (!m_rest.empty()) {
        size_t end = m_rest.find_first_of("\r\n");
        std::string_view text = TrimBlanks(m_rest.substr(0, end));
        if (end == std::string_view::npos)
            m_rest = std::string_view();
        else
            m_rest.remove_prefix(end + 1);
        if (text.empty())
            continue;
        if (text[0] == '[') {
            size_t close = text.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                line.kind = ProfileLine::Kind::Header;
                line.name = StoredText(text.substr(1, close - 1));
                line.value.clear();
                line.hasValue = false;
                return true;
            }
        }
        line.kind = ProfileLine::Kind::Key;
        size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            line.name = StoredText(text);
            line.value.clear();
            line.hasValue = false;
        } else {
            line.name = StoredText(text.substr(0, equals));
            line.value = StoredText(text.substr(equals + 1));
            line.hasValue = true;
        }
        return true;
    }
    return false;
}

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// True when the bytes that the lone surrogates from position i on stand for
// start with a UTF-8 sequence that EncodeUtf16 would take as one character.
// unitAt gives the unit at a byte position, count the end.
template <typename UnitAt> bool StartsUtf8Sequence(UnitAt unitAt, size_t i, size_t count) {
    auto byteAt = [&](size_t n) -> int {
        size_t at = i + 2 * n;
        if (at >= count)
            return -1;
        uint32_t unit = unitAt(at);
        return unit >= 0xDC80 && unit <= 0xDCFF ? static_cast<int>(unit - 0xDC00) : -1;
    };
    int lead = byteAt(0);
    size_t continuations = lead >= 0xC2 && lead <= 0xDF   ? 1
                           : lead >= 0xE0 && lead <= 0xEF ? 2
                           : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                          : 0;
    if (continuations == 0)
        return false;
    for (size_t n = 1; n <= continuations; ++n) {
        int next = byteAt(n);
        if (next < 0x80 || next > 0xBF)
            return false;
    }
    int second = byteAt(1);
    return !(lead == 0xE0 && second < 0xA0) && !(lead == 0xF0 && second < 0x90) &&
           !(lead == 0xF4 && second > 0x8F);
}

// UTF-16 code units to UTF-8. A lone surrogate DC80..DCFF stands for the single
// byte that EncodeUtf16 could not decode, unless such bytes would join into a
// character there; those and other lone surrogates keep their three-byte form.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unitAt = [&](size_t i) -> uint32_t {
        auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
        auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
        return static_cast<uint32_t>(hi << 8 | lo);
    };
    size_t count = bytes.size() / 2 * 2;
    for (size_t i = 0; i < count; i += 2) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 2 < count) {
            uint32_t next = unitAt(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xDC80 && unit <= 0xDCFF && !StartsUtf8Sequence(unitAt, i, count))
            out += static_cast<char>(unit - 0xDC00);
        else
            AppendUtf8(out, unit);
    }
    return out;
}

void AppendUnit(std::string& out, uint32_t unit, bool bigEndian) {
    char hi = static_cast<char>(unit >> 8);
    char lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
}

bool IsContinuation(unsigned char ch) {
    return (ch & 0xC0) == 0x80;
}

// UTF-8 to UTF-16 code units; a byte that starts no valid sequence becomes the
// lone surrogate DC00 + byte, which DecodeUtf16 turns back into that byte.
std::string EncodeUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2 + 2);
    AppendUnit(out, 0xFEFF, bigEndian);
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = at(i);
        size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF && i + 1 < text.size() &&
                   IsContinuation(at(i + 1))) {
            length = 2;
            code = (lead & 0x1Fu) << 6 | (at(i + 1) & 0x3Fu);
        } else if (lead >= 0xE0 && lead <= 0xEF && i + 2 < text.size() &&
                   IsContinuation(at(i + 1)) && IsContinuation(at(i + 2)) &&
                   !(lead == 0xE0 && at(i + 1) < 0xA0)) {
            length = 3;
            code = (lead & 0x0Fu) << 12 | (at(i + 1) & 0x3Fu) << 6 | (at(i + 2) & 0x3Fu);
        } else if (lead >= 0xF0 && lead <= 0xF4 && i + 3 < text.size() &&
                   IsContinuation(at(i + 1)) && IsContinuation(at(i + 2)) &&
                   IsContinuation(at(i + 3)) && !(lead == 0xF0 && at(i + 1) < 0x90) &&
                   !(lead == 0xF4 && at(i + 1) > 0x8F)) {
            length = 4;
            code = (lead & 0x07u) << 18 | (at(i + 1) & 0x3Fu) << 12 | (at(i + 2) & 0x3Fu) << 6 |
                   (at(i + 3) & 0x3Fu);
        }
        if (length == 0) {
            AppendUnit(out, 0xDC00 + lead, bigEndian);
            i += 1;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            AppendUnit(out, 0xD800 + (code >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + (code & 0x3FF), bigEndian);
        } else {
            AppendUnit(out, code, bigEndian);
        }
        i += length;
    }
    return out;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

const std::string_view kUtf8Bom("\xEF\xBB\xBF", 3);
const std::string_view kUtf16LEBom("\xFF\xFE", 2);
const std::string_view kUtf16BEBom("\xFE\xFF", 2);

} // namespace

DecodedProfile DecodeProfileBytes(std::string_view bytes) {
    DecodedProfile decoded;
    if (StartsWith(bytes, kUtf8Bom)) {
        decoded.encoding = ProfileEncoding::Utf8Bom;
        decoded.text.assign(bytes.substr(kUtf8Bom.size()));
    } else if (StartsWith(bytes, kUtf16LEBom)) {
        decoded.encoding = ProfileEncoding::Utf16LE;
        decoded.text = DecodeUtf16(bytes.substr(2), false);
    } else if (StartsWith(bytes, kUtf16BEBom)) {
        decoded.encoding = ProfileEncoding::Utf16BE;
        decoded.text = DecodeUtf16(bytes.substr(2), true);
    } else {
        decoded.text.assign(bytes);
    }
    return decoded;
}

std::string EncodeProfileText(std::string_view text, ProfileEncoding encoding) {
    switch (encoding) {
    case ProfileEncoding::Utf8Bom:
        return std::string(kUtf8Bom) + std::string(text);
    case ProfileEncoding::Utf16LE:
        return EncodeUtf16(text, false);
    case ProfileEncoding::Utf16BE:
        return EncodeUtf16(text, true);
    case ProfileEncoding::Ansi:
        break;
    }
    return std::string(text);
}

} // namespace posix::profile
