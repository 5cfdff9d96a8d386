// The private profile: a scope that points the profile functions at a second
// INI file and back.
#include "AppTestSupport.h"
#include "platform/RunEnvironment.h"

#include <string>

using namespace corvane;

namespace {

using testing_support::ReadFileBytes;

class PrivateProfile : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        theApp.m_strDataPath = m_scratch.path().string().c_str();
        m_privateFile = m_scratch.file("private.ini");
    }
    std::string m_privateFile;
};

TEST_F(PrivateProfile, EmptyNameSelectsTheDefaultFileInTheDataFolder) {
    const struct {
        const char* prefix;
        const char* file;
    } cases[] = {{"", "#Intern.corvane"},
                 {"Mirel", "#InternMirel.corvane"},
                 {"Halbrek", "#InternHalbrek.corvane"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix);
        theApp.m_strSectionPrefix = c.prefix;
        ASSERT_TRUE(theApp.SetPrivateProfile(""));
        EXPECT_STREQ(
            theApp.m_pszPrivateProfile,
            (theApp.m_strDataPath + CString(std::string(1, runenv::PathSeparator())) + c.file)
                .GetString());
    }
}

TEST_F(PrivateProfile, AScopedWriteLandsInThePrivateFileAndLaterWritesInTheMainFile) {
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    const char* mainName = theApp.m_pszProfileName;
    {
        CUsePrivateProfile scope;
        EXPECT_TRUE(theApp.IsPrivateProfileActive());
        EXPECT_EQ(theApp.m_pszProfileName, theApp.m_pszPrivateProfile);
        EXPECT_EQ(theApp.m_pszRegistryKey, nullptr);
        EXPECT_TRUE(theApp.WriteProfileString("Load", "Bank", "7"));
    }
    EXPECT_FALSE(theApp.IsPrivateProfileActive());
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
    EXPECT_TRUE(theApp.WriteProfileString("Settings", "Bank", "1"));
    FlushProfile(m_privateFile);
    FlushProfile(m_mainFile);
    EXPECT_EQ(ReadFileBytes(m_privateFile), "[Load]\r\nBank=7\r\n");
    EXPECT_EQ(ReadFileBytes(m_mainFile), "[Settings]\r\nBank=1\r\n");
}

TEST_F(PrivateProfile, NestedScopesEndTheRedirectionOnlyAtTheOuterEnd) {
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    const char* mainName = theApp.m_pszProfileName;
    {
        CUsePrivateProfile outer;
        {
            CUsePrivateProfile inner;
            EXPECT_TRUE(theApp.IsPrivateProfileActive());
        }
        EXPECT_TRUE(theApp.IsPrivateProfileActive());
        EXPECT_EQ(theApp.m_pszProfileName, theApp.m_pszPrivateProfile);
        // A Begin inside an active redirection keeps the saved pair.
        EXPECT_TRUE(theApp.BeginPrivateProfile());
        EXPECT_EQ(theApp.m_pszSavedProfileName, mainName);
    }
    EXPECT_FALSE(theApp.IsPrivateProfileActive());
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
    EXPECT_EQ(theApp.m_pszSavedProfileName, nullptr);
}

TEST_F(PrivateProfile, BeginWithoutAFileFailsAndTheWriteStaysInTheMainFile) {
    EXPECT_FALSE(theApp.BeginPrivateProfile());
    {
        CUsePrivateProfile scope;
        EXPECT_FALSE(theApp.IsPrivateProfileActive());
        EXPECT_TRUE(theApp.WriteProfileString("Load", "Bank", "3"));
    }
    FlushProfile(m_mainFile);
    EXPECT_EQ(ReadFileBytes(m_mainFile), "[Load]\r\nBank=3\r\n");
}

TEST_F(PrivateProfile, EndWhenNotActiveChangesNothing) {
    const char* mainName = theApp.m_pszProfileName;
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    EXPECT_TRUE(theApp.EndPrivateProfile());
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
    EXPECT_STREQ(theApp.m_pszPrivateProfile, m_privateFile.c_str());
}

TEST_F(PrivateProfile, ChoosingAnotherFileWhileActiveRedirectsToIt) {
    const char* mainName = theApp.m_pszProfileName;
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    ASSERT_TRUE(theApp.BeginPrivateProfile());
    std::string other = m_scratch.file("other.ini");
    ASSERT_TRUE(theApp.SetPrivateProfile(other.c_str()));
    EXPECT_STREQ(theApp.m_pszProfileName, other.c_str());

    // Dropping the file while active leaves no profile until the end.
    ASSERT_TRUE(theApp.SetPrivateProfile(nullptr));
    EXPECT_EQ(theApp.m_pszPrivateProfile, nullptr);
    EXPECT_EQ(theApp.m_pszProfileName, nullptr);
    EXPECT_TRUE(theApp.IsPrivateProfileActive());
    theApp.EndPrivateProfile();
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
}

TEST_F(PrivateProfile, RegistryModeIsRestoredAfterTheScope) {
    CProfileModeScope registryMode(theApp, "Brax", kTestAppName);
    const char* company = theApp.m_pszRegistryKey;
    const char* mainName = theApp.m_pszProfileName;
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    {
        CUsePrivateProfile scope;
        EXPECT_EQ(theApp.m_pszRegistryKey, nullptr);
    }
    EXPECT_EQ(theApp.m_pszRegistryKey, company);
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
}

TEST_F(PrivateProfile, ARedirectionFromANullProfileNameStillEnds) {
    // The saved name may itself be null; the redirection must still be undone.
    CProfileModeScope noFile(theApp, nullptr);
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    {
        CUsePrivateProfile scope;
        EXPECT_TRUE(theApp.IsPrivateProfileActive());
        ASSERT_TRUE(theApp.SetPrivateProfile(nullptr));
        EXPECT_EQ(theApp.m_pszProfileName, nullptr);
    }
    EXPECT_FALSE(theApp.IsPrivateProfileActive());
    EXPECT_EQ(theApp.m_pszProfileName, nullptr);
}

TEST_F(PrivateProfile, ExitInstanceEndsTheRedirectionAndDropsTheFile) {
    const char* mainName = theApp.m_pszProfileName;
    ASSERT_TRUE(theApp.SetPrivateProfile(m_privateFile.c_str()));
    ASSERT_TRUE(theApp.BeginPrivateProfile());
    theApp.ExitInstance();
    EXPECT_FALSE(theApp.IsPrivateProfileActive());
    EXPECT_EQ(theApp.m_pszPrivateProfile, nullptr);
    EXPECT_EQ(theApp.m_pszProfileName, mainName);
}

} // namespace
