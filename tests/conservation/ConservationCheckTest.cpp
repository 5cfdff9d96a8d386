// The checker's verdicts on small hand-made runs: each case is the registry
// before and after, the files the run left, and what the account must say.
#include "ConservationCheck.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

const uint32_t kSz = 1, kBinary = 3, kDword = 4;

std::string Text(const std::string& text) {
    return text + std::string(1, '\0');
}

std::string Dword(int32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

struct Value {
    std::string path, name;
    uint32_t type;
    std::string data;
};

Snapshot Make(const std::vector<Value>& values) {
    Snapshot out;
    out[""] = SnapshotKey{"", {}};
    for (const Value& v : values) {
        SnapshotKey& key =
            out.try_emplace(UpperAscii(v.path), SnapshotKey{v.path, {}}).first->second;
        key.values[UpperAscii(v.name)] = SnapshotValue{v.name, v.type, v.data};
    }
    return out;
}

// A 624-byte joystick record with values 1..4 and flags 0,7,0,1 first.
std::string OldJoystickBlock() {
    std::string bytes(624, '\0');
    int32_t first[8] = {1, 2, 3, 70000, 0, 7, 0, 1};
    memcpy(bytes.data(), first, sizeof first);
    std::string hex;
    for (unsigned char c : bytes) {
        char two[3];
        snprintf(two, sizeof two, "%02X", c);
        hex += two;
    }
    return hex;
}

std::string NewJoystickBlock(bool right) {
    std::string bytes(288, '\0');
    int16_t values[4] = {1, 2, 3, static_cast<int16_t>(right ? 4464 : 70)};
    memcpy(bytes.data(), values, sizeof values);
    bytes[9] = 1;
    bytes[11] = 1;
    std::string hex;
    for (unsigned char c : bytes) {
        char two[3];
        snprintf(two, sizeof two, "%02X", c);
        hex += two;
    }
    return hex;
}

struct CheckCase {
    const char* what;
    std::vector<Value> before;
    std::vector<Value> after;
    std::vector<std::pair<std::string, std::string>> files; // name, content
    bool backup;                                            // the run wrote a backup
    long inRegistry, inFiles, transformed, byType, lost;
    const char* lossText; // a text the first loss holds, or null
};

const std::string kOld = OldJoystickBlock();

const CheckCase kCases[] = {
    {"a copied group is read back from the main settings file",
     {{"Audio", "Device", kSz, Text("A\nB")}, {"Audio", "Count", kDword, Dword(-1)}},
     {},
     {{"Corvane.ini", "[Audio]\r\nDevice=A|B\r\nCount=-1\r\n"}},
     true,
     0,
     2,
     0,
     0,
     0,
     nullptr},
    {"a value the file does not hold is lost",
     {{"Audio", "Device", kSz, Text("Card")}, {"Audio", "Other", kSz, Text("x")}},
     {},
     {{"Corvane.ini", "[Audio]\r\nOther=x\r\n"}},
     true,
     0,
     1,
     0,
     0,
     1,
     "no file holds it"},
    {"a text the profile functions trim is lost, with its kind named",
     {{"Audio", "Name", kSz, Text("  Piano  ")}},
     {},
     {{"Corvane.ini", "[Audio]\r\nName=  Piano  \r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     "{text-blanks-or-quotes-at-ends}"},
    {"a quoted text reads back as the registry's text",
     {{"Audio", "Name", kSz, Text("  Piano  ")}},
     {},
     {{"Corvane.ini", "[Audio]\r\nName=\"  Piano  \"\r\n"}},
     true,
     0,
     1,
     0,
     0,
     0,
     nullptr},
    {"a value still in the registry needs no file, nor a backup",
     {{"Audio", "Device", kSz, Text("Card")}, {"Audio", "Blob", kBinary, "\x01\x02"}},
     {{"Audio", "Device", kSz, Text("Card")}, {"Audio", "Blob", kBinary, "\x01\x02"}},
     {},
     false,
     2,
     0,
     0,
     0,
     0,
     nullptr},
    {"a value that changed type in the registry is not the same value",
     {{"Audio", "Device", kSz, Text("5")}},
     {{"Audio", "Device", kDword, Dword(5)}},
     {},
     false,
     0,
     0,
     0,
     0,
     1,
     "no backup"},
    {"binary values are left to the backup, but only with a backup",
     {{"Audio", "Blob", kBinary, "\x01"}, {"Other", "Blob", kBinary, "\x02"}},
     {},
     {},
     true,
     0,
     0,
     0,
     2,
     0,
     nullptr},
    {"moved groups are read from their own files",
     {{"Program 3", "a", kSz, Text("1")},
      {"Load", "b", kSz, Text("2")},
      {"HostCanDo sendVstEvents", "Answer", kDword, Dword(1)},
      {"Program 128", "c", kSz, Text("3")}},
     {},
     {{"#Intern.corvane", "[Program 3]\r\na=1\r\n[Load]\r\nb=2\r\n"},
      {"hostCanDos.ini", "[sendVstEvents]\r\nAnswer=1\r\n"},
      {"Corvane.ini", "[Program 128]\r\nc=3\r\n"}},
     true,
     0,
     4,
     0,
     0,
     0,
     nullptr},
    {"a program section beyond 127 is not looked for in the private file",
     {{"Program 128", "c", kSz, Text("3")}},
     {},
     {{"#Intern.corvane", "[Program 128]\r\nc=3\r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     nullptr},
    {"the MIDI and level settings take their newer form",
     {{"Settings", "MidiIn", kSz, Text("Port")},
      {"Settings", "MidiThru", kDword, Dword(3)},
      {"Settings", "MidiRemote", kDword, Dword(2)},
      {"Settings", "MidiRemoteChn", kDword, Dword(5)},
      {"Settings", "MasterLevel", kSz, Text("0.8")}},
     {},
     {{"Corvane.ini", "[Settings]\r\nMidiIn0=Port\r\nMidiThru0=0\r\nMidiRemoteIn=2\r\n"
                      "OutputLevel=0.80000001192092896\r\n"}},
     true,
     0,
     0,
     5,
     0,
     0,
     nullptr},
    {"a MIDI input that did not move is lost",
     {{"Settings", "MidiIn", kSz, Text("Port")}},
     {},
     {{"Corvane.ini", "[Settings]\r\nMidiIn0=Other\r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     nullptr},
    {"the joystick record is repacked field by field",
     {{"Settings", "Joysticks", kSz, Text(kOld)}},
     {},
     {{"Corvane.ini", "[Settings]\r\nJoysticks=" + NewJoystickBlock(true) + "\r\n"}},
     true,
     0,
     0,
     1,
     0,
     0,
     nullptr},
    {"a joystick record repacked wrongly is lost",
     {{"Settings", "Joysticks", kSz, Text(kOld)}},
     {},
     {{"Corvane.ini", "[Settings]\r\nJoysticks=" + NewJoystickBlock(false) + "\r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     nullptr},
    {"an old profile name becomes the name of the chosen bank",
     {{"Settings", "Profile", kSz, Text("Live")}, {"Settings", "Bank0", kSz, Text("")}},
     {},
     {{"Corvane.ini", "[Settings]\r\nBank0=Live\r\nBank=0\r\n"}},
     true,
     0,
     0,
     2,
     0,
     0,
     nullptr},
    {"a bank name overwritten by the profile name is lost",
     {{"Settings", "Profile", kSz, Text("Live")}, {"Settings", "Bank0", kSz, Text("Beta")}},
     {},
     {{"Corvane.ini", "[Settings]\r\nBank0=Live\r\nBank=0\r\n"}},
     true,
     0,
     0,
     1,
     0,
     1,
     "{profile-bank-match}"},
    {"a plug-in record is found in the section of its menu level",
     {{"PlugIns\\Synths", "1:Pad", kSz, Text("C:\\VST\\pad.dll:\\uid1234")},
      {"PlugIns", "", kSz, Text("PlugIns")}},
     {},
     {{"PlugIns.ini", "[PlugIns\\Synths]\r\n1:Pad=C:\\VST\\pad.dll:\\uid1234\r\n"}},
     true,
     0,
     1,
     0,
     0,
     0,
     nullptr},
    {"a plug-in record in another level's section is lost",
     {{"PlugIns\\Synths", "1:Pad", kSz, Text("C:\\VST\\pad.dll")}},
     {},
     {{"PlugIns.ini", "[PlugIns]\r\n1:Pad=C:\\VST\\pad.dll\r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     nullptr},
    {"attributes rewritten in their written order are the same record",
     {{"PlugIns", "0:Fx", kSz, Text("C:\\VST\\fx.dll:\\ena0\\arch1")}},
     {},
     {{"PlugIns.ini", "[PlugIns]\r\n0:Fx=C:\\VST\\fx.dll:\\arch1\\ena0\r\n"}},
     true,
     0,
     0,
     1,
     0,
     0,
     nullptr},
    {"a path cut at a colon that starts no attribute is lost",
     {{"PlugIns", "0:Long", kSz, Text("\\\\?\\C:\\VST\\Long.dll")}},
     {},
     {{"PlugIns.ini", "[PlugIns]\r\n0:Long=\\\\?\\C\r\n"}},
     true,
     0,
     0,
     0,
     0,
     1,
     "{menu-path-colon-or-blanks}"},
};

class ConservationCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ConservationCheckTest, AccountsForEveryValue) {
    const CheckCase& c = GetParam();
    ScratchDir dir;
    for (const auto& [name, content] : c.files)
        WriteFileBytes(dir.file(name), content);
    ConversionCase run;
    run.name = "case";
    run.dataFolder = dir.path().string();
    Snapshot before = Make(c.before);
    std::vector<Snapshot> backups;
    if (c.backup) {
        run.backups.push_back("backup.reg");
        backups.push_back(before);
    }
    Account account = CheckConversion(run, before, Make(c.after), backups);
    EXPECT_EQ(account.inRegistry, c.inRegistry) << c.what;
    EXPECT_EQ(account.inFiles, c.inFiles) << c.what;
    EXPECT_EQ(account.transformed, c.transformed) << c.what;
    EXPECT_EQ(account.byType, c.byType) << c.what;
    ASSERT_EQ(static_cast<long>(account.losses.size()), c.lost) << c.what;
    if (c.lossText) {
        EXPECT_NE(account.losses[0].find(c.lossText), std::string::npos)
            << c.what << ": " << account.losses[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, ConservationCheckTest, ::testing::ValuesIn(kCases));

TEST(ConservationCheckBackup, ABackupThatRestoresAnythingElseIsALoss) {
    ScratchDir dir;
    WriteFileBytes(dir.file("Corvane.ini"), "[Odd]\r\nFive=a\r\n");
    ConversionCase run;
    run.dataFolder = dir.path().string();
    run.backups.push_back("backup.reg");
    // The registry held 61 00 00 00 00, the backup restores 61 00 00 00.
    WriteFileBytes(dir.file("before.reg"), "Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKCU\\Software\\Brax\\Corvane\\Odd]\r\n"
                                           "\"Five\"=hex(1):61,00,00,00,00\r\n");
    WriteFileBytes(dir.file("backup.reg"), "Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKCU\\Software\\Brax\\Corvane\\Odd]\r\n"
                                           "\"Five\"=\"a\"\r\n");
    Snapshot before, restored;
    std::string error;
    ASSERT_TRUE(LoadSnapshot(dir.file("before.reg"), "Corvane", before, error)) << error;
    ASSERT_TRUE(LoadSnapshot(dir.file("backup.reg"), "Corvane", restored, error)) << error;
    Account account = CheckConversion(run, before, Make({}), {restored});
    // The host reads the text "a", which the file holds: only the backup is short.
    ASSERT_EQ(account.losses.size(), 1u);
    EXPECT_NE(account.losses[0].find("{backup-text-not-exact} the backup backup.reg does not "
                                     "import"),
              std::string::npos)
        << account.losses[0];
    EXPECT_TRUE(CheckConversion(run, before, Make({}), {before}).losses.empty());
}

TEST(RegistrySnapshotTest, ReadsTheApplicationKeyWithDeletionsApplied) {
    ScratchDir dir;
    WriteFileBytes(dir.file("r.reg"),
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Audio]\r\n"
                   "\"Device\"=\"Card\"\r\n\"Gone\"=dword:00000001\r\n\"Gone\"=-\r\n\r\n"
                   "[HKCU\\Software\\Brax\\Corvane\\Old\\Deep]\r\n\"x\"=\"1\"\r\n"
                   "[-HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Old]\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Brax\\Other]\r\n\"y\"=\"2\"\r\n");
    Snapshot snapshot;
    std::string error;
    ASSERT_TRUE(LoadSnapshot(dir.file("r.reg"), "corvane", snapshot, error)) << error;
    EXPECT_EQ(snapshot.size(), 2u); // the application key and Audio
    ASSERT_TRUE(snapshot.count("AUDIO"));
    const SnapshotKey& audio = snapshot["AUDIO"];
    EXPECT_EQ(audio.path, "Audio");
    ASSERT_EQ(audio.values.size(), 1u);
    EXPECT_EQ(audio.values.at("DEVICE").data, Text("Card"));
    EXPECT_FALSE(DescribeDifferences(snapshot, Snapshot{}).empty());
    EXPECT_TRUE(DescribeDifferences(snapshot, snapshot).empty());
}

} // namespace
