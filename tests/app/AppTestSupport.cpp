#include "AppTestSupport.h"

#include <cstdlib>
#include <cstring>

using namespace corvane;

const char kTestAppName[] = "CorvaneAppTest";

void AppFixture::SetUp() {
    m_savedAppName = theApp.m_pszAppName;
    theApp.m_pszAppName = strdup(kTestAppName);
    theApp.m_strSectionPrefix.Empty();
    theApp.m_strDataPath.Empty();
    theApp.m_bRemoveSource = TRUE;
    theApp.m_backupState = CCorvaneApp::BackupState::notTried;
    theApp.m_strBackupFile.Empty();
    theApp.m_strAppKeyPath.Empty();
    m_mainFile = m_scratch.file("main.ini");
    UseIniFile(m_mainFile);
}

void AppFixture::TearDown() {
    // Every cached settings file goes to disk while its scratch folder exists.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    theApp.EndPrivateProfile();
    theApp.SetPrivateProfile(nullptr);
    theApp.m_pConsoleInput = nullptr;
    if (m_input)
        fclose(m_input);
    m_profileMode.reset();
    free(const_cast<char*>(theApp.m_pszAppName));
    theApp.m_pszAppName = m_savedAppName;
    theApp.m_strDataPath.Empty();
    theApp.m_strAppKeyPath.Empty();
    theApp.m_backupState = CCorvaneApp::BackupState::notTried;
}

void AppFixture::UseIniFile(const std::string& file) {
    m_profileMode.reset();
    m_profileMode.emplace(theApp, file.c_str());
}

void AppFixture::FlushProfile(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

void AppFixture::SetConsoleInput(const std::string& text) {
    std::string path = m_scratch.file("console-input.txt");
    testing_support::WriteFileBytes(path, text);
    if (m_input)
        fclose(m_input);
    m_input = fopen(path.c_str(), "rb");
    theApp.m_pConsoleInput = m_input;
}

std::string AppFixture::ProgramFolder() {
    char buffer[4096] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    std::string path(buffer, length);
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
