// The registry store of a whole process: where it comes from, when it is saved,
// what stops the program, and the Linux-only edges of the registry functions.
// Cases that change the process's registry or its exit hooks run in a child
// process of their own (gtest death tests in the "threadsafe" style start the test
// program afresh), so that this process keeps its own.
#include "common/TestSupport.h"
#include "regfile/RegFileReader.h"
#include "platform/RegistryText.h"
#include "platform/posix/FlushAtExit.h"
#include "platform/RunEnvironment.h"
#include "platform/posix/RegistryStore.h"
#include "platform/posix/RunGuard.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace std::string_literals;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

// In a child process: goes on when ok, else prints why and ends with exit code 1.
void Require(bool ok, const char* why) {
    if (ok)
        return;
    std::fprintf(stderr, "failed: %s\n", why);
    std::fflush(stderr);
    std::exit(1);
}

// The value Name of HKCU\Software\CorvaneTests\<key> in a store file, "" when absent.
std::string StoredValue(const std::string& storePath, const std::string& key) {
    regfile::RegFileContent content;
    if (!regfile::ParseRegFile(ReadFileBytes(storePath), content).ok())
        return "(unreadable)";
    for (const regfile::RegFileKey& fileKey : content.keys)
        if (fileKey.path == "HKEY_CURRENT_USER\\Software\\CorvaneTests\\" + key)
            for (const regfile::RegFileValue& value : fileKey.values)
                if (value.name == "Name")
                    return value.data;
    return "";
}

// Writes HKCU\Software\CorvaneTests\<key> Name=text through the registry functions.
bool WriteThroughApi(const std::string& key, const char* text) {
    HKEY handle = nullptr;
    std::string path = "Software\\CorvaneTests\\" + key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &handle) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(handle, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

// A folder this process shares with the children of its death tests. A child runs
// the test from its start again, in a program started afresh; it finds the folder
// through the environment.
const std::string& SharedFolder() {
    static std::string path;
    if (path.empty()) {
        if (const char* inherited = std::getenv("CORVANE_TEST_SHARED_FOLDER")) {
            path = inherited;
        } else {
            static ScratchDir owned;
            path = owned.path().string();
            SetEnvironmentVariableForTests("CORVANE_TEST_SHARED_FOLDER", path.c_str());
        }
    }
    return path;
}

// Set by a test whose children must find the folder as the parent left it.
const char kInChild[] = "CORVANE_TEST_IN_DEATH_CHILD";

class RegistryProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        m_folder = std::filesystem::path(SharedFolder()) /
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        if (std::getenv(kInChild)) // the parent made what the child finds
            return;
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    std::string File(const char* name) const { return (m_folder / name).string(); }
    std::string StorePath() const { return File("store.reg"); }

    std::filesystem::path m_folder;
};

// ---- a store that cannot be opened ----------------------------------------------------

// How opening fails, and that a store which failed is neither read nor written:
// every registry call refuses, and the exit hooks that run when the process ends
// save nothing.
struct OpeningCase {
    const char* name; // the test's folder, one per case
    std::string storeText;
    const char* journalText; // a journal left beside the store, or null
    bool heldByAnotherRun;
    runenv::RegistryOpening outcome;
    const char* message; // a regular expression
};

TEST_F(RegistryProcess, AStoreThatCannotBeOpenedIsNeverReadNorWritten) {
    const OpeningCase cases[] = {
        {"broken",
         "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Brax]\r\n\"DataPath\"=\"C:\\\\Data\r\n",
         nullptr, false, runenv::RegistryOpening::unreadable,
         "/broken/store\\.reg:3: the string has no closing quote\n$"},
        {"not-a-registry", "\xFF\xFE"s + "[\0"s, nullptr, false,
         runenv::RegistryOpening::unreadable,
         "/not-a-registry/store\\.reg:1: not a registry export file: the first line"},
        {"foreign-journal", "REGEDIT4\r\n", "written by someone else\n", false,
         runenv::RegistryOpening::foreignJournal,
         "/foreign-journal/store\\.reg\\.commit: not a journal of this program; left "
         "alone\n$"},
        {"busy", "REGEDIT4\r\n", nullptr, true, runenv::RegistryOpening::busy,
         "/busy/store\\.reg: another run is converting this registry; nothing was "
         "changed\\. Run again when it has finished\\.\n$"},
    };
    const bool inChild = std::getenv(kInChild) != nullptr;
    for (const OpeningCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path folder = m_folder / c.name;
        std::string store = (folder / "store.reg").string();
        if (!inChild) {
            std::filesystem::create_directories(folder);
            WriteFileBytes(store, c.storeText);
            if (c.journalText)
                WriteFileBytes(store + ".commit", c.journalText);
            // The mark this process holds from here on stands for the other run.
            if (c.heldByAnotherRun) {
                ASSERT_EQ(posix::TakeRunGuard(store), posix::RunGuardResult::Held);
            }
        }
        auto filesIn = [&] {
            return std::distance(std::filesystem::directory_iterator(folder),
                                 std::filesystem::directory_iterator());
        };
        const auto files = filesIn();
        SetEnvironmentVariableForTests(kInChild, "1");
        EXPECT_EXIT(
            {
                SetEnvironmentVariableForTests("CORVANE_REGISTRY", store.c_str());
                HKEY key = nullptr;
                Require(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key) == ERROR_BADDB,
                        "the registry was opened");
                runenv::RegistryOpenResult opened = runenv::OpenRegistry();
                Require(opened.outcome == c.outcome, "the outcome");
                Require(!WriteThroughApi("Lost", "x"), "a write was taken");
                Require(RegFlushKey(HKEY_CURRENT_USER) == ERROR_BADDB, "a flush was taken");
                std::fprintf(stderr, "%s\n", opened.message.c_str());
                std::exit(0); // the exit hooks run
            },
            ::testing::ExitedWithCode(0), c.message);
        SetEnvironmentVariableForTests(kInChild, nullptr);
        EXPECT_EQ(files, filesIn());
        // Nothing was written: the store is as it was.
        EXPECT_EQ(c.storeText, ReadFileBytes(store));
    }
}

TEST(RegistryStoreLoad, GivesTheStoreOrWhyNot) {
    ScratchDir dir;
    std::string path = dir.file("store.reg");
    WriteFileBytes(path, "REGEDIT4\n[HKCU\\A]\n\"v\"=\"1\"\n");
    posix::RegistryStore store(path);
    EXPECT_TRUE(store.Load().ok);
    EXPECT_NE(nullptr, store.OpenPath(store.Root(), "A"));

    posix::RegistryStore missing(dir.file("missing.reg"));
    EXPECT_TRUE(missing.Load().ok);
    EXPECT_EQ(0u, missing.Root()->SubKeyCount());
    EXPECT_FALSE(FileExists(dir.file("missing.reg")));

    WriteFileBytes(path, "\xFF\xFE"s + "[\0"s);
    posix::RegistryStore broken(path);
    posix::RegistryLoadResult result = broken.Load();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(1, result.line);
    EXPECT_EQ(0u, result.message.rfind("not a registry export file", 0)) << result.message;
}

// ---- saving ------------------------------------------------------------------------

TEST_F(RegistryProcess, ChangesAreSavedAtExitAndOnlyChanges) {
    EXPECT_EXIT(
        {
            SetEnvironmentVariableForTests("CORVANE_REGISTRY", StorePath().c_str());
            HKEY key = nullptr;
            RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key); // reads only
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(FileExists(StorePath()));

    EXPECT_EXIT(
        {
            SetEnvironmentVariableForTests("CORVANE_REGISTRY", StorePath().c_str());
            Require(WriteThroughApi("AtExit", "saved"), "writing through the registry functions");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ("saved\0"s, StoredValue(StorePath(), "AtExit"));
}

TEST_F(RegistryProcess, FlushKeyWritesTheSettingsFilesFirst) {
    // The child's settings-file stage records whether the store was on disk yet.
    EXPECT_EXIT(
        {
            static std::string store;
            static bool storeWrittenBeforeSettings = false;
            static bool settingsOk = false;
            store = StorePath();
            SetEnvironmentVariableForTests("CORVANE_REGISTRY", store.c_str());
            posix::RegisterFlushHook(posix::FlushStage::ProfileFiles, [] {
                storeWrittenBeforeSettings = FileExists(store);
                return settingsOk;
            });
            Require(WriteThroughApi("Flush", "one"), "writing");
            // Settings files that cannot be written keep the registry from the disk.
            Require(RegFlushKey(HKEY_CURRENT_USER) == ERROR_WRITE_FAULT, "flush reports failure");
            Require(!FileExists(store), "the store stayed unwritten");
            settingsOk = true;
            Require(RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS, "flush succeeds");
            Require(!storeWrittenBeforeSettings, "settings before the store");
            Require(StoredValue(store, "Flush") == "one\0"s, "the store holds the value");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RegistryProcess, AStoreThatCannotBeSavedIsReported) {
    // A store in a folder that does not exist reads as empty and cannot be saved.
    std::string store = File("missing-folder") + "/store.reg";
    EXPECT_EXIT(
        {
            SetEnvironmentVariableForTests("CORVANE_REGISTRY", store.c_str());
            Require(WriteThroughApi("Lost", "x"), "writing");
            Require(RegFlushKey(HKEY_CURRENT_USER) == ERROR_PATH_NOT_FOUND, "flush fails");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "store\\.reg: cannot save the registry: No such file or directory");
}

// ---- string data of an odd byte count -------------------------------------------------

// In a child process: the A-functions and the stored bytes of the key Odd.
void CheckOddValues(const std::string& store) {
    SetEnvironmentVariableForTests("CORVANE_REGISTRY", store.c_str());
    HKEY key = nullptr;
    Require(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\Odd", &key) == ERROR_SUCCESS,
            "opening the key");
    // What the A-functions give is what Wine gives for the same data.
    struct Case {
        std::string ansi, stored;
    };
    const Case cases[] = {{"a\0"s, "a\0\0\0\0"s}, {"a"s, "a\0b"s}, {""s, "a"s}};
    for (DWORD i = 0; i < 3; ++i) {
        char name[16];
        DWORD nameLength = sizeof name, size = 16;
        BYTE data[16];
        Require(RegEnumValueA(key, i, name, &nameLength, nullptr, nullptr, data, &size) ==
                        ERROR_SUCCESS &&
                    std::string(reinterpret_cast<char*>(data), size) == cases[i].ansi,
                "the A-functions give the text without the odd byte");
        std::string stored;
        Require(RegistryValueStoredBytes(key, i, stored) && stored == cases[i].stored,
                "the stored bytes are all there");
    }
    DWORD longest = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &longest, nullptr, nullptr);
    Require(longest == 5, "the longest data counts the odd byte");
    // Writing a value replaces it whole.
    Require(RegSetValueExA(key, "Three", 0, REG_SZ, reinterpret_cast<const BYTE*>("b"), 2) ==
                ERROR_SUCCESS,
            "writing");
    std::string stored;
    Require(RegistryValueStoredBytes(key, 1, stored) && stored == "b\0\0\0"s,
            "the written value has no odd byte");
    std::exit(0);
}

TEST_F(RegistryProcess, AnOddLastByteIsKeptButNoAFunctionShowsIt) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\CorvaneTests]\n\n";
    const std::string untouched = "[HKEY_CURRENT_USER\\Software\\CorvaneTests\\Untouched]\n"
                                  "\"Five\"=hex(1):61,00,00,00,00\n"
                                  "\"One\"=hex(2):61\n\n";
    WriteFileBytes(StorePath(), testing_support::Utf16RegistryFile(
                                    head +
                                    "[HKEY_CURRENT_USER\\Software\\CorvaneTests\\Odd]\n"
                                    "\"Five\"=hex(1):61,00,00,00,00\n"
                                    "\"Three\"=hex(1):61,00,62\n"
                                    "\"One\"=hex(2):61\n\n" +
                                    untouched));
    EXPECT_EXIT(CheckOddValues(StorePath()), ::testing::ExitedWithCode(0), "");
    // Saved again, the file keeps every byte of what the run did not write.
    EXPECT_EQ(
        testing_support::Utf16RegistryFile(head +
                                           "[HKEY_CURRENT_USER\\Software\\CorvaneTests\\Odd]\n"
                                           "\"Five\"=hex(1):61,00,00,00,00\n"
                                           "\"Three\"=\"b\"\n"
                                           "\"One\"=hex(2):61\n\n" +
                                           untouched),
        ReadFileBytes(StorePath()));
}

// ---- Linux-only edges of the registry functions ----------------------------------------

TEST(RegistryOnLinux, KeyNamesWithLineBreaksAreRefused) {
    // The store's key lines cannot hold them (Windows would accept them).
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5555));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\a\nb", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\a\rb", &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests", &key));
}

TEST(RegistryOnLinux, OtherHivesAreEmptyAndReadOnly) {
    HKEY key = nullptr;
    char name[16];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software", &key));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(HKEY_CLASSES_ROOT, "v", 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>("x"), 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_USERS, ""));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, ""));
}

TEST(RegistryOnLinux, NullDataWithACountIsRefused) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\Null", &key));
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 0));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\Null"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests");
}

TEST(RegistryOnLinux, OnlyAsciiLettersFoldCase) {
    // 8-bit text is UTF-8 here; "Ä" and "ä" are two names.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\\xC3\x84", &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests\\\xC3\xA4", &key));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "software\\corvanetests\\\xC3\x84"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CorvaneTests");
}

} // namespace
