#include "StepFixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace corvane;

void StepFixture::SetUp() {
    m_mainFile = m_data.file("Corvane.ini");
    m_savedProfileName = theApp.m_pszProfileName;
    m_savedRegistryKey = theApp.m_pszRegistryKey;
    theApp.m_pszProfileName = strdup(m_mainFile.c_str());
    theApp.m_pszRegistryKey = nullptr;
    theApp.m_strDataPath = m_data.path().string().c_str();
    theApp.m_strSectionPrefix = "";
    theApp.m_bRemoveSource = TRUE;
}

void StepFixture::TearDown() {
    // Nothing cached may outlive the scratch folder.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_data.path(), ignored))
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, entry.path().string().c_str());
    theApp.EndPrivateProfile();
    theApp.SetPrivateProfile(nullptr);
    free(const_cast<char*>(theApp.m_pszProfileName));
    theApp.m_pszProfileName = m_savedProfileName;
    theApp.m_pszRegistryKey = m_savedRegistryKey;
    theApp.m_strDataPath.Empty();
    theApp.m_strSectionPrefix.Empty();
    theApp.m_bRemoveSource = TRUE;
    theApp.m_arrBankNames.RemoveAll();
}

void StepFixture::UseMainFile(const std::string& name) {
    m_mainFile = m_data.file(name);
    free(const_cast<char*>(theApp.m_pszProfileName));
    theApp.m_pszProfileName = strdup(m_mainFile.c_str());
}

void StepFixture::WriteMain(const std::string& bytes) {
    testing_support::WriteFileBytes(m_mainFile, bytes);
}

std::string StepFixture::Bytes(const std::string& name) {
    std::string path = m_data.file(name);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    if (!testing_support::FileExists(path))
        return "<absent>";
    return testing_support::ReadFileBytes(path);
}

std::string StepFixture::Run(void (CCorvaneApp::*step)()) {
    testing::internal::CaptureStdout();
    (theApp.*step)();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
