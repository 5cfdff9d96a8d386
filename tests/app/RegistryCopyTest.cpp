// The registry copy: settings groups become sections of the main settings
// file; copied groups leave the registry, after a backup of the whole key.
#include "AppTestSupport.h"

#include <cstring>
#include <string>
#include <vector>

using namespace corvane;

namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;

const char kAppKey[] = "Software\\Brax\\CorvaneCopyTest";

// Deletes a key and everything below it.
void DeleteTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(parent, name, &key) != ERROR_SUCCESS)
        return;
    char child[1024];
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS)
        DeleteTree(key, child);
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

// ASCII text of a UTF-16LE file with a byte-order mark (other characters as '?').
std::string Utf16FileText(const std::string& bytes) {
    std::string text;
    if (bytes.size() < 2 || bytes[0] != '\xff' || bytes[1] != '\xfe')
        return "(no UTF-16 byte-order mark)";
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned unit =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

class RegistryCopy : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        free(const_cast<char*>(theApp.m_pszAppName));
        theApp.m_pszAppName = strdup("CorvaneCopyTest");
        theApp.m_strAppKeyPath = kAppKey;
        theApp.m_strDataPath = m_scratch.path().string().c_str();
        DeleteTree(HKEY_CURRENT_USER, kAppKey);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kAppKey, &m_appKey), ERROR_SUCCESS);
    }
    void TearDown() override {
        if (m_appKey)
            RegCloseKey(m_appKey);
        DeleteTree(HKEY_CURRENT_USER, kAppKey);
        AppFixture::TearDown();
    }

    void SetValue(const char* group, const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(m_appKey, group, &key), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetText(const char* group, const char* name, const std::string& text,
                 DWORD type = REG_SZ) {
        SetValue(group, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    void SetNumber(const char* group, const char* name, DWORD number) {
        SetValue(group, name, REG_DWORD, &number, sizeof number);
    }
    bool HasValue(const char* group, const char* name) {
        HKEY key = nullptr;
        if (RegOpenKeyA(m_appKey, group, &key) != ERROR_SUCCESS)
            return false;
        bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == 0;
        RegCloseKey(key);
        return found;
    }
    bool GroupExists(const char* group) {
        HKEY key = nullptr;
        if (RegOpenKeyA(m_appKey, group, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    // Runs the copy and then the registry deletions it asked for, as the run
    // does at its end; returns the standard output.
    std::string Copy() {
        std::string output = CopyWithoutDeletions();
        theApp.DeletePendingRegistryKeys();
        return output;
    }
    std::string CopyWithoutDeletions() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        theApp.CopyRegistryToIni(m_appKey);
        m_errors = testing::internal::GetCapturedStderr();
        std::string output = testing::internal::GetCapturedStdout();
        FlushProfile(m_mainFile);
        return output;
    }
    std::string MainFile() { return FileExists(m_mainFile) ? ReadFileBytes(m_mainFile) : ""; }
    std::string BackupFile() const { return m_scratch.file("CorvaneCopyTest-registry-backup.reg"); }

    HKEY m_appKey = nullptr;
    std::string m_errors;
};

TEST_F(RegistryCopy, ValuesAreMappedToIniTextAndTheGroupLeavesTheRegistry) {
    // Values are created in name order: both builds enumerate them alike.
    const BYTE blob[] = {1, 2, 0xff};
    SetValue("Audio", "Blob", REG_BINARY, blob, sizeof blob);
    SetText("Audio", "Device", "A\nB\n");
    SetText("Audio", "Folder", "%TEMP%\\x", REG_EXPAND_SZ);
    SetNumber("Audio", "Gain", 0xFFFFFFFFu);
    SetText("Audio", "Multi", std::string("a\0b\0", 4), REG_MULTI_SZ);
    SetNumber("Audio", "Rate", 48000);
    SetText("Window", "Title", "");

    EXPECT_EQ(Copy(), "");
    EXPECT_EQ(MainFile(), "[Audio]\r\nDevice=A|B|\r\nFolder=%TEMP%\\x\r\nGain=-1\r\nRate=48000\r\n"
                          "[Window]\r\nTitle=\r\n");
    EXPECT_FALSE(GroupExists("Audio"));
    EXPECT_FALSE(GroupExists("Window"));
    EXPECT_TRUE(FileExists(BackupFile()));
    EXPECT_EQ(m_errors, "");
}

TEST_F(RegistryCopy, CopiedGroupsLeaveTheRegistryOnlyWithTheRunsDeletions) {
    SetText("Audio", "Device", "X");
    SetText("Load", "Bank", "1");
    theApp.m_bRemoveSource = TRUE;

    CopyWithoutDeletions();
    EXPECT_EQ(MainFile(), "[Audio]\r\nDevice=X\r\n[Load]\r\nBank=1\r\n");
    EXPECT_TRUE(GroupExists("Audio"));
    EXPECT_TRUE(GroupExists("Load"));
    EXPECT_TRUE(FileExists(BackupFile()));

    theApp.DeletePendingRegistryKeys();
    EXPECT_FALSE(GroupExists("Audio"));
    EXPECT_FALSE(GroupExists("Load"));
    // The group of "DataPath" is emptied but for it: the run never leaves
    // the registry without its data folder.
    SetText("Settings", "DataPath", "D:\\Data");
    SetText("Settings", "Skin", "Dark");
    SetText("Window", "Left", "1");
    SetText("Window\\Inner", "Top", "2");
    Copy();
    EXPECT_TRUE(HasValue("Settings", "DataPath"));
    EXPECT_FALSE(HasValue("Settings", "Skin"));
    // A group with sub-keys stays whole, the group of "DataPath" too.
    SetText("Settings", "Skin", "Dark");
    SetText("Settings\\Inner", "Top", "2");
    Copy();
    EXPECT_TRUE(HasValue("Settings", "Skin"));
    EXPECT_TRUE(HasValue("Window", "Left"));

    // Carried out once: a second call has nothing left to do.
    SetText("Audio", "Device", "Y");
    theApp.DeletePendingRegistryKeys();
    EXPECT_TRUE(GroupExists("Audio"));
}

TEST_F(RegistryCopy, KeepLeavesSettingsAndLoadInAnyCase) {
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keep" : "remove");
        SetText("SETTINGS", "Skin", "Dark");
        SetText("load", "Bank", "1");
        SetText("Audio", "Device", "X");
        SetText("Settings2", "A", "1");
        theApp.m_bRemoveSource = keep ? FALSE : TRUE;
        Copy();
        EXPECT_EQ(HasValue("Settings", "Skin"), keep);
        EXPECT_EQ(GroupExists("Load"), keep);
        EXPECT_FALSE(GroupExists("Audio"));
        EXPECT_FALSE(GroupExists("Settings2"));
        EXPECT_EQ(MainFile(),
                  "[Audio]\r\nDevice=X\r\n[load]\r\nBank=1\r\n[SETTINGS]\r\nSkin=Dark\r\n"
                  "[Settings2]\r\nA=1\r\n");
    }
}

TEST_F(RegistryCopy, AnEmptyApplicationKeyCopiesAndDeletesNothing) {
    EXPECT_EQ(Copy(), "");
    EXPECT_FALSE(FileExists(m_mainFile));
    EXPECT_FALSE(FileExists(BackupFile()));
    EXPECT_EQ(theApp.m_backupState, CCorvaneApp::BackupState::notTried);
}

TEST_F(RegistryCopy, AFailedWriteKeepsTheGroupAndNamesTheKey) {
    SetText("Audio", "Device", "X");
    SetNumber("Audio", "Rate", 44100);
    // A folder where the settings file should be: every write fails.
    ASSERT_EQ(CreateDirectoryA(m_mainFile.c_str(), nullptr), TRUE);
    EXPECT_EQ(Copy(), "Error writing [Audio] Device\nError writing [Audio] Rate\n");
    EXPECT_TRUE(GroupExists("Audio"));
    EXPECT_FALSE(FileExists(BackupFile()));
}

TEST_F(RegistryCopy, ValuesBeyondTheHostBuffersAreCopiedWholeAndNamed) {
    std::string longName(300, 'n');
    std::string longText(20000, 't');
    SetText("Big", "A", "first");
    SetText("Big", longName.c_str(), "x");
    SetText("Big", "Text", longText);
    SetText("Big", "Z", "after");
    std::string output = Copy();
    EXPECT_EQ(output, "Copied [Big] " + longName + " in full: a name of 300 characters\n" +
                          "Copied [Big] Text in full: 20001 bytes of data\n");
    EXPECT_EQ(MainFile(),
              "[Big]\r\nA=first\r\n" + longName + "=x\r\nText=" + longText + "\r\nZ=after\r\n");
    EXPECT_FALSE(GroupExists("Big"));
}

TEST_F(RegistryCopy, ValuesAnIniFileCannotHoldKeepTheirGroup) {
    const struct {
        const char* group;
        std::string name;
        std::string text;
        const char* line;
        const char* ini;
    } cases[] = {
        {"CR", "Notes", "a\r\nb",
         "Kept [CR] Notes in the registry: its text holds a carriage "
         "return\n",
         "[CR]\r\nA=1\r\n"},
        {"Zero", "Notes", std::string("a\0b", 3),
         "Kept [Zero] Notes in the registry: its text holds a NUL\n", "[Zero]\r\nA=1\r\n"},
        {"Comment", ";Note", "1",
         "Kept [Comment] ;Note in the registry: its name starts with \";\" (a comment in an INI "
         "file)\n",
         "[Comment]\r\nA=1\r\n"},
        {"Huge", "Text", std::string(32767, 'h'),
         "Kept [Huge] Text in the registry: its text is 32,767 characters or longer\n",
         "[Huge]\r\nA=1\r\n"},
        {"Equals", "a=b", "1", "Kept [Equals] a=b in the registry: its name holds \"=\"\n",
         "[Equals]\r\nA=1\r\n"},
        {"NoName", "", "1", "Kept [NoName]  in the registry: it has no name\n",
         "[NoName]\r\nA=1\r\n"},
        {"Blank", "Key ", "1",
         "Kept [Blank] Key  in the registry: its name starts or ends with a blank\n",
         "[Blank]\r\nA=1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        std::string file = m_scratch.file(std::string(c.group) + ".ini");
        UseIniFile(file);
        // Values are created in name order: both builds enumerate them alike.
        SetText(c.group, "A", "1");
        SetText(c.group, c.name.c_str(), c.text);
        EXPECT_EQ(Copy(), c.line);
        FlushProfile(file);
        EXPECT_EQ(ReadFileBytes(file), c.ini);
        EXPECT_TRUE(GroupExists(c.group));
        DeleteTree(m_appKey, c.group);
    }
}

TEST_F(RegistryCopy, AGroupWithSubKeysIsCopiedAndStaysWithALineNamingThem) {
    SetText("Audio", "Device", "X");
    SetText("Audio\\Inner", "Deep", "kept");
    SetText("Audio\\Other", "Deep", "kept");
    EXPECT_EQ(Copy(), "Kept [Audio] in the registry: it has sub-keys (Inner, Other)\n");
    EXPECT_EQ(MainFile(), "[Audio]\r\nDevice=X\r\n");
    EXPECT_TRUE(GroupExists("Audio"));
    EXPECT_TRUE(GroupExists("Audio\\Inner"));
}

TEST_F(RegistryCopy, QuotedValuesComeBackAsTheRegistryHeldThem) {
    const char* texts[] = {"  Piano  ", "\"Live\"", "'x'", "Tab\t", "\"half", "plain", "", " "};
    int n = 0;
    for (const char* text : texts)
        SetText("Names", ("K" + std::to_string(n++)).c_str(), text);
    Copy();
    n = 0;
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        char read[64] = "sentinel";
        GetPrivateProfileStringA("Names", ("K" + std::to_string(n++)).c_str(), "?", read,
                                 sizeof read, m_mainFile.c_str());
        EXPECT_STREQ(read, text);
    }
    EXPECT_FALSE(GroupExists("Names"));
}

TEST_F(RegistryCopy, TheAccountCountsValuesByWhereTheyWent) {
    theApp.m_account = RunAccount();
    const BYTE blob[] = {1, 2};
    SetValue("Audio", "Blob", REG_BINARY, blob, sizeof blob);
    SetText("Audio", "Device", "X");
    SetText("Audio", "Multi", std::string("a\0b\0", 4), REG_MULTI_SZ);
    SetNumber("Audio", "Rate", 1);
    SetText("Stays", "A", "1");
    SetText("Stays", "B=", "1");
    SetValue("Stays", "Blob", REG_BINARY, blob, sizeof blob);
    Copy();
    EXPECT_EQ(theApp.m_account.Moved(), 2);
    EXPECT_EQ(theApp.m_account.Kept(), 3);
    EXPECT_EQ(theApp.m_account.BackupOnly(), 2);
    std::string account = theApp.m_account.Format();
    EXPECT_NE(account.find("Values: 2 moved, 3 kept in the registry, 2 only in the backup "
                           "(1 binary, 1 multi-string)\n"),
              std::string::npos)
        << account;
    EXPECT_NE(account.find("Files written: " + m_mainFile + "\n"), std::string::npos) << account;
}

TEST_F(RegistryCopy, ThePluginStoreIsLeftToThePluginStep) {
    SetText("PlugIns", "0:Synth", "C:\\a.dll");
    Copy();
    EXPECT_EQ(MainFile(), "");
    EXPECT_TRUE(GroupExists("PlugIns"));
}

TEST_F(RegistryCopy, TheBackupHoldsEveryValueAndIsWrittenOnce) {
    const BYTE blob[] = {0, 0x7f, 0xff};
    SetValue("Audio", "Blob", REG_BINARY, blob, sizeof blob);
    SetText("Audio", "Device", "Line1\nLine2");
    SetNumber("Audio", "Gain", 0xFFFFFFFFu);
    SetText("Audio\\Inner", "Deep", "kept");
    SetText("Window", "Title", "Main");
    // An earlier backup is never overwritten.
    testing_support::WriteFileBytes(BackupFile(), "earlier");

    Copy();
    EXPECT_EQ(ReadFileBytes(BackupFile()), "earlier");
    std::string second = m_scratch.file("CorvaneCopyTest-registry-backup-2.reg");
    ASSERT_TRUE(FileExists(second));
    std::string text = Utf16FileText(ReadFileBytes(second));
    for (const char* line :
         {"Windows Registry Editor Version 5.00\r\n",
          "\r\n[HKEY_CURRENT_USER\\Software\\Brax\\CorvaneCopyTest\\Audio]\r\n",
          "\r\n\"Blob\"=hex:00,7f,ff\r\n", "\r\n\"Gain\"=dword:ffffffff\r\n",
          "\r\n[HKEY_CURRENT_USER\\Software\\Brax\\CorvaneCopyTest\\Audio\\Inner]\r\n",
          "\r\n\"Deep\"=\"kept\"\r\n",
          "\r\n[HKEY_CURRENT_USER\\Software\\Brax\\CorvaneCopyTest\\Window]\r\n",
          "\r\n\"Title\"=\"Main\"\r\n"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    // The device text with its line feed is in the file in some form.
    EXPECT_NE(text.find("\"Device\"="), std::string::npos);

    // Later deletions of the run use the same backup.
    SetText("Later", "A", "1");
    Copy();
    EXPECT_FALSE(GroupExists("Later"));
    EXPECT_FALSE(FileExists(m_scratch.file("CorvaneCopyTest-registry-backup-3.reg")));
}

TEST_F(RegistryCopy, WithoutABackupNothingIsDeletedButEverythingIsCopied) {
    SetText("Audio", "Device", "X");
    theApp.m_strDataPath = (m_scratch.file("missing") + "\\folder").c_str();
    EXPECT_EQ(Copy(), "");
    EXPECT_EQ(MainFile(), "[Audio]\r\nDevice=X\r\n");
    EXPECT_TRUE(GroupExists("Audio"));
    EXPECT_NE(m_errors.find("no registry backup"), std::string::npos) << m_errors;
    EXPECT_NE(m_errors.find("nothing is deleted from the registry"), std::string::npos);
    EXPECT_FALSE(theApp.EnsureRegistryBackup());
}

} // namespace
