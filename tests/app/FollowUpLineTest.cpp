// Registry changes kept as lines for after the files are in place: every
// field survives the line whatever its bytes, a damaged line is refused, and
// the lines do what the run would have done at once.
#include "AppTestSupport.h"
#include "app/FollowUpLine.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace corvane;

namespace {

const char kAppKey[] = "Software\\Brax\\CorvaneFollowUpTest";

TEST(FollowUpLine, AnyFieldBytesComeBackAsTheyWere) {
    std::mt19937 random(16);
    // Bytes that the form escapes or that end a field, and a few plain ones.
    const std::string alphabet("\t\r\n\\'\"%|= aZ9\x7f\x80\xe9\xff");
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> fields{"kind"};
        const int count = static_cast<int>(random() % 5);
        for (int f = 0; f < count; ++f) {
            std::string field;
            for (int n = static_cast<int>(random() % 12); n > 0; --n)
                field += random() % 8 == 0 ? '\0' : alphabet[random() % alphabet.size()];
            fields.push_back(field);
        }
        const std::string line = FollowUpLine(fields);
        ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), count);
        ASSERT_EQ(line.find('\0'), std::string::npos);
        std::vector<std::string> back;
        ASSERT_TRUE(ParseFollowUpLine(line, back)) << line;
        EXPECT_EQ(back, fields) << line;
    }
}

TEST(FollowUpLine, DamagedFieldsAreRefused) {
    const char* const damaged[] = {"kind\t'ab\\", "kind\t'\\q1", "kind\txyz", "kind\t41\t'\\"};
    for (const char* line : damaged) {
        std::vector<std::string> fields;
        EXPECT_FALSE(ParseFollowUpLine(line, fields)) << line;
        EXPECT_FALSE(CCorvaneApp::CarryOutRegistryChange(line)) << line;
    }
    EXPECT_FALSE(CCorvaneApp::CarryOutRegistryChange(FollowUpLine({"unknown-kind", "x"})));
    EXPECT_FALSE(CCorvaneApp::CarryOutRegistryChange(FollowUpLine({"delete-key"})));
}

class LaterChanges : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_savedKeyPath = theApp.m_strAppKeyPath;
        theApp.m_strAppKeyPath = kAppKey;
        theApp.TakePendingRegistryChanges();
        RemoveTree(kAppKey);
    }
    void TearDown() override {
        RemoveTree(kAppKey);
        theApp.m_strAppKeyPath = m_savedKeyPath;
        AppFixture::TearDown();
    }
    static void RemoveTree(const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS)
            return;
        char child[512];
        while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) {
            RemoveTree(path + "\\" + child);
            if (RegDeleteKeyA(key, child) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }
    static void SetText(const std::string& keyPath, const char* name, const char* text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, keyPath.c_str(), &key), ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
        RegCloseKey(key);
    }
    static bool Has(const std::string& keyPath, const char* name = nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        bool found = !name || RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) ==
                                  ERROR_SUCCESS;
        RegCloseKey(key);
        return found;
    }
    CString m_savedKeyPath;
};

// The lines of a run, carried out later (as a run that finishes an ended
// one does), leave the registry as the run itself would.
TEST_F(LaterChanges, TheLinesDoWhatTheRunAskedFor) {
    const std::string app = kAppKey;
    SetText(app + "\\Audio |'x%", "Device", "X");
    SetText(app + "\\Settings", "DataPath", "C:\\Data");
    SetText(app + "\\Settings", "Theme", "dark");
    SetText(app + "\\PlugIns\\0", "Name", "Synth");
    SetText(app + "\\Window", "Left", "1");

    theApp.DeleteGroupLater(nullptr, "Audio |'x%");
    theApp.DeleteGroupLater(nullptr, "settings");
    theApp.ClearPluginStoreLater(CString(kAppKey) + "\\PlugIns");
    RegistryValue dataPath;
    dataPath.name = "DataPath";
    dataPath.type = REG_EXPAND_SZ;
    dataPath.data.assign({'%', 'D', '%', 0});
    std::vector<std::string> lines = theApp.TakePendingRegistryChanges();
    lines.push_back(CCorvaneApp::RegistryValueLater(CString(kAppKey) + "\\Settings", dataPath));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(Has(app + "\\Audio |'x%")) << "nothing is deleted before the lines are carried out";

    for (const std::string& line : lines)
        EXPECT_TRUE(CCorvaneApp::CarryOutRegistryChange(line)) << line;
    // Twice: a run ended while carrying them out leaves them all to the next.
    for (const std::string& line : lines)
        EXPECT_TRUE(CCorvaneApp::CarryOutRegistryChange(line)) << line;

    EXPECT_FALSE(Has(app + "\\Audio |'x%"));
    EXPECT_FALSE(Has(app + "\\PlugIns"));
    EXPECT_FALSE(Has(app + "\\Settings", "Theme"));
    EXPECT_TRUE(Has(app + "\\Window", "Left"));
    RegistryValue written;
    ASSERT_TRUE(ReadRegistryValue(CString(kAppKey) + "\\Settings", "DataPath", written));
    EXPECT_EQ(written.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(written.data, dataPath.data);
}

} // namespace
