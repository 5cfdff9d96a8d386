// The stored bytes of string values (Windows build): UTF-16 data of an odd byte
// count comes back whole from the wide functions, while the A-functions give
// only its whole characters (seen under Wine 8).
#include "framework/RegistryRead.h"
#include "platform/RegistryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

TEST(StoredBytes, OddByteCountsComeBackWholeWhereTheAFunctionsDropTheLastByte) {
    HKEY key = nullptr;
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\StoredBytes");
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\StoredBytes", &key));
    struct Case {
        const wchar_t* name;
        DWORD type;
        std::string stored, ansi;
    };
    const Case cases[] = {
        {L"Five", REG_SZ, "a\0\0\0\0"s, "a\0"s},
        {L"Three", REG_SZ, "a\0b"s, "a"s},
        {L"One", REG_EXPAND_SZ, "a"s, ""s},
        {L"Even", REG_MULTI_SZ, "a\0\0\0\0\0"s, "a\0\0"s},
    };
    // Created in name order: Wine enumerates values sorted by name.
    const int order[] = {3, 0, 2, 1};
    for (int i : order)
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, cases[i].name, 0, cases[i].type,
                                 reinterpret_cast<const BYTE*>(cases[i].stored.data()),
                                 static_cast<DWORD>(cases[i].stored.size())));
    for (DWORD index = 0; index < 4; ++index) {
        const Case& c = cases[order[index]];
        SCOPED_TRACE(index);
        std::string stored;
        ASSERT_TRUE(RegistryValueStoredBytes(key, index, stored));
        EXPECT_EQ(c.stored, stored);
        char name[16];
        BYTE data[16];
        DWORD nameLength = sizeof name, size = sizeof data, type = 0;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.ansi, std::string(reinterpret_cast<char*>(data), size));
    }
    std::string none;
    EXPECT_FALSE(RegistryValueStoredBytes(key, 4, none));
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\StoredBytes");
}

const char kReadKeyPath[] = "Software\\CorvaneTests\\RegistryRead";

// The reader's one-read path gives what the separate reads give: the A-functions'
// value, the stored bytes and the code page's loss, for values of every kind.
TEST(StoredBytes, OneReadGivesWhatTheSeparateReadsGive) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kReadKeyPath);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kReadKeyPath, &key));
    struct Case {
        std::u16string name;
        DWORD type;
        std::string stored; // UTF-16LE for the string types
    };
    auto wide = [](std::u16string_view text) {
        std::string bytes;
        for (char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    const std::vector<Case> cases = {
        {u"a plain text", REG_SZ, wide(u"C:\\VST\\x.dll"s + u'\0')},
        {u"b expandable", REG_EXPAND_SZ, wide(u"%APPDATA%\\x"s + u'\0')},
        {u"c list", REG_MULTI_SZ, wide(u"one\0two\0\0"s)},
        {u"d no final NUL", REG_SZ, wide(u"abc")},
        {u"e odd byte", REG_SZ, "a\0b"s},
        {u"f code page letter", REG_SZ, wide(u"caf\u00e9"s + u'\0')},
        {u"g no code page form", REG_SZ, wide(u"\u0101\u4e00"s + u'\0')},
        {u"h number", REG_DWORD, "\x01\x02\x03\x04"s},
        {u"i bytes", REG_BINARY, "\x00\xff\x80"s},
        {u"j empty", REG_SZ, ""s},
        {u"k name \u00e9", REG_SZ, wide(u"x"s + u'\0')},
        {u"l long", REG_SZ, wide(std::u16string(20000, u'z') + u'\0')},
    };
    for (const Case& c : cases) {
        std::wstring name(c.name.begin(), c.name.end());
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, c.type,
                                                reinterpret_cast<const BYTE*>(c.stored.data()),
                                                static_cast<DWORD>(c.stored.size())));
    }
    RegistryValueReader separate(key, 4, 4);
    RegistryValueReader once(key, 4, 4);
    StoredValueRead stored;
    DWORD index = 0;
    for (;; ++index) {
        SCOPED_TRACE(index);
        RegistryValue expected, got;
        RegistryValueReader::Result result = separate.Read(index, expected);
        ASSERT_EQ(result, once.ReadWithStoredForm(index, got, stored));
        if (result != RegistryValueReader::Result::value)
            break;
        EXPECT_EQ(expected.name, got.name);
        EXPECT_EQ(expected.type, got.type);
        EXPECT_EQ(expected.data, got.data);
        std::string bytes;
        ASSERT_TRUE(RegistryValueStoredBytes(key, index, bytes));
        EXPECT_EQ(bytes, stored.bytes);
        EXPECT_EQ(RegistryValueAnsiLoss(key, index), stored.loss);
    }
    EXPECT_EQ(cases.size(), index);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, kReadKeyPath);
}

} // namespace
