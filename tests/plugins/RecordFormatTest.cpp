// The record name and record value the writer forms for one entry.
#include "plugins/RecordFormat.h"
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

TEST(RecordFormat, PlainEntryValueIsTheBarePath) {
    CPluginItem item("Synth", "C:\\VST\\Synth.dll", 0, nullptr, -1);
    EXPECT_EQ(std::string(FormatAttributeTail(item)), "");
    EXPECT_EQ(std::string(FormatRecordValue(item)), "C:\\VST\\Synth.dll");
    EXPECT_EQ(std::string(FormatRecordName("", item)), "0:Synth");
}

TEST(RecordFormat, RecordNameCarriesPrefixKindAndEscapedName) {
    CPluginItem item("a=b (c)", "", 2, nullptr, -1);
    EXPECT_EQ(std::string(FormatRecordName("(3)", item)), "(3)2:a'2b '3c'4");
    CPluginItem submenu("Dyn", "", -1, nullptr, -1);
    EXPECT_EQ(std::string(FormatRecordName("", submenu)), "-1:Dyn");
    EXPECT_EQ(std::string(FormatRecordValue(submenu)), "");
}

TEST(RecordFormat, TailListsEveryAttributeInItsFixedOrder) {
    GUID uid = PackedId(1234);
    CPluginItem item("X", "C:\\x.dll", 1, &uid, 0);
    item.m_nLength = 18446744073709551615ull;
    item.m_nLastChange = -9000000000ll;
    item.m_nFlags = 4294967295u;
    item.m_nCategory = -3;
    item.SetText(kTextVersion, "1.0:rc=2");
    item.SetText(kTextVstVersion, "2400");
    item.SetText(kTextVendor, "Acme (Labs)");
    item.SetText(kTextVendorUrl, "http://acme.example");
    item.SetText(kTextVendorEmail, "me@acme.example");
    item.m_bEnabled = false;
    EXPECT_EQ(std::string(FormatAttributeTail(item)),
              "\\uid1234\\arch0\\len18446744073709551615\\lch-9000000000\\flg4294967295"
              "\\pcat-3\\ver1.0'1rc'22\\vstver2400\\vnameAcme '3Labs'4"
              "\\vemailme@acme.example\\vurlhttp'1//acme.example\\ena0");
    std::string value = FormatRecordValue(item).str();
    EXPECT_EQ(value.substr(0, 9), "C:\\x.dll:");
    // Escaped texts leave the last colon to the path/tail separator.
    EXPECT_EQ(value.rfind(':'), 8u);
}

TEST(RecordFormat, EachAttributeAppearsOnlyWhenItDiffersFromItsDefault) {
    struct Case {
        const char* label;
        void (*set)(CPluginItem&);
        const char* tail;
    } cases[] = {
        {"arch", [](CPluginItem& i) { i.m_nArch = 2; }, "\\arch2"},
        {"arch -2", [](CPluginItem& i) { i.m_nArch = -2; }, "\\arch-2"},
        {"len", [](CPluginItem& i) { i.m_nLength = 5; }, "\\len5"},
        {"lch", [](CPluginItem& i) { i.m_nLastChange = 6; }, "\\lch6"},
        {"flg", [](CPluginItem& i) { i.m_nFlags = 7; }, "\\flg7"},
        {"pcat", [](CPluginItem& i) { i.m_nCategory = 8; }, "\\pcat8"},
        {"vstver", [](CPluginItem& i) { i.SetText(kTextVstVersion, "v"); }, "\\vstverv"},
        {"vurl", [](CPluginItem& i) { i.SetText(kTextVendorUrl, "u"); }, "\\vurlu"},
        {"unused text", [](CPluginItem& i) { i.SetText(kTextUnused, "n"); }, ""},
        {"disabled", [](CPluginItem& i) { i.m_bEnabled = false; }, "\\ena0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CPluginItem item("N", "C:\\n.dll", 0, nullptr, -1);
        c.set(item);
        EXPECT_EQ(std::string(FormatAttributeTail(item)), c.tail);
    }
}

TEST(RecordFormat, UidPrintsAsSignedIdentifierOrAsBracedGuid) {
    GUID negative = PackedId(0x80000001u);
    CPluginItem packed("P", "", 0, &negative, -1);
    EXPECT_EQ(std::string(FormatUid(packed)), "-2147483647");
    EXPECT_EQ(std::string(FormatAttributeTail(packed)), "\\uid-2147483647");

    GUID other = VstUidBase;
    other.Data1 = 0x12345678;
    other.Data4[7] ^= 0xFF; // another family: the GUID text
    CPluginItem guid("G", "", 0, &other, -1);
    EXPECT_EQ(std::string(FormatUid(guid)), "{12345678-16E6-4F3D-8CC0-C337DD3ACD79}");

    CPluginItem none("N", "", 0, nullptr, -1);
    EXPECT_EQ(std::string(FormatUid(none)), "");
}

} // namespace
