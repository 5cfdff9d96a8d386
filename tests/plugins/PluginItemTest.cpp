// The menu's node and list: derived texts, copies, ownership, sibling order.
#include "plugins/CompareItems.h"
#include "plugins/PluginItem.h"
#include "support/PluginIds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

namespace {

std::string Text(const CPluginItem& item, int index) {
    return item.GetText(index).str();
}

GUID PackedId(DWORD id) {
    GUID uid{};
    IdToGuid(id, &uid);
    return uid;
}

// An item that writes its name into a shared log when it is destroyed.
class LoggedItem : public CPluginItem {
  public:
    LoggedItem(const char* name, std::vector<std::string>& log)
        : CPluginItem(name, "", 0, nullptr, -1), m_log(log) {}
    ~LoggedItem() override { m_log.push_back(GetText(kTextName).str()); }

  private:
    std::vector<std::string>& m_log;
};

TEST(PluginItem, PathDerivesFileNameAndDllExtension) {
    struct Case {
        const char* path;
        const char* fileName;
        const char* extension;
    } cases[] = {
        {"C:\\VST\\Reverb.dll", "Reverb", ".dll"},
        {"C:\\VST\\REVERB.DLL", "REVERB", ".DLL"}, // kept as written
        {"C:\\VST\\Reverb.Dll", "Reverb", ".Dll"},
        {"C:\\VST\\Shell.vst3", "Shell.vst3", ""}, // other extension: whole name
        {"Plain.dll", "Plain", ".dll"},            // no backslash: the whole text
        {"C:\\VST\\", "", ""},
        {".dll", "", ".dll"},
        {"dll", "dll", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CPluginItem item;
        item.SetText(kTextPath, c.path);
        EXPECT_EQ(Text(item, kTextPath), c.path);
        EXPECT_EQ(Text(item, kTextFileName), c.fileName);
        EXPECT_EQ(Text(item, kTextExtension), c.extension);
    }
}

TEST(PluginItem, ExtensionStaysWhenALaterPathHasNone) {
    CPluginItem item;
    item.SetText(kTextPath, "C:\\a.dll");
    item.SetText(kTextPath, "C:\\b.vst3");
    EXPECT_EQ(Text(item, kTextFileName), "b.vst3");
    EXPECT_EQ(Text(item, kTextExtension), ".dll");
}

TEST(PluginItem, NameIsMirroredAndIndicesOutOfRangeAreIgnored) {
    CPluginItem item;
    item.SetText(kTextName, "Chorus");
    EXPECT_EQ(Text(item, kTextNameCopy), "Chorus");
    item.SetText(11, "x");
    item.SetText(-1, "x");
    EXPECT_EQ(Text(item, 11), "");
    EXPECT_EQ(Text(item, -1), "");
    for (int i = 0; i < kTextCount; ++i)
        EXPECT_NE(Text(item, i), "x") << i;
}

TEST(PluginItem, ConstructorFillsFileNameFromNameAndUid) {
    CPluginItem plain("Synth", "", 1, nullptr, 2);
    EXPECT_EQ(Text(plain, kTextFileName), "Synth");
    EXPECT_EQ(Text(plain, kTextName), "Synth");
    EXPECT_EQ(Text(plain, kTextNameCopy), "Synth");
    EXPECT_EQ(plain.m_nKind, 1);
    EXPECT_EQ(plain.m_nArch, 2);
    EXPECT_FALSE(plain.HasUid());
    EXPECT_TRUE(plain.m_bEnabled);

    GUID uid = PackedId(1234);
    CPluginItem withUid("Synth", "", 0, &uid, -1);
    EXPECT_TRUE(withUid.HasUid());
    EXPECT_EQ(Text(withUid, kTextFileName), "Synth:Synth");

    CPluginItem withPath("Synth", "C:\\x\\Bass.dll", 0, &uid, -1);
    EXPECT_EQ(Text(withPath, kTextFileName), "Bass:Synth");

    GUID none = VstUidBase;
    CPluginItem noUid("Synth", "", 0, &none, -1);
    EXPECT_FALSE(noUid.HasUid());
    EXPECT_EQ(Text(noUid, kTextFileName), "Synth");

    CPluginItem defaults;
    EXPECT_EQ(defaults.m_nKind, 0);
    EXPECT_EQ(defaults.m_nArch, -1);
    EXPECT_FALSE(defaults.HasUid());
}

TEST(PluginItem, CopyTakesTheRecordAndOnlyADeepCopyTheSubtree) {
    GUID uid = PackedId(77);
    CPluginItem source("Bank", "C:\\VST\\Bank.DLL", 3, &uid, 1);
    source.SetText(kTextFileName, "custom"); // derived texts are copied as they are
    source.SetText(kTextVersion, "1.2");
    source.SetText(kTextVendorEmail, "a@b.c");
    source.m_nLength = 99;
    source.m_nLastChange = -5;
    source.m_nFlags = 7;
    source.m_nCategory = 4;
    source.m_bEnabled = false;
    source.m_bDone = true;
    auto* child = new CPluginItem("Inner", "C:\\i.dll", 0, nullptr, -1);
    child->m_children.AddChild(new CPluginItem("Leaf", "C:\\l.dll", 0, nullptr, -1));
    source.m_children.AddChild(child);

    CPluginItem deep(source, true);
    for (int i = 0; i < kTextCount; ++i)
        EXPECT_EQ(Text(deep, i), Text(source, i)) << i;
    EXPECT_EQ(deep.m_nKind, 3);
    EXPECT_EQ(deep.m_nArch, 1);
    EXPECT_TRUE(deep.HasUid());
    EXPECT_EQ(deep.m_nLength, 99u);
    EXPECT_EQ(deep.m_nLastChange, -5);
    EXPECT_EQ(deep.m_nFlags, 7u);
    EXPECT_EQ(deep.m_nCategory, 4);
    EXPECT_FALSE(deep.m_bEnabled);
    EXPECT_FALSE(deep.m_bDone); // not copied
    EXPECT_EQ(deep.m_pParentList, nullptr);
    ASSERT_EQ(deep.m_children.GetSize(), 1);
    CPluginItem* copiedChild = deep.m_children.GetItem(0);
    EXPECT_NE(copiedChild, child);
    EXPECT_EQ(copiedChild->m_pParentList, &deep.m_children);
    ASSERT_EQ(copiedChild->m_children.GetSize(), 1);
    EXPECT_EQ(Text(*copiedChild->m_children.GetItem(0), kTextName), "Leaf");

    CPluginItem shallow(source, false);
    EXPECT_EQ(shallow.m_children.GetSize(), 0);

    // A shallow copy over an item keeps that item's children; a deep one
    // replaces them.
    CPluginItem target("Old", "", 0, nullptr, -1);
    target.m_children.AddChild(new CPluginItem("Kept", "", 0, nullptr, -1));
    target.CopyFrom(source, false);
    ASSERT_EQ(target.m_children.GetSize(), 1);
    EXPECT_EQ(Text(*target.m_children.GetItem(0), kTextName), "Kept");
    target.CopyFrom(source, true);
    ASSERT_EQ(target.m_children.GetSize(), 1);
    EXPECT_EQ(Text(*target.m_children.GetItem(0), kTextName), "Inner");
}

TEST(PluginList, DeletingAnItemDeletesItsSubtreeLastChildFirst) {
    std::vector<std::string> log;
    {
        auto* top = new LoggedItem("top", log);
        auto* a = new LoggedItem("a", log);
        a->m_children.AddChild(new LoggedItem("a1", log));
        a->m_children.AddChild(new LoggedItem("a2", log));
        top->m_children.AddChild(a);
        top->m_children.AddChild(new LoggedItem("b", log));
        CPluginItem root;
        EXPECT_EQ(root.m_children.AddChild(top), 0);
        EXPECT_EQ(top->m_pParentList, &root.m_children);
        EXPECT_EQ(root.m_children.m_pOwner, &root);
    }
    // The derived part of an item goes first, then its children, last first.
    EXPECT_EQ(log, (std::vector<std::string>{"top", "b", "a", "a2", "a1"}));
}

TEST(PluginList, RemoveAndDeleteClipsItsRange) {
    std::vector<std::string> log;
    CPluginItem root;
    for (const char* name : {"0", "1", "2", "3"})
        root.m_children.AddChild(new LoggedItem(name, log));
    root.m_children.RemoveAndDelete(1, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"2", "1"}));
    ASSERT_EQ(root.m_children.GetSize(), 2);
    EXPECT_EQ(Text(*root.m_children.GetItem(1), kTextName), "3");
    root.m_children.RemoveAndDelete(1, 50);
    root.m_children.RemoveAndDelete(-3, 2);
    EXPECT_EQ(root.m_children.GetSize(), 1);
    EXPECT_EQ(root.m_children.GetItem(5), nullptr);
}

TEST(CompareItems, ContainersFirstThenNamesIgnoringCaseAndEqualOnesKeepTheirOrder) {
    CPluginItem level;
    auto add = [&level](const char* name, int kind, bool withChild) {
        auto* item = new CPluginItem(name, "", kind, nullptr, -1);
        if (withChild)
            item->m_children.AddChild(new CPluginItem("c", "", 0, nullptr, -1));
        level.m_children.AddChild(item);
        return item;
    };
    CPluginItem* delay = add("delay", 0, false);
    add("Zeta", -1, true);
    add("Shell", 3, true); // kind 3 with children sorts among the plug-ins
    CPluginItem* delayUpper = add("Delay", 1, false);
    add("alpha", -1, true);
    add("_under", 0, false);
    add("Bravo", 2, false);
    add("empty", -1, false); // no children: no container
    SortLevel(level.m_children);
    std::vector<std::string> order;
    for (int i = 0; i < level.m_children.GetSize(); ++i)
        order.push_back(Text(*level.m_children.GetItem(i), kTextName));
    EXPECT_EQ(order, (std::vector<std::string>{"alpha", "Zeta", "_under", "Bravo", "delay", "Delay",
                                               "empty", "Shell"}));
    EXPECT_EQ(level.m_children.GetItem(4), delay);
    EXPECT_EQ(level.m_children.GetItem(5), delayUpper);
    EXPECT_EQ(CompareItems(delay, delayUpper), 0);
}

} // namespace
