#include "regfile/RegFileReader.h"

#include "platform/TextConversion.h"
#include "regfile/RegFileParser.h"
#include "regfile/RegFileText.h"

namespace regfile {
namespace {

using text_form::AppendEightBitAsText;
using text_form::AppendUtf16LeAsText;

// The number of the last line of text: lines end in CRLF, LF or CR.
int CountLines(std::string_view text) {
    int lines = 1;
    for (size_t i = 0; i < text.size(); i++)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            lines++;
    return lines;
}
} // namespace

RegParseResult ParseRegFile(std::string_view bytes, RegFileContent& content) {
    content = RegFileContent();
    return ParseRegFile(bytes, content.format,
                        [&content](RegFileKey& key) { content.keys.push_back(std::move(key)); });
}

RegParseResult ParseRegFile(std::string_view bytes, RegFileFormat& format,
                            const RegKeyVisitor& visit) {
    RegFileReader reader(bytes.size());
    reader.Add(bytes);
    return reader.Finish(format, visit);
}

RegFileReader::RegFileReader(size_t expectedSize) : m_expectedSize(expectedSize) {}

void RegFileReader::Add(std::string_view piece) {
    if (m_kind != Kind::Unknown) {
        Take(piece);
    } else if (m_pending.empty() && piece.size() >= 3) {
        TakeStart(piece);
    } else { // the first three bytes tell the encoding: wait for them
        m_pending.append(piece);
        if (m_pending.size() >= 3)
            TakePending();
    }
}

void RegFileReader::TakePending() {
    std::string start = std::move(m_pending);
    m_pending.clear();
    TakeStart(start);
}

void RegFileReader::TakeStart(std::string_view bytes) {
    auto startsWith = [&](std::string_view prefix) {
        return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
    };
    bool wide = startsWith("\xFF\xFE");
    // UTF-16LE without a byte-order mark: the header's first letter, then a zero byte.
    bool wideWithoutMark = !wide && bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0';
    if (startsWith("\xFE\xFF")) {
        m_kind = Kind::Utf16Be;
        return;
    }
    if (wide || wideWithoutMark) {
        m_kind = Kind::Utf16Le;
        m_text.reserve(m_expectedSize / 2);
        bytes.remove_prefix(wide ? 2 : 0);
    } else {
        m_kind = Kind::EightBit;
        m_text.reserve(m_expectedSize);
        if (startsWith("\xEF\xBB\xBF")) {
            m_utf8ByteOrderMark = true;
            bytes.remove_prefix(3);
        }
    }
    Take(bytes);
}

void RegFileReader::Take(std::string_view piece) {
    if (m_kind == Kind::EightBit) {
        m_text.append(piece);
        return;
    }
    // A big-endian file is refused by Finish.
    if (m_kind != Kind::Utf16Le)
        return;
    if (!m_pending.empty()) { // what the last piece held back comes first
        std::string joined = std::move(m_pending);
        m_pending.clear();
        joined.append(piece);
        Take(joined);
        return;
    }
    // Whole code units only, and a high surrogate waits for the unit after it:
    // pieces are cut where decoding them one by one gives the text of the whole.
    size_t whole = piece.size() & ~size_t{1};
    if (whole >= 2 && (static_cast<unsigned char>(piece[whole - 1]) & 0xFC) == 0xD8)
        whole -= 2;
    AppendUtf16LeAsText(m_text, piece.substr(0, whole));
    m_pending.assign(piece.substr(whole));
}

RegParseResult RegFileReader::Finish(RegFileFormat& format, const RegKeyVisitor& visit) {
    format = RegFileFormat();
    if (m_kind == Kind::Unknown)
        TakePending(); // a file of fewer than three bytes
    if (m_kind == Kind::Utf16Be) {
        RegParseResult result;
        result.error = RegParseError::BadEncoding;
        result.line = 1;
        result.message = "UTF-16 big-endian files are not supported; use UTF-16LE";
        return result;
    }
    if (m_kind == Kind::Utf16Le) {
        format.encoding = RegEncoding::Utf16Le;
        AppendUtf16LeAsText(m_text, m_pending); // a last odd byte is dropped
        if (m_pending.size() % 2 != 0) {
            RegParseResult result;
            result.error = RegParseError::BadEncoding;
            result.line = CountLines(m_text);
            result.message = "the file ends inside a UTF-16 character";
            return result;
        }
    } else {
        format.encoding = RegEncoding::EightBit;
        format.utf8ByteOrderMark = m_utf8ByteOrderMark;
        if (!text::IsAscii(m_text)) {
            // Decoded whole: a double-byte character may span the pieces.
            std::string decoded;
            AppendEightBitAsText(decoded, m_text, m_utf8ByteOrderMark);
            m_text = std::move(decoded);
        }
    }
    std::string_view text = m_text;
    while (!text.empty() && text.back() == '\0') // some tools pad the end with NULs
        text.remove_suffix(1);
    return ParseRegText(text, format, visit);
}

} // namespace regfile
