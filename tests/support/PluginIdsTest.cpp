// Plug-in identifiers packed into GUIDs, and GUID text.
#include "support/PluginIds.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace corvane;

namespace {

GUID MakeGuid(DWORD data1, WORD data2, WORD data3, const BYTE (&data4)[8]) {
    GUID guid;
    guid.Data1 = data1;
    guid.Data2 = data2;
    guid.Data3 = data3;
    std::memcpy(guid.Data4, data4, 8);
    return guid;
}

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(PluginIds, IdentifiersRoundTripThroughTheGuidFamily) {
    const DWORD ids[] = {0, 1, 1234, 0x56535432u /* 'VST2' */, 0xFFFFFFFFu, 0x80000000u};
    for (DWORD id : ids) {
        SCOPED_TRACE(id);
        GUID guid;
        ASSERT_TRUE(IdToGuid(id, &guid));
        EXPECT_EQ(id, guid.Data1);
        EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(&guid) + 4,
                                 reinterpret_cast<const char*>(&VstUidBase) + 4, 12));
        DWORD back = 77;
        EXPECT_TRUE(GuidToId(&guid, &back));
        EXPECT_EQ(id, back);
    }
    EXPECT_FALSE(IdToGuid(1, nullptr));
}

TEST(PluginIds, OtherGuidsAreNoIdentifiers) {
    const BYTE base[8] = {0x8C, 0xC0, 0xC3, 0x37, 0xDD, 0x3A, 0xCD, 0x86};
    const BYTE other[8] = {0x8C, 0xC0, 0xC3, 0x37, 0xDD, 0x3A, 0xCD, 0x87};
    EXPECT_TRUE(SameGuid(VstUidBase, MakeGuid(0, 0x16E6, 0x4F3D, base)));
    const GUID strangers[] = {MakeGuid(1234, 0x16E6, 0x4F3D, other),
                              MakeGuid(1234, 0x16E7, 0x4F3D, base),
                              MakeGuid(1234, 0x16E6, 0x4F3E, base)};
    for (const GUID& guid : strangers) {
        DWORD id = 77;
        EXPECT_FALSE(GuidToId(&guid, &id));
        EXPECT_EQ(0u, id);
    }
    DWORD id = 77;
    EXPECT_FALSE(GuidToId(nullptr, &id));
    EXPECT_EQ(0u, id);
}

TEST(PluginIds, GuidTextInRegistryForm) {
    GUID guid;
    IdToGuid(0x1234ABCDu, &guid);
    CString text;
    ASSERT_TRUE(GuidToText(&guid, text));
    EXPECT_STREQ("{1234ABCD-16E6-4F3D-8CC0-C337DD3ACD86}", text);
    EXPECT_FALSE(GuidToText(nullptr, text));
    EXPECT_STREQ("{NULL}", text);

    GUID parsed;
    std::memset(&parsed, 0, sizeof parsed);
    ASSERT_TRUE(TextToGuid("{1234abcd-16e6-4f3d-8cc0-c337dd3acd86}", &parsed));
    EXPECT_TRUE(SameGuid(guid, parsed));
}

TEST(PluginIds, TextThatIsNoGuidIsRefused) {
    const char* texts[] = {"",
                           "1234",
                           "{NULL}",
                           "1234ABCD-16E6-4F3D-8CC0-C337DD3ACD86",
                           "{1234ABCD-16E6-4F3D-8CC0-C337DD3ACD8}",
                           "{1234ABCD-16E6-4F3D-8CC0-C337DD3ACD86}x",
                           "{1234ABCD-16E6-4F3D-8CC0-C337DD3ACD86}0123456789"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        GUID guid;
        EXPECT_FALSE(TextToGuid(text, &guid));
    }
    GUID guid;
    EXPECT_FALSE(TextToGuid(nullptr, &guid));
    EXPECT_FALSE(TextToGuid("{1234ABCD-16E6-4F3D-8CC0-C337DD3ACD86}", nullptr));
}

TEST(PluginIds, WideTextConverts) {
    CString out("stale");
    EXPECT_STREQ("", WideToText(out, nullptr));
    const WCHAR empty[] = {0};
    EXPECT_STREQ("", WideToText(out, empty));
    const WCHAR text[] = {'P', 'l', 'u', 'g', '-', 'i', 'n', 0};
    EXPECT_STREQ("Plug-in", WideToText(out, text));
    EXPECT_EQ(&out, &WideToText(out, text));
}

} // namespace
