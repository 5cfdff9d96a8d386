// COM start-up and the text form of GUIDs.
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using WText = std::basic_string<WCHAR>;

WText Wide(const char* ascii) {
    WText text;
    for (; *ascii; ++ascii)
        text += static_cast<WCHAR>(*ascii);
    return text;
}

std::string Narrow(const WCHAR* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

const GUID kSample = {0x0123ABCD, 0x16E6, 0x4F3D, {0x8C, 0xC0, 0xC3, 0x37, 0xDD, 0x3A, 0xCD, 0x86}};

} // namespace

TEST(CoInitialize, SecondCallOnAThreadIsSFalse) {
    HRESULT first = CoInitialize(nullptr);
    ASSERT_TRUE(first == S_OK || first == S_FALSE);
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
    CoUninitialize();
    CoUninitialize();
    // Fully uninitialised again (unless someone before us initialised it).
    if (first == S_OK) {
        EXPECT_EQ(S_OK, CoInitialize(nullptr));
        CoUninitialize();
    }
}

TEST(StringFromGUID2, BracedUpperCaseText) {
    WCHAR buffer[64];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(39, StringFromGUID2(kSample, buffer, 64));
    EXPECT_EQ("{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86}", Narrow(buffer));
    EXPECT_EQ(39, StringFromGUID2(kSample, buffer, 39));
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(0, StringFromGUID2(kSample, buffer, 38));
    GUID zero = {};
    EXPECT_EQ(39, StringFromGUID2(zero, buffer, 39));
    EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", Narrow(buffer));
}

TEST(IIDFromString, ReadsTheBracedFormAndRefusesOtherText) {
    struct Case {
        const char* text;
        HRESULT result;
    } cases[] = {
        {"{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86}", S_OK},
        {"{0123abcd-16e6-4f3d-8cc0-c337dd3acd86}", S_OK},
        {"0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86", E_INVALIDARG},
        {"{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86", E_INVALIDARG},
        {"{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86}x", E_INVALIDARG},
        {"", E_INVALIDARG},
        {"(0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86)", CO_E_IIDSTRING},
        {"{0123ABCG-16E6-4F3D-8CC0-C337DD3ACD86}", CO_E_IIDSTRING},
        {"{0123ABCD+16E6-4F3D-8CC0-C337DD3ACD86}", CO_E_IIDSTRING},
        {"{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD8 }", CO_E_IIDSTRING},
        {"{0123ABCD-16E6-4F3D-8CC0-C337DD3ACD86]", CO_E_IIDSTRING},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        GUID guid;
        std::memset(&guid, 0x77, sizeof guid);
        WText text = Wide(c.text);
        EXPECT_EQ(c.result, IIDFromString(text.c_str(), &guid));
        if (c.result == S_OK) {
            EXPECT_EQ(0, std::memcmp(&kSample, &guid, sizeof guid));
        }
    }
    GUID guid;
    std::memset(&guid, 0x77, sizeof guid);
    EXPECT_EQ(S_OK, IIDFromString(nullptr, &guid));
    GUID zero = {};
    EXPECT_EQ(0, std::memcmp(&zero, &guid, sizeof guid));
}

TEST(IIDFromString, RoundTripsWithStringFromGUID2) {
    GUID guid = {0xFFFFFFFF, 0x0000, 0xFFFF, {0, 1, 2, 3, 0xFC, 0xFD, 0xFE, 0xFF}};
    WCHAR text[39];
    ASSERT_EQ(39, StringFromGUID2(guid, text, 39));
    GUID back = {};
    ASSERT_EQ(S_OK, IIDFromString(text, &back));
    EXPECT_EQ(0, std::memcmp(&guid, &back, sizeof guid));
}
