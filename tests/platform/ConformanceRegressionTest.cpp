// Cases the differential conformance check (tests/conformance) found where our
// layer and the Windows build under Wine parted ways, each cut down to a few
// calls. The same expectations hold for both builds.
#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace profile_test;
using testing_support::IsWindowsBuild;

// A file that cannot be opened (its folder missing, or a folder by its name):
// a value's default comes back as passed (trailing blanks removed), its quotes
// kept; a missing file in an existing folder reads as empty, and there the
// quotes go.
TEST(ConformanceRegression, DefaultOfAFileThatCannotBeOpenedKeepsItsQuotes) {
    ProfileFolder folder;
    const std::string unopened = folder.File("nodir") + (IsWindowsBuild() ? "\\x.ini" : "/x.ini");
    const std::string missing = folder.File("missing.ini");
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        DWORD size;
        std::string unopened; // what the file in a missing folder gives
        std::string missing;  // what a missing file gives
    };
    const Case cases[] = {
        {"s", "k", "\"dd\"", 10, "\"dd\"", "dd"},
        {"s", "k", "'dd'  ", 10, "'dd'", "dd"},
        {"s", "k", "'d'", 3, "'d", "d"},
        {"s", "k", "'d'", 1, "", ""},
        {"s", "k", "\"", 10, "\"", "\""},
        {"s", "k", "plain  ", 10, "plain", "plain"},
        // Key and section lists fall back as before: the key list to the
        // default untrimmed with its quotes, the section list to nothing.
        {"s", nullptr, "'dd'  ", 10, "'dd'  ", "'dd'  "},
        {nullptr, nullptr, "'dd'", 10, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "(null)") + "/" +
                     (c.key ? c.key : "(null)") + " default [" + c.def + "] size " +
                     std::to_string(c.size));
        EXPECT_EQ(c.unopened, GetString(c.section, c.key, c.def, c.size, unopened).text);
        // A folder by the file's name cannot be opened either.
        EXPECT_EQ(c.unopened, GetString(c.section, c.key, c.def, c.size, folder.File("")).text);
        EXPECT_EQ(c.missing, GetString(c.section, c.key, c.def, c.size, missing).text);
    }
    SetLastError(0);
    GetString("s", "k", "\"dd\"", 10, unopened);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

// Deleting from a file that is not there finds nothing and makes no file, not
// even the nameless section every file starts with; an existing file holding
// only blank lines has that section, and deleting it rewrites the file.
TEST(ConformanceRegression, DeletingFromAMissingFileMakesNoFile) {
    ProfileFolder folder;
    const std::string missing = folder.File("missing.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("", nullptr, nullptr, missing.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("s", nullptr, nullptr, missing.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("", "k", nullptr, missing.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(testing_support::FileExists(missing));

    const std::string blank = folder.FileWith("blank.ini", "\r\n\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("", nullptr, nullptr, blank.c_str()));
    EXPECT_EQ("", SavedBytes(blank));

    // A file this process made and emptied again stays, empty.
    const std::string made = folder.File("made.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", "v", made.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, made.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("", nullptr, nullptr, made.c_str()));
    EXPECT_TRUE(testing_support::FileExists(made));
    EXPECT_EQ("", SavedBytes(made));
}

// A value name longer than 16,383 characters is looked at before the key: on a
// key deleted behind an open handle it is refused (set) or not found (query,
// delete), where a name of allowed length learns that the key is gone.
TEST(ConformanceRegression, OverlongValueNameOnADeletedKey) {
    const char* path = "Software\\CorvaneTests\\ConformanceDeletedKey";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, path));
    const std::string overlong(16384, 'v');
    const std::string longest(16383, 'v');
    const BYTE data[] = "x";
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegSetValueExA(key, overlong.c_str(), 0, REG_SZ, data, sizeof data));
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegSetValueExA(key, longest.c_str(), 0, REG_SZ, data, sizeof data));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, overlong.c_str(), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, overlong.c_str()));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(key, "v"));
    // A handle that is no handle comes first.
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegSetValueExA(nullptr, overlong.c_str(), 0, REG_SZ, data, sizeof data));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests"); // when empty
}

} // namespace
