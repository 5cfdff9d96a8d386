// Writing registry export files, the mirror of regfile/RegFileReader.h; the forms
// written are described in regfile/RegFileTypes.h.
#pragma once

#include "regfile/RegFileTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace regfile {

// Builds a registry export file. Feed it keys in the order they should appear and,
// after each key, that key's values; Finish returns the whole file (or the rest of
// it, after TakeBytes handed out its beginning). Example, for a
// backup of a key read with RegEnumKeyA/RegEnumValueA:
//
//     regfile::RegExportWriter writer; // version 5, UTF-16LE with BOM, CRLF
//     writer.AddKey("HKEY_CURRENT_USER\\Software\\Brax\\Corvane");
//     writer.AddValue("DataPath", REG_SZ, std::string("C:\\Data\0", 8));
//     writer.AddValue("Count", REG_DWORD, std::string("\x05\0\0\0", 4));
//     std::string bytes = writer.Finish();
//
// The text of names, paths and string data handed to a writer.
enum class RegTextInput {
    Lossless, // lossless UTF-8, as the reader gives it
    Ansi,     // the ANSI code page, as the registry's A-functions give it
};

class RegExportWriter {
  public:
    explicit RegExportWriter(const RegFileFormat& format = RegFileFormat(),
                             RegTextInput input = RegTextInput::Lossless);

    // "[path]", preceded by a blank line.
    void AddKey(std::string_view path);
    // "[-path]": the key and everything below it are deleted on import.
    void AddDeletedKey(std::string_view path);
    // One value of the key added last; an empty name is the default value. For
    // string types, oddByte is a byte after the text (version 5 files only).
    void AddValue(std::string_view name, uint32_t type, std::string_view data,
                  int16_t oddByte = kNoOddByte);
    // The same from the bytes as the registry stores them, written in hex as
    // they are: for string types the UTF-16LE text in version 5 files, the
    // 8-bit text in version 4 files.
    void AddStoredValue(std::string_view name, uint32_t type, std::string_view bytes);
    // "name"=-: the value is deleted on import.
    void AddDeletedValue(std::string_view name);

    // The encoded bytes of everything added since the last call, the file's start
    // included on the first: a large file can be written piece by piece. Pieces
    // always end at a line end.
    std::string TakeBytes();
    // Bytes added but not yet taken (an estimate of the next TakeBytes' size).
    size_t PendingSize() const { return m_encoded.size() + m_text.size(); }

    // The complete file in the writer's format, or what TakeBytes has not handed
    // out yet. The writer starts a new file afterwards.
    std::string Finish();

  private:
    void AddLine(std::string_view text);
    // Ends the line being built in m_text.
    void EndLine();
    void EncodeText();
    // A blank line, then opening, the path and ']'.
    void AddKeyLine(std::string_view opening, std::string_view path);
    // "name"= or @= at the end of m_text.
    void AppendValueName(std::string_view name);
    void AddHexValue(std::string_view name, uint32_t type, std::string_view data, int16_t oddByte);

    // Text as handed over to lossless UTF-8 (ASCII: the text itself).
    std::string_view Input(std::string_view text, std::string& scratch) const;

    RegFileFormat m_format;
    RegTextInput m_input;
    std::string m_text;     // lossless UTF-8 text not encoded yet
    std::string m_encoded;  // file bytes not taken yet
    bool m_started = false; // the byte-order mark was written
};

// The whole content as a file in content.format.
std::string WriteRegFile(const RegFileContent& content);

} // namespace regfile
