// Whole-group writes: which groups qualify, and that a group written at once
// gives the very bytes the key-by-key writes give (the build's own profile
// functions: Wine's in the Windows build, ours on Linux).
#include "support/ProfileGroupWrite.h"
#include "common/TestSupport.h"
#include "framework/WholeReads.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace corvane;

using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;
using namespace std::string_literals;

namespace {

// The file's bytes once the profile functions have saved it.
std::string Saved(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return ReadFileBytes(file);
}

TEST(ProfileGroupWrite, PlainItemsAreThoseBothWritersStoreAlike) {
    struct Case {
        const char* key;
        const char* value;
        bool plain;
    };
    const Case cases[] = {
        {"Name", "Program 3", true},
        {"Path", "C:\\Program Files\\x.dll", true},
        {"k", "", true},
        {"k", "a=b;c [d] #e", true},
        {"k", "\"open", true},
        {"k", "'", true},
        {"k", "\"q\"", false}, // the reader drops the quotes
        {"k", "'q'", false},
        {"k", " lead", false}, // blanks at the ends are trimmed or kept
        {"k", "trail ", false},
        {" k", "v", false},
        {"k ", "v", false},
        {"", "v", false},
        {"a=b", "v", false}, // the section writer splits at the first "="
        {";k", "v", false},  // a comment
        {"[k", "v", false},  // a header when read again
        {"k", "tab\there", false},
        {"k", "line\r\nbreak", false},
        {"k", "caf\xC3\xA9", false}, // text in a code page
        {"k\x7F", "v", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        EXPECT_EQ(c.plain, IsPlainProfileItem(c.key, c.value));
    }
    EXPECT_TRUE(IsPlainProfileItem(CString(std::string(kPlainKeyLimit, 'k').c_str()),
                                   CString(std::string(kPlainValueLimit, 'v').c_str())));
    EXPECT_FALSE(IsPlainProfileItem(CString(std::string(kPlainKeyLimit + 1, 'k').c_str()), "v"));
    EXPECT_FALSE(IsPlainProfileItem("k", CString(std::string(kPlainValueLimit + 1, 'v').c_str())));
}

TEST(ProfileGroupWrite, PlainSectionNames) {
    EXPECT_TRUE(IsPlainSectionName("Program 12"));
    EXPECT_TRUE(IsPlainSectionName("HostCanDo x"));
    for (const char* name : {"", " A", "A ", "[A", "A]b", "caf\xC3\xA9", "a\tb"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsPlainSectionName(name));
    }
}

// Two copies of a file (none for no bytes): one for the group writes, one for
// the key-by-key writes.
struct TwoCopies {
    explicit TwoCopies(const std::string& before) {
        if (!before.empty()) {
            WriteFileBytes(atOnce, before);
            WriteFileBytes(byKey, before);
        }
    }
    ScratchDir dir;
    std::string atOnce = dir.file("at-once.ini");
    std::string byKey = dir.file("by-key.ini");
};

// Writes the group both ways into two copies of `before`; returns whether the
// group write took place, and compares the two files.
GroupWrite WriteBothWays(const std::string& before, const CString& section,
                         const std::vector<ProfileItem>& items) {
    TwoCopies copies(before);
    const std::string& atOnce = copies.atOnce;
    const std::string& byKey = copies.byKey;
    GroupWrite result = WriteProfileGroup(atOnce.c_str(), section, items);
    if (result == GroupWrite::NotTried)
        return result;
    for (const ProfileItem& item : items)
        EXPECT_TRUE(WritePrivateProfileStringA(section, item.key, item.value, byKey.c_str()));
    EXPECT_EQ(Saved(byKey), Saved(atOnce));
    return result;
}

TEST(ProfileGroupWrite, AGroupWrittenAtOnceGivesTheBytesOfTheKeyByKeyWrites) {
    const std::vector<std::string> befores = {
        "",
        "[Other]\r\nk=1\r\n",
        "top=1\r\n[A]\r\nk=1\r\n;note\r\n\r\n[B]\r\nx = \"q\" \r\n",
        "[A]\nk=1\n[B]\nb", // LF line ends, no final line end
        "[A]\r\nk=1\r\n\0\r\n[]\r\nz=2\r\n"s,
    };
    const std::vector<std::string> values = {
        "1", "", "0.12500", "a=b", "C:\\x\\y.dll", "-2147483648", "two words", "\"open", "#x"};
    std::mt19937 random(20);
    for (int round = 0; round < 40; ++round) {
        std::vector<ProfileItem> items;
        size_t count = 1 + random() % 60;
        for (size_t i = 0; i < count; ++i) {
            CString key;
            key.Format("%s%u", random() % 2 ? "Param" : "slot", static_cast<unsigned>(i));
            items.push_back({key, values[random() % values.size()].c_str()});
        }
        CString section;
        section.Format("Program %d", round);
        const std::string& before = befores[round % befores.size()];
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(GroupWrite::Written, WriteBothWays(before, section, items));
    }
}

// One writer adding many groups to a file: the first groups take two rewrites,
// the later ones one; the file ends as the key-by-key writes leave it.
TEST(ProfileGroupWrite, ManyGroupsThroughOneTargetGiveTheBytesOfTheKeyByKeyWrites) {
    const std::vector<std::string> befores = {"",
                                              "[A]\r\nk=1\r\n;note\r\n\r\n[B]\r\nx = \"q\" \r\n",
                                              "[A]\r\nk=1\r\n\0\r\n[]\r\nz=2\r\n=3\r\n=4\r\n"s};
    std::mt19937 random(7);
    for (const std::string& before : befores) {
        SCOPED_TRACE(before);
        TwoCopies copies(before);
        const std::string& atOnce = copies.atOnce;
        const std::string& byKey = copies.byKey;
        ProfileGroupTarget target(atOnce.c_str());
        for (int group = 0; group < 6; ++group) {
            std::vector<ProfileItem> items;
            for (unsigned i = 0, count = 1 + random() % 4; i < count; ++i)
                items.push_back({CString(("k" + std::to_string(i)).c_str()), "v"});
            CString section(("Group " + std::to_string(group)).c_str());
            ASSERT_EQ(GroupWrite::Written, target.Write(section, items));
            for (const ProfileItem& item : items)
                WritePrivateProfileStringA(section, item.key, item.value, byKey.c_str());
        }
        EXPECT_EQ(Saved(byKey), Saved(atOnce));
    }
}

// A section the writer wrote itself is never written over as a new one.
TEST(ProfileGroupWrite, ASectionTheWriterNotedIsNotWrittenAsNew) {
    ScratchDir dir;
    std::string file = dir.file("s.ini");
    ProfileGroupTarget target(file.c_str());
    ASSERT_EQ(GroupWrite::Written, target.Write("First", {{"k", "1"}}));
    ASSERT_TRUE(WritePrivateProfileStringA("Second", "old", "1", file.c_str()));
    target.NoteSection("SECOND");
    EXPECT_EQ(GroupWrite::NotTried, target.Write("second", {{"new", "2"}}));
    EXPECT_EQ(GroupWrite::NotTried, target.Write("First", {{"n", "3"}}));
    EXPECT_EQ(GroupWrite::Written, target.Write("Third", {{"t", "4"}}));
    EXPECT_EQ("k\0"s, ReadProfileStringWhole("First", nullptr, "", file.c_str()));
    EXPECT_EQ("old\0"s, ReadProfileStringWhole("Second", nullptr, "", file.c_str()));
    Saved(file); // nothing left for the end of the process
}

// A section read at once where its lines are plain; anything else is left to
// the key-by-key reads, which give what is compared here.
TEST(ProfileGroupWrite, ASectionIsReadAtOnceOnlyWhenThatGivesWhatKeyByKeyGives) {
    enum AtOnce { no, yes, either };
    struct Case {
        const char* body;
        AtOnce atOnce;
    };
    const Case cases[] = {
        {"a=1\r\nb=C:\\x.dll\r\nc=\r\n", yes},
        {"", yes},
        {"a = 1 \r\n", either}, // one reader drops the blanks, another may not
        {";c=1\r\n", either},   // a comment is no key; a section reader may list it
        {"a=\"q\"\r\n", no},
        {"a=1\r\nA=2\r\n", no},
        {"word\r\n", no},
        {"=1\r\n", no},
        {"a=caf\xE9\r\n", no},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        ScratchDir dir;
        std::string file = dir.file("s.ini");
        WriteFileBytes(file, std::string("[S]\r\n") + c.body + "[T]\r\nz=9\r\n");
        std::vector<ProfileItem> items;
        bool atOnce = ReadPlainProfileGroup(file.c_str(), "S", items);
        if (c.atOnce != either) {
            ASSERT_EQ(c.atOnce == yes, atOnce);
        }
        if (!atOnce) {
            EXPECT_TRUE(items.empty());
            continue;
        }
        std::string keys = ReadProfileStringWhole("S", nullptr, "", file.c_str());
        size_t index = 0;
        for (const char* key = keys.c_str(); *key; key += std::strlen(key) + 1, ++index) {
            ASSERT_LT(index, items.size());
            EXPECT_STREQ(key, items[index].key);
            EXPECT_EQ(ReadProfileStringWhole("S", key, "", file.c_str()), items[index].value.str());
        }
        EXPECT_EQ(index, items.size());
    }
}

TEST(ProfileGroupWrite, GroupsThatCouldComeOutDifferentlyGoKeyByKey) {
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        std::vector<ProfileItem> items;
    };
    const std::vector<Case> cases = {
        {"the section exists", "[A]\r\nk=1\r\n", "A", {{"n", "2"}}},
        {"the section exists in another case", "[Prog]\r\n", "PROG", {{"n", "2"}}},
        {"the section exists with blanks", "[ A ]\r\n", "A", {{"n", "2"}}},
        {"a key repeats ignoring case", "", "A", {{"k", "1"}, {"K", "2"}}},
        {"a value in quotes", "", "A", {{"k", "1"}, {"q", "\"x\""}}},
        {"a section name with blanks", "", " A", {{"k", "1"}}},
        {"no items", "", "A", {}},
        // A name in a code page may match in ways ASCII folding does not see.
        {"another section named in a code page", "[caf\xC3\xA9]\r\n", "A", {{"k", "1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::string file = dir.file("s.ini");
        if (!c.before.empty())
            WriteFileBytes(file, c.before);
        EXPECT_EQ(GroupWrite::NotTried, WriteProfileGroup(file.c_str(), c.section, c.items));
        EXPECT_EQ(c.before, c.before.empty() ? std::string() : Saved(file)) << "changed the file";
    }
}

TEST(ProfileGroupWrite, AWriteThatCannotBeDoneFails) {
    ScratchDir dir;
    std::string file = dir.file("missing-folder/s.ini");
    EXPECT_EQ(GroupWrite::Failed, WriteProfileGroup(file.c_str(), "A", {{"k", "1"}}));
}

} // namespace
