// CIniFile: the text format as read and written, saving, the modified mark,
// the ":" names and reloading.
#include "common/TestSupport.h"
#include "ini/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace corvane;

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full) : std::string();
}

// Reads text from a file and saves the model to a second file; the second
// file's bytes.
std::string ReadAndSave(const ScratchDir& dir, const std::string& text) {
    std::string in = dir.file("in.ini");
    std::string out = dir.file("out.ini");
    WriteFileBytes(in, text);
    CIniFile file(in.c_str());
    EXPECT_TRUE(file.Save(out.c_str()));
    return ReadFileBytes(out);
}

TEST(IniFileFormat, NormalizesLinesHeadersAndLineEnds) {
    ScratchDir dir;
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"trimmed lines, merged headers, no final line end",
         "a=1\n[ Main ]\nx = 1 \n\n; c\n[main]\ny=2",
         "a=1\r\n[Main]\r\nx = 1\r\n\r\n; c\r\ny=2\r\n"},
        {"bare line feeds", "[S]\nk=v\n\nz\n", "[S]\r\nk=v\r\n\r\nz\r\n"},
        {"CRLF kept", "[S]\r\nk=v\r\n", "[S]\r\nk=v\r\n"},
        {"carriage returns before a line feed dropped", "[S]\r\r\nk=v\r\n", "[S]\r\nk=v\r\n"},
        {"old Macintosh line ends keep their lines", "[S]\rk=v\r\rz\r", "[S]\r\nk=v\r\n\r\nz\r\n"},
        {"header '[]' feeds the unnamed section", "top=1\n[A]\na=1\n[]\nlate=2\n",
         "top=1\r\nlate=2\r\n[A]\r\na=1\r\n"},
        {"header without closing bracket", "[abc\nx=1\n", "[[abc]\r\nx=1\r\n"},
        {"header of only '['", "[\nk=v\n", "[[]\r\nk=v\r\n"},
        {"text after the closing bracket", "[a] ; c\nk=v\n", "[[a] ; c]\r\nk=v\r\n"},
        {"empty section kept", "[A]\n[B]\nb=1\n", "[A]\r\n[B]\r\nb=1\r\n"},
        {"empty file", "", ""},
        {"only blank lines", "\n \n\t\n", "\r\n\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.out, ReadAndSave(dir, c.in));
    }
}

TEST(IniFileFormat, HeaderNamesExpandEnvironmentReferences) {
    ScratchDir dir;
    SetEnvironmentVariableForTests("CORVANE_INI_SECTION", "Expanded");
    EXPECT_EQ("[Expanded]\r\nk=v\r\n", ReadAndSave(dir, "[%CORVANE_INI_SECTION%]\nk=v\n"));
}

TEST(IniFileFormat, ReadAndSavedAgainChangesOnlyTheNormalizations) {
    ScratchDir dir;
    const std::string varied = "; leading comment\n"
                               "top=1\n"
                               "\n"
                               "[General]\r\n"
                               "  key = value  \r\n"
                               "novalue=\n"
                               "bare\n"
                               "   ; indented comment\n"
                               "[abc\n"
                               "x=1\n"
                               "[ general ]\n"
                               "more=2\n"
                               "\t\n"
                               "[Empty]\n"
                               "[]\n"
                               "late=unnamed\n"
                               "last=no end";
    const std::string expected = "; leading comment\r\n"
                                 "top=1\r\n"
                                 "\r\n"
                                 "late=unnamed\r\n"
                                 "last=no end\r\n"
                                 "[General]\r\n"
                                 "key = value\r\n"
                                 "novalue=\r\n"
                                 "bare\r\n"
                                 "; indented comment\r\n"
                                 "more=2\r\n"
                                 "\r\n"
                                 "[[abc]\r\n"
                                 "x=1\r\n"
                                 "[Empty]\r\n";
    std::string once = ReadAndSave(dir, varied);
    EXPECT_EQ(expected, once);
    // What was written once reads and writes back byte for byte.
    EXPECT_EQ(once, ReadAndSave(dir, once));

    WriteFileBytes(dir.file("varied.ini"), varied);
    CIniFile file(dir.file("varied.ini").c_str());
    EXPECT_STREQ("value", file.GetValue("GENERAL", "Key", nullptr, false));
    EXPECT_STREQ("2", file.GetValue("[general]", "more", nullptr, false));
    EXPECT_STREQ("", file.GetValue("general", "novalue", "d", false));
    EXPECT_STREQ("unnamed", file.GetValue("", "late", nullptr, false));
    EXPECT_STREQ("1", file.GetValue("[abc", "x", nullptr, false));
    CStringArray names;
    ASSERT_TRUE(file.GetSectionNames(names));
    ASSERT_EQ(3, names.GetSize());
    EXPECT_STREQ("General", names[0]);
    EXPECT_STREQ("[abc", names[1]);
    EXPECT_STREQ("Empty", names[2]);
}

TEST(IniFileSave, WritesOnlyWhatChanged) {
    ScratchDir dir;
    std::string path = dir.file("a.ini");
    WriteFileBytes(path, "[S]\nk=v\n");
    CIniFile file(path.c_str());
    file.m_bAutoSave = false;
    EXPECT_FALSE(file.IsModified());
    EXPECT_STREQ(FullPath(path).c_str(), file.GetPath());

    // Nothing changed: nothing is written, so a file changed behind the
    // model's back stays as it is.
    WriteFileBytes(path, "outside\n");
    EXPECT_TRUE(file.Save(nullptr));
    EXPECT_EQ("outside\n", ReadFileBytes(path));

    EXPECT_TRUE(file.SetValue("S", "k2", "v2", true));
    EXPECT_TRUE(file.IsModified());
    EXPECT_TRUE(file.Save(nullptr));
    EXPECT_FALSE(file.IsModified());
    EXPECT_EQ("[S]\r\nk=v\r\nk2=v2\r\n", ReadFileBytes(path));
}

TEST(IniFileSave, SavingElsewhereMovesTheModelThere) {
    ScratchDir dir;
    std::string first = dir.file("first.ini");
    std::string second = dir.file("second.ini");
    WriteFileBytes(first, "[S]\nk=v\n");
    CIniFile file(first.c_str());
    EXPECT_TRUE(file.Save(second.c_str()));
    EXPECT_EQ("[S]\r\nk=v\r\n", ReadFileBytes(second));
    EXPECT_STREQ(FullPath(second).c_str(), file.GetPath());
    EXPECT_TRUE(file.SetValue("S", "k", "w", true));
    EXPECT_EQ("[S]\nk=v\n", ReadFileBytes(first));
    EXPECT_EQ("[S]\r\nk=w\r\n", ReadFileBytes(second));
}

TEST(IniFileSave, MissingFileIsCreatedOnlyOnceSomethingChanged) {
    ScratchDir dir;
    std::string path = dir.file("new.ini");
    CIniFile file;
    file.m_bAutoSave = false;
    EXPECT_FALSE(file.Load(path.c_str()));
    EXPECT_EQ(0, file.GetSize());
    EXPECT_STREQ(FullPath(path).c_str(), file.GetPath());
    EXPECT_TRUE(file.Save(nullptr));
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(file.SetValue("S", "k", "v", true));
    EXPECT_TRUE(file.Save(nullptr));
    EXPECT_EQ("[S]\r\nk=v\r\n", ReadFileBytes(path));
}

TEST(IniFileSave, LeavesNoTemporaryFilesAndReplacesTheTargetWhole) {
    ScratchDir dir;
    std::string path = dir.file("t.ini");
    WriteFileBytes(path, std::string(100000, 'x') + "\n[S]\nk=v\n");
    CIniFile file(path.c_str());
    EXPECT_TRUE(file.SetValue("S", "k", "short", true));
    EXPECT_EQ(std::string(100000, 'x') + "\r\n[S]\r\nk=short\r\n", ReadFileBytes(path));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(1, entries);
}

TEST(IniFileSave, FailuresKeepTheFileAndTheChanges) {
    ScratchDir dir;
    std::string path = dir.file("ro.ini");
    WriteFileBytes(path, "[S]\nk=v\n");
    CIniFile file(path.c_str());
    file.m_bAutoSave = false;
    ASSERT_TRUE(file.SetValue("S", "k", "changed", true));

    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(file.Save(nullptr));
    EXPECT_TRUE(file.IsModified());
    EXPECT_EQ("[S]\nk=v\n", ReadFileBytes(path));
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);

    // A folder that does not exist: nothing is written and the model stays
    // bound to its file.
    std::string nowhere = dir.file("missing") + "/x.ini";
    EXPECT_FALSE(file.Save(nowhere.c_str()));
    EXPECT_STREQ(FullPath(path).c_str(), file.GetPath());
    EXPECT_TRUE(file.IsModified());

    EXPECT_TRUE(file.Save(nullptr));
    EXPECT_EQ("[S]\r\nk=changed\r\n", ReadFileBytes(path));
}

TEST(IniFileLoad, FileHeldByAnotherHandleIsNotRead) {
    ScratchDir dir;
    std::string path = dir.file("held.ini");
    WriteFileBytes(path, "[S]\nk=v\n");
    CIniFile file(path.c_str());
    ASSERT_NE(nullptr, file.FindSection("S"));
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
        EXPECT_FALSE(file.Load(path.c_str()));
        EXPECT_EQ(0, file.GetSize());
        // Without the clear flag a failed read keeps the model.
        file.m_bClearOnLoadFailure = false;
        file.m_bAutoReload = false;
        file.m_bAutoSave = false;
        EXPECT_TRUE(file.SetValue("S", "k", "kept", true));
        EXPECT_FALSE(file.Load(nullptr));
        EXPECT_STREQ("kept", file.GetValue("S", "k", nullptr, false));
    }
    EXPECT_TRUE(file.Load(nullptr));
    EXPECT_STREQ("v", file.GetValue("S", "k", nullptr, false));
}

TEST(IniFileLoad, ColonNamesNeverTouchTheDisk) {
    CIniFile file(":memory");
    EXPECT_STREQ(":memory", file.GetPath());
    EXPECT_TRUE(file.SetValue("S", "k", "v", true));
    EXPECT_FALSE(file.IsModified());
    EXPECT_STREQ("v", file.GetValue("s", "K", nullptr, false));
    EXPECT_TRUE(file.Load(":other"));
    EXPECT_STREQ(":other", file.GetPath());
    EXPECT_STREQ("v", file.GetValue("s", "K", nullptr, false));
    EXPECT_FALSE(FileExists(":memory"));
    EXPECT_FALSE(file.Load(""));
    EXPECT_STREQ("", file.GetPath());
    EXPECT_FALSE(file.Save(nullptr));
}

TEST(IniFileModel, ModifiedMarkFollowsChanges) {
    CIniFile file(":m");
    struct Step {
        const char* what;
        const char* section;
        const char* key;
        const char* value;
        bool modified;
    };
    file.m_bAutoSave = false;
    const Step steps[] = {
        {"new section", "S", "k", "v", true},
        {"same line again", "S", "k", "v", false},
        {"changed value", "S", "k", "w", true},
        {"delete missing key of missing section", "T", "x", nullptr, false},
        {"delete missing key", "S", "x", nullptr, false},
        {"delete key", "S", "k", nullptr, true},
        {"delete missing section", "T", nullptr, nullptr, false},
        {"delete section", "S", nullptr, nullptr, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        file.Save(nullptr);
        ASSERT_FALSE(file.IsModified());
        EXPECT_TRUE(file.SetValue(step.section, step.key, step.value, true));
        EXPECT_EQ(step.modified, file.IsModified());
    }
    EXPECT_EQ(0, file.GetSize());
}

TEST(IniFileModel, SectionsAndIntegers) {
    CIniFile file(":m");
    EXPECT_TRUE(file.SetValue("Main", "e", "", true));
    EXPECT_TRUE(file.SetValue("Main", "star", "*", true));
    EXPECT_TRUE(file.SetInt("main", "n", -12));
    EXPECT_EQ(5, file.GetInt("MAIN", "e", 5));
    EXPECT_EQ(0, file.GetInt("MAIN", "star", 5));
    EXPECT_EQ(-12, file.GetInt("MAIN", "n", 5));
    EXPECT_EQ(5, file.GetInt("nowhere", "n", 5));
    EXPECT_STREQ("dflt", file.GetValue("nowhere", "n", "dflt", true));
    EXPECT_STREQ("", file.GetValue("nowhere", "n", nullptr, true));
    EXPECT_EQ(file.FindSection("main"), file.FindSection(" [ MAIN ] "));
    EXPECT_EQ(nullptr, file.FindSection("other"));
    EXPECT_EQ(file.GetOrCreateSection(nullptr), file.GetOrCreateSection("[]"));
    EXPECT_EQ(file.GetOrCreateSection(""), file.FindSection(nullptr));
}

TEST(IniFileModel, NormalizeSectionName) {
    struct Case {
        const char* name;
        bool result;
        const char* outName;
        const char* outKey;
    };
    const Case cases[] = {
        {"  Name ", true, "Name", "NAME"},
        {"[ a b ]", true, "a b", "A B"},
        {"[abc", true, "[abc", "[ABC"},
        {"[]", false, "", "untouched"},
        {"[ ]", false, "", "untouched"},
        {"", true, "", ""},
        {"[", true, "[", "["},
        {"[[x]]", true, "[x]", "[X]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString name("untouched"), key("untouched");
        EXPECT_EQ(c.result, CIniFile::NormalizeSectionName(c.name, name, key, true));
        EXPECT_STREQ(c.outName, name);
        EXPECT_STREQ(c.outKey, key);
    }
    CString name("untouched"), key("untouched");
    EXPECT_FALSE(CIniFile::NormalizeSectionName(nullptr, name, key, true));
    EXPECT_STREQ("untouched", name);
}

TEST(IniFileModel, UnnamedSectionAlwaysComesFirst) {
    ScratchDir dir;
    std::string path = dir.file("u.ini");
    CIniFile file;
    file.m_bAutoSave = false;
    EXPECT_TRUE(file.SetValue("A", "a", "1", true));
    EXPECT_TRUE(file.SetValue("", "top", "2", true));
    EXPECT_TRUE(file.Save(path.c_str()));
    EXPECT_EQ("top=2\r\n[A]\r\na=1\r\n", ReadFileBytes(path));
    CIniFile again(path.c_str());
    EXPECT_STREQ("2", again.GetValue("", "top", nullptr, false));
    EXPECT_STREQ("<none>", again.GetValue("A", "top", "<none>", false));
}

TEST(IniFileModel, DeletingAndClearingReachTheFile) {
    ScratchDir dir;
    std::string path = dir.file("d.ini");
    WriteFileBytes(path, "[A]\na=1\n[B]\nb=1\n");
    CIniFile file(path.c_str());
    EXPECT_TRUE(file.SetValue("a", nullptr, nullptr, true));
    EXPECT_EQ("[B]\r\nb=1\r\n", ReadFileBytes(path));
    EXPECT_TRUE(file.SetValue(nullptr, nullptr, nullptr, true));
    EXPECT_EQ(0, file.GetSize());
    EXPECT_EQ("", ReadFileBytes(path));
}

TEST(IniFileModel, RefusesNamesThatWouldNotReadBack) {
    CIniFile file(":m");
    EXPECT_FALSE(file.SetValue("a\nb", "k", "v", true));
    EXPECT_FALSE(file.SetValue("S", "k=x", "v", true));
    EXPECT_FALSE(file.SetValue("S", "k", "v\r\n[T]", true));
    EXPECT_EQ(0, file.GetSize());
}

// A file whose check interval the test sets.
class TimedIniFile : public CIniFile {
  public:
    using CIniFile::CIniFile;
    void SetCheckInterval(DWORD ms) { m_dwCheckInterval = ms; }
};

void TouchLater(const std::string& path, int seconds) {
    auto time = std::filesystem::last_write_time(path);
    std::filesystem::last_write_time(path, time + std::chrono::seconds(seconds));
}

TEST(IniFileReload, RereadsAFileThatGrewNewerOnDisk) {
    ScratchDir dir;
    std::string path = dir.file("r.ini");
    WriteFileBytes(path, "[S]\nk=1\n");
    TimedIniFile file(path.c_str());
    EXPECT_STREQ("1", file.GetValue("S", "k", nullptr, false));

    WriteFileBytes(path, "[S]\nk=2\n");
    TouchLater(path, 10);
    // Within the check interval the disk is not looked at.
    file.SetCheckInterval(60000);
    EXPECT_STREQ("1", file.GetValue("S", "k", nullptr, false));
    file.SetCheckInterval(20);
    Sleep(40);
    EXPECT_STREQ("2", file.GetValue("S", "k", nullptr, false));

    // Not newer: no reload.
    WriteFileBytes(path, "[S]\nk=3\n");
    TouchLater(path, -100);
    Sleep(40);
    EXPECT_FALSE(file.ReloadIfChanged());
    EXPECT_STREQ("2", file.GetValue("S", "k", nullptr, false));

    file.m_bAutoReload = false;
    TouchLater(path, 200);
    Sleep(40);
    EXPECT_STREQ("2", file.GetValue("S", "k", nullptr, false));
    file.m_bAutoReload = true;
    EXPECT_STREQ("3", file.GetValue("S", "k", nullptr, false));
}

TEST(IniFileReload, AFileThatIsGoneEmptiesTheModel) {
    ScratchDir dir;
    std::string path = dir.file("gone.ini");
    WriteFileBytes(path, "[S]\nk=1\n");
    CIniFile file(path.c_str());
    // Any line makes the unnamed section, ahead of [S].
    ASSERT_EQ(2, file.GetSize());
    std::filesystem::remove(path);
    Sleep(40);
    EXPECT_STREQ("<none>", file.GetValue("S", "k", "<none>", false));
    EXPECT_EQ(0, file.GetSize());
}

TEST(IniFileReload, OwnSavesDoNotTriggerAReload) {
    ScratchDir dir;
    std::string path = dir.file("own.ini");
    CIniFile file(path.c_str());
    EXPECT_TRUE(file.SetValue("S", "k", "1", true));
    Sleep(40);
    EXPECT_FALSE(file.ReloadIfChanged());
    EXPECT_STREQ("1", file.GetValue("S", "k", nullptr, false));
}

} // namespace
