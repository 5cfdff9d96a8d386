// CIniSection: key lines, lookups, placement of new lines, duplicates.
#include "common/TestSupport.h"
#include "ini/IniFile.h"
#include "ini/IniSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

namespace {

using Lines = std::vector<std::string>;

// Sections of a file without path, each holding exactly the given lines.
class SectionTest : public testing::Test {
  protected:
    CIniSection& Make(const Lines& lines) {
        CIniSection* section = m_file.GetOrCreateSection("S");
        section->RemoveAll();
        for (const std::string& line : lines)
            section->Add(CString(line));
        section->Reindex();
        return *section;
    }

    static Lines LinesOf(const CIniSection& section) {
        Lines out;
        for (const CString& line : section.items())
            out.push_back(line.str());
        return out;
    }

    CIniFile m_file;
};

// The index kept up by SetValue must equal a fresh index of the same lines.
void ExpectIndexMatchesLines(CIniSection& section, const Lines& keys) {
    std::vector<std::string> kept;
    int lastKept = section.GetLastKeyLine();
    for (const std::string& key : keys)
        kept.push_back(section.GetValue(key.c_str(), "<none>", false).str());
    section.Reindex();
    EXPECT_EQ(lastKept, section.GetLastKeyLine());
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE("key " + keys[i]);
        EXPECT_EQ(section.GetValue(keys[i].c_str(), "<none>", false).str(), kept[i]);
    }
}

TEST_F(SectionTest, TellsKeyLinesFromOtherLines) {
    struct Case {
        const char* line;
        bool isKey;
        const char* key;
        const char* upper;
    };
    const Case cases[] = {
        {"a=1", true, "a", "A"},   {"  Key Name  = value ", true, "Key Name", "KEY NAME"},
        {"=5", true, "", ""},      {"   ; x=1", false, "", ""},
        {";x=1", false, "", ""},   {"abc", false, "", ""},
        {"", false, "", ""},       {"   ", false, "", ""},
        {"a=b=c", true, "a", "A"}, {"[x]=1", true, "[x]", "[X]"},
    };
    Lines lines;
    for (const Case& c : cases)
        lines.push_back(c.line);
    CIniSection& section = Make(lines);
    for (int i = 0; i < section.GetSize(); ++i) {
        SCOPED_TRACE(cases[i].line);
        CString key, upper;
        EXPECT_EQ(cases[i].isKey, section.ParseKeyLine(i, key, upper));
        if (cases[i].isKey) {
            EXPECT_STREQ(cases[i].key, key);
            EXPECT_STREQ(cases[i].upper, upper);
        }
    }
    // The first line of a key wins: "a=1", not "a=b=c".
    EXPECT_STREQ("1", section.GetValue("A", nullptr, false));
    EXPECT_STREQ("5", section.GetValue("", nullptr, false));
    EXPECT_STREQ("value", section.GetValue("key name", nullptr, false));
    EXPECT_EQ(9, section.GetLastKeyLine());
    CString key, upper;
    EXPECT_THROW(section.ParseKeyLine(-1, key, upper), CInvalidArgException);
    EXPECT_THROW(section.ParseKeyLine(section.GetSize(), key, upper), CInvalidArgException);
}

TEST_F(SectionTest, MissingKeysGiveTheDefault) {
    CIniSection& section = Make({"a=1"});
    EXPECT_STREQ("", section.GetValue("b", nullptr, true));
    EXPECT_STREQ("d", section.GetValue("b", "d", false));
    SetEnvironmentVariableForTests("CORVANE_INI_TEST_DIR", "C:\\data");
    EXPECT_STREQ("C:\\data\\x", section.GetValue("b", "%CORVANE_INI_TEST_DIR%\\x", true));
    EXPECT_STREQ("%CORVANE_INI_TEST_DIR%\\x",
                 section.GetValue("b", "%CORVANE_INI_TEST_DIR%\\x", false));
}

TEST_F(SectionTest, DefaultPlaceholderAndEnvironmentInValues) {
    SetEnvironmentVariableForTests("CORVANE_INI_TEST_SUB", "deep");
    CIniSection& section = Make({"p=%Default%\\sub", "q=%Default%;%Default%",
                                 "r=%CORVANE_INI_TEST_SUB%\\x", "s=%CORVANE_INI_TEST_UNSET%"});
    EXPECT_STREQ("C:\\d\\sub", section.GetValue("p", "C:\\d", true));
    EXPECT_STREQ("%Default%\\sub", section.GetValue("p", "C:\\d", false));
    EXPECT_STREQ("\\sub", section.GetValue("p", nullptr, true));
    EXPECT_STREQ("a;a", section.GetValue("q", "a", true));
    EXPECT_STREQ("deep\\x", section.GetValue("r", nullptr, true));
    EXPECT_STREQ("%CORVANE_INI_TEST_SUB%\\x", section.GetValue("r", nullptr, false));
    EXPECT_STREQ("%CORVANE_INI_TEST_UNSET%", section.GetValue("s", nullptr, true));
}

TEST_F(SectionTest, KeysAreExpandedOnLookupButNotInTheLines) {
    SetEnvironmentVariableForTests("CORVANE_INI_TEST_KEY", "Real");
    CIniSection& section =
        Make({"%CORVANE_INI_TEST_KEY%=1", "real=2", "%CORVANE_INI_TEST_NONE%=3"});
    EXPECT_STREQ("2", section.GetValue("%CORVANE_INI_TEST_KEY%", nullptr, false));
    EXPECT_STREQ("3", section.GetValue("%CORVANE_INI_TEST_NONE%", nullptr, false));
    // Listing with values looks each key up again, expanded: the stored
    // "%CORVANE_INI_TEST_KEY%" reaches the line of "Real".
    CStringArray keys;
    ASSERT_TRUE(section.GetKeys(keys, true));
    ASSERT_EQ(3, keys.GetSize());
    EXPECT_STREQ("%CORVANE_INI_TEST_KEY%=2", keys[0]);
    EXPECT_STREQ("real=2", keys[1]);
    EXPECT_STREQ("%CORVANE_INI_TEST_NONE%=3", keys[2]);
    CIniSection& alone = Make({"%CORVANE_INI_TEST_KEY%=1"});
    EXPECT_STREQ("", alone.GetValue("%CORVANE_INI_TEST_KEY%", nullptr, false));
    ASSERT_TRUE(alone.GetKeys(keys, true));
    ASSERT_EQ(1, keys.GetSize());
    EXPECT_STREQ("%CORVANE_INI_TEST_KEY%=", keys[0]);
}

TEST_F(SectionTest, GetKeysListsKeyLinesAsWritten) {
    CIniSection& section = Make({"B = 2", "; c", "a=1", "no key", "  "});
    CStringArray keys;
    ASSERT_TRUE(section.GetKeys(keys, true));
    ASSERT_EQ(2, keys.GetSize());
    EXPECT_STREQ("B=2", keys[0]);
    EXPECT_STREQ("a=1", keys[1]);
    ASSERT_TRUE(section.GetKeys(keys, false));
    ASSERT_EQ(2, keys.GetSize());
    EXPECT_STREQ("B", keys[0]);
    CIniSection& empty = Make({"; only a comment"});
    keys.Add("stale");
    ASSERT_TRUE(empty.GetKeys(keys, true));
    EXPECT_EQ(0, keys.GetSize());
}

TEST_F(SectionTest, NewKeysGoDirectlyAfterTheLastKeyLine) {
    struct Case {
        const char* what;
        Lines before;
        Lines after;
    };
    const Case cases[] = {
        {"after the last key", {"x=1", "; note", ""}, {"x=1", "y=2", "; note", ""}},
        {"ahead of comments", {"; note"}, {"y=2", "; note"}},
        {"into an empty section", {}, {"y=2"}},
        {"between keys and trailing text",
         {"; head", "a=1", "", "b=1", "tail"},
         {"; head", "a=1", "", "b=1", "y=2", "tail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CIniSection& section = Make(c.before);
        EXPECT_TRUE(section.SetValue("y", "2", true));
        EXPECT_EQ(c.after, LinesOf(section));
        ExpectIndexMatchesLines(section, {"y", "x", "a", "b"});
    }
}

TEST_F(SectionTest, SetValueKeepsTheValueAsPassedInTheLine) {
    CIniSection& section = Make({});
    EXPECT_TRUE(section.SetValue("  k ", "  v ", true));
    EXPECT_EQ(Lines{"k=  v "}, LinesOf(section));
    EXPECT_STREQ("v", section.GetValue("K", nullptr, false));
    EXPECT_TRUE(section.SetValue("K", "w", true));
    EXPECT_EQ(Lines{"K=w"}, LinesOf(section));
    EXPECT_TRUE(section.SetInt("n", -42));
    EXPECT_EQ(-42, section.GetInt("N", 7));
}

TEST_F(SectionTest, RewritingTheSameLineIsNoChange) {
    CIniSection& section = Make({"k=v"});
    m_file.Save(":memory");
    ASSERT_FALSE(m_file.IsModified());
    EXPECT_TRUE(section.SetValue("k", "v", true));
    EXPECT_FALSE(m_file.IsModified());
    EXPECT_TRUE(section.SetValue("k", "v2", true));
    EXPECT_TRUE(m_file.IsModified());
}

TEST_F(SectionTest, DuplicateKeysReadAndWriteTheirFirstLine) {
    // The first line is the one every reader sees; a value set there is the one
    // that reads back after the file is read again.
    CIniSection& section = Make({"a=1", "A=2"});
    EXPECT_STREQ("1", section.GetValue("a", nullptr, false));
    EXPECT_TRUE(section.SetValue("a", "3", true));
    EXPECT_EQ((Lines{"a=3", "A=2"}), LinesOf(section));
    EXPECT_STREQ("3", section.GetValue("a", nullptr, false));
    section.Reindex();
    EXPECT_STREQ("3", section.GetValue("a", nullptr, false));
}

TEST_F(SectionTest, DeletingAKeyRemovesAllItsLines) {
    struct Case {
        const char* what;
        Lines before;
        const char* key;
        Lines after;
        int lastKeyLine;
    };
    const Case cases[] = {
        {"single line", {"a=1", "b=2", "c=3"}, "B", {"a=1", "c=3"}, 1},
        {"the last key line", {"a=1", "; c", "b=2", "tail"}, "b", {"a=1", "; c", "tail"}, 0},
        {"the only key", {"; c", "a=1"}, "a", {"; c"}, -1},
        {"duplicates", {"a=1", "x=0", "A=2", "y=0", "a = 3", "; t"}, "a", {"x=0", "y=0", "; t"}, 1},
        {"missing key", {"a=1"}, "zz", {"a=1"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CIniSection& section = Make(c.before);
        EXPECT_TRUE(section.SetValue(c.key, nullptr, true));
        EXPECT_EQ(c.after, LinesOf(section));
        EXPECT_EQ(c.lastKeyLine, section.GetLastKeyLine());
        EXPECT_STREQ("<none>", section.GetValue(c.key, "<none>", false));
        ExpectIndexMatchesLines(section, {"a", "b", "c", "x", "y"});
        // Lines found through the index after the deletion are the right ones.
        EXPECT_TRUE(section.SetValue("x", "new", true));
        EXPECT_TRUE(section.SetValue("c", "new", true));
        ExpectIndexMatchesLines(section, {"a", "b", "c", "x", "y"});
    }
}

TEST_F(SectionTest, ManyChangesKeepTheIndexInStep) {
    CIniSection& section = Make({"; head", "k0=0", "", "k5=5", "; tail"});
    Lines keys;
    for (int i = 0; i < 40; ++i)
        keys.push_back("k" + std::to_string(i));
    unsigned seed = 12345;
    for (int step = 0; step < 2000; ++step) {
        seed = seed * 1103515245 + 12345;
        const std::string& key = keys[(seed >> 8) % keys.size()];
        bool remove = ((seed >> 20) % 3) == 0;
        std::string value = std::to_string(step);
        section.SetValue(key.c_str(), remove ? nullptr : value.c_str(), true);
        if (step % 97 == 0) {
            SCOPED_TRACE("step " + std::to_string(step));
            ExpectIndexMatchesLines(section, keys);
        }
    }
    ExpectIndexMatchesLines(section, keys);
    EXPECT_EQ("; head", LinesOf(section).front());
    EXPECT_EQ("; tail", LinesOf(section).back());
}

// A section filled from empty indexes its values only when one is read.
// What it reads then, after further changes and after it was emptied, is
// what a fresh index of its lines gives.
TEST_F(SectionTest, SectionFilledFromEmptyReadsLikeOneIndexedAfresh) {
    SetEnvironmentVariableForTests("CORVANE_INI_TEST_FRESH", "Env");
    CIniSection* section = m_file.GetOrCreateSection("Fresh");
    ASSERT_NE(nullptr, section);
    ASSERT_EQ(0, section->GetSize());
    EXPECT_TRUE(section->SetValue("a", " 1 ", true));
    EXPECT_TRUE(section->SetValue("B", "2", true));
    EXPECT_TRUE(section->SetValue(" A ", "3", true)); // the line of "a"
    EXPECT_TRUE(section->SetValue("%CORVANE_INI_TEST_FRESH%", "  spaced  ", true));
    EXPECT_TRUE(section->SetValue("gone", "5", true));
    EXPECT_TRUE(section->SetValue("GONE", nullptr, true));
    EXPECT_FALSE(section->SetValue("x=y", "6", true));
    EXPECT_FALSE(section->SetValue("x", "6\n", true));
    EXPECT_EQ(2, section->GetLastKeyLine());
    EXPECT_EQ((Lines{"A=3", "B=2", "Env=  spaced  "}), LinesOf(*section));
    EXPECT_STREQ("3", section->GetValue("a", nullptr, false));
    EXPECT_STREQ("spaced", section->GetValue("%CORVANE_INI_TEST_FRESH%", nullptr, false));
    EXPECT_STREQ("<none>", section->GetValue("gone", "<none>", false));

    // Once read, changes keep the value index up as they go.
    EXPECT_TRUE(section->SetValue("c", " 7 ", true));
    EXPECT_TRUE(section->SetValue("b", nullptr, true));
    EXPECT_STREQ("7", section->GetValue("C", nullptr, false));
    EXPECT_STREQ("<none>", section->GetValue("b", "<none>", false));
    ExpectIndexMatchesLines(*section, {"a", "b", "c", "env", "gone", "x"});

    section->Clear();
    EXPECT_TRUE(section->SetValue("z", "1", true));
    EXPECT_TRUE(section->SetValue("Z", "2", true));
    CStringArray keys;
    ASSERT_TRUE(section->GetKeys(keys, true));
    ASSERT_EQ(1, keys.GetSize());
    EXPECT_STREQ("Z=2", keys[0]);
    ExpectIndexMatchesLines(*section, {"z"});
}

TEST_F(SectionTest, RefusesKeysAndValuesThatWouldNotReadBack) {
    CIniSection& section = Make({"a=1"});
    const struct {
        const char* key;
        const char* value;
    } refused[] = {
        {"a=b", "1"}, {";a", "1"}, {"[a", "1"}, {"a\nb", "1"}, {"a", "x\ny"}, {"a", "x\ry"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.key);
        EXPECT_FALSE(section.SetValue(c.key, c.value, true));
        EXPECT_EQ(Lines{"a=1"}, LinesOf(section));
    }
    EXPECT_TRUE(section.SetValue("", "empty key", true));
    EXPECT_STREQ("empty key", section.GetValue("", nullptr, false));
}

TEST_F(SectionTest, GetIntReadsLikeTheCLibrary) {
    CIniSection& section =
        Make({"e=", "star=*", "n=12abc", "neg= -7", "big=99999999999", "text=abc", "plus=+3"});
    struct Case {
        const char* key;
        int expected;
    };
    const Case cases[] = {{"missing", 55}, {"star", 55},        {"e", 0},    {"n", 12},
                          {"neg", -7},     {"big", 2147483647}, {"text", 0}, {"plus", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.expected, section.GetInt(c.key, 55));
    }
}

TEST_F(SectionTest, NamesAreTrimmedAndKeyedInUpperCase) {
    CIniSection* section = m_file.CreateSection("  Mixed Case \t");
    ASSERT_NE(nullptr, section);
    EXPECT_STREQ("Mixed Case", section->GetName(false));
    EXPECT_STREQ("MIXED CASE", section->GetName(true));
    section->SetName(nullptr);
    EXPECT_STREQ("", section->GetName(true));
    delete section;
}

} // namespace
