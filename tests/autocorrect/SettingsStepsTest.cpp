// The pre-bank, MIDI, joystick and level steps on a real settings file: the
// stored text forms and the rules of which stored lengths are converted.
#include "StepFixture.h"

#include "autocorrect/JoystickRecord.h"

using namespace corvane;

namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

// An old record whose fields all differ, with values beyond 16 bits.
OldJoystickRecord SampleOldRecord() {
    OldJoystickRecord old{};
    for (size_t i = 0; i < old.size(); i += 4) {
        uint32_t value = 0x00012345u * static_cast<uint32_t>(i + 1) ^ 0xA5000000u;
        for (size_t b = 0; b < 4; ++b)
            old[i + b] = static_cast<uint8_t>(value >> (8 * b));
    }
    return old;
}

} // namespace

using SettingsSteps = StepFixture;

TEST_F(SettingsSteps, AllOldFormsBecomeNewForms) {
    theApp.m_arrBankNames.SetSize(0x4000);
    theApp.m_arrBankNames[0] = "Live";
    WriteMain("[Settings]\r\nProfile=Tour\r\nMidiIn=In A\r\nMidiThru=1\r\nMidiOut=Out B\r\n"
              "MidiRemote=3\r\nMidiRemoteChn=5\r\nMasterLevel=0.8\r\n[Other]\r\nMidiIn=stay\r\n");
    std::string printed = Run(&CCorvaneApp::AutocorrectPreBankLogic);
    printed += Run(&CCorvaneApp::AutocorrectMidi);
    printed += Run(&CCorvaneApp::AutocorrectJoystick);
    EXPECT_EQ(printed, "Autocorrect pre-bank logic\nAutocorrect MIDI settings\n"
                       "Autocorrect Joystick settings\n");
    EXPECT_EQ(Bytes("Corvane.ini"),
              "[Settings]\r\nBank1=Tour\r\nBank=1\r\nMidiIn0=In A\r\nMidiThru0=0\r\n"
              "MidiOut0=Out B\r\nMidiRemoteIn=3\r\nOutputLevel=0.80000001192092896\r\n"
              "[Other]\r\nMidiIn=stay\r\n");
}

TEST_F(SettingsSteps, NewFormsStayAsTheyAre) {
    const char settings[] = "[Settings]\r\nBank=4\r\nProfile=Tour\r\nMidiIn0=a\r\n"
                            "MidiThru=-1\r\nMidiRemote=-1\r\nOutputLevel=0.5\r\n";
    WriteMain(settings);
    Run(&CCorvaneApp::AutocorrectPreBankLogic);
    Run(&CCorvaneApp::AutocorrectMidi);
    Run(&CCorvaneApp::AutocorrectJoystick);
    EXPECT_EQ(Bytes("Corvane.ini"), settings);
}

TEST_F(SettingsSteps, OldJoystickRecordIsRepacked) {
    OldJoystickRecord old = SampleOldRecord();
    WriteMain("[Settings]\r\nJoysticks=" + Hex(old.data(), old.size()) + "\r\n");
    Run(&CCorvaneApp::AutocorrectJoystick);

    uint8_t stored[400] = {};
    UINT count = sizeof stored;
    ASSERT_TRUE(theApp.GetProfileData("Settings", "Joysticks", stored, &count));
    ASSERT_EQ(count, kJoystickRecordSize);
    JoystickRecord expected = RepackJoystickRecord(old);
    EXPECT_EQ(Hex(stored, count), Hex(expected.data(), expected.size()));
    // First value of the old record: 0xA5012345, low 16 bits 0x2345.
    EXPECT_EQ(stored[0], 0x45);
    EXPECT_EQ(stored[1], 0x23);
}

TEST_F(SettingsSteps, OldJoystickRecordInQuotedFormIsRepacked) {
    OldJoystickRecord old{};
    old[0] = 'A';  // first value 65, everything else 0
    old[20] = 'B'; // second flag
    std::string quoted = "'A";
    for (size_t i = 1; i < old.size(); ++i)
        quoted += old[i] == 0 ? "\\z" : std::string(1, static_cast<char>(old[i]));
    WriteMain("[Settings]\r\nJoysticks=" + quoted + "\r\n");
    Run(&CCorvaneApp::AutocorrectJoystick);
    uint8_t stored[400] = {};
    UINT count = sizeof stored;
    ASSERT_TRUE(theApp.GetProfileData("Settings", "Joysticks", stored, &count));
    ASSERT_EQ(count, kJoystickRecordSize);
    EXPECT_EQ(stored[0], 'A');
    EXPECT_EQ(stored[9], 1);
    for (size_t i = 1; i < count; ++i) {
        if (i != 9) {
            ASSERT_EQ(stored[i], 0) << i;
        }
    }
}

// Only a block of exactly the old size is converted; a longer one is not cut
// down to that size, a shorter or already converted one is left alone.
TEST_F(SettingsSteps, OtherJoystickLengthsAreLeftAlone) {
    const size_t lengths[] = {0, 1, 288, 623, 625, 700, 1248};
    for (size_t length : lengths) {
        SCOPED_TRACE(length);
        std::string name = "Length" + std::to_string(length) + ".ini";
        UseMainFile(name);
        std::vector<uint8_t> block(length);
        for (size_t i = 0; i < length; ++i)
            block[i] = static_cast<uint8_t>(0x11 + i % 200);
        std::string file = "[Settings]\r\nJoysticks=" + Hex(block.data(), length) + "\r\n";
        WriteMain(file);
        Run(&CCorvaneApp::AutocorrectJoystick);
        EXPECT_EQ(Bytes(name), file);
    }
}
