// Reading one record (name and value) into an item, including bad input.
#include "plugins/RecordParse.h"
#include "support/PluginIds.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvane;

namespace {

GUID PackedId(DWORD id) {
    GUID uid{};
    IdToGuid(id, &uid);
    return uid;
}

bool SameGuid(const GUID& a, const GUID& b) {
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}

struct Expected {
    int kind;
    const char* name;
    const char* path;
    GUID uid;
    int arch;
    bool enabled;
};

struct ParseCase {
    const char* label;
    const char* name;
    const char* data;
    Expected expected;
};

TEST(RecordParse, NamesValuesAndOldStyleRecords) {
    const GUID none = VstUidBase;
    GUID braced{};
    ASSERT_TRUE(TextToGuid("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", &braced));
    const ParseCase cases[] = {
        {"new style",
         "1:Synth",
         "C:\\VST\\a.dll:\\uid1234\\arch1\\ena0",
         {1, "Synth", "C:\\VST\\a.dll", PackedId(1234), 1, false}},
        {"old style guid",
         "Synth",
         "C:\\VST\\a.dll:2,{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",
         {2, "", "C:\\VST\\a.dll", braced, -1, true}},
        {"old style decimal",
         "Synth",
         "C:\\VST\\a.dll:1,-5",
         {1, "", "C:\\VST\\a.dll", PackedId(static_cast<DWORD>(-5)), -1, true}},
        {"old style kind only",
         "Synth",
         "C:\\VST\\a.dll:2",
         {2, "", "C:\\VST\\a.dll", PackedId(2), -1, true}},
        {"name fixes the kind",
         "3:Shell",
         "C:\\s.dll:1,77",
         {3, "Shell", "C:\\s.dll", PackedId(77), -1, true}},
        {"kind digit out of range", "7:Odd", "C:\\o.dll", {0, "Odd", "C:\\o.dll", none, -1, true}},
        {"minus one kind reads as 0", "-1:Sub", "", {0, "Sub", "", none, -1, true}},
        {"escaped name", "0:a'2b '3c'4", "C:\\x.dll", {0, "a=b (c)", "C:\\x.dll", none, -1, true}},
        {"colon first: name unused", ":Lost", "C:\\x.dll", {0, "", "C:\\x.dll", none, -1, true}},
        {"bare path with drive",
         "0:P",
         "C:\\VST\\plain.dll",
         {0, "P", "C:\\VST\\plain.dll", none, -1, true}},
        {"five characters are all path", "0:P", "ab:cd", {0, "P", "ab:cd", none, -1, true}},
        {"colon at index 2 stays", "0:P", "ab:\\ena0", {0, "P", "ab:\\ena0", none, -1, true}},
        {"empty tail", "0:P", "C:\\x.dll:", {0, "P", "C:\\x.dll", none, -1, true}},
        {"level record", "", "C:\\Shell.dll", {3, "Level", "C:\\Shell.dll", none, -1, true}},
        {"level record with tail",
         "",
         "C:\\Shell.dll:\\arch2",
         {0, "Level", "C:\\Shell.dll", none, 2, true}},
        {"cat is read as arch", "0:C", "C:\\c.dll:\\cat5", {0, "C", "C:\\c.dll", none, 5, true}},
        {"ena1 keeps enabled", "0:E", "C:\\e.dll:\\ena1", {0, "E", "C:\\e.dll", none, -1, true}},
        {"uid neither guid nor number",
         "0:U",
         "C:\\u.dll:\\uid{nonsense}",
         {0, "U", "C:\\u.dll", none, -1, true}},
        {"uid overflow saturates",
         "0:U",
         "C:\\u.dll:\\uid99999999999",
         {0, "U", "C:\\u.dll", PackedId(0x7FFFFFFF), -1, true}},
        {"unmatched paren prefix", "(2x0:P", "C:\\p.dll", {0, "P", "C:\\p.dll", none, -1, true}},
        {"only quotes", "0:''''", "C:\\q.dll", {0, "''", "C:\\q.dll", none, -1, true}},
        // A text after the last colon that no writer makes is part of the path.
        {"long path prefix",
         "0:Long",
         "\\\\?\\C:\\VST\\Long.dll",
         {0, "Long", "\\\\?\\C:\\VST\\Long.dll", none, -1, true}},
        {"leading blanks", "0:B", "  C:\\b.dll", {0, "B", "  C:\\b.dll", none, -1, true}},
        {"long path with a tail",
         "0:Long",
         "\\\\?\\C:\\VST\\Long.dll:\\arch2",
         {0, "Long", "\\\\?\\C:\\VST\\Long.dll", none, 2, true}},
        {"colon inside a file name",
         "0:F",
         "C:\\VST\\a:b.dll",
         {0, "F", "C:\\VST\\a:b.dll", none, -1, true}},
        {"bad numbers keep defaults",
         "0:B",
         "C:\\b.dll:\\archx\\ena\\uid",
         {0, "B", "C:\\b.dll", none, -1, true}},
        {"unknown keywords ignored",
         "0:U",
         "C:\\u.dll:\\foo1\\bar\\arch3\\zz",
         {0, "U", "C:\\u.dll", none, 3, true}},
        {"lower-case folders without a keyword",
         "0:L",
         "\\\\?\\c:\\vst\\plugins",
         {0, "L", "\\\\?\\c:\\vst\\plugins", none, -1, true}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        CPluginItem item;
        ParseRecord(c.name, c.data, "Level", item);
        EXPECT_EQ(item.m_nKind, c.expected.kind);
        EXPECT_EQ(item.GetText(kTextName).str(), c.expected.name);
        EXPECT_EQ(item.GetText(kTextNameCopy).str(), c.expected.name);
        EXPECT_EQ(item.GetText(kTextPath).str(), c.expected.path);
        EXPECT_TRUE(SameGuid(item.m_uid, c.expected.uid));
        EXPECT_EQ(item.m_nArch, c.expected.arch);
        EXPECT_EQ(item.m_bEnabled, c.expected.enabled);
    }
}

TEST(RecordParse, NumbersAndTextsOfEveryKeyword) {
    CPluginItem item;
    ParseRecord("2:All",
                "D:\\p\\all.dll:\\len18446744073709551615\\lch-42\\flg4294967295\\pcat-7"
                "\\ver1.0'1rc'22\\vstver2400\\vnameAcme '3Labs'4\\vemailme@x.example"
                "\\vurlhttp'1//x.example",
                "", item);
    EXPECT_EQ(item.m_nLength, 18446744073709551615ull);
    EXPECT_EQ(item.m_nLastChange, -42);
    EXPECT_EQ(item.m_nFlags, 4294967295u);
    EXPECT_EQ(item.m_nCategory, -7);
    EXPECT_EQ(item.GetText(kTextVersion).str(), "1.0:rc=2");
    EXPECT_EQ(item.GetText(kTextVstVersion).str(), "2400");
    EXPECT_EQ(item.GetText(kTextVendor).str(), "Acme (Labs)");
    EXPECT_EQ(item.GetText(kTextVendorEmail).str(), "me@x.example");
    EXPECT_EQ(item.GetText(kTextVendorUrl).str(), "http://x.example");
}

TEST(RecordParse, LongAndHostileTextsNeitherCrashNorHang) {
    const std::string longName(5000, 'n');
    const std::string quotes(4001, '\'');
    const std::string manyKeywords = [] {
        std::string tail = "C:\\k.dll:";
        for (int i = 0; i < 20000; ++i)
            tail += "\\x";
        return tail + "\\arch9";
    }();
    CPluginItem a;
    ParseRecord(("0:" + longName).c_str(), ("C:\\" + longName + ".dll").c_str(), "", a);
    EXPECT_EQ(a.GetText(kTextName).str(), longName);
    EXPECT_EQ(a.GetText(kTextFileName).str(), longName);

    CPluginItem b;
    ParseRecord(("1:" + quotes).c_str(), ("C:\\q.dll:\\ver" + quotes).c_str(), "", b);
    EXPECT_EQ(b.GetText(kTextName).str(), std::string(2000, '\''));
    EXPECT_EQ(b.GetText(kTextVersion).str(), std::string(2000, '\''));

    CPluginItem c;
    ParseRecord("0:k", manyKeywords.c_str(), "", c);
    EXPECT_EQ(c.m_nArch, 9);
    EXPECT_EQ(c.GetText(kTextPath).str(), "C:\\k.dll");
}

} // namespace
