// The registry functions as the program calls them. The same cases run against
// the Linux registry store and, in the Windows build, against the real API under
// Wine, whose behaviour is the reference where the two could differ.
//
// Wine facts these cases pin down (seen under Wine 8):
// - sub-keys enumerate sorted by name compared in lower case, so "_" (0x5F) sorts
//   before letters and "{" after them;
// - values enumerate sorted by name as well, while Windows lists them in creation
//   order (and so does the Linux store): order is only checked where both agree;
// - RegQueryInfoKeyA reports the longest value data in UTF-16 bytes for strings,
//   computed anew on each call, so the maxima shrink when values go.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSentinel = '#';

std::vector<std::string> SubKeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; i++)
        names.push_back(name);
    return names;
}

std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD i = 0;; i++) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(std::string(name, length));
    }
    return names;
}

// Deletes a key and everything below it; a missing key is fine.
void DeleteTree(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (const std::string& name : SubKeyNames(key))
        DeleteTree(key, name);
    RegCloseKey(key);
    RegDeleteKeyA(parent, path.c_str());
}

std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

// Every test works below its own key, which it leaves deleted.
class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        m_path = std::string("Software\\CorvaneTests\\") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        DeleteTree(HKEY_CURRENT_USER, m_path);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, m_path.c_str(), &m_key));
    }
    void TearDown() override {
        RegCloseKey(m_key);
        DeleteTree(HKEY_CURRENT_USER, m_path);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests"); // when empty
    }

    HKEY Create(const char* name) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(m_key, name, &key)) << name;
        return key;
    }
    void CreateAndClose(const char* name) { RegCloseKey(Create(name)); }
    void SetString(HKEY key, const char* name, const char* text) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(strlen(text) + 1)));
    }
    void SetBytes(HKEY key, const char* name, DWORD type, const std::string& data) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())));
    }

    // A REG_SZ of the first count bytes of text, stored without a NUL.
    void SetPartOf(HKEY key, const char* name, const char* text, DWORD count) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), count));
    }

    std::string m_path;
    HKEY m_key = nullptr;
};

// ---- keys ------------------------------------------------------------------------

TEST_F(Registry, SubKeysEnumerateSortedByNameIgnoringCase) {
    // Created out of order; "a" names the key created as "A".
    for (const char* name : {"b",  "A",  "_x", "[y",  "1",  "Z",  "a_b", "aa",  "a[", "a",
                             "zz", "~t", "a1", "a-b", "`q", "{r", "Ab",  "aB2", "10", "9"})
        CreateAndClose(name);
    const std::vector<std::string> expected = {"1",   "10", "9",  "[y",  "_x", "`q", "A",
                                               "a-b", "a1", "a[", "a_b", "aa", "Ab", "aB2",
                                               "b",   "Z",  "zz", "{r",  "~t"};
    EXPECT_EQ(expected, SubKeyNames(m_key));

    // The order holds after keys come and go.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "AA"));
    CreateAndClose("Ac");
    std::vector<std::string> after = expected;
    after.erase(after.begin() + 11);        // "aa"
    after.insert(after.begin() + 13, "Ac"); // after "aB2"
    EXPECT_EQ(after, SubKeyNames(m_key));
}

TEST_F(Registry, KeyNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(m_key, "Audio\\Device", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &created, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    SetString(created, "Name", "first");
    RegCloseKey(created);

    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(m_key, "AUDIO\\device", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &again, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    char text[16] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "name", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("first", text);
    RegCloseKey(again);

    EXPECT_EQ(std::vector<std::string>{"Audio"}, SubKeyNames(m_key));
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(m_key, "aUdIo", &opened));
    EXPECT_EQ(std::vector<std::string>{"Device"}, SubKeyNames(opened));
    RegCloseKey(opened);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "audio\\DEVICE"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "AUDIO"));
    EXPECT_TRUE(SubKeyNames(m_key).empty());
}

TEST_F(Registry, SubKeyPathsOpenAndFail) {
    CreateAndClose("p\\q");
    struct Case {
        const char* path;
        LONG result;
    };
    const Case cases[] = {
        {"p", ERROR_SUCCESS},
        {"P\\Q", ERROR_SUCCESS},
        {"p\\", ERROR_SUCCESS},
        {"p\\\\q", ERROR_SUCCESS},
        {"\\p", ERROR_BAD_PATHNAME},
        {"missing", ERROR_FILE_NOT_FOUND},
        {"missing\\q", ERROR_FILE_NOT_FOUND},
        {"p\\q\\r", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
        EXPECT_EQ(c.result, RegOpenKeyA(m_key, c.path, &key));
        if (c.result == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            EXPECT_EQ(nullptr, key); // a failed open leaves a null handle
    }
    // Doubled separators name no empty key: "a\\\\b" creates a and b.
    CreateAndClose("x\\\\y");
    HKEY x = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(m_key, "x", &x));
    EXPECT_EQ(std::vector<std::string>{"y"}, SubKeyNames(x));
    RegCloseKey(x);

    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyA(m_key, "\\lead", &key));
    EXPECT_EQ(nullptr, key);
}

TEST_F(Registry, EmptySubKeyNamesOpenTheSameKey) {
    SetString(m_key, "v", "here");
    // RegOpenKeyA hands back the very handle it was given.
    HKEY same = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(m_key, nullptr, &same));
    EXPECT_EQ(m_key, same);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(m_key, "", &same));
    EXPECT_EQ(m_key, same);

    // The other forms open a new handle on the same key.
    HKEY handles[3] = {};
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(m_key, "", 0, KEY_READ, &handles[0]));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(m_key, nullptr, 0, KEY_READ, &handles[1]));
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(m_key, "", &handles[2]));
    for (HKEY handle : handles) {
        EXPECT_NE(m_key, handle);
        char text[8] = {};
        DWORD size = sizeof text;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(handle, "v", nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(text), &size));
        EXPECT_STREQ("here", text);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(handle));
    }
    EXPECT_NE(handles[0], handles[1]);
}

TEST_F(Registry, HandlesThatAreNotOpenAreRefused) {
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyA(bogus, "x", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyA(nullptr, "x", &key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyA(m_key, "x", nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));

    HKEY child = Create("c");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(child)); // closed twice
    char name[8];
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(child, 0, name, sizeof name));

    // The predefined root stays usable after "closing" it.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    HKEY again = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, m_path.c_str(), &again));
    RegCloseKey(again);
    EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(HKEY_CURRENT_USER));
}

TEST_F(Registry, EnumKeyNeedsRoomForTheTerminatingNul) {
    CreateAndClose("abc");
    for (DWORD size = 0; size <= 4; size++) {
        SCOPED_TRACE(size);
        char buffer[8];
        memset(buffer, kSentinel, sizeof buffer);
        LONG result = RegEnumKeyA(m_key, 0, buffer, size);
        if (size <= 3) {
            EXPECT_EQ(ERROR_MORE_DATA, result);
            EXPECT_EQ(std::string(8, kSentinel), Bytes(buffer, 8)); // untouched
        } else {
            EXPECT_EQ(ERROR_SUCCESS, result);
            EXPECT_EQ(Bytes("abc\0####", 8), Bytes(buffer, 8));
        }
    }
    char buffer[8];
    memset(buffer, kSentinel, sizeof buffer);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(m_key, 1, buffer, sizeof buffer));
    EXPECT_EQ(std::string(8, kSentinel), Bytes(buffer, 8));
}

// ---- deleting keys -----------------------------------------------------------------

TEST_F(Registry, DeletingAKeyThatStillHasSubKeysFails) {
    HKEY parent = Create("parent");
    HKEY child = Create("parent\\child");
    SetString(child, "v", "x");

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(m_key, "parent"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(parent, "")); // the key itself
    EXPECT_EQ(std::vector<std::string>{"child"}, SubKeyNames(parent));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(m_key, "missing"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(m_key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "PARENT\\Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "")); // now empty: deletes itself
    EXPECT_TRUE(SubKeyNames(m_key).empty());
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST_F(Registry, HandlesOfADeletedKeyReportItDeleted) {
    HKEY doomed = Create("doomed");
    SetString(doomed, "v", "value");
    HKEY second = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(m_key, "doomed", &second));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "doomed"));

    for (HKEY handle : {doomed, second}) {
        char buffer[16];
        DWORD size = sizeof buffer;
        DWORD type = 77;
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(handle, "v", nullptr, &type,
                                                      reinterpret_cast<BYTE*>(buffer), &size));
        DWORD nameLength = sizeof buffer;
        EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueA(handle, 0, buffer, &nameLength, nullptr, nullptr,
                                                   nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyA(handle, 0, buffer, sizeof buffer));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegSetValueExA(handle, "w", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(handle, "v"));
        HKEY sub = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
        EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(handle, "sub", &sub));
        EXPECT_EQ(nullptr, sub);
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyA(handle, "sub", &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExA(handle, "", 0, KEY_READ, &sub));
        DWORD count = 0;
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyA(handle, ""));
        EXPECT_EQ(ERROR_KEY_DELETED, RegFlushKey(handle));
    }

    // A key created again under the same name is a new key: the old handles do
    // not see it, and it holds none of the old values.
    HKEY reborn = Create("doomed");
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(doomed, "v", nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(buffer), &size));
    size = sizeof buffer;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(reborn, "v", nullptr, nullptr,
                                                     reinterpret_cast<BYTE*>(buffer), &size));
    RegCloseKey(reborn);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
}

// ---- values ------------------------------------------------------------------------

TEST_F(Registry, EveryValueTypeKeepsItsTypeAndBytes) {
    struct Case {
        const char* name;
        DWORD type;
        std::string given;    // bytes passed (the literal's NUL follows them)
        std::string expected; // bytes read back
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"sz", REG_SZ, "hello\0"s, "hello\0"s},
        // A string whose count leaves out the NUL that follows it gets the NUL.
        {"szCountWithoutNul", REG_SZ, "hello"s, "hello\0"s},
        {"szEmbeddedNul", REG_SZ, "he\0lo\0"s, "he\0lo\0"s},
        {"szEmpty", REG_SZ, ""s, ""s},
        {"szOnlyNul", REG_SZ, "\0"s, "\0"s},
        {"szTwoNuls", REG_SZ, "hi\0\0"s, "hi\0\0"s},
        {"szControl", REG_SZ, "a\r\nb\x01\0"s, "a\r\nb\x01\0"s},
        {"expand", REG_EXPAND_SZ, "%PATH%x\0"s, "%PATH%x\0"s},
        {"multi", REG_MULTI_SZ, "a\0bc\0\0"s, "a\0bc\0\0"s},
        {"binary", REG_BINARY, "\x01\x02\xff"s, "\x01\x02\xff"s},
        {"binaryEmpty", REG_BINARY, ""s, ""s},
        {"dword", REG_DWORD, "\x78\x56\x34\x12"s, "\x78\x56\x34\x12"s},
        {"dwordShort", REG_DWORD, "\x01\x02"s, "\x01\x02"s},
        {"dwordLong", REG_DWORD, "\x01\x02\x03\x04\x05\x06"s, "\x01\x02\x03\x04\x05\x06"s},
        {"bigEndian", REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04"s, "\x01\x02\x03\x04"s},
        {"qword", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s,
         "\x01\x02\x03\x04\x05\x06\x07\x08"s},
        {"none", REG_NONE, "ab"s, "ab"s},
        {"resourceList", REG_RESOURCE_LIST, "xyz"s, "xyz"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(m_key, c.name, 0, c.type,
                                                reinterpret_cast<const BYTE*>(c.given.c_str()),
                                                static_cast<DWORD>(c.given.size())));
        char buffer[40];
        memset(buffer, kSentinel, sizeof buffer);
        DWORD type = 99;
        DWORD size = sizeof buffer;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, c.name, nullptr, &type,
                                                  reinterpret_cast<BYTE*>(buffer), &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.expected, Bytes(buffer, size));
        EXPECT_EQ(kSentinel, buffer[size]);

        DWORD needed = 12345;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryValueExA(m_key, c.name, nullptr, nullptr, nullptr, &needed));
        EXPECT_EQ(c.expected.size(), needed);
        type = 99;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, c.name, nullptr, &type, nullptr, nullptr));
        EXPECT_EQ(c.type, type);
    }
    // The enumeration gives the same data.
    for (DWORD i = 0;; i++) {
        char name[32];
        DWORD nameLength = sizeof name;
        char data[40];
        DWORD size = sizeof data;
        DWORD type = 99;
        if (RegEnumValueA(m_key, i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            break;
        SCOPED_TRACE(name);
        bool found = false;
        for (const Case& c : cases) {
            if (std::string(c.name) == name) {
                found = true;
                EXPECT_EQ(c.type, type);
                EXPECT_EQ(c.expected, Bytes(data, size));
            }
        }
        EXPECT_TRUE(found);
        EXPECT_EQ(strlen(name), nameLength);
    }
    EXPECT_EQ(sizeof cases / sizeof cases[0], ValueNames(m_key).size());
}

TEST_F(Registry, AStringWithoutNulGetsOneWhenTheBufferHasRoom) {
    // "ab" of "abc": the byte after the count is not a NUL, so none is added.
    SetPartOf(m_key, "ab", "abc", 2);
    char buffer[8];
    memset(buffer, kSentinel, sizeof buffer);
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, "ab", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(2u, size);
    EXPECT_EQ(Bytes("ab\0#", 4), Bytes(buffer, 4)); // a NUL is added but not counted

    memset(buffer, kSentinel, sizeof buffer);
    size = 2;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, "ab", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(Bytes("ab##", 4), Bytes(buffer, 4)); // no room: nothing beyond the count

    char name[8];
    DWORD nameLength = sizeof name;
    memset(buffer, kSentinel, sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(m_key, 0, name, &nameLength, nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(Bytes("ab\0#", 4), Bytes(buffer, 4));
}

TEST_F(Registry, QueryValueWithABufferTooSmallLeavesItUntouched) {
    SetString(m_key, "sz", "hello");
    SetBytes(m_key, "bin", REG_BINARY, "\x01\x02\x03");
    SetBytes(m_key, "dw", REG_DWORD, "\x01\x00\x00\x00");
    SetBytes(m_key, "multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
    for (const char* name : {"sz", "bin", "dw", "multi"}) {
        SCOPED_TRACE(name);
        DWORD full = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, name, nullptr, nullptr, nullptr, &full));
        for (DWORD given : {full - 1, DWORD(0)}) {
            char buffer[16];
            memset(buffer, kSentinel, sizeof buffer);
            DWORD size = given;
            DWORD type = 99;
            EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(m_key, name, nullptr, &type,
                                                        reinterpret_cast<BYTE*>(buffer), &size));
            EXPECT_EQ(full, size); // the size it needs
            EXPECT_NE(99u, type);
            EXPECT_EQ(std::string(16, kSentinel), Bytes(buffer, 16));
        }
        char buffer[16];
        DWORD size = full;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, name, nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(buffer), &size));
        EXPECT_EQ(full, size);
    }
}

TEST_F(Registry, QueryValueArgumentsAndMissingValues) {
    SetString(m_key, "Alpha", "x");
    char buffer[8];
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(m_key, "Alpha", nullptr, nullptr,
                                                        reinterpret_cast<BYTE*>(buffer), nullptr));
    DWORD size = sizeof buffer;
    DWORD type = 77;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(m_key, "Beta", nullptr, &type,
                                                     reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_NONE), type);
    EXPECT_EQ(sizeof buffer, size);
    // No default value yet: a null or empty name finds nothing.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(m_key, nullptr, nullptr, nullptr,
                                                     reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(m_key, "", nullptr, nullptr,
                                                     reinterpret_cast<BYTE*>(buffer), &size));
    SetString(m_key, nullptr, "default");
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, "", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_STREQ("default", buffer);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(m_key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(m_key, "Beta"));
}

TEST_F(Registry, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    SetString(m_key, "Alpha", "one");
    SetBytes(m_key, "ALPHA", REG_DWORD, std::string("\x07\0\0\0", 4));
    EXPECT_EQ(std::vector<std::string>{"Alpha"}, ValueNames(m_key));
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(m_key, "aLpHa", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(7u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_key, "alpha"));
    EXPECT_TRUE(ValueNames(m_key).empty());

    // Value names may be 16383 characters long, not longer.
    std::string longest(16383, 'v');
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(m_key, longest.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>("x"), 2));
    longest += 'v';
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(m_key, longest.c_str(), 0, REG_SZ,
                                                      reinterpret_cast<const BYTE*>("x"), 2));
}

TEST_F(Registry, ValuesCreatedInNameOrderEnumerateInThatOrder) {
    // Windows lists values in creation order, Wine sorted by name: created in name
    // order, both agree. The default value has the empty name and comes first.
    SetString(m_key, nullptr, "default");
    for (const char* name : {"_u", "a", "Alpha", "B2", "beta", "zeta"})
        SetString(m_key, name, "x");
    const std::vector<std::string> expected = {"", "_u", "a", "Alpha", "B2", "beta", "zeta"};
    EXPECT_EQ(expected, ValueNames(m_key));
    // Deleting one shifts the later ones down by one index.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_key, "a"));
    const std::vector<std::string> after = {"", "_u", "Alpha", "B2", "beta", "zeta"};
    EXPECT_EQ(after, ValueNames(m_key));
}

TEST_F(Registry, EnumValueWithBuffersTooSmall) {
    SetBytes(m_key, "big", REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04"); // name 3, data 4
    struct Case {
        const char* what;
        DWORD nameSize, dataSize;
        LONG result;
        std::string name; // the name buffer afterwards (8 bytes)
        DWORD nameLengthAfter;
        std::string data; // the data buffer afterwards (8 bytes)
        DWORD dataSizeAfter;
    };
    const std::string untouched(8, kSentinel);
    const std::string data = Bytes("\x01\x02\x03\x04####", 8);
    const Case cases[] = {
        {"both fit", 4, 4, ERROR_SUCCESS, Bytes("big\0####", 8), 3, data, 4},
        // The data fits, the name does not: the name is cut, the data delivered.
        {"name without room for its NUL", 3, 4, ERROR_MORE_DATA, Bytes("bi\0#####", 8), 3, data, 4},
        {"name buffer of one", 1, 4, ERROR_MORE_DATA, Bytes("\0#######", 8), 1, data, 4},
        {"name buffer of zero", 0, 4, ERROR_MORE_DATA, untouched, 0, data, 4},
        // The data does not fit: neither buffer is touched; the data size needed.
        {"data short by one", 4, 3, ERROR_MORE_DATA, untouched, 4, untouched, 4},
        {"data buffer of zero", 4, 0, ERROR_MORE_DATA, untouched, 4, untouched, 4},
        {"both short", 3, 3, ERROR_MORE_DATA, untouched, 3, untouched, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char name[8];
        char buffer[8];
        memset(name, kSentinel, sizeof name);
        memset(buffer, kSentinel, sizeof buffer);
        DWORD nameLength = c.nameSize;
        DWORD size = c.dataSize;
        DWORD type = 99;
        EXPECT_EQ(c.result, RegEnumValueA(m_key, 0, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(buffer), &size));
        EXPECT_EQ(c.name, Bytes(name, 8));
        EXPECT_EQ(c.nameLengthAfter, nameLength);
        EXPECT_EQ(c.data, Bytes(buffer, 8));
        EXPECT_EQ(c.dataSizeAfter, size);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD_BIG_ENDIAN), type);
    }
}

TEST_F(Registry, EnumValueArgumentsAndTheEnd) {
    SetString(m_key, "ab", "text");
    char name[8];
    char data[8];
    DWORD nameLength = sizeof name;
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumValueA(m_key, 0, nullptr, &nameLength, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(m_key, 0, name, nullptr, nullptr, nullptr,
                                                     reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(m_key, 0, name, &nameLength, nullptr, nullptr,
                                                     reinterpret_cast<BYTE*>(data), nullptr));
    // Only the name and the data size asked for.
    EXPECT_EQ(ERROR_SUCCESS,
              RegEnumValueA(m_key, 0, name, &nameLength, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(2u, nameLength);
    EXPECT_EQ(5u, size);

    memset(name, kSentinel, sizeof name);
    nameLength = sizeof name;
    size = sizeof data;
    DWORD type = 77;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(m_key, 1, name, &nameLength, nullptr, &type,
                                                 reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(std::string(8, kSentinel), Bytes(name, 8));
    EXPECT_EQ(sizeof name, nameLength);
    EXPECT_EQ(77u, type);
}

// ---- key information -----------------------------------------------------------------

TEST_F(Registry, QueryInfoKeyGivesCountsAndLongestNamesAndData) {
    SetString(m_key, "abc", "12345678"); // 9 characters: 18 UTF-16 bytes
    SetBytes(m_key, "q", REG_BINARY, std::string(10, 'b'));
    SetBytes(m_key, "longestname", REG_BINARY, "0");
    SetPartOf(m_key, "raw", "abc", 2); // "ab", no NUL: 4 UTF-16 bytes
    CreateAndClose("abcdef");
    CreateAndClose("s");
    CreateAndClose("abcdef\\deeper-and-longer-below"); // not a direct sub-key

    struct Expected {
        DWORD subKeys, maxSubKey, values, maxValueName, maxData;
    };
    auto query = [&]() {
        Expected got = {99, 99, 99, 99, 99};
        char cls[8];
        memset(cls, kSentinel, sizeof cls);
        DWORD classLength = sizeof cls;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryInfoKeyA(m_key, cls, &classLength, nullptr, &got.subKeys, &got.maxSubKey,
                                   nullptr, &got.values, &got.maxValueName, &got.maxData, nullptr,
                                   nullptr));
        EXPECT_EQ('\0', cls[0]);
        EXPECT_EQ(0u, classLength);
        return got;
    };
    Expected got = query();
    EXPECT_EQ(2u, got.subKeys);
    EXPECT_EQ(6u, got.maxSubKey);
    EXPECT_EQ(4u, got.values);
    EXPECT_EQ(11u, got.maxValueName);
    EXPECT_EQ(18u, got.maxData);
    // Each maximum asked for alone is the same.
    DWORD alone = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, &alone, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(6u, alone);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, &alone, nullptr, nullptr, nullptr));
    EXPECT_EQ(11u, alone);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, &alone, nullptr, nullptr));
    EXPECT_EQ(18u, alone);

    // The maxima follow the longest that is left.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_key, "abc"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_key, "longestname"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "abcdef\\deeper-and-longer-below"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(m_key, "abcdef"));
    got = query();
    EXPECT_EQ(1u, got.subKeys);
    EXPECT_EQ(1u, got.maxSubKey);
    EXPECT_EQ(2u, got.values);
    EXPECT_EQ(3u, got.maxValueName);
    EXPECT_EQ(10u, got.maxData);

    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
}

} // namespace
