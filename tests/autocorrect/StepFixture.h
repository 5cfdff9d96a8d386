// The application object in INI mode on a scratch main settings file, with
// the data folder chosen, for running single steps of the conversion.
#pragma once

#include "app/CorvaneApp.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

class StepFixture : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Makes `name` in the data folder the main settings file.
    void UseMainFile(const std::string& name);
    // Writes the main settings file (before any step reads it).
    void WriteMain(const std::string& bytes);
    // A file of the data folder as it is on disk after the cached profile
    // data was flushed; "<absent>" when there is no such file.
    std::string Bytes(const std::string& name);
    // Runs one step and returns what it printed.
    std::string Run(void (corvane::CCorvaneApp::*step)());

    testing_support::ScratchDir m_data;
    std::string m_mainFile;

  private:
    const char* m_savedProfileName = nullptr;
    const char* m_savedRegistryKey = nullptr;
};
