// Moving the host-capability sections into "hostCanDos.ini".
#include "StepFixture.h"

#include <filesystem>

using namespace corvane;

namespace {

const char kMain[] = "[Settings]\r\nA=1\r\n"
                     "[HostCanDo sendVstEvents]\r\nanswer=1\r\nnote=yes\r\n"
                     "[hostcando Offline]\r\nanswer=-1\r\n"
                     "[HostCanDoNot]\r\nx=1\r\n"
                     "[HOSTCANDO receiveVstMidiEvent]\r\nanswer=0\r\n";

const char kMoved[] = "[sendVstEvents]\r\nanswer=1\r\nnote=yes\r\n"
                      "[Offline]\r\nanswer=-1\r\n"
                      "[receiveVstMidiEvent]\r\nanswer=0\r\n";

const char kLeft[] = "[Settings]\r\nA=1\r\n[HostCanDoNot]\r\nx=1\r\n";

} // namespace

using HostCanDos = StepFixture;

TEST_F(HostCanDos, CapabilitySectionsMoveWhateverTheirCase) {
    WriteMain(kMain);
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectHostCanDos), "Autocorrect hostCanDos\n");
    EXPECT_EQ(Bytes("hostCanDos.ini"), kMoved);
    EXPECT_EQ(Bytes("Corvane.ini"), kLeft);
}

TEST_F(HostCanDos, KeepDoesNotKeepThem) {
    theApp.m_bRemoveSource = FALSE;
    WriteMain(kMain);
    Run(&CCorvaneApp::AutocorrectHostCanDos);
    EXPECT_EQ(Bytes("hostCanDos.ini"), kMoved);
    EXPECT_EQ(Bytes("Corvane.ini"), kLeft);
}

TEST_F(HostCanDos, TheSectionPrefixDoesNotApply) {
    theApp.m_strSectionPrefix = "Halbrek";
    WriteMain("[HalbrekHostCanDo a]\r\nk=1\r\n[HostCanDo b]\r\nk=2\r\n");
    Run(&CCorvaneApp::AutocorrectHostCanDos);
    EXPECT_EQ(Bytes("hostCanDos.ini"), "[b]\r\nk=2\r\n");
    EXPECT_EQ(Bytes("Corvane.ini"), "[HalbrekHostCanDo a]\r\nk=1\r\n");
}

// A section without a capability name would move into a section nobody can
// address; it stays, and the run says so.
TEST_F(HostCanDos, ASectionWithoutCapabilityNameStays) {
    WriteMain("[HostCanDo ]\r\nlost=no\r\n[HostCanDo x]\r\nk=1\r\n");
    EXPECT_EQ(
        Run(&CCorvaneApp::AutocorrectHostCanDos),
        "Autocorrect hostCanDos\nKept [HostCanDo] in the settings file: it names no capability\n");
    EXPECT_EQ(Bytes("hostCanDos.ini"), "[x]\r\nk=1\r\n");
    // The header may be saved with or without its trailing blank; the
    // section reads the same either way.
    std::string left = Bytes("Corvane.ini");
    EXPECT_TRUE(left == "[HostCanDo ]\r\nlost=no\r\n" || left == "[HostCanDo]\r\nlost=no\r\n")
        << left;
}

TEST_F(HostCanDos, ExistingTargetKeysAreOverwrittenOthersKept) {
    testing_support::WriteFileBytes(m_data.file("hostCanDos.ini"),
                                    "[Offline]\r\nanswer=1\r\nold=1\r\n");
    WriteMain("[HostCanDo Offline]\r\nanswer=-1\r\n");
    Run(&CCorvaneApp::AutocorrectHostCanDos);
    EXPECT_EQ(Bytes("hostCanDos.ini"), "[Offline]\r\nanswer=-1\r\nold=1\r\n");
    EXPECT_EQ(Bytes("Corvane.ini"), "");
}

// The target's path is a folder: no write can succeed there.
TEST_F(HostCanDos, FailedWritesKeepTheSource) {
    std::filesystem::create_directory(m_data.path() / "hostCanDos.ini");
    WriteMain("[HostCanDo a]\r\nk=1\r\nl=2\r\n");
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectHostCanDos),
              "Autocorrect hostCanDos\nError writing [a] k\nError writing [a] l\n");
    EXPECT_EQ(Bytes("Corvane.ini"), "[HostCanDo a]\r\nk=1\r\nl=2\r\n");
}

// Two sections whose names differ only in letter case: the reader finds the
// first one each time, so the second must not be deleted unread.
TEST_F(HostCanDos, SectionsDifferingOnlyInCaseLoseNothing) {
    WriteMain("[HostCanDo a]\r\nk=1\r\n[HOSTCANDO A]\r\nl=2\r\n");
    Run(&CCorvaneApp::AutocorrectHostCanDos);
    std::string moved = Bytes("hostCanDos.ini");
    std::string left = Bytes("Corvane.ini");
    SCOPED_TRACE("moved:\n" + moved + "left:\n" + left);
    for (const char* line : {"k=1\r\n", "l=2\r\n"})
        EXPECT_NE((moved + left).find(line), std::string::npos) << line;
}

// Sources whose capabilities meet in one target section are not merged: the
// first moves, the later one stays in the settings file with a line.
TEST_F(HostCanDos, SourcesMeetingInOneTargetAreNotMerged) {
    const struct {
        const char* label;
        const char* main;
        const char* moved;
        const char* left;
        const char* output;
    } cases[] = {
        {"blanks", "[HostCanDo x]\r\nAnswer=1\r\n[HostCanDo  x]\r\nAnswer=2\r\n",
         "[x]\r\nAnswer=1\r\n", "[HostCanDo  x]\r\nAnswer=2\r\n",
         "Kept [HostCanDo  x] in the settings file: it would merge with [HostCanDo x] in "
         "hostCanDos.ini\n"},
        {"case", "[HostCanDo x]\r\na=1\r\n[HOSTCANDO X]\r\nb=2\r\n", "[x]\r\na=1\r\n",
         "[HOSTCANDO X]\r\nb=2\r\n",
         "Kept [HOSTCANDO X] in the settings file: it would merge with [HostCanDo x] in "
         "hostCanDos.ini\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove(m_data.path() / "hostCanDos.ini");
        WriteMain(c.main);
        EXPECT_EQ(Run(&CCorvaneApp::AutocorrectHostCanDos),
                  std::string("Autocorrect hostCanDos\n") + c.output);
        EXPECT_EQ(Bytes("hostCanDos.ini"), c.moved);
        EXPECT_EQ(Bytes("Corvane.ini"), c.left);
    }
}

// The private file is saved before any source is deleted: a run that stops
// after the step loses nothing.
TEST_F(HostCanDos, TheTargetIsOnDiskWhenTheStepEnds) {
    WriteMain("[HostCanDo a]\r\nk=1\r\n");
    Run(&CCorvaneApp::AutocorrectHostCanDos);
    EXPECT_EQ(testing_support::ReadFileBytes(m_data.file("hostCanDos.ini")), "[a]\r\nk=1\r\n");
}
