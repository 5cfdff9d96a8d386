// The Linux registry store: loading a registry export file, the tree it makes,
// and saving it back.
#include "common/TestSupport.h"
#include "platform/posix/FaultInjection.h"
#include "platform/TextConversion.h"
#include "platform/posix/RegistryStore.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace std::string_literals;
using posix::RegistryKey;
using posix::RegistryStore;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

std::vector<std::string> SubKeyNames(const RegistryKey& key) {
    std::vector<std::string> names;
    for (size_t i = 0; i < key.SubKeyCount(); i++)
        names.push_back(key.SubKeyAt(i)->Name());
    return names;
}

std::vector<std::string> ValueNames(const RegistryKey& key) {
    std::vector<std::string> names;
    for (size_t i = 0; i < key.ValueCount(); i++)
        names.push_back(key.ValueAt(i).name);
    return names;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RegistryStoreFile : public ::testing::Test {
  protected:
    std::string StorePath() const { return m_dir.file("HKCU.reg"); }

    // A store loaded from the given file content.
    std::unique_ptr<RegistryStore> Load(const std::string& bytes) {
        WriteFileBytes(StorePath(), bytes);
        auto store = std::make_unique<RegistryStore>(StorePath());
        posix::RegistryLoadResult result = store->Load();
        EXPECT_TRUE(result.ok) << result.line << ": " << result.message;
        return store;
    }

    ScratchDir m_dir;
};

// ---- writing -------------------------------------------------------------------------

TEST_F(RegistryStoreFile, ANewStoreIsWrittenAsTheRegistryEditorExports) {
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.Load().ok); // no file: an empty registry
    EXPECT_FALSE(store.IsModified());
    auto app = store.CreatePath(store.Root(), "Software\\Brax\\Corvane");
    store.SetValue(*app, "", REG_SZ, "default\0"s);
    store.SetValue(*app, "Count", REG_DWORD, "\x05\0\0\0"s);
    store.CreatePath(app, "Zeta");
    auto audio = store.CreatePath(app, "Audio");
    store.SetValue(*audio, "Device", REG_SZ, "A\nB\0"s);
    store.CreatePath(app, "_first");
    store.SetValue(*store.Root(), "AtTheRoot", REG_SZ, "r\0"s);
    ASSERT_TRUE(store.IsModified());
    ASSERT_EQ(0, store.SaveIfModified());
    EXPECT_FALSE(store.IsModified());

    const std::string expected = "Windows Registry Editor Version 5.00\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER]\n"
                                 "\"AtTheRoot\"=\"r\"\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane]\n"
                                 "@=\"default\"\n"
                                 "\"Count\"=dword:00000005\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\_first]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Audio]\n"
                                 "\"Device\"=hex(1):41,00,0a,00,42,00,00,00\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Zeta]\n"
                                 "\n";
    EXPECT_EQ(testing_support::Utf16RegistryFile(expected), ReadFileBytes(StorePath()));
}

TEST_F(RegistryStoreFile, KeepsOtherHivesAndTheFormatOfTheFile) {
    auto store = Load("Windows Registry Editor Version 5.00\n"
                      "\n"
                      "; written by hand\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\n"
                      "\"Installed\"=dword:1\n"
                      "\"Gone\"=-\n"
                      "[-HKCR\\.old]\n"
                      "[HKCU\\Software\\Brax]\n"
                      "\"Name\"=\"x\"\n"
                      "[HKLM\\Software\\Vendor\\More]\n");
    auto brax = store->OpenPath(store->Root(), "software\\BRAX");
    ASSERT_NE(nullptr, brax);
    store->SetValue(*brax, "Name", REG_SZ, "changed\0"s);
    ASSERT_EQ(0, store->SaveIfModified());
    // Current-user keys first, under their long name; the rest as they came.
    EXPECT_EQ("Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Brax]\n"
              "\"Name\"=\"changed\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\n"
              "\"Installed\"=dword:00000001\n"
              "\"Gone\"=-\n"
              "\n"
              "[-HKCR\\.old]\n"
              "\n"
              "[HKLM\\Software\\Vendor\\More]\n"
              "\n",
              ReadFileBytes(StorePath()));
}

TEST_F(RegistryStoreFile, NothingIsWrittenWhenNothingChanged) {
    const std::string original = "REGEDIT4\r\n"
                                 "; this comment stays while the file is not rewritten\r\n"
                                 "[HKEY_CURRENT_USER\\A]\r\n"
                                 "\"v\"=\"1\"\r\n";
    auto store = Load(original);
    auto a = store->OpenPath(store->Root(), "a");
    ASSERT_NE(nullptr, a);
    // None of these changes anything.
    store->SetValue(*a, "V", REG_SZ, "1\0"s);
    bool created = true;
    store->CreatePath(store->Root(), "A", &created);
    EXPECT_FALSE(created);
    EXPECT_FALSE(store->DeleteValue(*a, "missing"));
    EXPECT_FALSE(store->IsModified());
    EXPECT_EQ(0, store->SaveIfModified());
    EXPECT_EQ(original, ReadFileBytes(StorePath()));

    store->SetValue(*a, "v", REG_SZ, "2\0"s);
    EXPECT_TRUE(store->IsModified());
    ASSERT_EQ(0, store->SaveIfModified());
    EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"2\"\r\n\r\n",
              ReadFileBytes(StorePath()));
}

TEST_F(RegistryStoreFile, SavesThroughATemporaryFileRenamedOverTheStore) {
    auto store = Load(testing_support::Utf16RegistryFile(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"));
    ASSERT_EQ(0, chmod(StorePath().c_str(), 0640));
    struct stat before;
    ASSERT_EQ(0, stat(StorePath().c_str(), &before));

    // While the temporary file cannot be made, the store is left alone.
    setenv("CORVANE_FAULT_AT", "1", 1);
    posix::fault::ResetForTests();
    store->CreatePath(store->Root(), "B");
    const std::string old = ReadFileBytes(StorePath());
    EXPECT_NE(0, store->SaveIfModified());
    unsetenv("CORVANE_FAULT_AT");
    posix::fault::ResetForTests();
    EXPECT_TRUE(store->IsModified());
    EXPECT_EQ(old, ReadFileBytes(StorePath()));

    ASSERT_EQ(0, store->SaveIfModified());
    struct stat after;
    ASSERT_EQ(0, stat(StorePath().c_str(), &after));
    EXPECT_NE(before.st_ino, after.st_ino); // a new file took the old one's place
    EXPECT_EQ(0640u, after.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>{"HKCU.reg"}, FilesIn(m_dir.path()));
    EXPECT_NE(std::string::npos,
              ReadFileBytes(StorePath())
                  .find(testing_support::Utf16RegistryFile("[HKEY_CURRENT_USER\\B]").substr(2)));
}

TEST_F(RegistryStoreFile, AStoreReachedThroughALinkReplacesTheFileLinkedTo) {
    std::string real = m_dir.file("real.reg");
    WriteFileBytes(real, "REGEDIT4\n[HKCU\\A]\n");
    std::filesystem::create_symlink(real, StorePath());
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.Load().ok);
    store.CreatePath(store.Root(), "B");
    ASSERT_EQ(0, store.SaveIfModified());
    EXPECT_TRUE(std::filesystem::is_symlink(StorePath()));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\n[HKEY_CURRENT_USER\\B]\n\n",
              ReadFileBytes(real));
}

// ---- reading ---------------------------------------------------------------------------

TEST_F(RegistryStoreFile, AppliesDeletionsAndMergesRepeatedKeys) {
    auto store = Load("Windows Registry Editor Version 5.00\n"
                      "[HKEY_CURRENT_USER\\A]\n"
                      "\"one\"=\"1\"\n"
                      "\"two\"=\"2\"\n"
                      "[HKEY_CURRENT_USER\\A\\B]\n"
                      "[HKCU\\a]\n"
                      "\"ONE\"=dword:9\n"
                      "\"three\"=\"3\"\n"
                      "\"two\"=-\n"
                      "[-HKEY_CURRENT_USER\\A\\B]\n"
                      "[HKEY_CURRENT_USER\\C\\D\\E]\n"
                      "[-HKEY_CURRENT_USER\\C]\n"
                      "[-HKEY_CURRENT_USER\\NeverThere]\n");
    EXPECT_EQ(std::vector<std::string>{"A"}, SubKeyNames(*store->Root()));
    auto a = store->OpenPath(store->Root(), "A");
    ASSERT_NE(nullptr, a);
    EXPECT_TRUE(SubKeyNames(*a).empty());
    // A value set again keeps its place and first spelling.
    EXPECT_EQ((std::vector<std::string>{"one", "three"}), ValueNames(*a));
    EXPECT_EQ(static_cast<uint32_t>(REG_DWORD), a->FindValue("One")->type);
    EXPECT_EQ("\x09\0\0\0"s, a->FindValue("one")->data);
    EXPECT_FALSE(store->IsModified()); // loading is not a change
}

TEST_F(RegistryStoreFile, LoadFailuresNameTheLine) {
    struct Case {
        const char* what;
        std::string bytes;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"garbage",
         "\x7f"
         "ELF\x02\x01",
         1, "not a registry export file"},
        {"stray line", "REGEDIT4\n[HKCU\\A]\n\"v\"=\"1\"\nv=1\n", 4, "expected a [key] line"},
        {"whole hive deleted", "REGEDIT4\n\n[HKCU\\A]\n[-HKEY_CURRENT_USER]\n", 4,
         "the whole HKEY_CURRENT_USER hive cannot be deleted"},
        {"whole hive deleted with a backslash", "REGEDIT4\n[-HKCU\\]\n", 2,
         "the whole HKEY_CURRENT_USER hive cannot be deleted"},
        // Keys are applied while the file is read; an error in the file still wins.
        {"stray line after the hive deleted", "REGEDIT4\n[-HKCU]\n[HKCU\\A]\nv=1\n", 4,
         "expected a [key] line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(StorePath(), c.bytes);
        RegistryStore store(StorePath());
        posix::RegistryLoadResult result = store.Load();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(c.line, result.line);
        EXPECT_NE(std::string::npos, result.message.find(c.message)) << result.message;
    }
    // A store that is not a readable file.
    std::filesystem::remove(StorePath());
    std::filesystem::create_directory(StorePath());
    RegistryStore folder(StorePath());
    posix::RegistryLoadResult result = folder.Load();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(1, result.line);
    EXPECT_NE(std::string::npos, result.message.find("cannot read")) << result.message;
}

TEST_F(RegistryStoreFile, TextIsUtf8InsideAndUtf16InTheFile) {
    // "Größe €" and "Wert 🎹" in UTF-16LE, and %Ü% as hex(2).
    const std::string wide =
        "\xFF\xFE"s +
        testing_support::Utf16RegistryFile("Windows Registry Editor Version 5.00\n\n"
                                           "[HKEY_CURRENT_USER\\Gr")
            .substr(2) +
        "\xF6\0\xDF\0"s + testing_support::Utf16RegistryFile("e ").substr(2) + "\xAC\x20"s +
        testing_support::Utf16RegistryFile("]\n\"Name\"=\"Wert ").substr(2) + "\x3C\xD8\xB9\xDF"s +
        testing_support::Utf16RegistryFile("\"\n\"Exp\"=hex(2):25,00,dc,00,25,00,00,00\n\n")
            .substr(2);
    auto store = Load(wide);
    auto key = store->OpenPath(store->Root(), "Gr\xC3\xB6\xC3\x9F"
                                              "e \xE2\x82\xAC");
    ASSERT_NE(nullptr, key);
    EXPECT_EQ("Wert \xF0\x9F\x8E\xB9\0"s, key->FindValue("Name")->data);
    EXPECT_EQ("%\xC3\x9C%\0"s, key->FindValue("Exp")->data);
    // Written back, the file is the same again.
    store->SetValue(*key, "Name", REG_SZ, "x\0"s);
    store->SetValue(*key, "Name", REG_SZ, "Wert \xF0\x9F\x8E\xB9\0"s);
    ASSERT_EQ(0, store->SaveIfModified());
    EXPECT_EQ(wide, ReadFileBytes(StorePath()));
}

// The store keeps lossless UTF-8, which the A-functions fill from the code page
// (1252 here): such text, a character outside the code page and a lone
// surrogate come back from a UTF-16 file as they were.
TEST_F(RegistryStoreFile, StoreTextSurvivesAUtf16File) {
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.Load().ok);
    const std::string keyName = text::AnsiToLossless("Latin1 \xE4 key");
    const std::string valueName = text::AnsiToLossless("Pfad \xE4");
    auto key = store.CreatePath(store.Root(), keyName);
    const std::string data =
        text::AnsiToLossless("C:\\Daten\\M\xFCller \x80 ") + "\xE6\x97\xA5\xED\xB3\xBF\0"s;
    store.SetValue(*key, valueName, REG_SZ, data);
    store.SetValue(*key, "Liste", REG_MULTI_SZ, "\xC3\xA4\0\xC3\xB6\0\0"s);
    ASSERT_EQ(0, store.SaveIfModified());

    RegistryStore again(StorePath());
    ASSERT_TRUE(again.Load().ok);
    auto back = again.OpenPath(again.Root(), keyName);
    ASSERT_NE(nullptr, back);
    ASSERT_NE(nullptr, back->FindValue(valueName));
    EXPECT_EQ(data, back->FindValue(valueName)->data);
    EXPECT_EQ("\xC3\xA4\0\xC3\xB6\0\0"s, back->FindValue("Liste")->data);
}

// A file larger than the pieces it is read in, with characters of two UTF-16 units
// across the places where pieces may end, and a value in the later pieces.
TEST_F(RegistryStoreFile, LargeFilesReadInPiecesKeepEveryCharacter) {
    const std::string keyed =
        testing_support::Utf16RegistryFile("Windows Registry Editor Version 5.00\n\n"
                                           "[HKEY_CURRENT_USER\\Big]\n\"Text\"=\"");
    const std::string pair = "\x3C\xD8\xB9\xDF"s; // U+1F3B9
    std::string file = keyed;
    std::string expected;
    for (size_t boundary = 1 << 20; boundary <= 3u << 20; boundary += 1 << 20) {
        // The pair's first unit is the last of one piece, or the first of the next.
        size_t filler = (boundary - 2 - file.size()) / 2 + (boundary == 2u << 20 ? 1 : 0);
        file += testing_support::Utf16RegistryFile(std::string(filler, 'x')).substr(2) + pair;
        expected += std::string(filler, 'x') + "\xF0\x9F\x8E\xB9";
    }
    file += testing_support::Utf16RegistryFile("\"\n\"After\"=dword:00000007\n").substr(2);
    ASSERT_GT(file.size(), 3u << 20);
    auto store = Load(file);
    auto key = store->OpenPath(store->Root(), "Big");
    ASSERT_NE(nullptr, key);
    ASSERT_NE(nullptr, key->FindValue("Text"));
    EXPECT_EQ(expected + '\0', key->FindValue("Text")->data);
    ASSERT_NE(nullptr, key->FindValue("After"));
    EXPECT_EQ("\x07\0\0\0"s, key->FindValue("After")->data);
}

TEST_F(RegistryStoreFile, DeepTreesNeedNoRecursion) {
    std::string path;
    for (int i = 0; i < 100000; i++)
        path += "\\d";
    auto store = Load("REGEDIT4\n[HKCU" + path + "]\n[HKCU\\keep" + path + "]\n[-HKCU\\d]\n");
    EXPECT_EQ(std::vector<std::string>{"keep"}, SubKeyNames(*store->Root()));
    EXPECT_NE(nullptr, store->OpenPath(store->Root(), "keep" + path));
    store.reset(); // takes the deep tree apart
}

} // namespace
