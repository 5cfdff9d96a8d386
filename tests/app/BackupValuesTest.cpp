// String values in the registry backup: a value whose 8-bit text stands for its
// stored bytes is written as that text; any other as its stored bytes in hex, so
// that the backup imports to exactly what the registry held.
#include "app/RegistryBackup.h"
#include "regfile/RegExportWriter.h"
#include "regfile/RegFileReader.h"
#include "platform/TextConversion.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvane;

using namespace std::string_literals;

namespace {

struct Case {
    const char* what;
    DWORD type;
    std::string ansi;   // as the 8-bit functions give it (code page 1252)
    std::string stored; // UTF-16LE, as the registry holds it
    bool textGivesStored;
    const char* line; // the backup's line for the value
};

const Case kCases[] = {
    {"plain text", REG_SZ, "a\0"s, "a\0\0\0"s, true, "\"V\"=\"a\""},
    {"empty text", REG_SZ, "\0"s, "\0\0"s, true, "\"V\"=\"\""},
    {"no data", REG_SZ, ""s, ""s, true, "\"V\"=hex(1):"},
    {"non-ASCII text", REG_SZ, "\xE9\x80\0"s, "\xE9\0\xAC\x20\0\0"s, true,
     "\"V\"=\"\xC3\xA9\xE2\x82\xAC\""},
    {"two texts", REG_MULTI_SZ, "a\0b\0\0"s, "a\0\0\0b\0\0\0\0\0"s, true,
     "\"V\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
    {"an odd byte after the NUL", REG_SZ, "a\0"s, "a\0\0\0\0"s, false,
     "\"V\"=hex(1):61,00,00,00,00"},
    {"an odd byte after a letter", REG_EXPAND_SZ, "a"s, "a\0b"s, false, "\"V\"=hex(2):61,00,62"},
    {"nothing but an odd byte", REG_SZ, ""s, "\xFF"s, false, "\"V\"=hex(1):ff"},
    {"non-ASCII and an odd byte", REG_SZ, "\xE9\0"s, "\xE9\0\0\0\x01"s, false,
     "\"V\"=hex(1):e9,00,00,00,01"},
    {"other bytes of the same length", REG_SZ, "ab"s, "a\0c\0"s, false, "\"V\"=hex(1):61,00,63,00"},
    {"no final NUL", REG_SZ, "ab"s, "a\0b\0"s, true, "\"V\"=hex(1):61,00,62,00"},
};

std::string Utf16Bytes(std::string_view lossless) {
    std::string bytes;
    for (char16_t unit : text::LosslessToWide(lossless)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(BackupValues, EveryStringValueImportsToItsStoredBytes) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        RegistrySnapshotKey key;
        key.path = "HKEY_CURRENT_USER\\K";
        key.values.push_back(
            RegistryValue{"V", c.type, std::vector<BYTE>(c.ansi.begin(), c.ansi.end())});
        EXPECT_EQ(c.textGivesStored, TextGivesStoredBytes(c.ansi, c.stored));
        if (!TextGivesStoredBytes(c.ansi, c.stored))
            key.storedBytes.push_back({0, c.stored});
        regfile::RegExportWriter writer(regfile::RegFileFormat(), regfile::RegTextInput::Ansi);
        writer.AddKey(key.path);
        AddBackupValues(writer, key);
        std::string file = writer.Finish();

        regfile::RegFileContent content;
        ASSERT_TRUE(regfile::ParseRegFile(file, content).ok());
        ASSERT_EQ(1u, content.keys.size());
        ASSERT_EQ(1u, content.keys[0].values.size());
        const regfile::RegFileValue& value = content.keys[0].values[0];
        std::string imported = Utf16Bytes(value.data);
        if (value.oddByte != regfile::kNoOddByte)
            imported += static_cast<char>(value.oddByte);
        // Whole characters without a final NUL get one on import, as the
        // registry editor adds it: no form of the file can keep them so.
        std::string expected = c.stored;
        if (expected.size() % 2 == 0 && !expected.empty() &&
            expected.substr(expected.size() - 2) != "\0\0"s)
            expected += "\0\0"s;
        EXPECT_EQ(c.type, value.type);
        EXPECT_EQ(expected, imported);
        std::u16string units;
        for (size_t i = 2; i + 1 < file.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(file[i]) |
                                           static_cast<unsigned char>(file[i + 1]) << 8);
        std::string text = text::WideToLossless(units);
        EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << text;
    }
}

} // namespace
