// Emptying the menu's store: the registry tree, or the INI model.
#include "common/TestSupport.h"
#include "plugins/PluginTestSupport.h"

#include <string>

using namespace corvane;

namespace {

using PluginMenuClear = PluginRegistryTest;

void ClearRegistryStore(const std::string& store) {
    CPluginMenu menu;
    menu.m_hRootKey = HKEY_CURRENT_USER;
    menu.m_strStore = store.c_str();
    menu.ClearStore();
}

TEST_F(PluginMenuClear, MissingStoreChangesNothing) {
    SetString(AppKey() + "\\Settings", "DataPath", "C:\\data");
    ClearRegistryStore(Store());
    EXPECT_FALSE(KeyExists(Store()));
    EXPECT_EQ(ValueCount(AppKey() + "\\Settings"), 1);
}

TEST_F(PluginMenuClear, StoreWithValuesOnlyGoesWithThem) {
    SetString(Store(), "", "PlugIns");
    SetString(Store(), "0:a", "C:\\a.dll");
    ClearRegistryStore(Store());
    EXPECT_FALSE(KeyExists(Store()));
}

TEST_F(PluginMenuClear, WholeTreeGoesAndItsNeighboursStay) {
    SetString(Below("A\\B\\C"), "0:c", "C:\\c.dll");
    SetString(Below("A\\B2"), "0:b", "C:\\b.dll");
    SetString(Below("Z"), "", "");
    SetString(Store() + "Extra", "0:keep", "C:\\keep.dll"); // a sibling whose name starts alike
    ClearRegistryStore(Store());
    EXPECT_FALSE(KeyExists(Store()));
    EXPECT_TRUE(KeyExists(Store() + "Extra"));
}

TEST_F(PluginMenuClear, DeleteKeyTreeKeepsTheKeyAndItsValues) {
    SetString(Store(), "0:a", "C:\\a.dll");
    SetString(Below("Sub\\Deeper"), "0:b", "C:\\b.dll");
    SetString(Below("Other"), "0:c", "C:\\c.dll");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, Store().c_str(), &key), ERROR_SUCCESS);
    CPluginMenu::DeleteKeyTree(key);
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(Store()));
    EXPECT_EQ(ValueCount(Store()), 1);
    EXPECT_FALSE(KeyExists(Below("Sub")));
    EXPECT_FALSE(KeyExists(Below("Other")));
}

TEST(PluginMenuClearIni, EmptiesTheModelButNotTheFile) {
    testing_support::ScratchDir dir;
    std::string path = dir.file("PlugIns.ini");
    const std::string text = "[PlugIns]\r\n0:a=C:\\a.dll\r\n";
    testing_support::WriteFileBytes(path, text);
    CPluginMenu menu;
    menu.SetIniPath(path.c_str());
    EXPECT_EQ(menu.m_hRootKey, nullptr);
    ASSERT_NE(menu.m_iniFile.FindSection("PlugIns"), nullptr);
    menu.ClearStore();
    EXPECT_EQ(menu.m_iniFile.GetSize(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes(path), text);

    // Without a path and without a root key there is no store at all.
    CPluginMenu none;
    none.m_iniFile.GetOrCreateSection("Kept");
    none.ClearStore();
    EXPECT_EQ(none.m_iniFile.GetSize(), 1);
}

} // namespace
