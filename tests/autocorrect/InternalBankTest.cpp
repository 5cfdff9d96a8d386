// Moving the internal bank ("Load" and the program sections) into the private
// profile file, and the plug-in path into the settings section.
#include "StepFixture.h"

#include <filesystem>

using namespace corvane;

namespace {

const char kMain[] = "[Settings]\r\nVSTPluginsPath=old\r\nDataPath=x\r\n"
                     "[Load]\r\nVSTPluginsPath=C:\\Plugins\r\nBank=2\r\n"
                     "[Program 3]\r\na=1\r\nb=2\r\n"
                     "[Program 127]\r\nz=9\r\n"
                     "[Program 128]\r\nc=3\r\n"
                     "[Audio]\r\nDevice=x\r\n";

const char kMoved[] = "[Load]\r\nVSTPluginsPath=C:\\Plugins\r\nBank=2\r\n"
                      "[Program 3]\r\na=1\r\nb=2\r\n"
                      "[Program 127]\r\nz=9\r\n";

} // namespace

using InternalBank = StepFixture;

TEST_F(InternalBank, SectionsMoveToThePrivateFileAndLeaveTheMainFile) {
    WriteMain(kMain);
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectInternalBank), "Autocorrect internal bank\n");
    EXPECT_EQ(Bytes("#Intern.corvane"), kMoved);
    // Program sections from 128 on are not part of the bank.
    EXPECT_EQ(Bytes("Corvane.ini"), "[Settings]\r\nVSTPluginsPath=C:\\Plugins\r\nDataPath=x\r\n"
                                    "[Program 128]\r\nc=3\r\n"
                                    "[Audio]\r\nDevice=x\r\n");
}

TEST_F(InternalBank, KeepLeavesTheSources) {
    theApp.m_bRemoveSource = FALSE;
    WriteMain(kMain);
    Run(&CCorvaneApp::AutocorrectInternalBank);
    EXPECT_EQ(Bytes("#Intern.corvane"), kMoved);
    std::string expected = kMain;
    expected.replace(expected.find("VSTPluginsPath=old"), 18, "VSTPluginsPath=C:\\Plugins");
    EXPECT_EQ(Bytes("Corvane.ini"), expected);
}

TEST_F(InternalBank, PrefixedSectionsGoToThePrefixedFileUnderPlainNames) {
    theApp.m_strSectionPrefix = "Mirel";
    WriteMain("[MirelLoad]\r\nx=1\r\n[MirelProgram 0]\r\np=0\r\n[Program 1]\r\nq=1\r\n");
    Run(&CCorvaneApp::AutocorrectInternalBank);
    EXPECT_EQ(Bytes("#InternMirel.corvane"), "[Load]\r\nx=1\r\n[Program 0]\r\np=0\r\n");
    EXPECT_EQ(Bytes("#Intern.corvane"), "<absent>");
    EXPECT_EQ(Bytes("Corvane.ini"), "[Program 1]\r\nq=1\r\n");
}

TEST_F(InternalBank, EmptyPluginPathLeavesSettingsAlone) {
    WriteMain("[Settings]\r\nVSTPluginsPath=old\r\n[Load]\r\nVSTPluginsPath=\r\n");
    Run(&CCorvaneApp::AutocorrectInternalBank);
    EXPECT_EQ(Bytes("Corvane.ini"), "[Settings]\r\nVSTPluginsPath=old\r\n");
    EXPECT_EQ(Bytes("#Intern.corvane"), "[Load]\r\nVSTPluginsPath=\r\n");
}

TEST_F(InternalBank, NoBankWritesNoFile) {
    WriteMain("[Settings]\r\nA=1\r\n");
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectInternalBank), "Autocorrect internal bank\n");
    EXPECT_EQ(Bytes("Corvane.ini"), "[Settings]\r\nA=1\r\n");
    EXPECT_EQ(Bytes("#Intern.corvane"), "<absent>");
}

// The private file's path is a folder: no write can succeed there.
TEST_F(InternalBank, FailedWritesKeepTheSourceEvenWithoutKeep) {
    std::filesystem::create_directory(m_data.path() / "#Intern.corvane");
    WriteMain("[Load]\r\nBank=2\r\n[Program 3]\r\na=1\r\nb=2\r\n");
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectInternalBank), "Autocorrect internal bank\n"
                                                          "Error writing [Load] Bank\n"
                                                          "Error writing [Program 3] a\n"
                                                          "Error writing [Program 3] b\n");
    EXPECT_EQ(Bytes("Corvane.ini"), "[Load]\r\nBank=2\r\n[Program 3]\r\na=1\r\nb=2\r\n");
}

// Values longer than the reader's first buffer and key lists longer than the
// list buffer move whole before their source goes.
TEST_F(InternalBank, LongValuesAndLongKeyListsMoveWhole) {
    std::string section = "[Program 5]\r\nlong=" + std::string(20000, 'v') + "end\r\n";
    for (int i = 0; i < 300; ++i)
        section += std::string(250, 'k') + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    WriteMain(section);
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectInternalBank), "Autocorrect internal bank\n");
    EXPECT_EQ(Bytes("#Intern.corvane"), section);
    EXPECT_EQ(Bytes("Corvane.ini"), "");
}

// The Windows profile writer damages longer values (or fails) while it
// reports success: such a value is reported and its section stays.
TEST_F(InternalBank, ValuesBeyondWhatTheWriterKeepsStayWithTheirSection) {
    std::string longest = "[Program 6]\r\nv=" + std::string(32766, 'v') + "\r\n";
    std::string tooLong = "[Program 7]\r\nshort=1\r\nv=" + std::string(32767, 'w') + "\r\n";
    WriteMain(longest + tooLong);
    EXPECT_EQ(Run(&CCorvaneApp::AutocorrectInternalBank),
              "Autocorrect internal bank\nError writing [Program 7] v\n");
    EXPECT_EQ(Bytes("Corvane.ini"), tooLong);
    EXPECT_EQ(Bytes("#Intern.corvane"), longest + "[Program 7]\r\nshort=1\r\n");
}

// A section written twice in a file: whatever the platform reads and deletes,
// every key ends up in the private file or stays where it was.
TEST_F(InternalBank, ASectionWrittenTwiceLosesNothing) {
    WriteMain("[Program 3]\r\na=1\r\n[Other]\r\nx=0\r\n[Program 3]\r\nb=2\r\n");
    Run(&CCorvaneApp::AutocorrectInternalBank);
    std::string moved = Bytes("#Intern.corvane");
    std::string left = Bytes("Corvane.ini");
    SCOPED_TRACE("moved:\n" + moved + "left:\n" + left);
    for (const char* line : {"a=1\r\n", "b=2\r\n"})
        EXPECT_NE((moved + left).find(line), std::string::npos) << line;
    EXPECT_NE(left.find("x=0\r\n"), std::string::npos);
}
