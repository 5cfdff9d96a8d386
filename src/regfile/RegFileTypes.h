// Registry export files (".reg"), the text the Windows registry editor writes and
// imports: the lexical level only. The reader (regfile/RegFileReader.h) turns file
// bytes into keys and values; the writer (regfile/RegExportWriter.h) is its mirror.
// No registry semantics live here (no merging of keys, no case rules): callers
// decide what a key or a value means.
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
#include <string>
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

} // namespace regfile
