// Registry export files: the reader, the writer, and the two together. ASCII text
// only, so that both builds (UTF-8 and the Windows ANSI code page) expect the same.
#include "platform/RegExportFormat.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;
using regfile::RegEncoding;
using regfile::RegFileContent;
using regfile::RegFileFormat;
using regfile::RegFileKey;
using regfile::RegFileValue;
using regfile::RegLineEnd;
using regfile::RegParseError;
using regfile::RegVersion;

namespace {

// ASCII text as a UTF-16LE file with its byte-order mark.
std::string Utf16File(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string WithLineEnds(std::string text, std::string_view lineEnd) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += lineEnd;
        else
            out += c;
    }
    return out;
}

RegFileContent Parse(const std::string& bytes) {
    RegFileContent content;
    regfile::RegParseResult result = regfile::ParseRegFile(bytes, content);
    EXPECT_TRUE(result.ok()) << result.line << ": " << result.message;
    return content;
}

RegFileValue Value(std::string name, uint32_t type, std::string data) {
    RegFileValue value;
    value.name = std::move(name);
    value.type = type;
    value.data = std::move(data);
    return value;
}

RegFileValue Deleted(std::string name) {
    RegFileValue value;
    value.name = std::move(name);
    value.deleted = true;
    return value;
}

void ExpectSameValues(const std::vector<RegFileValue>& expected,
                      const std::vector<RegFileValue>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE("value \"" + expected[i].name + "\"");
        EXPECT_EQ(expected[i].name, actual[i].name);
        EXPECT_EQ(expected[i].deleted, actual[i].deleted);
        if (!expected[i].deleted) {
            EXPECT_EQ(expected[i].type, actual[i].type);
            EXPECT_EQ(expected[i].data, actual[i].data);
        }
    }
}

// ---- writer ----------------------------------------------------------------------

TEST(RegExportWriter, WritesEveryKindOfValueAsTheRegistryEditorDoes) {
    regfile::RegExportWriter writer;
    writer.AddKey("HKEY_CURRENT_USER\\Software\\Brax\\Corvane");
    writer.AddValue("", REG_SZ, "default\0"s);
    writer.AddValue("Path", REG_SZ, "C:\\Data \"x\"\0"s);
    writer.AddValue("Count", REG_DWORD, "\x0a\x00\x00\x80"s);
    writer.AddValue("Short", REG_DWORD, "\x0a\x00"s);
    writer.AddValue("Bin", REG_BINARY, "\x01\xff"s);
    writer.AddValue("Empty", REG_BINARY, ""s);
    writer.AddValue("Lines", REG_SZ, "a\nb\0"s);
    writer.AddValue("NoNul", REG_SZ, "ab"s);
    writer.AddValue("Exp", REG_EXPAND_SZ, "%x%\0"s);
    writer.AddValue("Multi", REG_MULTI_SZ, "a\0b\0\0"s);
    writer.AddValue("Q", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    writer.AddValue("None", REG_NONE, ""s);
    writer.AddValue("Odd\\Name\"", REG_SZ, "\0"s);
    writer.AddDeletedValue("Old");
    writer.AddDeletedKey("HKEY_CURRENT_USER\\Software\\Gone");
    const std::string expected = "Windows Registry Editor Version 5.00\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane]\r\n"
                                 "@=\"default\"\r\n"
                                 "\"Path\"=\"C:\\\\Data \\\"x\\\"\"\r\n"
                                 "\"Count\"=dword:8000000a\r\n"
                                 "\"Short\"=hex(4):0a,00\r\n"
                                 "\"Bin\"=hex:01,ff\r\n"
                                 "\"Empty\"=hex:\r\n"
                                 "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
                                 "\"NoNul\"=hex(1):61,00,62,00\r\n"
                                 "\"Exp\"=hex(2):25,00,78,00,25,00,00,00\r\n"
                                 "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                 "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                 "\"None\"=hex(0):\r\n"
                                 "\"Odd\\\\Name\\\"\"=\"\"\r\n"
                                 "\"Old\"=-\r\n"
                                 "\r\n"
                                 "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
                                 "\r\n";
    EXPECT_EQ(Utf16File(expected), writer.Finish());
}

TEST(RegExportWriter, WrapsHexDataAtColumn77) {
    std::string bytes;
    for (int i = 0; i < 50; i++)
        bytes += static_cast<char>(i);
    regfile::RegExportWriter writer(
        RegFileFormat{RegVersion::Version5, RegEncoding::EightBit, RegLineEnd::Lf, false});
    writer.AddKey("HKCU\\K");
    writer.AddValue("Bin", REG_BINARY, bytes);
    // A first line of 23 bytes, then 25 bytes a line after two spaces.
    const std::string expected =
        "Windows Registry Editor Version 5.00\n\n[HKCU\\K]\n"
        "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
        "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\n"
        "  30,31\n\n";
    EXPECT_EQ(expected, writer.Finish());

    // A name that already reaches the column: the cut comes after the first byte.
    std::string name(80, 'n');
    regfile::RegExportWriter longName(
        RegFileFormat{RegVersion::Version5, RegEncoding::EightBit, RegLineEnd::Lf, false});
    longName.AddKey("HKCU\\K");
    longName.AddValue(name, REG_BINARY, "\x01\x02"s);
    EXPECT_EQ("Windows Registry Editor Version 5.00\n\n[HKCU\\K]\n\"" + name +
                  "\"=hex:01,\\\n  02\n\n",
              longName.Finish());
}

TEST(RegExportWriter, Regedit4FilesKeepStringDataInEightBits) {
    regfile::RegExportWriter writer(
        RegFileFormat{RegVersion::Regedit4, RegEncoding::EightBit, RegLineEnd::CrLf, false});
    writer.AddKey("HKEY_CURRENT_USER\\K");
    writer.AddValue("Exp", REG_EXPAND_SZ, "%x%\0"s);
    EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"Exp\"=hex(2):25,78,25,00\r\n\r\n",
              writer.Finish());
}

// A large file written piece by piece must be the same bytes as one written whole,
// in both encodings, with the byte-order marks only at the start.
TEST(RegExportWriter, PiecesTakenOnTheWayMakeTheSameFile) {
    for (RegFileFormat format :
         {RegFileFormat(),
          RegFileFormat{RegVersion::Regedit4, RegEncoding::EightBit, RegLineEnd::CrLf, true}}) {
        regfile::RegExportWriter whole(format), pieces(format);
        std::string file;
        for (int key = 0; key < 300; key++) {
            std::string path = "HKEY_CURRENT_USER\\Software\\K" + std::to_string(key);
            whole.AddKey(path);
            pieces.AddKey(path);
            for (int value = 0; value < 20; value++) {
                std::string name = "v" + std::to_string(value);
                std::string data = std::string(static_cast<size_t>(key + value), 'x') + '\0';
                whole.AddValue(name, REG_SZ, data);
                pieces.AddValue(name, REG_SZ, data);
                whole.AddValue(name + "b", REG_BINARY, data);
                pieces.AddValue(name + "b", REG_BINARY, data);
            }
            if (key % 7 == 0)
                file += pieces.TakeBytes();
        }
        EXPECT_GT(file.size(), 0x20000u);
        file += pieces.Finish();
        EXPECT_EQ(whole.Finish(), file);
        // A second file from the same writer starts with its own header.
        pieces.AddKey("HKEY_CURRENT_USER\\Again");
        RegFileContent again;
        ASSERT_TRUE(regfile::ParseRegFile(pieces.Finish(), again).ok());
        ASSERT_EQ(1u, again.keys.size());
    }
}

// ---- reader ------------------------------------------------------------------------

TEST(RegFileReader, ReadsEveryFormOfKeyAndValue) {
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "; a comment\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Brax]\n"
                             "@=\"default\"\n"
                             "\"Quoted\"=\"back\\\\slash \\\"quote\\\" \\n\\r and \\t\"\n"
                             "  \"Spaced\" = dword:0000001F   ; trailing comment\n"
                             "\"Upper\"=DWORD:ffffffff\n"
                             "\"Short\"=dword:7\n"
                             "\"Bin\"=hex:00,01,\\\n"
                             "  ; a comment inside the continued value\n"
                             "\n"
                             "  ff\n"
                             "\"Exp\"=hex(2):25,00,78,00,25,00\n"
                             "\"Multi\"=hex(7):61,00,00,00,00,00\n"
                             "\"Q\"=hex(b):01,02\n"
                             "\"Empty\"=hex:\n"
                             "\"TrailingComma\"=hex:0a,\n"
                             "\"Gone\"=-\n"
                             "[HKCU\\Software\\Brax\\Key]with]]\n"
                             "[-HKEY_CURRENT_USER\\Software\\Old]\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Other] ; another hive\n"
                             "\"x\"=\"y\"\n";
    RegFileContent content = Parse(text);
    EXPECT_EQ(RegVersion::Version5, content.format.version);
    EXPECT_EQ(RegEncoding::EightBit, content.format.encoding);
    EXPECT_EQ(RegLineEnd::Lf, content.format.lineEnd);
    ASSERT_EQ(4u, content.keys.size());

    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Brax", content.keys[0].path);
    EXPECT_EQ(4, content.keys[0].line);
    ExpectSameValues(
        {Value("", REG_SZ, "default\0"s),
         Value("Quoted", REG_SZ, "back\\slash \"quote\" \n\r and \\t\0"s),
         Value("Spaced", REG_DWORD, "\x1f\0\0\0"s), Value("Upper", REG_DWORD, "\xff\xff\xff\xff"s),
         Value("Short", REG_DWORD, "\x07\0\0\0"s), Value("Bin", REG_BINARY, "\x00\x01\xff"s),
         // String data in hex gets its missing final NUL.
         Value("Exp", REG_EXPAND_SZ, "%x%\0"s), Value("Multi", REG_MULTI_SZ, "a\0\0"s),
         Value("Q", REG_QWORD, "\x01\x02"s), Value("Empty", REG_BINARY, ""s),
         Value("TrailingComma", REG_BINARY, "\n"s), Deleted("Gone")},
        content.keys[0].values);

    // A key name may hold ']': the name ends at the last one.
    EXPECT_EQ("HKCU\\Software\\Brax\\Key]with]", content.keys[1].path);
    EXPECT_FALSE(content.keys[1].deleted);
    EXPECT_TRUE(content.keys[2].deleted);
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Old", content.keys[2].path);
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\Other", content.keys[3].path);
    ExpectSameValues({Value("x", REG_SZ, "y\0"s)}, content.keys[3].values);
}

TEST(RegFileReader, ReadsTheSameFromEveryEncodingAndLineEnd) {
    const std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"
                             "\"Bin\"=hex:01,\\\n  02\n\"S\"=\"v\"\n";
    struct Case {
        const char* what;
        std::string bytes;
        RegEncoding encoding;
        RegLineEnd lineEnd;
        bool utf8Mark;
    };
    const Case cases[] = {
        {"8-bit CRLF", WithLineEnds(text, "\r\n"), RegEncoding::EightBit, RegLineEnd::CrLf, false},
        {"8-bit LF", text, RegEncoding::EightBit, RegLineEnd::Lf, false},
        {"8-bit CR", WithLineEnds(text, "\r"), RegEncoding::EightBit, RegLineEnd::CrLf, false},
        {"UTF-8 mark", "\xEF\xBB\xBF" + text, RegEncoding::EightBit, RegLineEnd::Lf, true},
        {"UTF-16 CRLF", Utf16File(WithLineEnds(text, "\r\n")), RegEncoding::Utf16Le,
         RegLineEnd::CrLf, false},
        {"UTF-16 without mark", Utf16File(WithLineEnds(text, "\r\n")).substr(2),
         RegEncoding::Utf16Le, RegLineEnd::CrLf, false},
        {"UTF-16 padded with NULs", Utf16File(WithLineEnds(text, "\r\n")) + "\0\0\0\0"s,
         RegEncoding::Utf16Le, RegLineEnd::CrLf, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegFileContent content = Parse(c.bytes);
        EXPECT_EQ(c.encoding, content.format.encoding);
        EXPECT_EQ(c.lineEnd, content.format.lineEnd);
        EXPECT_EQ(c.utf8Mark, content.format.utf8ByteOrderMark);
        ASSERT_EQ(1u, content.keys.size());
        EXPECT_EQ(3, content.keys[0].line);
        ExpectSameValues({Value("Bin", REG_BINARY, "\x01\x02"s), Value("S", REG_SZ, "v\0"s)},
                         content.keys[0].values);
    }
}

TEST(RegFileReader, Regedit4HexStringsAreEightBitText) {
    RegFileContent content =
        Parse("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"Exp\"=hex(2):25,78,25,00\r\n"
              "\"Sz\"=hex(1):61,62\r\n");
    EXPECT_EQ(RegVersion::Regedit4, content.format.version);
    ASSERT_EQ(1u, content.keys.size());
    ExpectSameValues({Value("Exp", REG_EXPAND_SZ, "%x%\0"s), Value("Sz", REG_SZ, "ab\0"s)},
                     content.keys[0].values);
}

TEST(RegFileReader, ReportsWhatIsWrongAndOnWhichLine) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    const std::string key = "[HKEY_CURRENT_USER\\K]\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        RegParseError error;
        int line;
    };
    const Case cases[] = {
        {"empty file", "", RegParseError::EmptyFile, 1},
        {"wrong header", "Windows Registry Editor Version 6.00\r\n", RegParseError::MissingHeader,
         1},
        {"header not first", "\r\n" + header, RegParseError::MissingHeader, 1},
        {"no closing bracket", header + "[HKEY_CURRENT_USER\\K\r\n", RegParseError::BadKeyLine, 2},
        {"empty key", header + "\r\n[]\r\n", RegParseError::BadKeyLine, 3},
        {"unknown hive", header + "[HKEY_NOWHERE\\K]\r\n", RegParseError::UnknownHive, 2},
        {"text after key", header + "[HKCU\\K] x\r\n", RegParseError::TrailingText, 2},
        {"value before key", header + "\"a\"=\"b\"\r\n", RegParseError::ValueOutsideKey, 2},
        {"value after deleted key", header + "[-HKCU\\K]\r\n\"a\"=\"b\"\r\n",
         RegParseError::ValueOutsideKey, 3},
        {"quote missing after name", header + key + "\"a=\"b\"\r\n", RegParseError::BadValueName,
         3},
        {"unclosed name", header + key + "\"a\r\n", RegParseError::BadValueName, 3},
        {"no equals", header + key + "\"a\" \"b\"\r\n", RegParseError::BadValueName, 3},
        {"unclosed string", header + key + "\"a\"=\"b\r\n", RegParseError::BadString, 3},
        {"text after string", header + key + "\"a\"=\"b\" c\r\n", RegParseError::TrailingText, 3},
        {"text after minus", header + key + "\"a\"=-x\r\n", RegParseError::TrailingText, 3},
        {"dword too long", header + key + "\"a\"=dword:123456789\r\n", RegParseError::BadDword, 3},
        {"dword empty", header + key + "\"a\"=dword:\r\n", RegParseError::BadDword, 3},
        {"dword not hex", header + key + "\"a\"=dword:12x\r\n", RegParseError::BadDword, 3},
        {"hex not hex", header + key + "\"a\"=hex:0g\r\n", RegParseError::BadHex, 3},
        {"hex three digits", header + key + "\"a\"=hex:001\r\n", RegParseError::BadHex, 3},
        {"hex without comma", header + key + "\"a\"=hex:00 01\r\n", RegParseError::BadHex, 3},
        {"hex empty byte", header + key + "\"a\"=hex:00,,01\r\n", RegParseError::BadHex, 3},
        {"hex after backslash", header + key + "\"a\"=hex:00,\\ 01\r\n", RegParseError::BadHex, 3},
        {"bad continuation", header + key + "\"a\"=hex:00,\\\r\n\r\n  zz\r\n",
         RegParseError::BadHex, 5},
        {"continuation at end", header + key + "\"a\"=hex:00,\\\r\n  ; comment\r\n",
         RegParseError::UnterminatedContinuation, 4},
        {"bad hex type", header + key + "\"a\"=hex(zz):00\r\n", RegParseError::UnknownDataType, 3},
        {"hex type without colon", header + key + "\"a\"=hex(2)00\r\n",
         RegParseError::UnknownDataType, 3},
        {"unknown data", header + key + "\"a\"=str:\"x\"\r\n", RegParseError::UnknownDataType, 3},
        {"no data", header + key + "\"a\"=\r\n", RegParseError::UnknownDataType, 3},
        {"stray line", header + key + "x=y\r\n", RegParseError::UnexpectedLine, 3},
        {"NUL in a line", header + key + "\"a\"=\"b\0\"\r\n"s, RegParseError::BadEncoding, 3},
        {"UTF-16 big-endian", "\xFE\xFF\0W"s, RegParseError::BadEncoding, 1},
        {"UTF-16 cut in a character", Utf16File(header + key) + "\"", RegParseError::BadEncoding,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegFileContent content;
        regfile::RegParseResult result = regfile::ParseRegFile(c.bytes, content);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(c.error, result.error);
        EXPECT_EQ(c.line, result.line);
        EXPECT_FALSE(result.message.empty());
    }
}

// Pieces of any size, cut anywhere (inside the byte-order mark, a UTF-16 unit, a
// CRLF), read as the whole file: the same keys, format and errors.
TEST(RegFileReader, FilesHandedOverInPiecesReadAsWhole) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\K]\r\n"
                             "\"Bin\"=hex:01,\\\r\n  02\r\n\"S\"=\"v\"\r\n"
                             "\"Exp\"=hex(2):25,00,78,00\r\n[-HKCU\\Gone]\r\n";
    const std::string files[] = {
        text,
        WithLineEnds(text, "\n"),
        "\xEF\xBB\xBF" + text,
        Utf16File(text),
        Utf16File(text).substr(2),
        Utf16File(text) + "\0\0\0\0"s,
        Utf16File(text) + "\"",                             // cut inside a unit
        Utf16File(text + "[HKCU\\K]\r\n\"a\"=dword:x\r\n"), // an error after keys
        "\xFE\xFF\0W"s,
        "",
        "R",
        "\xFF\xFE",
        "REGEDIT4",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(::testing::PrintToString(file));
        RegFileContent whole;
        regfile::RegParseResult wholeResult = regfile::ParseRegFile(file, whole);
        for (size_t pieceSize = 1; pieceSize <= 5; pieceSize++) {
            for (size_t first = 0; first <= file.size(); first++) {
                regfile::RegFileReader reader(file.size());
                reader.Add(std::string_view(file).substr(0, first));
                for (size_t at = first; at < file.size(); at += pieceSize)
                    reader.Add(std::string_view(file).substr(at, pieceSize));
                RegFileContent content;
                regfile::RegParseResult result =
                    reader.Finish(content.format,
                                  [&](RegFileKey& key) { content.keys.push_back(std::move(key)); });
                SCOPED_TRACE(std::to_string(first) + "+" + std::to_string(pieceSize));
                EXPECT_EQ(wholeResult.error, result.error);
                EXPECT_EQ(wholeResult.line, result.line);
                EXPECT_EQ(wholeResult.message, result.message);
                EXPECT_EQ(whole.format.version, content.format.version);
                EXPECT_EQ(whole.format.encoding, content.format.encoding);
                EXPECT_EQ(whole.format.lineEnd, content.format.lineEnd);
                EXPECT_EQ(whole.format.utf8ByteOrderMark, content.format.utf8ByteOrderMark);
                ASSERT_EQ(whole.keys.size(), content.keys.size());
                for (size_t i = 0; i < whole.keys.size(); i++) {
                    EXPECT_EQ(whole.keys[i].path, content.keys[i].path);
                    EXPECT_EQ(whole.keys[i].deleted, content.keys[i].deleted);
                    EXPECT_EQ(whole.keys[i].line, content.keys[i].line);
                    ExpectSameValues(whole.keys[i].values, content.keys[i].values);
                }
            }
        }
    }
}

// The visitor sees each key once, in order, with its values; what it takes away
// does not reach the next key. After an error it sees the key read so far.
TEST(RegFileReader, KeysGoToTheVisitorOneByOne) {
    const std::string text = "REGEDIT4\n[HKCU\\A]\n\"1\"=\"one\"\n\"2\"=dword:2\n"
                             "[-HKCU\\B]\n[HKCU\\C]\n\"3\"=hex:03\n[HKCU\\D]\n";
    std::vector<std::string> seen;
    RegFileFormat format;
    regfile::RegParseResult result = regfile::ParseRegFile(text, format, [&](RegFileKey& key) {
        std::string line = key.path + (key.deleted ? " deleted" : "") + ":";
        for (RegFileValue& value : key.values)
            line += " " + std::move(value.name) + "=" + std::move(value.data);
        key.values.push_back(Value("taken", REG_SZ, "x")); // never seen again
        seen.push_back(line);
    });
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(RegVersion::Regedit4, format.version);
    EXPECT_EQ((std::vector<std::string>{"HKCU\\A: 1=one\0"s + " 2=\x02\0\0\0"s,
                                        "HKCU\\B deleted:", "HKCU\\C: 3=\x03", "HKCU\\D:"}),
              seen);

    seen.clear();
    result = regfile::ParseRegFile(text + "[HKCU\\E]\n\"4\"=\"four\"\n\"5\"=dword:\n", format,
                                   [&](RegFileKey& key) { seen.push_back(key.path); });
    EXPECT_EQ(RegParseError::BadDword, result.error);
    EXPECT_EQ(11, result.line);
    EXPECT_EQ((std::vector<std::string>{"HKCU\\A", "HKCU\\B", "HKCU\\C", "HKCU\\D", "HKCU\\E"}),
              seen);
}

TEST(RegFileReader, NamesHives) {
    struct Case {
        const char* path;
        regfile::RegHive hive;
        const char* rest;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Brax", regfile::RegHive::CurrentUser, "Software\\Brax"},
        {"hkcu\\Software", regfile::RegHive::CurrentUser, "Software"},
        {"HKEY_CURRENT_USER", regfile::RegHive::CurrentUser, ""},
        {"HKLM\\x", regfile::RegHive::LocalMachine, "x"},
        {"HKEY_CLASSES_ROOT\\.txt", regfile::RegHive::ClassesRoot, ".txt"},
        {"HKEY_USERS\\.DEFAULT", regfile::RegHive::Users, ".DEFAULT"},
        {"HKEY_CURRENT_USERS\\x", regfile::RegHive::Unknown, "x"},
        {"Software\\Brax", regfile::RegHive::Unknown, "Brax"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string_view rest;
        EXPECT_EQ(c.hive, regfile::HiveOfKeyPath(c.path, &rest));
        EXPECT_EQ(c.rest, rest);
    }
}

// ---- both ---------------------------------------------------------------------------

TEST(RegFileRoundTrip, WhatIsWrittenReadsBackTheSame) {
    RegFileKey key;
    key.path = "HKEY_CURRENT_USER\\Software\\Brax\\Corvane";
    key.values = {
        Value("", REG_SZ, "default\0"s),
        Value("Escapes", REG_SZ, "\\ \" ; = [x] @\0"s),
        Value("Control", REG_SZ, "a\r\nb\tc\x01\0"s),
        Value("EmbeddedNul", REG_SZ, "a\0b\0"s),
        Value("Empty", REG_SZ, "\0"s),
        Value("Nothing", REG_SZ, ""s),
        Value("Name with \"quotes\" and \\ and \n", REG_SZ, "x\0"s),
        Value("Exp", REG_EXPAND_SZ, "%PATH%;C:\\\0"s),
        Value("Multi", REG_MULTI_SZ, "one\0two\0\0"s),
        Value("Dword", REG_DWORD, "\x78\x56\x34\x12"s),
        Value("DwordOdd", REG_DWORD, "\x01\x02\x03"s),
        Value("BigEndian", REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04"s),
        Value("Qword", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s),
        Value("None", REG_NONE, ""s),
        Value("Type1234", 0x1234, "\xde\xad"s),
        Value("Long", REG_BINARY, std::string(1000, '\xab')),
        Deleted("Removed"),
    };
    RegFileKey gone;
    gone.path = "HKCU\\Software\\Gone";
    gone.deleted = true;
    const RegFileFormat formats[] = {
        RegFileFormat(),
        {RegVersion::Version5, RegEncoding::EightBit, RegLineEnd::Lf, false},
        {RegVersion::Version5, RegEncoding::EightBit, RegLineEnd::CrLf, true},
        {RegVersion::Regedit4, RegEncoding::EightBit, RegLineEnd::CrLf, false},
    };
    for (const RegFileFormat& format : formats) {
        SCOPED_TRACE(static_cast<int>(format.version) * 100 +
                     static_cast<int>(format.encoding) * 10 + static_cast<int>(format.lineEnd));
        RegFileContent content;
        content.format = format;
        content.keys = {key, gone};
        RegFileContent back = Parse(regfile::WriteRegFile(content));
        EXPECT_EQ(format.version, back.format.version);
        EXPECT_EQ(format.encoding, back.format.encoding);
        EXPECT_EQ(format.lineEnd, back.format.lineEnd);
        EXPECT_EQ(format.utf8ByteOrderMark, back.format.utf8ByteOrderMark);
        ASSERT_EQ(2u, back.keys.size());
        EXPECT_EQ(key.path, back.keys[0].path);
        ExpectSameValues(key.values, back.keys[0].values);
        EXPECT_TRUE(back.keys[1].deleted);
        EXPECT_EQ(gone.path, back.keys[1].path);
        // The same again, byte for byte.
        EXPECT_EQ(regfile::WriteRegFile(content), regfile::WriteRegFile(back));
    }
}
} // namespace

namespace {

// String data in hex, read and written again: UTF-16 data keeps every byte,
// an odd last one too, which belongs to no character.
TEST(RegFileRoundTrip, StringDataInHexKeepsEveryByte) {
    struct Case {
        const char* line;    // as read, and as written again unless `written` says
        std::string text;    // the data as the A-functions give it
        int16_t oddByte;     // the byte after it
        const char* written; // when the writer spells it otherwise
    };
    const Case cases[] = {
        {"\"Five\"=hex(1):61,00,00,00,00", "a\0"s, 0, nullptr},
        {"\"Three\"=hex(1):61,00,62", "a"s, 0x62, nullptr},
        {"\"One\"=hex(2):61", ""s, 0x61, nullptr},
        {"\"NulOdd\"=hex(7):61,00,00,00,00,00,ff", "a\0\0"s, 0xff, nullptr},
        {"\"Even\"=hex(1):61,00,62,00,00,00", "ab\0"s, regfile::kNoOddByte, "\"Even\"=\"ab\""},
        {"\"TwoNuls\"=hex(1):61,00,00,00,00,00", "a\0\0"s, regfile::kNoOddByte, nullptr},
        {"\"Inside\"=hex(1):61,00,00,00,62,00,00,00", "a\0b\0"s, regfile::kNoOddByte, nullptr},
        {"\"Empty\"=hex(1):", ""s, regfile::kNoOddByte, nullptr},
        // Whole characters without a final NUL get one, as the registry editor
        // adds it on import.
        {"\"NoNul\"=hex(2):61,00,62,00", "ab\0"s, regfile::kNoOddByte,
         "\"NoNul\"=hex(2):61,00,62,00,00,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\K]\r\n";
        RegFileContent content = Parse(Utf16File(head + c.line + "\r\n"));
        ASSERT_EQ(1u, content.keys.size());
        ASSERT_EQ(1u, content.keys[0].values.size());
        const RegFileValue& value = content.keys[0].values[0];
        EXPECT_EQ(c.text, value.data);
        EXPECT_EQ(c.oddByte, value.oddByte);
        std::string line = c.written ? c.written : c.line;
        EXPECT_EQ(Utf16File(head + line + "\r\n\r\n"), regfile::WriteRegFile(content));
    }
}

} // namespace
