// The in-memory profile model against a plain reference that does what the
// Windows build does call by call: parse the file text, change it, write the
// whole text, and parse that text again for the next call.
#include "platform/posix/ProfileDocument.h"
#include "platform/posix/ProfileLines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace posix::profile;
using namespace std::string_literals;

namespace {

// ---- reference -------------------------------------------------------------

struct RefSection {
    std::string name;
    std::vector<ProfileLine> lines;
};

std::vector<RefSection> RefParse(const std::string& text) {
    std::vector<RefSection> sections(1);
    ProfileLineReader reader(text);
    for (ProfileLine line; reader.Next(line);) {
        if (line.kind == ProfileLine::Kind::Header)
            sections.push_back({line.name, {}});
        else
            sections.back().lines.push_back(line);
    }
    return sections;
}

std::string RefText(const std::vector<RefSection>& sections) {
    std::string out;
    for (const RefSection& section : sections) {
        if (!section.name.empty())
            out += "[" + section.name + "]\r\n";
        for (const ProfileLine& line : section.lines)
            out += line.name + (line.hasValue ? "=" + line.value : "") + "\r\n";
    }
    return out;
}

// The file text after each call, changed the way the Windows build changes it.
struct Reference {
    std::string text;

    bool Set(const std::string& section, const std::string& key, const std::string& value) {
        auto sections = RefParse(text);
        std::string newValue(TrimLeadingBlanks(value));
        for (RefSection& s : sections) {
            if (!SameName(s.name, TrimBlanks(section)))
                continue;
            for (ProfileLine& line : s.lines) {
                if (!SameName(line.name, TrimBlanks(key)))
                    continue;
                if (line.hasValue && line.value == newValue)
                    return false;
                line.value = newValue;
                line.hasValue = true;
                text = RefText(sections);
                return true;
            }
            s.lines.push_back(
                {ProfileLine::Kind::Key, std::string(TrimLeadingBlanks(key)), newValue, true});
            text = RefText(sections);
            return true;
        }
        RefSection added{std::string(TrimLeadingBlanks(section)), {}};
        added.lines.push_back(
            {ProfileLine::Kind::Key, std::string(TrimLeadingBlanks(key)), newValue, true});
        sections.push_back(added);
        text = RefText(sections);
        return true;
    }

    bool DeleteKey(const std::string& section, const std::string& key) {
        auto sections = RefParse(text);
        for (RefSection& s : sections) {
            if (!SameName(s.name, section))
                continue;
            for (size_t i = 0; i < s.lines.size(); ++i) {
                if (SameName(s.lines[i].name, key)) {
                    s.lines.erase(s.lines.begin() + static_cast<long>(i));
                    text = RefText(sections);
                    return true;
                }
            }
        }
        return false;
    }

    bool DeleteSection(const std::string& section) {
        auto sections = RefParse(text);
        for (size_t i = 0; i < sections.size(); ++i) {
            if (SameName(sections[i].name, section)) {
                sections.erase(sections.begin() + static_cast<long>(i));
                text = RefText(sections);
                return true;
            }
        }
        return false;
    }
};

// Reads of one parsed text.
struct ReferenceReads {
    std::vector<RefSection> parsed;

    const ProfileLine* Find(const std::string& section, const std::string& key) const {
        for (const RefSection& s : parsed) {
            if (!SameName(s.name, TrimBlanks(section)))
                continue;
            for (const ProfileLine& line : s.lines)
                if (SameName(line.name, TrimBlanks(key)))
                    return &line;
            return nullptr;
        }
        return nullptr;
    }

    std::string Keys(const std::string& section) const {
        for (const RefSection& s : parsed) {
            if (!SameName(s.name, section))
                continue;
            std::string out;
            for (const ProfileLine& line : s.lines)
                if (line.hasValue && (line.name.empty() || line.name[0] != ';'))
                    out += line.name + '\0';
            return out;
        }
        return "(none)";
    }

    std::string Sections() const {
        std::string out;
        for (const RefSection& s : parsed)
            if (!s.name.empty())
                out += s.name + '\0';
        return out;
    }
};

// ---- the comparison -----------------------------------------------------------

const std::vector<std::string> kSections = {
    "A", "a", " A", "B ", "", " ", "[X]", "a]b", "C\r\nD", "E\rF", "=", ";c", "N\n[]\nM",
};
const std::vector<std::string> kKeys = {
    "k", "K", " k ", "", " ", "=", "a=b", "[K]", ";c", "x\ry", "q\r\n[Z]\r\nz", "[", "j",
};
const std::vector<std::string> kValues = {
    "1",    "",   "  v  ",        "\"q\"", "a\r\nb", "c\r[New]\rd=e",
    "\r\n", "[]", "x\n\n[]\ny=1", "  ",    "]",      "2\r\n[ ]\r\nw=3",
};
const std::vector<std::string> kStartTexts = {
    "",
    "[A]\r\nk=1\r\n",
    "top=1\n[A]\nk=1\nk=2\n[a]\nj=3\n[B]\n=x\n;c=1\nnoeq\n",
    "[]\r\nk=1\r\n[X]\r\nx=1\r\n[ ]\r\ny=2\r\n\0\r\n[A]\r\n"s,
    "\0\r\nh=1\r\n[A]\r[B]\r\0=z\r[a]\rk=\0\r"s,
    "  [ A ]  \n  k  =  1  \n[A]]\n[[K]]\nk=2\n",
};

void ExpectSameReads(const ProfileDocument& document, const Reference& written) {
    ReferenceReads reference{RefParse(written.text)};
    std::string sections;
    document.AppendSectionNames(sections, SIZE_MAX);
    ASSERT_EQ(reference.Sections(), sections);
    for (const std::string& section : kSections) {
        std::string keys;
        bool found = document.AppendKeyNames(section, keys, SIZE_MAX);
        ASSERT_EQ(reference.Keys(section), found ? keys : "(none)") << "keys of " << section;
        for (const std::string& key : kKeys) {
            const ProfileLine* expected = reference.Find(section, key);
            const std::string* value = document.FindValue(section, key);
            if (expected && expected->hasValue) {
                ASSERT_NE(nullptr, value) << section << "/" << key;
                ASSERT_EQ(expected->value, *value) << section << "/" << key;
            } else {
                ASSERT_EQ(nullptr, value) << section << "/" << key;
            }
        }
    }
}

TEST(ProfileDocument, RandomChangesMatchParsingTheWrittenTextAfterEachCall) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](const std::vector<std::string>& from) {
            return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
        };
        const std::string& start = kStartTexts[seed % kStartTexts.size()];
        ProfileDocument document = ProfileDocument::Parse(start);
        Reference reference{start};
        bool written = false;
        for (int step = 0; step < 150; ++step) {
            std::string section = pick(kSections);
            std::string key = pick(kKeys);
            int kind = std::uniform_int_distribution<int>(0, 9)(random);
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            bool expected;
            bool changed;
            if (kind < 6) {
                std::string value = pick(kValues);
                expected = reference.Set(section, key, value);
                changed = document.SetValue(section, key, value);
            } else if (kind < 9) {
                expected = reference.DeleteKey(section, key);
                changed = document.DeleteKey(section, key);
            } else {
                expected = reference.DeleteSection(section);
                changed = document.DeleteSection(section);
            }
            ASSERT_EQ(expected, changed);
            written = written || changed;
            // Until the first change the file keeps its own text.
            if (written) {
                ASSERT_EQ(reference.text, document.Text());
            }
            ExpectSameReads(document, reference);
        }
    }
}

TEST(ProfileDocument, ManyKeysStayIndexedThroughDeletionsAndCompaction) {
    ProfileDocument document;
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(document.SetValue("S", "key" + std::to_string(i), std::to_string(i)));
    for (int i = 0; i < 2000; i += 2)
        ASSERT_TRUE(document.DeleteKey("S", "KEY" + std::to_string(i)));
    for (int i = 0; i < 2000; ++i) {
        const std::string* value = document.FindValue("s", "key" + std::to_string(i));
        if (i % 2 == 0) {
            ASSERT_EQ(nullptr, value) << i;
        } else {
            ASSERT_TRUE(value && *value == std::to_string(i)) << i;
        }
    }
    ASSERT_TRUE(document.SetValue("S", "key0", "again"));
    std::string keys;
    document.AppendKeyNames("S", keys, SIZE_MAX);
    EXPECT_EQ("key1999\0key0\0"s, keys.substr(keys.size() - 13));
    std::string text = document.Text();
    EXPECT_EQ(0u, text.find("[S]\r\nkey1=1\r\nkey3=3\r\n"));
    EXPECT_EQ(text.size() - 12, text.find("key0=again\r\n"));
}

TEST(ProfileDocument, ListsStopSoonAfterTheLimit) {
    ProfileDocument document;
    for (int i = 0; i < 100; ++i)
        document.SetValue("Section" + std::to_string(i), "k", "v");
    std::string names;
    document.AppendSectionNames(names, 20);
    EXPECT_EQ("Section0\0Section1\0Section2\0"s, names);
}

} // namespace
