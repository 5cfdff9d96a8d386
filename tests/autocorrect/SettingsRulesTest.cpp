// The rules of the pre-bank, MIDI and level steps over a section held in
// memory, whose writes can be made to fail one key at a time.
#include "autocorrect/SettingsSection.h"
#include "platform/AsciiText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace corvane;

namespace {

std::string Lower(std::string text) {
    for (char& ch : text)
        ch = ascii::ToLower(ch);
    return text;
}

// Keys in order, looked up ignoring case, as a settings file keeps them.
class MemorySection : public SettingsSection {
  public:
    // `lines` holds "key=value" lines, each ended by "\n".
    explicit MemorySection(const std::string& lines, std::set<std::string> failingKeys = {}) {
        size_t pos = 0;
        while (pos < lines.size()) {
            size_t end = lines.find('\n', pos);
            std::string line = lines.substr(pos, end - pos);
            size_t eq = line.find('=');
            m_keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
            pos = end + 1;
        }
        for (const std::string& key : failingKeys)
            m_failing.insert(Lower(key));
    }

    std::string Text() const {
        std::string text;
        for (const auto& [key, value] : m_keys)
            text += key + "=" + value + "\n";
        return text;
    }

    const char* Name() const override { return "Settings"; }
    CString GetString(const char* key, const char* def) override {
        auto it = Find(key);
        return it == m_keys.end() ? CString(def) : CString(it->second);
    }
    int GetInt(const char* key, int def) override {
        auto it = Find(key);
        return it == m_keys.end() ? def : std::atoi(it->second.c_str());
    }
    double GetDouble(const char* key, double def) override {
        auto it = Find(key);
        return it == m_keys.end() ? def : std::atof(it->second.c_str());
    }
    bool WriteString(const char* key, const char* value) override {
        if (m_failing.count(Lower(key)))
            return false;
        auto it = Find(key);
        if (it != m_keys.end())
            it->second = value;
        else
            m_keys.emplace_back(key, value);
        return true;
    }
    bool WriteInt(const char* key, int value) override {
        return WriteString(key, std::to_string(value).c_str());
    }
    bool WriteDouble(const char* key, double value) override {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", value);
        return WriteString(key, text);
    }
    bool WriteIntList(const char* key, const CDWordArray& values) override {
        std::string text;
        for (int i = 0; i < values.GetSize(); ++i)
            text += (i ? "," : "") + std::to_string(static_cast<int>(values[i]));
        return WriteString(key, text.c_str());
    }
    bool DeleteKey(const char* key) override {
        if (m_failing.count(Lower(key)))
            return false;
        auto it = Find(key);
        if (it != m_keys.end())
            m_keys.erase(it);
        return true;
    }

  private:
    std::vector<std::pair<std::string, std::string>>::iterator Find(const char* key) {
        return std::find_if(m_keys.begin(), m_keys.end(),
                            [&](const auto& entry) { return Lower(entry.first) == Lower(key); });
    }

    std::vector<std::pair<std::string, std::string>> m_keys;
    std::set<std::string> m_failing;
};

struct RuleCase {
    const char* what;
    const char* before;
    std::set<std::string> failing;
    const char* after;
    const char* output;
};

// Runs `rule` on each case and compares the whole section and the output.
template <class Rule> void RunCases(const std::vector<RuleCase>& cases, Rule rule) {
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySection section(c.before, c.failing);
        testing::internal::CaptureStdout();
        rule(section);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(section.Text(), c.after);
    }
}

} // namespace

TEST(MidiRules, SingleEntriesBecomeFirstListMembers) {
    RunCases(
        {
            {"input moves", "MidiIn=Port A\nOther=1\n", {}, "Other=1\nMidiIn0=Port A\n", ""},
            {"empty input stays", "MidiIn=\n", {}, "MidiIn=\n", ""},
            {"existing first input is overwritten in place",
             "MidiIn0=old\nMidiIn=new\n",
             {},
             "MidiIn0=new\n",
             ""},
            {"output moves", "MidiOut=Synth\n", {}, "MidiOut0=Synth\n", ""},
            {"thru 0 is dropped", "MidiThru=0\n", {}, "", ""},
            {"thru 1 becomes the list 0", "MidiThru=1\n", {}, "MidiThru0=0\n", ""},
            {"thru 5 becomes the list 0", "MidiThru=5\n", {}, "MidiThru0=0\n", ""},
            {"thru -1 means absent", "MidiThru=-1\n", {}, "MidiThru=-1\n", ""},
            {"thru -3 is dropped", "MidiThru=-3\n", {}, "", ""},
            {"remote becomes remote in",
             "MidiRemote=3\nMidiRemoteChn=5\n",
             {},
             "MidiRemoteIn=3\n",
             ""},
            {"remote -1 means absent",
             "MidiRemote=-1\nMidiRemoteChn=5\n",
             {},
             "MidiRemote=-1\nMidiRemoteChn=5\n",
             ""},
            {"all at once",
             "MidiRemote=2\nMidiOut=o\nMidiThru=1\nMidiIn=i\n",
             {},
             "MidiIn0=i\nMidiThru0=0\nMidiOut0=o\nMidiRemoteIn=2\n",
             ""},
        },
        [](SettingsSection& s) { CorrectMidiSettings(s); });
}

TEST(MidiRules, AFailedWriteKeepsTheOldKey) {
    RunCases(
        {
            {"input",
             "MidiIn=Port A\n",
             {"MidiIn0"},
             "MidiIn=Port A\n",
             "Error writing [Settings] MidiIn0\n"},
            {"output",
             "MidiOut=Synth\n",
             {"MidiOut0"},
             "MidiOut=Synth\n",
             "Error writing [Settings] MidiOut0\n"},
            {"thru",
             "MidiThru=1\n",
             {"MidiThru0"},
             "MidiThru=1\n",
             "Error writing [Settings] MidiThru0\n"},
            {"remote keeps its channel too",
             "MidiRemote=3\nMidiRemoteChn=5\n",
             {"MidiRemoteIn"},
             "MidiRemote=3\nMidiRemoteChn=5\n",
             "Error writing [Settings] MidiRemoteIn\n"},
            {"one failure leaves the others converted",
             "MidiIn=i\nMidiOut=o\n",
             {"MidiIn0"},
             "MidiIn=i\nMidiOut0=o\n",
             "Error writing [Settings] MidiIn0\n"},
        },
        [](SettingsSection& s) { CorrectMidiSettings(s); });
}

TEST(LevelRules, MasterLevelFillsAMissingOutputLevel) {
    RunCases(
        {
            {"master only", "MasterLevel=0.5\n", {}, "OutputLevel=0.5\n", ""},
            {"single precision", "MasterLevel=0.8\n", {}, "OutputLevel=0.80000001192092896\n", ""},
            {"output wins", "OutputLevel=0.25\nMasterLevel=0.5\n", {}, "OutputLevel=0.25\n", ""},
            {"output rewritten in single precision",
             "OutputLevel=0.1\nMasterLevel=0\n",
             {},
             "OutputLevel=0.10000000149011612\n",
             ""},
            {"no master", "OutputLevel=0.3\n", {}, "OutputLevel=0.3\n", ""},
            {"negative master", "MasterLevel=-1\n", {}, "MasterLevel=-1\n", ""},
            {"text master reads as 0", "MasterLevel=loud\n", {}, "OutputLevel=0\n", ""},
            {"failed write keeps master",
             "MasterLevel=0.5\n",
             {"OutputLevel"},
             "MasterLevel=0.5\n",
             "Error writing [Settings] OutputLevel\n"},
        },
        [](SettingsSection& s) { CorrectLevels(s); });
}

namespace {

CStringArray BankTable(std::initializer_list<std::pair<int, const char*>> names,
                       int size = 0x4000) {
    CStringArray table;
    table.SetSize(size);
    for (const auto& [index, name] : names)
        table[index] = name;
    return table;
}

} // namespace

TEST(PreBankRules, ProfileNameBecomesBankNumber) {
    CStringArray named = BankTable({{0, "Live"}, {1, "Studio"}, {2, "Rehearsal"}, {4, "Piano"}});
    RunCases(
        {
            {"bank already set", "Bank=7\nProfile=Live\n", {}, "Bank=7\nProfile=Live\n", ""},
            {"no profile", "Other=x\n", {}, "Other=x\nBank=-1\n", ""},
            {"empty profile", "Profile=\n", {}, "Profile=\nBank=-1\n", ""},
            {"known name ignoring case", "Profile=piANO\n", {}, "Profile=piANO\nBank=4\n", ""},
            {"new name takes the first unnamed bank",
             "Profile=Tour\n",
             {},
             "Bank3=Tour\nBank=3\n",
             ""},
            {"failed name write keeps the profile",
             "Profile=Tour\n",
             {"Bank3"},
             "Profile=Tour\nBank=3\n",
             "Error writing [Settings] Bank3\n"},
            {"no bank is left alone", "Bank=-1\nProfile=Tour\n", {}, "Bank=-1\nProfile=Tour\n", ""},
            {"below -2 is left alone",
             "Bank=-5\nProfile=Tour\n",
             {},
             "Bank=-5\nProfile=Tour\n",
             ""},
            {"beyond the banks is left alone",
             "Bank=16384\nProfile=Tour\n",
             {},
             "Bank=16384\nProfile=Tour\n",
             ""},
        },
        [&](SettingsSection& s) { CorrectPreBankLogic(s, named); });

    // Names stored in this section but absent from the table are not
    // overwritten: the next unnamed bank takes the new name.
    CStringArray partial = BankTable({{1, "x"}, {2, "y"}});
    RunCases({{"stored names are kept",
               "bank0=Live\nBank3=Studio\nBank4=\nProfile=Tour\n",
               {},
               "bank0=Live\nBank3=Studio\nBank4=Tour\nBank=4\n",
               ""}},
             [&](SettingsSection& s) { CorrectPreBankLogic(s, partial); });

    // A stored name equal to the profile (ignoring case) is the profile's
    // bank, not a reason to make a second bank of the same name.
    RunCases({{"a stored name matches ignoring case",
               "Bank0=Beta\nProfile=beta\n",
               {},
               "Bank0=Beta\nProfile=beta\nBank=0\n",
               ""},
              {"a stored match after a stored other name",
               "Bank0=Live\nBank3=TOUR\nProfile=tour\n",
               {},
               "Bank0=Live\nBank3=TOUR\nProfile=tour\nBank=3\n",
               ""}},
             [&](SettingsSection& s) { CorrectPreBankLogic(s, partial); });

    CStringArray gap = BankTable({{0, "A"}, {5, "Tour"}});
    RunCases({{"a name after an unnamed bank is found",
               "Profile=tour\n",
               {},
               "Profile=tour\nBank=5\n",
               ""}},
             [&](SettingsSection& s) { CorrectPreBankLogic(s, gap); });

    CStringArray full;
    for (int i = 0; i < 0x4000; ++i)
        full.Add(CString("Bank ") + CString(std::to_string(i)));
    RunCases({{"every bank named", "Profile=Tour\n", {}, "Profile=Tour\nBank=-1\n", ""}},
             [&](SettingsSection& s) { CorrectPreBankLogic(s, full); });

    CStringArray empty;
    RunCases({{"a table never filled counts as unnamed",
               "Profile=Tour\n",
               {},
               "Bank0=Tour\nBank=0\n",
               ""}},
             [&](SettingsSection& s) { CorrectPreBankLogic(s, empty); });
}
