// Shared set-up for tests of the application object: the one global object is
// put into INI mode on a scratch settings file and restored afterwards.
#pragma once

#include "app/CorvaneApp.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

class AppFixture : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the profile functions work on `file` (INI mode).
    void UseIniFile(const std::string& file);
    // Flushes the cached profile file so that its bytes are on disk.
    static void FlushProfile(const std::string& file);
    // `text` as the console input of the data-path prompt.
    void SetConsoleInput(const std::string& text);
    // The folder of the running test program, as GetModuleFileNameA gives it.
    static std::string ProgramFolder();

    testing_support::ScratchDir m_scratch;
    std::string m_mainFile;

  private:
    const char* m_savedAppName = nullptr;
    std::optional<CProfileModeScope> m_profileMode;
    FILE* m_input = nullptr;
};

// The application name the tests give the object (names the program-side file).
extern const char kTestAppName[];
