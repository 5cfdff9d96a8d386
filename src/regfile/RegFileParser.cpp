#include "regfile/RegFileParser.h"

#include "platform/AsciiText.h"
#include "platform/TextConversion.h"
#include "regfile/RegFileSyntax.h"
#include "regfile/RegFileText.h"
#include "regfile/RegHive.h"

namespace regfile {
namespace {

using namespace syntax;
using text_form::AppendEightBitAsText;
using text_form::Utf16LeBytesToText;

// The reader: one function per state, each consuming lines of the 8-bit text. Each
// key goes to the visitor once its values are read; its value list is used again
// for the next key, so that the values of a large file are not collected first.
class Parser {
  public:
    Parser(std::string_view text, RegFileFormat& format, const RegKeyVisitor& visit)
        : m_text(text), m_format(format), m_visit(visit) {}

    RegParseResult Run() {
        State state = State::Header;
        while (state != State::Done && state != State::Failed) {
            switch (state) {
            case State::Header:
                state = HeaderState();
                break;
            case State::LineStart:
                state = LineStartState();
                break;
            case State::HexContinuation:
                state = HexContinuationState();
                break;
            default:
                state = State::Failed;
                break;
            }
        }
        HandOverKey(); // the last key, or the one an error cut short
        return m_result;
    }

  private:
    enum class State { Header, LineStart, HexContinuation, Done, Failed };

    // The next line without its line break; false at the end of the text.
    bool NextLine(std::string_view& line) {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_pos;
        while (end < m_text.size() && m_text[end] != '\r' && m_text[end] != '\n')
            end++;
        line = m_text.substr(m_pos, end - m_pos);
        if (m_line == 0 && end < m_text.size())
            m_format.lineEnd = m_text[end] == '\n' ? RegLineEnd::Lf : RegLineEnd::CrLf;
        m_pos = end;
        if (m_pos < m_text.size()) {
            bool crlf =
                m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n';
            m_pos += crlf ? 2 : 1;
        }
        m_line++;
        return true;
    }

    State Fail(RegParseError error, std::string message) {
        m_result.error = error;
        m_result.line = m_line;
        m_result.message = std::move(message);
        return State::Failed;
    }

    // Binary content shows as NUL characters inside a line.
    bool HoldsNul(std::string_view line) { return line.find('\0') != std::string_view::npos; }

    // The first line names the format version.
    State HeaderState() {
        std::string_view line;
        if (!NextLine(line)) {
            m_line = 1;
            return Fail(RegParseError::EmptyFile, "the file is empty");
        }
        size_t first = SkipBlanks(line, 0);
        size_t last = line.size();
        while (last > first && IsBlank(line[last - 1]))
            last--;
        std::string_view header = line.substr(first, last - first);
        if (header == kHeaderVersion5)
            m_format.version = RegVersion::Version5;
        else if (header == kHeaderRegedit4)
            m_format.version = RegVersion::Regedit4;
        else
            return Fail(RegParseError::MissingHeader,
                        "not a registry export file: the first line must be \"" +
                            std::string(kHeaderVersion5) + "\" or \"" +
                            std::string(kHeaderRegedit4) + "\"");
        return State::LineStart;
    }

    // A line outside any value: blank, comment, [key] or the start of a value.
    State LineStartState() {
        std::string_view line;
        if (!NextLine(line))
            return State::Done;
        if (HoldsNul(line))
            return Fail(RegParseError::BadEncoding, "the line holds a NUL character");
        size_t pos = SkipBlanks(line, 0);
        if (pos == line.size() || line[pos] == ';')
            return State::LineStart;
        if (line[pos] == '[')
            return KeyLine(line.substr(pos + 1));
        if (line[pos] == '@' || line[pos] == '"')
            return ValueLine(line.substr(pos));
        return Fail(RegParseError::UnexpectedLine,
                    "expected a [key] line, a value line or a ';' comment");
    }

    // "[path]" or "[-path]"; rest follows the '['. A key name may hold ']', so the
    // path ends at the last ']' of the line.
    State KeyLine(std::string_view rest) {
        bool deleted = false;
        if (!rest.empty() && rest[0] == '-') {
            deleted = true;
            rest.remove_prefix(1);
        }
        size_t close = rest.rfind(']');
        if (close == std::string_view::npos)
            return Fail(RegParseError::BadKeyLine, "the key line has no closing ']'");
        if (!IsBlankOrComment(rest.substr(close + 1)))
            return Fail(RegParseError::TrailingText, "unexpected text after the key name");
        std::string_view path = rest.substr(0, close);
        if (path.empty())
            return Fail(RegParseError::BadKeyLine, "the key name is empty");
        if (HiveOfKeyPath(path) == RegHive::Unknown)
            return Fail(RegParseError::UnknownHive, "the key \"" + std::string(path) +
                                                        "\" does not start with a registry hive");
        HandOverKey();
        m_key.path = std::string(path);
        m_key.deleted = deleted;
        m_key.line = m_line;
        m_key.values.clear();
        m_haveKey = true;
        return State::LineStart;
    }

    void HandOverKey() {
        if (m_haveKey)
            m_visit(m_key);
        m_haveKey = false;
    }

    // "name"=data or @=data.
    State ValueLine(std::string_view line) {
        if (!m_haveKey)
            return Fail(RegParseError::ValueOutsideKey,
                        "a value comes before the first [key] line");
        if (m_key.deleted)
            return Fail(RegParseError::ValueOutsideKey, "a value follows a deleted [-key]");
        m_value = RegFileValue();
        size_t pos = 1;
        if (line[0] == '"' && !ReadQuoted(line, pos, m_value.name))
            return Fail(RegParseError::BadValueName, "the value name has no closing quote");
        pos = SkipBlanks(line, pos);
        if (pos == line.size() || line[pos] != '=')
            return Fail(RegParseError::BadValueName, "expected '=' after the value name");
        return ValueData(line.substr(SkipBlanks(line, pos + 1)));
    }

    // What follows the '=' of a value line; the first characters tell its kind.
    State ValueData(std::string_view data) {
        if (data.empty())
            return Fail(RegParseError::UnknownDataType, "the value has no data");
        if (data[0] == '"')
            return StringData(data);
        if (data[0] == '-')
            return DeletionData(data.substr(1));
        if (StartsWithNoCase(data, "dword:"))
            return DwordData(data.substr(6));
        if (StartsWithNoCase(data, "hex:")) {
            m_value.type = kRegBinary;
            return HexData(data.substr(4));
        }
        if (StartsWithNoCase(data, "hex("))
            return TypedHexData(data);
        return Fail(RegParseError::UnknownDataType,
                    "unknown value data: expected \"string\", dword:, hex: or hex(type):");
    }

    // "name"=-; rest follows the '-'.
    State DeletionData(std::string_view rest) {
        if (!IsBlankOrComment(rest))
            return Fail(RegParseError::TrailingText, "unexpected text after '-'");
        m_value.deleted = true;
        return StoreValue();
    }

    // hex(type):bytes, the type in 1 to 8 hex digits.
    State TypedHexData(std::string_view data) {
        size_t close = data.find(')');
        if (close == std::string_view::npos || close == 4 || close > 12 ||
            close + 1 >= data.size() || data[close + 1] != ':')
            return Fail(RegParseError::UnknownDataType, "expected hex(type): with a hex type");
        uint32_t type = 0;
        for (size_t i = 4; i < close; i++) {
            int digit = ascii::HexDigitValue(data[i]);
            if (digit < 0)
                return Fail(RegParseError::UnknownDataType, "expected hex(type): with a hex type");
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        m_value.type = type;
        return HexData(data.substr(close + 2));
    }

    // Reads a quoted text whose opening quote is before pos; pos ends after the
    // closing quote. False when the line ends first.
    static bool ReadQuoted(std::string_view line, size_t& pos, std::string& out) {
        while (pos < line.size()) {
            size_t runEnd = pos;
            while (runEnd < line.size() && line[runEnd] != '"' && line[runEnd] != '\\')
                runEnd++;
            out.append(line.data() + pos, runEnd - pos);
            pos = runEnd;
            if (pos == line.size())
                break;
            char c = line[pos];
            if (c == '"') {
                pos++;
                return true;
            }
            if (c == '\\' && pos + 1 < line.size()) {
                char escaped = line[pos + 1];
                switch (escaped) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case '\\':
                case '"':
                    out += escaped;
                    break;
                default: // not an escape: both characters stay, as the editor reads it
                    out += '\\';
                    out += escaped;
                    break;
                }
                pos += 2;
                continue;
            }
            out += c;
            pos++;
        }
        return false;
    }

    State StringData(std::string_view data) {
        size_t pos = 1;
        std::string text;
        text.reserve(data.size()); // the text and its NUL: never longer than quoted
        if (!ReadQuoted(data, pos, text))
            return Fail(RegParseError::BadString, "the string has no closing quote");
        if (!IsBlankOrComment(data.substr(pos)))
            return Fail(RegParseError::TrailingText, "unexpected text after the string");
        m_value.type = kRegSz;
        m_value.data = std::move(text);
        m_value.data += '\0';
        return StoreValue();
    }

    State DwordData(std::string_view text) {
        size_t pos = SkipBlanks(text, 0);
        size_t first = pos;
        uint32_t number = 0;
        while (pos < text.size() && ascii::HexDigitValue(text[pos]) >= 0 && pos - first < 9)
            number = number * 16 + static_cast<uint32_t>(ascii::HexDigitValue(text[pos++]));
        size_t digits = pos - first;
        if (digits == 0 || digits > 8 || !IsBlankOrComment(text.substr(pos)))
            return Fail(RegParseError::BadDword, "dword: needs 1 to 8 hex digits");
        m_value.type = kRegDword;
        for (int i = 0; i < 4; i++)
            m_value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return StoreValue();
    }

    // Hex bytes separated by commas; a backslash at the end continues the list on
    // the next line.
    State HexData(std::string_view text) {
        size_t pos = 0;
        for (;;) {
            pos = SkipBlanks(text, pos);
            if (pos == text.size() || text[pos] == ';')
                return FinishHexValue();
            if (text[pos] == '\\') {
                if (!IsBlankOrComment(text.substr(pos + 1)))
                    return Fail(RegParseError::BadHex, "unexpected text after '\\'");
                return State::HexContinuation;
            }
            int high = ascii::HexDigitValue(text[pos]);
            if (high < 0)
                return Fail(RegParseError::BadHex, "expected a hex byte such as 0a");
            int value = high;
            pos++;
            if (pos < text.size() && ascii::HexDigitValue(text[pos]) >= 0)
                value = value * 16 + ascii::HexDigitValue(text[pos++]);
            if (pos < text.size() && ascii::HexDigitValue(text[pos]) >= 0)
                return Fail(RegParseError::BadHex, "a hex byte has more than two digits");
            m_value.data += static_cast<char>(value);
            pos = SkipBlanks(text, pos);
            if (pos < text.size() && text[pos] == ',') {
                pos++;
            } else if (pos < text.size() && text[pos] != '\\' && text[pos] != ';') {
                return Fail(RegParseError::BadHex, "expected ',' between hex bytes");
            }
        }
    }

    // The line after a continued hex line; blank and comment lines are passed over.
    State HexContinuationState() {
        std::string_view line;
        if (!NextLine(line))
            return Fail(RegParseError::UnterminatedContinuation,
                        "the file ends after a line continued with '\\'");
        if (HoldsNul(line))
            return Fail(RegParseError::BadEncoding, "the line holds a NUL character");
        if (IsBlankOrComment(line))
            return State::HexContinuation;
        return HexData(line.substr(SkipBlanks(line, 0)));
    }

    // String data in hex is UTF-16LE in version 5 files, 8-bit text in version 4
    // files, and ends with a NUL. An odd last byte of UTF-16 data is kept apart,
    // and the data it ends is kept as it is.
    State FinishHexValue() {
        if (IsStringType(m_value.type)) {
            if (m_format.version == RegVersion::Version5 && m_value.data.size() % 2 != 0) {
                m_value.oddByte = static_cast<unsigned char>(m_value.data.back());
                m_value.data = Utf16LeBytesToText(m_value.data);
                return StoreValue();
            }
            if (m_format.version == RegVersion::Version5) {
                m_value.data = Utf16LeBytesToText(m_value.data);
            } else if (!text::IsAscii(m_value.data)) {
                std::string decoded;
                AppendEightBitAsText(decoded, m_value.data, m_format.utf8ByteOrderMark);
                m_value.data = std::move(decoded);
            }
            if (!m_value.data.empty() && m_value.data.back() != '\0')
                m_value.data += '\0';
        }
        return StoreValue();
    }

    State StoreValue() {
        m_key.values.push_back(std::move(m_value));
        m_value = RegFileValue();
        return State::LineStart;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    int m_line = 0;
    RegFileFormat& m_format;
    const RegKeyVisitor& m_visit;
    RegParseResult m_result;
    RegFileKey m_key; // the key being read, when m_haveKey
    bool m_haveKey = false;
    RegFileValue m_value;
};

} // namespace

RegParseResult ParseRegText(std::string_view text, RegFileFormat& format,
                            const RegKeyVisitor& visit) {
    return Parser(text, format, visit).Run();
}

} // namespace regfile
