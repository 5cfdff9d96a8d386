// The run step: the menu leaves the registry only once "PlugIns.ini" holds it.
#include "app/CorvaneApp.h"
#include "common/TestSupport.h"
#include "platform/RunEnvironment.h"
#include "plugins/PluginTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace corvane;

namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;

class PluginMenuStep : public PluginRegistryTest {
  protected:
    void SetUp() override {
        PluginRegistryTest::SetUp();
        m_savedAppName = theApp.m_pszAppName;
        theApp.m_pszAppName = strdup("PluginStepTest");
        theApp.m_strAppKeyPath = AppKey().c_str();
        theApp.m_strDataPath = m_data.path().string().c_str();
        theApp.m_backupState = CCorvaneApp::BackupState::notTried;
    }
    void TearDown() override {
        free(const_cast<char*>(theApp.m_pszAppName));
        theApp.m_pszAppName = m_savedAppName;
        theApp.m_strAppKeyPath.Empty();
        theApp.m_strDataPath.Empty();
        theApp.m_backupState = CCorvaneApp::BackupState::notTried;
        PluginRegistryTest::TearDown();
    }

    // Runs the step and the registry deletions it asked for, as the run does
    // at its end; its standard output.
    static std::string RunStep() {
        testing::internal::CaptureStdout();
        theApp.AutocorrectPluginMenu();
        theApp.DeletePendingRegistryKeys();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    std::string IniFile() const { return m_data.file("PlugIns.ini"); }

    ScratchDir m_data;

  private:
    const char* m_savedAppName = nullptr;
};

TEST_F(PluginMenuStep, MenuMovesIntoTheDataFolder) {
    SetString(Store(), "", "PlugIns");
    SetString(Store(), "0:Synth", "C:\\VST\\Synth.dll:\\uid42");
    SetString(Below("Fx"), "0:Echo", "C:\\VST\\Echo.dll");
    SetString(AppKey() + "\\Settings", "DataPath", "kept");

    EXPECT_EQ(RunStep(), "");
    EXPECT_EQ(ReadFileBytes(IniFile()), "[PlugIns\\Fx]\r\n"
                                        "0:Echo=C:\\VST\\Echo.dll\r\n"
                                        "[PlugIns]\r\n"
                                        "0:Synth=C:\\VST\\Synth.dll:\\uid42\r\n");
    EXPECT_FALSE(KeyExists(Store()));
    EXPECT_EQ(ValueCount(AppKey() + "\\Settings"), 1);
    EXPECT_EQ(theApp.m_backupState, CCorvaneApp::BackupState::written);
}

TEST_F(PluginMenuStep, TheTreeLeavesTheRegistryOnlyWithTheRunsDeletions) {
    SetString(Store(), "0:Synth", "C:\\VST\\Synth.dll");
    SetString(Below("Fx\\Deep"), "0:Echo", "C:\\VST\\Echo.dll");

    testing::internal::CaptureStdout();
    theApp.AutocorrectPluginMenu();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(FileExists(IniFile()));
    EXPECT_EQ(ValueCount(Store()), 1);
    EXPECT_EQ(ValueCount(Below("Fx\\Deep")), 1);

    theApp.DeletePendingRegistryKeys();
    EXPECT_FALSE(KeyExists(Store()));
}

TEST_F(PluginMenuStep, FailedSaveKeepsTheRegistryTreeAndSaysSo) {
    SetString(Store(), "0:Synth", "C:\\VST\\Synth.dll");
    SetString(Below("Fx"), "0:Echo", "C:\\VST\\Echo.dll");
    theApp.m_strDataPath = m_data.file("no such folder").c_str();

    std::string expectedPath =
        std::string(theApp.m_strDataPath) + runenv::PathSeparator() + "PlugIns.ini";
    EXPECT_EQ(RunStep(),
              "Error writing " + expectedPath + ": the plugin menu stays in the registry\n");
    EXPECT_EQ(ValueCount(Store()), 1);
    EXPECT_EQ(ValueCount(Below("Fx")), 1);
    EXPECT_FALSE(FileExists(m_data.file("no such folder")));
}

TEST_F(PluginMenuStep, EmptyMenuLeavesTheRegistryAndWritesNoFile) {
    SetString(Store(), "", "PlugIns");
    CreateKey(Below("Empty\\Emptier"));
    EXPECT_EQ(RunStep(), "");
    EXPECT_FALSE(KeyExists(Store()));
    EXPECT_FALSE(FileExists(IniFile()));
}

TEST_F(PluginMenuStep, NoStoreKeyDoesNothing) {
    EXPECT_EQ(RunStep(), "");
    EXPECT_FALSE(FileExists(IniFile()));
    EXPECT_EQ(theApp.m_backupState, CCorvaneApp::BackupState::notTried);
}

TEST_F(PluginMenuStep, WithoutABackupNothingIsDeleted) {
    SetString(Store(), "0:Synth", "C:\\VST\\Synth.dll");
    theApp.m_backupState = CCorvaneApp::BackupState::failed;
    EXPECT_EQ(RunStep(), "");
    EXPECT_TRUE(FileExists(IniFile())); // the file is written all the same
    EXPECT_EQ(ValueCount(Store()), 1);
}

} // namespace
