// Registry export files (".reg"), the text the Windows registry editor writes and
// imports: the lexical level only. The reader turns file bytes into keys and values;
// the writer is its mirror. No registry semantics live here (no merging of keys, no
// case rules): callers decide what a key or a value means.
//
// Text is handed over as lossless UTF-8 (platform/TextConversion.h), which holds
// any UTF-16 the file may hold, lone surrogates included: a file read and written
// again means the same, whatever its text. (The writer also takes the ANSI text of
// the A-functions, see RegTextInput.) Value data is, for
// - REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ: the text with its NUL terminator(s);
// - REG_DWORD: 4 bytes, little-endian; everything else: the bytes as stored.
//
// File forms read:
// - header "Windows Registry Editor Version 5.00" (version 5) or "REGEDIT4"
//   (version 4), in UTF-16LE with a byte-order mark, or in 8-bit text (optionally
//   with a UTF-8 byte-order mark); lines end in CRLF, LF or CR;
// - [key path] and [-key path] (deletion); the path starts with a hive name,
//   long ("HKEY_CURRENT_USER") or short ("HKCU");
// - "name"=... and @=... (the default value); "name"=- (deletion);
// - "string" with the escapes \\ \" \n \r; dword:1 to 8 hex digits; hex:bytes
//   (REG_BINARY) and hex(N):bytes (type N, hex) with ",\" line continuations;
// - blank lines and comment lines starting with ';'; a ';' comment may also follow
//   the data on a value line.
// In version 5 files the hex data of string types is UTF-16LE; in version 4 files it
// is 8-bit text. 8-bit files and text are in the ANSI code page, or in UTF-8 after
// a UTF-8 byte-order mark. Hex string data without a final NUL gets one, as the registry
// editor adds it on import. UTF-16 hex string data of an odd byte count ends in a byte
// that belongs to no character: it is kept beside the text (RegFileValue::oddByte),
// and such data, taken byte for byte, gets no NUL.
//
// Writing: strings holding no control character and exactly one final NUL are
// written quoted; other REG_SZ data is written as hex(1):, REG_EXPAND_SZ as hex(2):,
// REG_MULTI_SZ as hex(7):, 4-byte REG_DWORD as dword:; string data with an odd byte
// as hex of its UTF-16 bytes and that byte. Hex data wraps like the
// registry editor's: a line is cut after the comma that takes it to 77 columns or
// more, ends with a backslash and goes on after two spaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace regfile {

enum class RegVersion { Regedit4, Version5 };
enum class RegEncoding { Utf16Le, EightBit };
enum class RegLineEnd { CrLf, Lf };

// How a file is spelled. The default is what the registry editor writes today.
struct RegFileFormat {
    RegVersion version = RegVersion::Version5;
    RegEncoding encoding = RegEncoding::Utf16Le;
    RegLineEnd lineEnd = RegLineEnd::CrLf;
    bool utf8ByteOrderMark = false; // 8-bit files only; UTF-16 files always have one
};

// No odd byte after the text of a string value.
constexpr int16_t kNoOddByte = -1;

struct RegFileValue {
    std::string name; // empty: the key's default value (@)
    uint32_t type = 0;
    int16_t oddByte = kNoOddByte; // string types: the byte after the last character
    std::string data;             // as the A-functions return it (see above)
    bool deleted = false;         // "name"=-
};

struct RegFileKey {
    std::string path;     // as written between the brackets
    bool deleted = false; // [-path]
    int line = 0;         // line of the [path] line
    std::vector<RegFileValue> values;
};

struct RegFileContent {
    RegFileFormat format;
    std::vector<RegFileKey> keys; // in file order; a path may come more than once
};

enum class RegParseError {
    None,
    EmptyFile,
    BadEncoding,
    MissingHeader,
    BadKeyLine,
    UnknownHive,
    ValueOutsideKey,
    BadValueName,
    BadString,
    BadDword,
    BadHex,
    UnknownDataType,
    TrailingText,
    UnterminatedContinuation,
    UnexpectedLine,
};

// Why a file could not be read, and where: "<file>:<line>: <message>".
struct RegParseResult {
    RegParseError error = RegParseError::None;
    int line = 0;
    std::string message;
    bool ok() const { return error == RegParseError::None; }
};

// Parses a whole file. On failure content holds what was read before the error.
RegParseResult ParseRegFile(std::string_view bytes, RegFileContent& content);

// The same, key by key: each key goes to visit, in file order, as soon as its last
// value was read (on failure, the key the error cut short goes last), and format
// receives the file's format. The visitor may take the key's strings and values;
// the reader only reuses the key's value list for the next key.
using RegKeyVisitor = std::function<void(RegFileKey& key)>;
RegParseResult ParseRegFile(std::string_view bytes, RegFileFormat& format,
                            const RegKeyVisitor& visit);

// The same for a file handed over in pieces as they come from the disk, so that
// the file's bytes are never held whole: Add the pieces in order (cut anywhere),
// then Finish once, as ParseRegFile above.
class RegFileReader {
  public:
    // expectedSize, the file's size when known, makes room for its text at once.
    explicit RegFileReader(size_t expectedSize = 0);
    void Add(std::string_view piece);
    RegParseResult Finish(RegFileFormat& format, const RegKeyVisitor& visit);

  private:
    enum class Kind { Unknown, Utf16Be, Utf16Le, EightBit };
    // Decides the encoding from the file's first bytes, then takes them.
    void TakeStart(std::string_view bytes);
    void TakePending();
    // Turns bytes into text, keeping back what needs the next piece.
    void Take(std::string_view piece);

    size_t m_expectedSize;
    Kind m_kind = Kind::Unknown;
    bool m_utf8ByteOrderMark = false;
    std::string m_pending; // bytes not turned into text yet
    std::string m_text;
};

enum class RegHive {
    Unknown,
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
    CurrentConfig,
    DynData,
    PerformanceData
};

// The hive a key path starts with (long or short name, any letter case); rest,
// when given, receives the text after the hive name's backslash ("" for the hive).
RegHive HiveOfKeyPath(std::string_view path, std::string_view* rest = nullptr);

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
