// The stored bytes of string values (Windows build): UTF-16 data of an odd byte
// count comes back whole from the wide functions, while the A-functions give
// only its whole characters (seen under Wine 8).
#include "platform/RegistryText.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
