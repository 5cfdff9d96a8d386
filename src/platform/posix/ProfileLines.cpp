#include "platform/posix/ProfileLines.h"
#include "platform/AsciiText.h"

#include "platform/TextConversion.h"

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

// Trimmed text cut at its first NUL: what a stored name or value holds. The cut
// comes first so that blanks before a NUL never survive into a name.
std::string StoredText(std::string_view text) {
    return std::string(TrimBlanks(CutAtNul(text)));
}

} // namespace

std::string FoldedName(std::string_view name) {
    return ascii::Folded(name);
}

bool SameName(std::string_view a, std::string_view b) {
    return ascii::EqualNoCase(a, b);
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

// UTF-16 file bytes to lossless UTF-8 text; an odd last byte is dropped.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        auto first = static_cast<unsigned char>(bytes[2 * i]);
        auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text::WideToLossless(units);
}

// Lossless UTF-8 text to UTF-16 file bytes with a byte-order mark.
std::string EncodeUtf16(std::string_view text, bool bigEndian) {
    std::u16string units = u"\uFEFF" + text::LosslessToWide(text);
    std::string out(units.size() * 2, '\0');
    for (size_t i = 0; i < units.size(); ++i) {
        char high = static_cast<char>(units[i] >> 8);
        char low = static_cast<char>(units[i] & 0xFF);
        out[2 * i] = bigEndian ? high : low;
        out[2 * i + 1] = bigEndian ? low : high;
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
