// The data folder: the recorded path, or one typed at the console, created one
// level deep and recorded twice.
#include "AppTestSupport.h"
#include "platform/RunEnvironment.h"

#include <filesystem>
#include <string>

using namespace corvane;

namespace {

// The separator of the paths the run builds on this platform.
const std::string S(1, runenv::PathSeparator());

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class DataPath : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_programIni = ProgramFolder() + S + kTestAppName + ".ini";
        m_defaultFolder = ProgramFolder() + S + "Data";
        m_defaultExisted = IsFolder(m_defaultFolder);
        DeleteFileA(m_programIni.c_str());
    }
    void TearDown() override {
        // Cached writes would bring the file back when flushed later.
        FlushProfile(m_programIni);
        DeleteFileA(m_programIni.c_str());
        if (!m_defaultExisted)
            std::filesystem::remove(Native(m_defaultFolder));
        AppFixture::TearDown();
    }

    // The path with the separators of the machine the test runs on.
    static std::string Native(std::string path) {
        if (!testing_support::IsWindowsBuild())
            for (char& ch : path)
                if (ch == '\\')
                    ch = '/';
        return path;
    }
    static bool IsFolder(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    std::string Prompt() const {
        return std::string("Enter ") + kTestAppName +
               "'s new data path (will be created if it doesn't exist):\nDefault: " +
               m_defaultFolder + "\n";
    }
    // GetDataPath with the console output captured.
    std::string Call(const char* subFolder, const char* fileName, std::string* output) {
        testing::internal::CaptureStdout();
        CString result = theApp.GetDataPath(subFolder, fileName);
        *output = testing::internal::GetCapturedStdout();
        return result.str();
    }
    std::string Recorded() {
        FlushProfile(m_mainFile);
        return theApp.GetProfileString("Settings", "DataPath", "").str();
    }
    std::string ProgramSideRecord() {
        char buffer[1024] = {};
        GetPrivateProfileStringA("Settings", "DataPath", "", buffer, sizeof buffer,
                                 m_programIni.c_str());
        return buffer;
    }

    std::string m_programIni;
    std::string m_defaultFolder;
    bool m_defaultExisted = false;
};

TEST_F(DataPath, ARecordedPathIsUsedWithoutAPromptOrAnyWrite) {
    std::string recorded = m_scratch.file("not-created");
    ASSERT_TRUE(theApp.WriteProfileString("Settings", "DataPath", recorded.c_str()));
    std::string output;
    EXPECT_EQ(Call(nullptr, "Corvane.ini", &output), recorded + S + "Corvane.ini");
    EXPECT_EQ(output, "");
    EXPECT_FALSE(FileExists(recorded));
    EXPECT_FALSE(FileExists(m_programIni));
}

TEST_F(DataPath, TheRunsDataFolderWinsOverTheProfile) {
    theApp.m_strDataPath = m_scratch.path().string().c_str();
    std::string output;
    EXPECT_EQ(Call("", "PlugIns.ini", &output), theApp.m_strDataPath.str() + S + "PlugIns.ini");
    EXPECT_EQ(output, "");
    EXPECT_EQ(Recorded(), "");
}

TEST_F(DataPath, AnEmptyLineOrTheEndOfInputChoosesTheDefault) {
    for (const char* input : {"\n", "   \t \r\n", ""}) {
        SCOPED_TRACE(testing::PrintToString(std::string(input)));
        theApp.WriteProfileString("Settings", "DataPath", nullptr);
        SetConsoleInput(input);
        std::string output;
        EXPECT_EQ(Call(nullptr, "Corvane.ini", &output), m_defaultFolder + S + "Corvane.ini");
        EXPECT_EQ(output, Prompt());
        EXPECT_TRUE(IsFolder(m_defaultFolder));
        EXPECT_EQ(Recorded(), m_defaultFolder);
        EXPECT_EQ(ProgramSideRecord(), m_defaultFolder);
    }
}

TEST_F(DataPath, ATypedPathIsTrimmedCreatedAndRecorded) {
    std::string typed = m_scratch.file("typed");
    SetConsoleInput("  " + typed + " \t\r\nignored second line\n");
    std::string output;
    EXPECT_EQ(Call(nullptr, nullptr, &output), typed);
    EXPECT_EQ(output, Prompt());
    EXPECT_TRUE(IsFolder(typed));
    EXPECT_EQ(Recorded(), typed);
    EXPECT_EQ(ProgramSideRecord(), typed);
}

TEST_F(DataPath, AnExistingFolderIsAccepted) {
    std::string typed = m_scratch.path().string();
    SetConsoleInput(typed + "\n");
    std::string output;
    EXPECT_EQ(Call(nullptr, "x.ini", &output), typed + S + "x.ini");
    EXPECT_EQ(Recorded(), typed);
}

TEST_F(DataPath, AFolderThatCannotBeCreatedRecordsNothing) {
    std::string blocker = m_scratch.file("a-file");
    WriteFileBytes(blocker, "not a folder");
    const struct {
        const char* what;
        std::string typed;
    } cases[] = {{"parent missing", m_scratch.file("missing") + "\\child"},
                 {"a file of that name", blocker}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetConsoleInput(c.typed + "\n");
        std::string output;
        EXPECT_EQ(Call(nullptr, "Corvane.ini", &output), "");
        EXPECT_EQ(output, Prompt());
        EXPECT_NE(theApp.m_strDataPathError.str().find(c.typed), std::string::npos)
            << theApp.m_strDataPathError.str();
        EXPECT_EQ(Recorded(), "");
        EXPECT_FALSE(FileExists(m_programIni));
    }
    EXPECT_FALSE(FileExists(m_scratch.file("missing")));
}

TEST_F(DataPath, AnOverlongLineIsNeverCut) {
    // Longer than the 260-character buffer of the console line.
    std::string typed = m_scratch.path().string() + "\\" + std::string(240, 'd');
    ASSERT_GT(typed.size(), 260u);
    SetConsoleInput(typed + "\n");
    std::string output;
    std::string result = Call(nullptr, nullptr, &output);
    if (result.empty()) {
        // Refused where the platform cannot hold the path, and said why.
        EXPECT_NE(theApp.m_strDataPathError.str().find("characters long"), std::string::npos)
            << theApp.m_strDataPathError.str();
        EXPECT_EQ(Recorded(), "");
    } else {
        EXPECT_EQ(result, typed);
        EXPECT_EQ(Recorded(), typed);
    }
}

TEST_F(DataPath, ASubFolderIsCreatedBelowTheDataFolder) {
    std::string folder = m_scratch.path().string();
    ASSERT_TRUE(theApp.WriteProfileString("Settings", "DataPath", folder.c_str()));
    std::string output;
    EXPECT_EQ(Call("Banks", "a.ini", &output), folder + S + "Banks" + S + "a.ini");
    EXPECT_TRUE(IsFolder(folder + S + "Banks"));
}

TEST_F(DataPath, ThePromptNamesTheApplication) {
    free(const_cast<char*>(theApp.m_pszAppName));
    theApp.m_pszAppName = strdup("Mirel Studio");
    SetConsoleInput(m_scratch.file("m") + "\n");
    std::string output;
    Call(nullptr, nullptr, &output);
    EXPECT_EQ(output.rfind("Enter Mirel Studio's new data path", 0), 0u) << output;
    std::string programIni = ProgramFolder() + S + "Mirel Studio.ini";
    FlushProfile(programIni);
    DeleteFileA(programIni.c_str());
}

// The run's first lookup: a given folder is used without asking; a recorded
// folder must exist; each failure names the folder and nothing is recorded.
TEST_F(DataPath, TheFirstLookupOfARunTakesTheGivenFolderOrAnExistingRecordedOne) {
    std::string given = m_scratch.file("given");
    std::string missing = m_scratch.file("recorded-missing");
    std::string blocker = m_scratch.file("a-file");
    WriteFileBytes(blocker, "not a folder");
    const struct {
        const char* what;
        std::string given;
        std::string recorded;
        std::string result; // empty: refused
        std::string errorHas;
    } cases[] = {
        {"given, parent exists", given, "", given, ""},
        {"given wins over the recorded one", given, m_scratch.path().string(), given, ""},
        {"given, parent missing", missing + S + "child", "", "", "cannot create"},
        {"given is a file", blocker, "", "", blocker},
        {"recorded and present", "", m_scratch.path().string(), m_scratch.path().string(), ""},
        {"recorded and missing", "", missing, "", "/datapath=<folder>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        theApp.WriteProfileString("Settings", "DataPath",
                                  c.recorded.empty() ? nullptr : c.recorded.c_str());
        theApp.m_strGivenDataPath = c.given.c_str();
        theApp.m_bFirstLookup = TRUE;
        SetConsoleInput("");
        std::string output;
        std::string result = Call(nullptr, nullptr, &output);
        theApp.m_bFirstLookup = FALSE;
        theApp.m_strGivenDataPath.Empty();
        EXPECT_EQ(output, "") << "no prompt";
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Recorded(), c.result.empty() ? c.recorded : c.result);
        if (c.result.empty()) {
            EXPECT_NE(theApp.m_strDataPathError.str().find(c.errorHas), std::string::npos)
                << theApp.m_strDataPathError.str();
            EXPECT_FALSE(FileExists(missing));
        }
    }
}

TEST_F(DataPath, AProgramSideRecordThatFailsIsAWarningOnly) {
    // A folder where the program-side file should be: the write cannot succeed.
    ASSERT_TRUE(std::filesystem::create_directory(Native(m_programIni)));
    std::string typed = m_scratch.file("typed");
    SetConsoleInput(typed + "\n");
    int failuresBefore = theApp.m_nFailures;
    testing::internal::CaptureStderr();
    std::string output;
    std::string result = Call(nullptr, nullptr, &output);
    std::string errors = testing::internal::GetCapturedStderr();
    std::filesystem::remove(Native(m_programIni));
    EXPECT_EQ(result, typed);
    EXPECT_EQ(Recorded(), typed);
    EXPECT_EQ(theApp.m_nFailures, failuresBefore);
    EXPECT_EQ(errors.rfind("corvane-migrate: warning: the data folder could not be recorded in", 0),
              0u)
        << errors;
    EXPECT_EQ(output.find("Error writing"), std::string::npos) << output;
}

} // namespace
