#include "regfile/RegExportWriter.h"

#include "platform/TextConversion.h"
#include "regfile/RegFileSyntax.h"
#include "regfile/RegFileText.h"

namespace regfile {
namespace {

using namespace syntax;
using text_form::AppendTextAsEightBit;
using text_form::AppendTextAsUtf16Le;
using text_form::Utf16LeBytes;

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
    AddKeyLine("[", path);
}

void RegExportWriter::AddDeletedKey(std::string_view path) {
    AddKeyLine("[-", path);
}

void RegExportWriter::AddKeyLine(std::string_view opening, std::string_view path) {
    std::string scratch;
    path = Input(path, scratch);
    EndLine();
    m_text += opening;
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
