// Writing the menu to "PlugIns.ini", and the registry tree it comes from.
#include "common/TestSupport.h"
#include "plugins/PluginTestSupport.h"
#include "support/PluginIds.h"

#include <string>

using namespace corvane;

namespace {

using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

CPluginItem* Add(CPluginItem& parent, const char* name, const char* path = "", int kind = 0) {
    auto* item = new CPluginItem(name, path, kind, nullptr, -1);
    parent.m_children.AddChild(item);
    return item;
}

// Saves menu to "PlugIns.ini" in a scratch folder; the file's bytes. With
// autoSave every line is written through the file model's SetValue, and the
// file is written after each.
std::string SaveBytes(CPluginMenu& menu, bool autoSave = false) {
    ScratchDir dir;
    std::string path = dir.file("PlugIns.ini");
    menu.SetIniPath(path.c_str());
    menu.m_iniFile.m_bAutoSave = autoSave;
    EXPECT_TRUE(menu.Save(nullptr, HKEY_CURRENT_USER));
    return ReadFileBytes(path);
}

TEST(PluginMenuSave, SectionsFollowTheTreeDepthFirst) {
    CPluginMenu menu;
    CPluginItem& root = menu.m_root;
    CPluginItem* effects = Add(root, "Effects", "", -1);
    CPluginItem* delays = Add(*effects, "Del=ays (x)", "", -1);
    Add(*delays, "Tape", "C:\\VST\\Tape.dll");
    Add(*effects, "Flanger", "C:\\VST\\Flanger.dll");
    CPluginItem* only = Add(root, "Only Menus", "", -1);
    CPluginItem* inner = Add(*only, "Inner", "", -1);
    Add(*inner, "Deep", "C:\\VST\\Deep.dll");
    GUID uid{};
    IdToGuid(0xFFFFFFFEu, &uid);
    auto* shell = new CPluginItem("Shell", "C:\\VST\\Shell.dll", 3, &uid, 1);
    root.m_children.AddChild(shell);
    Add(*shell, "Part A", "C:\\VST\\Shell.dll", 0);
    CPluginItem* nested = Add(*shell, "Nest", "N.dll", 3);
    Add(*nested, "Leaf", "C:\\l.dll");
    Add(root, "Delay", "C:\\VST\\Delay.dll");
    Add(root, "Chorus", "C:\\VST\\Chorus.dll", 1)->m_bEnabled = false;
    Add(root, "delay", "C:\\VST\\delay2.dll", 2);
    Add(root, "Empty Menu", "", -1);
    Add(root, "Lone Shell", "C:\\VST\\Lone.dll", 3);

    EXPECT_EQ(SaveBytes(menu),
              "[PlugIns\\Effects\\Del=ays (x)]\r\n"
              "0:Tape=C:\\VST\\Tape.dll\r\n"
              "[PlugIns\\Effects]\r\n"
              "0:Flanger=C:\\VST\\Flanger.dll\r\n"
              "[PlugIns\\Only Menus\\Inner]\r\n"
              "0:Deep=C:\\VST\\Deep.dll\r\n"
              "[3:PlugIns\\Shell=C:\\VST\\Shell.dll:\\uid-2\\arch1]\r\n"
              "0:Part A=C:\\VST\\Shell.dll\r\n"
              "[3:3:PlugIns\\Shell=C:\\VST\\Shell.dll:\\uid-2\\arch1\\Nest=N.dll]\r\n"
              "0:Leaf=C:\\l.dll\r\n"
              "[PlugIns]\r\n"
              "0:Delay=C:\\VST\\Delay.dll\r\n"
              "(2)2:delay=C:\\VST\\delay2.dll\r\n"
              "1:Chorus=C:\\VST\\Chorus.dll:\\ena0\r\n"
              "-1:Empty Menu=\r\n"
              "3:Lone Shell=C:\\VST\\Lone.dll\r\n");
}

TEST(PluginMenuSave, DuplicateNamesNumberSectionsAndKeysAlike) {
    CPluginMenu menu;
    CPluginItem& root = menu.m_root;
    Add(*Add(root, "Synths", "", -1), "A", "C:\\a.dll");
    Add(*Add(root, "SYNTHS", "", -1), "B", "C:\\b.dll");
    Add(root, "synths", "C:\\c.dll");
    Add(*Add(root, "Box", "C:\\box.dll", 3), "In", "C:\\in.dll");
    Add(*Add(root, "box", "C:\\box2.dll", 3), "In", "C:\\in2.dll");
    EXPECT_EQ(SaveBytes(menu), "[PlugIns\\Synths]\r\n"
                               "0:A=C:\\a.dll\r\n"
                               "[PlugIns\\(2)SYNTHS]\r\n"
                               "0:B=C:\\b.dll\r\n"
                               "[PlugIns]\r\n"
                               "(3)0:synths=C:\\c.dll\r\n"
                               "[3:PlugIns\\Box=C:\\box.dll]\r\n"
                               "0:In=C:\\in.dll\r\n"
                               "[(2)3:PlugIns\\box=C:\\box2.dll]\r\n"
                               "0:In=C:\\in2.dll\r\n");
}

// A level's lines go to its section in child order, whatever sub-levels are
// written between them, and a refused key neither makes the section nor
// stops the level. Names that are one once trimmed are numbered as duplicates,
// so that no entry overwrites another.
TEST(PluginMenuSave, LevelLinesSurviveSubLevelsRefusedKeysAndRepeatedKeys) {
    auto build = [](CPluginMenu& menu) {
        CPluginItem& root = menu.m_root;
        Add(root, "Bad\nName", "C:\\bad.dll");
        Add(root, "b", "C:\\b.dll");
        Add(*Add(root, "Shell", "C:\\s.dll", 3), "In", "C:\\in.dll");
        Add(root, "A", "C:\\a.dll");
        Add(root, "B", "C:\\b2.dll");
        Add(root, "b ", "C:\\b3.dll");
        Add(root, "Gr\xE4n", "C:\\g1.dll");
        Add(root, "Gr\xF6n", "C:\\g2.dll");
    };
    const std::string expected = "[PlugIns]\r\n"
                                 "0:b=C:\\b.dll\r\n"
                                 "(2)0:B=C:\\b2.dll\r\n"
                                 "(3)0:b=C:\\b3.dll\r\n"
                                 "0:A=C:\\a.dll\r\n"
                                 "0:Gr\xE4n=C:\\g1.dll\r\n"
                                 "0:Gr\xF6n=C:\\g2.dll\r\n"
                                 "[3:PlugIns\\Shell=C:\\s.dll]\r\n"
                                 "0:In=C:\\in.dll\r\n";
    CPluginMenu menu;
    build(menu);
    EXPECT_EQ(SaveBytes(menu), expected);
    CPluginMenu saving;
    build(saving);
    EXPECT_EQ(SaveBytes(saving, true), expected);
}

// Many siblings, some of one name in other cases: each group is numbered in
// child order, from its first member.
TEST(PluginMenuSave, DuplicateGroupsAmongManySiblings) {
    CPluginMenu menu;
    std::string expected = "[PlugIns]\r\n";
    std::string later;
    for (int i = 0; i < 300; ++i) {
        std::string name = "Fx " + std::to_string(i % 100);
        if (i >= 100)
            name = i < 200 ? "FX " + std::to_string(i % 100) : "fx " + std::to_string(i % 100);
        std::string path = "C:\\" + std::to_string(i) + ".dll";
        Add(menu.m_root, name.c_str(), path.c_str());
    }
    for (int n = 0; n < 100; ++n) {
        expected += "0:Fx " + std::to_string(n) + "=C:\\" + std::to_string(n) + ".dll\r\n";
        expected += "(2)0:FX " + std::to_string(n) + "=C:\\" + std::to_string(n + 100) + ".dll\r\n";
        expected += "(3)0:fx " + std::to_string(n) + "=C:\\" + std::to_string(n + 200) + ".dll\r\n";
    }
    EXPECT_EQ(SaveBytes(menu), expected);
}

TEST(PluginMenuSave, ReplacesAnEarlierFileWhole) {
    ScratchDir dir;
    std::string path = dir.file("PlugIns.ini");
    WriteFileBytes(path, "; old\r\n[PlugIns]\r\n0:Old=C:\\old.dll\r\n[Other]\r\nx=1\r\n");
    CPluginMenu menu;
    Add(menu.m_root, "New", "C:\\new.dll");
    menu.SetIniPath(path.c_str());
    ASSERT_TRUE(menu.Save(nullptr, HKEY_CURRENT_USER));
    EXPECT_EQ(ReadFileBytes(path), "[PlugIns]\r\n0:New=C:\\new.dll\r\n");
}

TEST(PluginMenuSave, FailureIsReportedAndLeavesNoFile) {
    ScratchDir dir;
    std::string path = dir.file("missing folder\\PlugIns.ini");
    CPluginMenu menu;
    Add(menu.m_root, "New", "C:\\new.dll");
    menu.SetIniPath(path.c_str());
    EXPECT_FALSE(menu.Save(nullptr, HKEY_CURRENT_USER));
    EXPECT_FALSE(testing_support::FileExists(dir.file("missing folder")));

    // A registry store is never written.
    CPluginMenu registryMenu;
    Add(registryMenu.m_root, "New", "C:\\new.dll");
    EXPECT_FALSE(registryMenu.Save("Software\\Brax\\NeverWritten", HKEY_CURRENT_USER));
}

using PluginMenuRegistryToIni = PluginRegistryTest;

TEST_F(PluginMenuRegistryToIni, KeyChainOfAContainerBecomesItsSection) {
    // Values are created in name order: the order both platforms enumerate.
    SetString(Store(), "", "PlugIns");
    SetString(Store(), "(2)0:comp", "C:\\VST\\Comp64.dll:\\arch2");
    SetString(Store(), "0:Comp", "C:\\VST\\Comp.dll:\\uid1128353904\\arch1\\ver1'12");
    SetString(Below("3:Waves=C:\\VST\\Waves.dll:\\uid-1\\arch1"), "0:Verb", "C:\\VST\\Waves.dll");
    SetString(Below("Dyn"), "0:Gate", "C:\\VST\\Gate.dll");
    CPluginMenu menu;
    menu.Load(Store().c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(SaveBytes(menu), "[PlugIns\\Dyn]\r\n"
                               "0:Gate=C:\\VST\\Gate.dll\r\n"
                               "[PlugIns]\r\n"
                               "0:comp=C:\\VST\\Comp64.dll:\\arch2\r\n"
                               "(2)0:Comp=C:\\VST\\Comp.dll:\\uid1128353904\\arch1\\ver1'12\r\n"
                               "[3:PlugIns\\Waves=C:\\VST\\Waves.dll:\\uid-1\\arch1]\r\n"
                               "0:Verb=C:\\VST\\Waves.dll\r\n");
}

} // namespace
