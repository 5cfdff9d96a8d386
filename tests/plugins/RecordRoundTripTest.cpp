// Property: the record texts the writer forms read back to the same entry.
#include "plugins/RecordEscape.h"
#include "plugins/RecordFormat.h"
#include "plugins/RecordParse.h"
#include "support/PluginIds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

using namespace corvane;

namespace {

class ItemGenerator {
  public:
    explicit ItemGenerator(unsigned seed) : m_random(seed) {}

    // Texts drawn from the escaped characters, blanks, letters and high bytes.
    std::string Text(int maxLength) {
        static const std::string alphabet = "'\\:=()'' aZ09.-_%;[]\"\t\x80\xC3\xA9\xFF";
        std::string text;
        for (int n = Below(maxLength + 1); n > 0; --n)
            text += alphabet[Below(static_cast<int>(alphabet.size()))];
        return text;
    }

    // A drive letter's colon and no other: "X:\dir\file".
    std::string Path() {
        static const std::string alphabet = "\\=()' aZ09._-\xC3\xA9";
        std::string path = std::string(1, static_cast<char>('A' + Below(26))) + ":\\";
        for (int n = Below(40); n > 0; --n)
            path += alphabet[Below(static_cast<int>(alphabet.size()))];
        if (Below(2))
            path += Below(2) ? ".dll" : ".DLL";
        return path;
    }

    GUID Uid() {
        GUID uid = VstUidBase;
        switch (Below(3)) {
        case 0:
            break; // none
        case 1:
            IdToGuid(static_cast<DWORD>(m_random()), &uid);
            break;
        default:
            uid.Data1 = static_cast<uint32_t>(m_random());
            uid.Data2 = static_cast<uint16_t>(m_random());
            uid.Data3 = static_cast<uint16_t>(m_random());
            for (uint8_t& b : uid.Data4)
                b = static_cast<uint8_t>(m_random());
            break;
        }
        return uid;
    }

    // Zero (the default) half of the time, otherwise any value.
    uint64_t Number() { return Below(2) ? 0 : (uint64_t(m_random()) << 32) | m_random(); }

    int Below(int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); }

  private:
    std::mt19937 m_random;
};

TEST(RecordRoundTrip, WrittenRecordsParseBackToTheSameEntry) {
    ItemGenerator gen(20240611u);
    for (int round = 0; round < 5000; ++round) {
        GUID uid = gen.Uid();
        CPluginItem item(gen.Text(12).c_str(), gen.Path().c_str(), gen.Below(3), &uid,
                         gen.Below(3) ? -1 : static_cast<int>(gen.Number()));
        item.m_nLength = gen.Number();
        item.m_nLastChange = static_cast<int64_t>(gen.Number());
        item.m_nFlags = static_cast<uint32_t>(gen.Number());
        item.m_nCategory = static_cast<int32_t>(gen.Number());
        for (int text = kTextVersion; text <= kTextVendorEmail; ++text)
            item.SetText(text, gen.Below(2) ? "" : gen.Text(10).c_str());
        item.m_bEnabled = gen.Below(2) != 0;

        const CString name = FormatRecordName(FormatDuplicatePrefix(gen.Below(30)), item);
        const CString value = FormatRecordValue(item);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + name.str() + "=" + value.str());

        CPluginItem back;
        ParseRecord(StripDuplicatePrefix(name), value, "", back);
        ASSERT_EQ(back.m_nKind, item.m_nKind);
        ASSERT_EQ(back.GetText(kTextName).str(), item.GetText(kTextName).str());
        ASSERT_EQ(back.GetText(kTextPath).str(), item.GetText(kTextPath).str());
        for (int text = kTextVersion; text <= kTextVendorEmail; ++text)
            ASSERT_EQ(back.GetText(text).str(), item.GetText(text).str()) << text;
        ASSERT_EQ(std::memcmp(&back.m_uid, &item.m_uid, sizeof(GUID)), 0);
        ASSERT_EQ(back.m_nArch, item.m_nArch);
        ASSERT_EQ(back.m_nLength, item.m_nLength);
        ASSERT_EQ(back.m_nLastChange, item.m_nLastChange);
        ASSERT_EQ(back.m_nFlags, item.m_nFlags);
        ASSERT_EQ(back.m_nCategory, item.m_nCategory);
        ASSERT_EQ(back.m_bEnabled, item.m_bEnabled);
    }
}

// The format's own limit: a tail after a path of fewer than three characters
// cannot be told from a drive letter's colon, so such records lose the tail.
TEST(RecordRoundTrip, ShortPathsKeepNoTail) {
    CPluginItem item("Short", "ab", 0, nullptr, 2);
    CPluginItem back;
    ParseRecord(FormatRecordName("", item), FormatRecordValue(item), "", back);
    EXPECT_EQ(back.GetText(kTextPath).str(), "ab:\\arch2");
    EXPECT_EQ(back.m_nArch, -1);
}

} // namespace
