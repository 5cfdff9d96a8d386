// The application object: registration, start-up names, the registry key and
// the profile functions in registry mode and in INI mode.
#include "common/TestSupport.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

// Deletes a key with everything below it.
void DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    char child[MAX_PATH];
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) {
        size_t before = std::strlen(child);
        DeleteTree(key, child);
        char again[MAX_PATH];
        if (RegEnumKeyA(key, 0, again, sizeof again) == ERROR_SUCCESS &&
            std::strlen(again) == before && std::strcmp(again, child) == 0)
            break; // could not delete it: stop rather than loop
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

const char* kTestCompany = "CorvaneTests";

// An application in registry mode under HKCU\Software\CorvaneTests\<unique
// name>, removed afterwards.
class RegistryModeApp : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        m_name =
            "WinAppTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        m_app = new CWinApp(m_name.c_str());
        m_app->SetRegistryKey(kTestCompany);
    }
    void TearDown() override {
        delete m_app;
        HKEY company = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\CorvaneTests", 0, KEY_READ | KEY_WRITE,
                          &company) == ERROR_SUCCESS) {
            DeleteTree(company, m_name);
            RegCloseKey(company);
        }
        DeleteEmptyCompanyKey();
    }
    static void DeleteEmptyCompanyKey() {
        HKEY software = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ | KEY_WRITE, &software) ==
            ERROR_SUCCESS) {
            RegDeleteKeyA(software, kTestCompany); // fails while other tests' keys remain
            RegCloseKey(software);
        }
    }
    // Opens <app key>\section directly, or null.
    HKEY OpenSection(const char* section) {
        std::string path = std::string("Software\\CorvaneTests\\") + m_name;
        if (section)
            path += std::string("\\") + section;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return nullptr;
        return key;
    }
    bool ValueExists(const char* section, const char* name, DWORD* type = nullptr) {
        HKEY key = OpenSection(section);
        if (!key)
            return false;
        DWORD t = 0, size = 0;
        bool exists = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (type)
            *type = t;
        return exists;
    }

    std::string m_name;
    CWinApp* m_app = nullptr;
};

// An application in INI mode on a scratch file.
class IniModeApp : public ::testing::Test {
  protected:
    void SetUp() override {
        m_path = m_dir.file("settings.ini");
        m_mode.emplace(m_app, m_path.c_str());
    }
    // Saved while the scratch folder is still there, not at exit.
    void TearDown() override { WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr); }
    // The file as it is on disk once cached writes are flushed.
    std::string FileText() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
        return ReadFileBytes(m_path);
    }

    ScratchDir m_dir;
    std::string m_path;
    CWinApp m_app{"IniModeTest"};
    std::optional<CProfileModeScope> m_mode; // ends before the application
};

} // namespace

TEST(WinApp, TheLastConstructedObjectIsTheApplication) {
    EXPECT_EQ(nullptr, AfxGetApp());
    {
        CWinApp app("One");
        EXPECT_EQ(&app, AfxGetApp());
        EXPECT_STREQ("One", app.m_pszAppName);
        EXPECT_EQ(nullptr, app.m_pszProfileName);
        EXPECT_EQ(nullptr, app.m_pszRegistryKey);
        EXPECT_TRUE(app.InitApplication());
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(0, app.ExitInstance());
    }
    EXPECT_EQ(nullptr, AfxGetApp());
    EXPECT_FALSE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, nullptr, 0));
}

TEST(WinApp, AfxWinInitStoresTheStartAndGivesDefaultNames) {
    CWinApp app;
    std::string line = "prog -app=X";
    ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, line.data(), 5));
    line = "changed"; // the application keeps its own copy
    EXPECT_STREQ("prog -app=X", app.m_lpCmdLine);
    EXPECT_EQ(GetModuleHandleA(nullptr), app.m_hInstance);
    EXPECT_EQ(5, app.m_nCmdShow);
    // The executable's name without its extension.
    EXPECT_STREQ("test_framework", app.m_pszExeName);
    EXPECT_STREQ("test_framework", app.m_pszAppName);
    EXPECT_STREQ("test_framework.INI", app.m_pszProfileName);

    CWinApp named("Named");
    ASSERT_TRUE(AfxWinInit(nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ("Named", named.m_pszAppName);
    EXPECT_STREQ("", named.m_lpCmdLine);
}

TEST(WinApp, SetRegistryKeyCopiesTheCompanyAndTheApplicationName) {
    CWinApp app("Corvane");
    char company[] = "Brax";
    app.SetRegistryKey(company);
    company[0] = 'X';
    EXPECT_STREQ("Brax", app.m_pszRegistryKey);
    EXPECT_STREQ("Corvane", app.m_pszProfileName);
    EXPECT_NE(app.m_pszAppName, app.m_pszProfileName); // a copy of its own
    // Replacing frees what was there (checked by the sanitizer builds).
    app.SetRegistryKey("Other");
    EXPECT_STREQ("Other", app.m_pszRegistryKey);
    app.SetRegistryKey(nullptr);
    EXPECT_STREQ("Other", app.m_pszRegistryKey);
}

TEST_F(RegistryModeApp, AppKeyIsCreatedWhenMissing) {
    EXPECT_EQ(nullptr, OpenSection(nullptr));
    HKEY key = m_app->GetAppRegistryKey();
    ASSERT_NE(nullptr, key);
    RegCloseKey(key);
    HKEY direct = OpenSection(nullptr);
    EXPECT_NE(nullptr, direct);
    RegCloseKey(direct);
    HKEY section = m_app->GetSectionKey("Audio");
    ASSERT_NE(nullptr, section);
    RegCloseKey(section);
    HKEY audio = OpenSection("Audio");
    EXPECT_NE(nullptr, audio);
    RegCloseKey(audio);
    EXPECT_EQ(nullptr, m_app->GetSectionKey(nullptr));
}

TEST_F(RegistryModeApp, StringsAndIntegersRoundTrip) {
    std::string longText(20000, 'v');
    longText[10000] = '|';
    struct Case {
        const char* entry;
        std::string value;
    } cases[] = {{"Empty", ""}, {"Path", "C:\\Data\\Corvane"}, {"Long", longText}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_TRUE(m_app->WriteProfileString("Settings", c.entry, c.value.c_str()));
        EXPECT_EQ(c.value, m_app->GetProfileString("Settings", c.entry, "default").str());
        DWORD type = 0;
        EXPECT_TRUE(ValueExists("Settings", c.entry, &type));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    }
    for (int value : {0, 42, -1, 2147483647}) {
        SCOPED_TRACE(value);
        EXPECT_TRUE(m_app->WriteProfileInt("Settings", "Number", value));
        EXPECT_EQ(static_cast<UINT>(value), m_app->GetProfileInt("Settings", "Number", 7));
        DWORD type = 0;
        EXPECT_TRUE(ValueExists("Settings", "Number", &type));
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    }
    // Each reader takes only its own type.
    EXPECT_EQ(7u, m_app->GetProfileInt("Settings", "Path", 7));
    EXPECT_STREQ("def", m_app->GetProfileString("Settings", "Number", "def"));
    EXPECT_STREQ("def", m_app->GetProfileString("Settings", "Missing", "def"));
    EXPECT_STREQ("", m_app->GetProfileString("Settings", "Missing"));
    EXPECT_EQ(static_cast<UINT>(-3), m_app->GetProfileInt("Other", "Missing", -3));
}

TEST_F(RegistryModeApp, ExpandableTextReadsAsItsTextUnexpanded) {
    HKEY settings = m_app->GetSectionKey("Settings");
    ASSERT_NE(nullptr, settings);
    const char text[] = "%USERPROFILE%\\Data";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(settings, "DataPath", 0, REG_EXPAND_SZ,
                                            reinterpret_cast<const BYTE*>(text), sizeof text));
    RegCloseKey(settings);
    EXPECT_STREQ(text, m_app->GetProfileString("Settings", "DataPath", "def"));
}

TEST_F(RegistryModeApp, NullValueDeletesTheValueAndNullEntryTheSection) {
    ASSERT_TRUE(m_app->WriteProfileString("Audio", "Device", "Speakers"));
    ASSERT_TRUE(m_app->WriteProfileString("Audio", "Rate", "44100"));
    EXPECT_TRUE(m_app->WriteProfileString("Audio", "Device", nullptr));
    EXPECT_FALSE(ValueExists("Audio", "Device"));
    EXPECT_TRUE(ValueExists("Audio", "Rate"));
    EXPECT_STREQ("gone", m_app->GetProfileString("Audio", "Device", "gone"));
    EXPECT_TRUE(m_app->WriteProfileString("Audio", nullptr, nullptr));
    HKEY audio = OpenSection("Audio");
    EXPECT_EQ(nullptr, audio);
    if (audio)
        RegCloseKey(audio);
    EXPECT_TRUE(m_app->WriteProfileString("Settings", "DataPath", "x"));
    EXPECT_TRUE(ValueExists("Settings", "DataPath"));
}

TEST_F(IniModeApp, StringsAndIntegersGoToTheFile) {
    EXPECT_TRUE(m_app.WriteProfileString("Audio", "Device", "Speakers"));
    EXPECT_TRUE(m_app.WriteProfileInt("Audio", "Level", -5));
    EXPECT_TRUE(m_app.WriteProfileInt("Audio", "Max", 2147483647));
    EXPECT_EQ("[Audio]\r\nDevice=Speakers\r\nLevel=-5\r\nMax=2147483647\r\n", FileText());
    EXPECT_STREQ("Speakers", m_app.GetProfileString("Audio", "Device", "none"));
    EXPECT_STREQ("none", m_app.GetProfileString("Audio", "Missing", "none"));
    EXPECT_STREQ("", m_app.GetProfileString("Audio", "Missing"));
    EXPECT_EQ(static_cast<UINT>(-5), m_app.GetProfileInt("Audio", "Level", 3));
    EXPECT_EQ(3u, m_app.GetProfileInt("Audio", "Missing", 3));
    EXPECT_EQ(0u, m_app.GetProfileInt("Audio", "Device", 3)); // not a number
}

TEST_F(IniModeApp, ValuesOfAnyLengthAreReadWhole) {
    for (size_t length :
         {size_t{4093}, size_t{4094}, size_t{4095}, size_t{4096}, size_t{16384}, size_t{70000}}) {
        SCOPED_TRACE(length);
        std::string value(length, 'x');
        value.back() = 'E';
        // Written straight to the file: the profile writer of the Windows build
        // under Wine cuts values of 64 KiB and more.
        // Quotes around a value go; a value that just fits a buffer counts too.
        // A file of its own each time, so that no cached copy of an earlier
        // content can answer.
        std::string path = m_dir.file("big" + std::to_string(length) + ".ini");
        WriteFileBytes(path, "[Big]\r\nValue=" + value + "\r\nQuoted=\"" + value + "\"\r\n");
        CProfileModeScope onThisFile(m_app, path.c_str());
        for (const char* entry : {"Value", "Quoted"}) {
            SCOPED_TRACE(entry);
            CString read = m_app.GetProfileString("Big", entry);
            EXPECT_EQ(value.size(), read.str().size());
            EXPECT_TRUE(value == read.str());
        }
    }
    std::string written(20000, 'w');
    ASSERT_TRUE(m_app.WriteProfileString("Big", "Written", written.c_str()));
    EXPECT_TRUE(written == m_app.GetProfileString("Big", "Written").str());
}

TEST_F(IniModeApp, NullValueDeletesTheKeyAndNullEntryTheSection) {
    WriteFileBytes(m_path, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    EXPECT_TRUE(m_app.WriteProfileString("A", "x", nullptr));
    EXPECT_EQ("[A]\r\ny=2\r\n[B]\r\nz=3\r\n", FileText());
    EXPECT_TRUE(m_app.WriteProfileString("A", nullptr, nullptr));
    EXPECT_EQ("[B]\r\nz=3\r\n", FileText());
    EXPECT_STREQ("d", m_app.GetProfileString("A", "y", "d"));
}

TEST_F(IniModeApp, NoProfileFileReadsDefaultsAndWritesNothing) {
    CProfileModeScope noFile(m_app, nullptr);
    EXPECT_STREQ("d", m_app.GetProfileString("A", "k", "d"));
    EXPECT_EQ(9u, m_app.GetProfileInt("A", "k", 9));
    EXPECT_FALSE(m_app.WriteProfileString("A", "k", "v"));
    EXPECT_FALSE(m_app.WriteProfileInt("A", "k", 1));
}

// Each scope puts its own copies in force and gives back exactly the pair that
// was there before, whichever mode that was.
TEST(ProfileModeScope, NestedScopesGiveBackThePairsInForceBefore) {
    CWinApp app("ScopeTest");
    const char* name = app.m_pszProfileName;
    const char* key = app.m_pszRegistryKey;
    {
        std::string file = "outer.ini";
        CProfileModeScope ini(app, file.c_str());
        EXPECT_STREQ(app.m_pszProfileName, "outer.ini");
        EXPECT_NE(app.m_pszProfileName, file.c_str());
        EXPECT_EQ(app.m_pszRegistryKey, nullptr);
        {
            CProfileModeScope registry(app, "Brax", "Corvane");
            EXPECT_STREQ(app.m_pszRegistryKey, "Brax");
            EXPECT_STREQ(app.m_pszProfileName, "Corvane");
        }
        EXPECT_STREQ(app.m_pszProfileName, "outer.ini");
        EXPECT_EQ(app.m_pszRegistryKey, nullptr);
    }
    EXPECT_EQ(app.m_pszProfileName, name);
    EXPECT_EQ(app.m_pszRegistryKey, key);
}
