#include "platform/RegExportFormat.h"
#include "platform/AsciiText.h"

#include "platform/TextConversion.h"

namespace regfile {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderRegedit4 = "REGEDIT4";

// The registry editor cuts hex data after the comma that reaches this column.
constexpr size_t kHexWrapColumn = 77;

bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           ascii::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        pos++;
    return pos;
}

// True when nothing but blanks and perhaps a ';' comment is left.
bool IsBlankOrComment(std::string_view text) {
    size_t pos = SkipBlanks(text, 0);
    return pos == text.size() || text[pos] == ';';
}

std::string Utf16LeBytes(std::u16string_view units) {
    std::string bytes(units.size() * 2, '\0');
    char* out = bytes.data();
    for (char16_t unit : units) {
        *out++ = static_cast<char>(unit & 0xFF);
        *out++ = static_cast<char>(unit >> 8);
    }
    return bytes;
}

// UTF-16LE bytes to code units; an odd last byte is dropped.
std::u16string Utf16LeUnits(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); i++)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return units;
}

// UTF-16LE bytes to lossless UTF-8 text; defined below.
std::string Utf16LeBytesToText(std::string_view bytes);

// The 8-bit text of a file to lossless UTF-8 and back: the ANSI code page, or
// UTF-8 in a file that starts with a UTF-8 byte-order mark.
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

// ---- reader -----------------------------------------------------------------------

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
        std::string_view data = line.substr(SkipBlanks(line, pos + 1));
        if (data.empty())
            return Fail(RegParseError::UnknownDataType, "the value has no data");
        if (data[0] == '"')
            return StringData(data);
        if (data[0] == '-') {
            if (!IsBlankOrComment(data.substr(1)))
                return Fail(RegParseError::TrailingText, "unexpected text after '-'");
            m_value.deleted = true;
            return StoreValue();
        }
        if (StartsWithNoCase(data, "dword:"))
            return DwordData(data.substr(6));
        if (StartsWithNoCase(data, "hex:")) {
            m_value.type = kRegBinary;
            return HexData(data.substr(4));
        }
        if (StartsWithNoCase(data, "hex(")) {
            size_t close = data.find(')');
            if (close == std::string_view::npos || close == 4 || close > 12 ||
                close + 1 >= data.size() || data[close + 1] != ':')
                return Fail(RegParseError::UnknownDataType, "expected hex(type): with a hex type");
            uint32_t type = 0;
            for (size_t i = 4; i < close; i++) {
                int digit = ascii::HexDigitValue(data[i]);
                if (digit < 0)
                    return Fail(RegParseError::UnknownDataType,
                                "expected hex(type): with a hex type");
                type = type * 16 + static_cast<uint32_t>(digit);
            }
            m_value.type = type;
            return HexData(data.substr(close + 2));
        }
        return Fail(RegParseError::UnknownDataType,
                    "unknown value data: expected \"string\", dword:, hex: or hex(type):");
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

int CountLines(std::string_view text) {
    int lines = 1;
    for (size_t i = 0; i < text.size(); i++)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            lines++;
    return lines;
}

// ---- writer helpers ------------------------------------------------------------------

// Appends a name or a string escaped for the inside of double quotes.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t runEnd = pos;
        while (runEnd < text.size() && text[runEnd] != '\\' && text[runEnd] != '"' &&
               text[runEnd] != '\n' && text[runEnd] != '\r')
            runEnd++;
        out.append(text.data() + pos, runEnd - pos);
        if (runEnd == text.size())
            break;
        switch (text[runEnd]) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        default: // '\r'
            out += "\\r";
            break;
        }
        pos = runEnd + 1;
    }
}

// A string the quoted form gives back exactly: one final NUL, no control
// characters, and in UTF-16 files no lone surrogate (ED A0..BF in lossless
// UTF-8), which text tools do not keep.
bool IsPlainString(std::string_view data, bool utf16) {
    if (data.empty() || data.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < data.size(); i++) {
        unsigned char byte = static_cast<unsigned char>(data[i]);
        if (byte < 0x20 ||
            (utf16 && byte == 0xED && static_cast<unsigned char>(data[i + 1]) >= 0xA0))
            return false;
    }
    return true;
}

void AppendHexByte(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

} // namespace

// ---- public ------------------------------------------------------------------------

namespace {

// UTF-16LE file bytes appended to `out` as lossless UTF-8 text: runs of ASCII,
// nearly all of a registry export, are copied unit by unit and only the rest goes
// through the full conversion.
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

// Lossless UTF-8 text appended to `out` as UTF-16LE bytes.
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
    return Parser(text, format, visit).Run();
}

RegHive HiveOfKeyPath(std::string_view path, std::string_view* rest) {
    size_t separator = path.find('\\');
    std::string_view hive = path.substr(0, separator);
    if (rest)
        *rest =
            separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
    struct Name {
        std::string_view longName, shortName;
        RegHive hive;
    };
    static const Name names[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", RegHive::ClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", RegHive::CurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", RegHive::LocalMachine},
        {"HKEY_USERS", "HKU", RegHive::Users},
        {"HKEY_CURRENT_CONFIG", "HKCC", RegHive::CurrentConfig},
        {"HKEY_DYN_DATA", "HKEY_DYN_DATA", RegHive::DynData},
        {"HKEY_PERFORMANCE_DATA", "HKEY_PERFORMANCE_DATA", RegHive::PerformanceData},
    };
    for (const Name& name : names)
        if (ascii::EqualNoCase(hive, name.longName) || ascii::EqualNoCase(hive, name.shortName))
            return name.hive;
    return RegHive::Unknown;
}

RegExportWriter::RegExportWriter(const RegFileFormat& format, RegTextInput input)
    : m_format(format), m_input(input) {
    AddLine(m_format.version == RegVersion::Version5 ? kHeaderVersion5 : kHeaderRegedit4);
}

void RegExportWriter::AddLine(std::string_view text) {
    m_text += text;
    EndLine();
}

void RegExportWriter::EndLine() {
    m_text += m_format.lineEnd == RegLineEnd::Lf ? "\n" : "\r\n";
    // Encoding in small pieces keeps one copy of a large file in memory, not three.
    if (m_text.size() >= 0x10000)
        EncodeText();
}

void RegExportWriter::EncodeText() {
    if (!m_started) {
        m_started = true;
        if (m_format.encoding == RegEncoding::Utf16Le)
            m_encoded += "\xFF\xFE";
        else if (m_format.utf8ByteOrderMark)
            m_encoded += "\xEF\xBB\xBF";
    }
    // m_text ends at a line end, never inside a character.
    if (m_format.encoding == RegEncoding::Utf16Le)
        AppendTextAsUtf16Le(m_encoded, m_text);
    else
        AppendTextAsEightBit(m_encoded, m_text, m_format.utf8ByteOrderMark);
    m_text.clear();
}

std::string RegExportWriter::TakeBytes() {
    EncodeText();
    std::string bytes = std::move(m_encoded);
    m_encoded.clear();
    return bytes;
}

std::string_view RegExportWriter::Input(std::string_view text, std::string& scratch) const {
    return m_input == RegTextInput::Ansi ? text::AnsiToLossless(text, scratch) : text;
}

void RegExportWriter::AddKey(std::string_view path) {
    std::string scratch;
    path = Input(path, scratch);
    EndLine();
    m_text += '[';
    m_text += path;
    m_text += ']';
    EndLine();
}

void RegExportWriter::AddDeletedKey(std::string_view path) {
    std::string scratch;
    path = Input(path, scratch);
    EndLine();
    m_text += "[-";
    m_text += path;
    m_text += ']';
    EndLine();
}

void RegExportWriter::AppendValueName(std::string_view name) {
    std::string scratch;
    name = Input(name, scratch);
    if (name.empty()) {
        m_text += "@=";
        return;
    }
    m_text += '"';
    AppendEscaped(m_text, name);
    m_text += "\"=";
}

void RegExportWriter::AddValue(std::string_view name, uint32_t type, std::string_view data,
                               int16_t oddByte) {
    std::string scratch;
    if (IsStringType(type))
        data = Input(data, scratch);
    else
        oddByte = kNoOddByte;
    if (oddByte != kNoOddByte) {
        AddHexValue(name, type, data, oddByte);
    } else if (type == kRegSz && IsPlainString(data, m_format.encoding == RegEncoding::Utf16Le)) {
        AppendValueName(name);
        m_text += '"';
        AppendEscaped(m_text, data.substr(0, data.size() - 1));
        m_text += '"';
        EndLine();
    } else if (type == kRegDword && data.size() == 4) {
        AppendValueName(name);
        m_text += "dword:";
        for (int i = 3; i >= 0; i--)
            AppendHexByte(m_text, static_cast<unsigned char>(data[static_cast<size_t>(i)]));
        EndLine();
    } else {
        AddHexValue(name, type, data, kNoOddByte);
    }
}

void RegExportWriter::AddDeletedValue(std::string_view name) {
    AppendValueName(name);
    m_text += '-';
    EndLine();
}

void RegExportWriter::AddHexValue(std::string_view name, uint32_t type, std::string_view data,
                                  int16_t oddByte) {
    std::string wide;
    std::string_view bytes = data;
    if (IsStringType(type) && m_format.version == RegVersion::Version5) {
        wide = Utf16LeBytes(text::LosslessToWide(data));
        // Version 4 files, whose string data is 8-bit text, have no odd bytes.
        if (oddByte != kNoOddByte)
            wide += static_cast<char>(oddByte);
        bytes = wide;
    } else if (IsStringType(type) && !text::IsAscii(data)) {
        AppendTextAsEightBit(wide, data, m_format.utf8ByteOrderMark);
        bytes = wide;
    }
    AddStoredValue(name, type, bytes);
}

void RegExportWriter::AddStoredValue(std::string_view name, uint32_t type, std::string_view bytes) {
    // m_text ends at a line end: the line starts here.
    size_t lineStart = m_text.size();
    AppendValueName(name);
    if (type == kRegBinary) {
        m_text += "hex:";
    } else {
        static const char digits[] = "0123456789abcdef";
        char tag[8];
        size_t tagStart = sizeof tag;
        uint32_t rest = type;
        do {
            tag[--tagStart] = digits[rest & 0x0F];
            rest >>= 4;
        } while (rest != 0);
        m_text += "hex(";
        m_text.append(tag + tagStart, sizeof tag - tagStart);
        m_text += "):";
    }
    // Columns count characters as the editor does: UTF-16 units in version 5
    // files, bytes in version 4 files.
    std::string_view start = std::string_view(m_text).substr(lineStart);
    size_t column = start.size();
    if (!text::IsAscii(start)) {
        std::string eightBit;
        AppendTextAsEightBit(eightBit, start, m_format.utf8ByteOrderMark);
        column = m_format.version == RegVersion::Version5 ? text::LosslessWideLength(start)
                                                          : eightBit.size();
    }
    for (size_t i = 0; i < bytes.size(); i++) {
        AppendHexByte(m_text, static_cast<unsigned char>(bytes[i]));
        if (i + 1 == bytes.size())
            break;
        m_text += ',';
        column += 3;
        if (column >= kHexWrapColumn) {
            m_text += '\\';
            EndLine();
            m_text += "  ";
            column = 2;
        }
    }
    EndLine();
}

std::string RegExportWriter::Finish() {
    AddLine("");
    std::string file = TakeBytes();
    m_started = false;
    AddLine(m_format.version == RegVersion::Version5 ? kHeaderVersion5 : kHeaderRegedit4);
    return file;
}

std::string WriteRegFile(const RegFileContent& content) {
    RegExportWriter writer(content.format);
    for (const RegFileKey& key : content.keys) {
        if (key.deleted) {
            writer.AddDeletedKey(key.path);
            continue;
        }
        writer.AddKey(key.path);
        for (const RegFileValue& value : key.values) {
            if (value.deleted)
                writer.AddDeletedValue(value.name);
            else
                writer.AddValue(value.name, value.type, value.data, value.oddByte);
        }
    }
    return writer.Finish();
}

} // namespace regfile
