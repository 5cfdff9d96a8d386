// Loading the menu from the registry tree the host wrote.
#include "plugins/PluginTestSupport.h"
#include "support/PluginIds.h"

#include <string>

using namespace corvane;

namespace {

using PluginMenuLoad = PluginRegistryTest;

std::string LoadDump(const std::string& store) {
    CPluginMenu menu;
    menu.Load(store.c_str(), HKEY_CURRENT_USER);
    return DumpTree(menu.m_root);
}

TEST_F(PluginMenuLoad, LevelsSortContainersFirstAndDropEmptySubMenus) {
    SetString(Store(), "", "PlugIns");
    SetString(Store(), "0:zeta", "C:\\VST\\zeta.dll");
    SetString(Store(), "1:Alpha", "C:\\VST\\alpha.dll:\\uid1234\\arch1\\ena0");
    SetString(Below("Reverbs"), "0:Plate", "C:\\VST\\plate.dll");
    SetString(Below("Reverbs"), "0:Hall", "C:\\VST\\hall.dll");
    SetString(Below("Reverbs\\Deep"), "0:Cave", "C:\\VST\\cave.dll");
    CreateKey(Below("Empty"));
    CreateKey(Below("Hollow\\Nothing\\Here"));
    SetString(Below("Only Level Record"), "", "");
    SetString(Below("(2)reverbs"), "0:Spring", "C:\\VST\\spring.dll");
    SetDword(Store(), "0:NotAString", 5);

    EXPECT_EQ(LoadDump(Store()), "-1:'32'4reverbs= {\n"
                                 "  0:Spring=C:\\VST\\spring.dll\n"
                                 "-1:Reverbs= {\n"
                                 "  -1:Deep= {\n"
                                 "    0:Cave=C:\\VST\\cave.dll\n"
                                 "  0:Hall=C:\\VST\\hall.dll\n"
                                 "  0:Plate=C:\\VST\\plate.dll\n"
                                 "1:Alpha=C:\\VST\\alpha.dll:\\uid1234\\arch1\\ena0\n"
                                 "0:zeta=C:\\VST\\zeta.dll\n");
}

TEST_F(PluginMenuLoad, RootRecordIsTheLevelsOwn) {
    SetString(Store(), "", "PlugIns");
    SetString(Store(), "0:a", "C:\\a.dll");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(menu.m_root.m_nKind, 3);
    EXPECT_EQ(menu.m_root.GetText(kTextPath).str(), "PlugIns");
    EXPECT_EQ(menu.m_root.m_children.GetSize(), 1);
}

TEST_F(PluginMenuLoad, KindThreeContainerKeysGiveTheirRecordAndHoldTheirChildren) {
    SetString(Below("3:Shell=shell:1,-5"), "0:Inner B", "C:\\VST\\Shell.dll:\\uid22");
    SetString(Below("3:Shell=shell:1,-5"), "0:Inner A", "C:\\VST\\Shell.dll:\\uid21");
    SetString(Below("(2)3:Shell=other"), "0:Other", "C:\\VST\\Shell.dll:\\uid23");
    // A record value with backslashes cannot be one key name: the registry
    // holds it as a chain of keys, read as plain sub-menus below the record.
    SetString(Below("3:Bundle=C:\\VST\\Bundle.dll:\\uid7"), "0:Part", "C:\\p.dll");

    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(DumpTree(menu.m_root), "3:Bundle=C: {\n"
                                     "  -1:VST= {\n"
                                     "    -1:Bundle.dll'1= {\n"
                                     "      -1:uid7= {\n"
                                     "        0:Part=C:\\p.dll\n"
                                     "3:Shell=other {\n"
                                     "  0:Other=C:\\VST\\Shell.dll:\\uid23\n"
                                     "3:Shell=shell:\\uid-5 {\n"
                                     "  0:Inner A=C:\\VST\\Shell.dll:\\uid21\n"
                                     "  0:Inner B=C:\\VST\\Shell.dll:\\uid22\n");
}

TEST_F(PluginMenuLoad, KindThreeRecordReadAfterEntriesKeepsThem) {
    // Value names enumerate in creation or in name order: both put the record last.
    SetString(Below("Group"), "0:a", "C:\\a.dll");
    SetString(Below("Group"), "0:b", "C:\\b.dll");
    SetString(Below("Group"), "3:Group", "C:\\g.dll:\\arch2");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(DumpTree(menu.m_root), "3:Group=C:\\g.dll:\\arch2 {\n"
                                     "  0:a=C:\\a.dll\n"
                                     "  0:b=C:\\b.dll\n");
}

TEST_F(PluginMenuLoad, ContainerKeysOfOtherKindsShareNothing) {
    SetString(Below("0:A=a.dll"), "0:x", "C:\\x.dll");
    SetString(Below("0:B=b.dll"), "0:y", "C:\\y.dll");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    // Each key gives an unnamed item holding its own entry and its key's.
    EXPECT_EQ(DumpTree(menu.m_root), "0:= {\n"
                                     "  0:A=a.dll\n"
                                     "  0:x=C:\\x.dll\n"
                                     "0:= {\n"
                                     "  0:B=b.dll\n"
                                     "  0:y=C:\\y.dll\n");
}

TEST_F(PluginMenuLoad, LongNamesAndDataAreReadWholeAndEndNothing) {
    const std::string name1023(1021, 'n'); // "0:" + 1021 = 1023 characters
    const std::string name1024(1022, 'm'); // 1024: one more than the first buffer
    const std::string data1023 = "C:\\" + std::string(1016, 'd') + ".dll";
    const std::string data5000 = "C:\\" + std::string(4993, 'e') + ".dll";
    SetString(Store(), "0:" + name1023, data1023);
    SetString(Store(), "0:" + name1024, data5000);
    SetString(Store(), "0:z", "C:\\z.dll");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    ASSERT_EQ(menu.m_root.m_children.GetSize(), 3);
    const CPluginList& level = menu.m_root.m_children;
    EXPECT_EQ(level.GetItem(0)->GetText(kTextName).str(), name1024);
    EXPECT_EQ(level.GetItem(0)->GetText(kTextPath).str(), data5000);
    EXPECT_EQ(level.GetItem(1)->GetText(kTextName).str(), name1023);
    EXPECT_EQ(level.GetItem(1)->GetText(kTextPath).str(), data1023);
    EXPECT_EQ(level.GetItem(2)->GetText(kTextName).str(), "z");
}

TEST_F(PluginMenuLoad, HostileNamesFollowTheRecordRules) {
    SetString(Store(), "''''", "C:\\q.dll");       // no colon: the name is not used
    SetString(Store(), "0:''''", "C:\\r.dll");     // two quotes
    SetString(Store(), "(2", "C:\\s.dll");         // "(" without ")": kept, no colon
    SetString(Store(), "(12345)0:p", "C:\\t.dll"); // prefix too long to strip
    SetString(Store(), "0:k", "C:\\k.dll:\\nope\\what9\\arch4");
    SetString(Below("(7"), "0:in", "C:\\in.dll"); // sub-key "(" without ")"
    EXPECT_EQ(LoadDump(Store()), "-1:'37= {\n"
                                 "  0:in=C:\\in.dll\n"
                                 "0:=C:\\q.dll\n"
                                 "0:=C:\\s.dll\n"
                                 "0:''''=C:\\r.dll\n"
                                 "0:k=C:\\k.dll:\\arch4\n"
                                 "0:p=C:\\t.dll\n");
}

// Records "PlugIns.ini" cannot hold are named; other types are counted.
TEST_F(PluginMenuLoad, RecordsAFileCannotHoldAreNamedAndTypesCounted) {
    SetString(Store(), "0:Fine", "C:\\fine.dll");
    SetString(Store(), "0:LF path", "C:\\VST\\a\nb.dll");
    SetString(Store(), "0:CR\rname", "C:\\c.dll");
    SetString(Store(), "0:Nul", std::string("C:\\n.dll\0tail", 14));
    SetDword(Store(), "0:Number", 5);
    SetString(Store(), "0:Blank", "  C:\\b.dll");
    SetString(Store(), "0:Tail", "C:\\t.dll\t");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    ASSERT_EQ(menu.m_unsavable.size(), 5u);
    std::string all;
    for (const CString& line : menu.m_unsavable)
        all += line.str() + "\n";
    for (const char* part :
         {"0:LF path: its path or attributes hold a line break",
          "0:CR\rname: its name holds a line break", "0:Nul: its text goes on after a NUL",
          "0:Blank: its path or attributes start or end with a blank",
          "0:Tail: its path or attributes start or end with a blank"})
        EXPECT_NE(all.find(part), std::string::npos) << part << "\n" << all;
    EXPECT_EQ(menu.m_valueTypes[REG_SZ], 6);
    EXPECT_EQ(menu.m_valueTypes[REG_DWORD], 1);
}

// An expandable string record is a record like any other.
TEST_F(PluginMenuLoad, ExpandableRecordsAreRead) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, Store().c_str(), &key), ERROR_SUCCESS);
    const char path[] = "%VST%\\x.dll";
    ASSERT_EQ(RegSetValueExA(key, "0:X", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path),
                             sizeof path),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(LoadDump(Store()), "0:X=%VST%\\x.dll\n");
}

TEST_F(PluginMenuLoad, TwoHundredLevelsLoadAndClear) {
    // Built one level below the other: the whole path (some 9,600 characters)
    // is longer than some registries accept in one name.
    CreateKey(Store());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, Store().c_str(), &key), ERROR_SUCCESS);
    for (int depth = 0; depth < 200; ++depth) {
        std::string name = "Level " + std::to_string(depth) + std::string(40, 'x');
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyA(key, name.c_str(), &child), ERROR_SUCCESS) << depth;
        RegCloseKey(key);
        key = child;
    }
    const std::string data = "C:\\deep.dll";
    ASSERT_EQ(RegSetValueExA(key, "0:Deepest", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);

    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    const CPluginItem* node = &menu.m_root;
    int depth = 0;
    while (node->HasChildren()) {
        node = node->m_children.GetItem(0);
        ++depth;
    }
    EXPECT_EQ(depth, 201);
    EXPECT_EQ(node->GetText(kTextName).str(), "Deepest");

    menu.ClearStore();
    EXPECT_FALSE(KeyExists(Store()));
}

TEST_F(PluginMenuLoad, MissingStoreGivesAnEmptyMenuAndLoadReplacesTheTree) {
    CPluginMenu menu;
    menu.m_root.m_children.AddChild(new CPluginItem("old", "", 0, nullptr, -1));
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(menu.m_root.m_children.GetSize(), 0);
    EXPECT_FALSE(KeyExists(Store())); // reading creates nothing
}

} // namespace
