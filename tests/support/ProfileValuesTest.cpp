// The profile value operations of the application object, through the real
// profile functions of the build (INI mode on a scratch file).
#include "app/CorvaneApp.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace corvane;

using testing_support::ScratchDir;

namespace {

using namespace std::string_literals;

class ProfileValues : public testing::Test {
  protected:
    void SetUp() override {
        m_savedProfile = theApp.m_pszProfileName;
        m_savedRegistry = theApp.m_pszRegistryKey;
        theApp.m_pszRegistryKey = nullptr;
        UseFile(m_dir.file("values.ini"));
    }

    void TearDown() override {
        Flush();
        theApp.m_pszProfileName = m_savedProfile;
        theApp.m_pszRegistryKey = m_savedRegistry;
        std::free(m_profile);
    }

    // Points the profile functions at path (INI mode).
    void UseFile(const std::string& path) {
        if (m_profile)
            Flush();
        std::free(m_profile);
        m_profile = strdup(path.c_str());
        theApp.m_pszProfileName = m_profile;
    }

    // Writes the cached profile file to disk.
    static void Flush() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, theApp.m_pszProfileName);
    }

    static std::string Stored(const char* entry) {
        return theApp.GetProfileString("Values", entry, "<missing>").str();
    }

    ScratchDir m_dir;

  private:
    const char* m_savedProfile = nullptr;
    const char* m_savedRegistry = nullptr;
    char* m_profile = nullptr;
};

TEST_F(ProfileValues, DoublesAreStoredInTheHostsForm) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {{0.5, "0.5"}, {100, "100"},
                          {-1, "-1"},   {2.25, "2.25"},
                          {0, "0"},     {static_cast<double>(0.8f), "0.80000001192092896"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(theApp.WriteProfileDouble("Values", "d", c.value));
        EXPECT_EQ(c.text, Stored("d"));
        EXPECT_EQ(c.value, theApp.GetProfileDouble("Values", "d", 99.0));
    }
}

TEST_F(ProfileValues, MissingDoubleGivesTheDefaultEmptyGivesZero) {
    EXPECT_EQ(-1.5, theApp.GetProfileDouble("Values", "none", -1.5));
    EXPECT_TRUE(theApp.WriteProfileString("Values", "empty", ""));
    EXPECT_EQ(0.0, theApp.GetProfileDouble("Values", "empty", -1.5));
    EXPECT_TRUE(theApp.WriteProfileString("Values", "text", "abc"));
    EXPECT_EQ(0.0, theApp.GetProfileDouble("Values", "text", -1.5));
    EXPECT_TRUE(theApp.WriteProfileString("Values", "lead", "12.5xyz"));
    EXPECT_EQ(12.5, theApp.GetProfileDouble("Values", "lead", -1.5));
}

TEST_F(ProfileValues, IntListsAndByteBlockTexts) {
    CDWordArray list;
    EXPECT_TRUE(theApp.WriteProfileIntList("Values", "list", list));
    EXPECT_EQ("", Stored("list"));
    list.Add(0);
    EXPECT_TRUE(theApp.WriteProfileIntList("Values", "list", list));
    EXPECT_EQ("0", Stored("list"));
    list.Add(static_cast<DWORD>(-7));
    list.Add(300);
    EXPECT_TRUE(theApp.WriteProfileIntList("Values", "list", list));
    EXPECT_EQ("0,-7,300", Stored("list"));

    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"abc", "'abc"}, {"\x00\x01"s, "0001"}, {"A", "41"}, {"a\\\nb", "'a\\\\\\nb"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(theApp.WriteProfileData("Values", "data", c.bytes.data(),
                                            static_cast<UINT>(c.bytes.size())));
        EXPECT_EQ(c.text, Stored("data"));
    }
    EXPECT_FALSE(theApp.WriteProfileData("Values", "data", nullptr, 3));
}

TEST_F(ProfileValues, GetProfileDataHonoursTheCapacity) {
    ASSERT_TRUE(theApp.WriteProfileString("Values", "hex", "0A0B0C"));
    char buffer[8] = "#######";
    UINT count = 2;
    EXPECT_TRUE(theApp.GetProfileData("Values", "hex", buffer, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ("\x0a\x0b#####"s, std::string(buffer, 7));

    ASSERT_TRUE(theApp.WriteProfileString("Values", "bad", "0G12"));
    count = 4;
    EXPECT_FALSE(theApp.GetProfileData("Values", "bad", buffer, &count));
    EXPECT_EQ(0u, count);

    count = 4;
    EXPECT_FALSE(theApp.GetProfileData("Values", "missing", buffer, &count));
    EXPECT_EQ(0u, count);

    const char quoted[] = "a\\\nb";
    ASSERT_TRUE(theApp.WriteProfileData("Values", "q", quoted, 4));
    char four[5] = "####";
    count = 4;
    EXPECT_TRUE(theApp.GetProfileData("Values", "q", four, &count));
    EXPECT_EQ(4u, count);
    EXPECT_EQ(std::string(quoted, 4), std::string(four, 4));
}

// Blocks of every length from 0 to 700 with random bytes and with endings the
// profile functions like to eat, and every byte value at the start, in the
// middle and at the end of a short block.
std::vector<std::string> MakeBlocks() {
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<int> printable(0x20, 0x7e);
    const std::string endings = " '\"\\\t\r\n\x1a\xa0\x85\x81\xff\x00="s;
    std::uniform_int_distribution<size_t> ending(0, endings.size() - 1);
    std::vector<std::string> blocks;
    for (int length = 0; length <= 700; ++length) {
        std::string noise(length, '\0');
        for (char& ch : noise)
            ch = static_cast<char>(anyByte(random));
        blocks.push_back(noise);
        std::string text(length, '\0');
        for (char& ch : text)
            ch = static_cast<char>(printable(random));
        if (length > 0)
            text.back() = endings[ending(random)];
        if (length > 1 && length % 3 == 0)
            text[length - 2] = endings[ending(random)];
        blocks.push_back(text);
    }
    for (int value = 0; value <= 255; ++value) {
        char byte = static_cast<char>(value);
        blocks.push_back(std::string(1, byte));
        blocks.push_back("abcd" + std::string(1, byte));
        blocks.push_back(std::string(1, byte) + "abcd");
        blocks.push_back("ab" + std::string(1, byte) + "cd");
        blocks.push_back("abcdefgh" + std::string(2, byte));
    }
    return blocks;
}

// Reads back blocks [first, last) written under keys "b<index>" of section Blocks.
void ExpectBlocksReadBack(const std::vector<std::string>& blocks, size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
        std::string key = "b" + std::to_string(i);
        const std::string& block = blocks[i];
        SCOPED_TRACE("block " + std::to_string(i) + " of " + std::to_string(block.size()) +
                     " bytes stored as " + theApp.GetProfileString("Blocks", key.c_str()).str());
        std::vector<char> buffer(1024, '#');
        UINT count = 800;
        EXPECT_EQ(!block.empty(),
                  !!theApp.GetProfileData("Blocks", key.c_str(), buffer.data(), &count));
        ASSERT_EQ(block.size(), count);
        EXPECT_EQ(block, std::string(buffer.data(), count));
        EXPECT_EQ('#', buffer[count]);
    }
}

TEST_F(ProfileValues, EveryByteBlockReadsBackIdentical) {
    const std::vector<std::string> blocks = MakeBlocks();
    const size_t kPerFile = 60;
    for (size_t first = 0; first < blocks.size(); first += kPerFile) {
        size_t last = std::min(blocks.size(), first + kPerFile);
        std::string written = m_dir.file("blocks" + std::to_string(first) + ".ini");
        UseFile(written);
        for (size_t i = first; i < last; ++i) {
            std::string key = "b" + std::to_string(i);
            ASSERT_TRUE(theApp.WriteProfileData("Blocks", key.c_str(), blocks[i].data(),
                                                static_cast<UINT>(blocks[i].size())));
        }
        Flush();
        // Read from a copy, so that what is checked is what reached the disk.
        std::string copy = m_dir.file("copy" + std::to_string(first) + ".ini");
        std::filesystem::copy_file(written, copy);
        UseFile(copy);
        ExpectBlocksReadBack(blocks, first, last);
    }
}

TEST_F(ProfileValues, EveryByteBlockReadsBackIdenticalFromTheRegistry) {
    char* company = strdup("CorvaneBlockTest");
    char* application = strdup("Blocks");
    const char* profile = theApp.m_pszProfileName;
    theApp.m_pszRegistryKey = company;
    theApp.m_pszProfileName = application;
    const std::vector<std::string> blocks = MakeBlocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::string key = "b" + std::to_string(i);
        ASSERT_TRUE(theApp.WriteProfileData("Blocks", key.c_str(), blocks[i].data(),
                                            static_cast<UINT>(blocks[i].size())));
    }
    ExpectBlocksReadBack(blocks, 0, blocks.size());

    HKEY app = theApp.GetAppRegistryKey();
    ASSERT_NE(nullptr, app);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(app, "Blocks"));
    RegCloseKey(app);
    HKEY software = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyA(HKEY_CURRENT_USER, "software\\CorvaneBlockTest", &software));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(software, "Blocks"));
    RegCloseKey(software);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "software", &software));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(software, "CorvaneBlockTest"));
    RegCloseKey(software);
    theApp.m_pszRegistryKey = nullptr;
    theApp.m_pszProfileName = profile;
    std::free(company);
    std::free(application);
}

} // namespace
