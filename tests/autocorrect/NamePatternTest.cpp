// Which keys name a bank, which sections name a host capability, and when a
// written value reads back as itself.
#include "autocorrect/BankNames.h"
#include "autocorrect/CheckedWrite.h"
#include "autocorrect/HostCanDos.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(BankKey, MatchesLowerCaseBankAndANumber) {
    struct Case {
        const char* key;
        bool matches;
        int number;
    };
    const Case cases[] = {
        {"bank3", true, 3},
        {"bank0012", true, 12},
        {"bank0", true, 0},
        {"bank7x", true, 7}, // text after the number is ignored
        {"bank16383", true, 16383},
        {"bank16384", true, 16384}, // beyond the host's banks, still held
        {"bank 5", true, 5},        // blanks before the number, as %d reads
        {"bank+4", true, 4},
        {"bank-0", true, 0},
        {"bank1048575", true, 1048575},
        {"Bank3", false, 0}, // the literal is lower case
        {"BANK3", false, 0},
        {"banks", false, 0},
        {"bank", false, 0},
        {"bank-", false, 0},
        {"bank-1", false, 0}, // negative: no such bank
        {"bank-2147483648", false, 0},
        {"bank1048576", false, 0},    // too large to hold
        {"bank2147483648", false, 0}, // beyond a 32-bit number
        {"bank99999999999999999999", false, 0},
        {"xbank3", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        int number = -12345;
        EXPECT_EQ(ParseBankKey(c.key, number), c.matches);
        EXPECT_EQ(number, c.matches ? c.number : -12345);
    }
    int number = 0;
    EXPECT_FALSE(ParseBankKey(nullptr, number));
}

TEST(HostCanDoSection, NamesItsCapabilityAfterTheBlank) {
    struct Case {
        const char* section;
        HostCanDoSection kind;
        const char* capability;
    };
    const Case cases[] = {
        {"HostCanDo sendVstEvents", HostCanDoSection::Capability, "sendVstEvents"},
        {"hostcando receiveVstMidiEvent", HostCanDoSection::Capability, "receiveVstMidiEvent"},
        {"HOSTCANDO Offline", HostCanDoSection::Capability, "Offline"},
        {"HostCanDo  two blanks", HostCanDoSection::Capability, " two blanks"},
        {"HostCanDo x", HostCanDoSection::Capability, "x"},
        {"HostCanDo ", HostCanDoSection::NoCapability, ""},
        {"HostCanDo", HostCanDoSection::NoCapability, ""},
        {"hostCanDo   ", HostCanDoSection::NoCapability, ""},
        {"HostCanDox", HostCanDoSection::Other, ""},
        {"HostCanDo\tx", HostCanDoSection::Other, ""}, // the tenth character is a blank
        {"HostCanD", HostCanDoSection::Other, ""},
        {" HostCanDo x", HostCanDoSection::Other, ""},
        {"Settings", HostCanDoSection::Other, ""},
        {"", HostCanDoSection::Other, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        CString capability = "unchanged";
        EXPECT_EQ(ClassifyHostCanDoSection(c.section, capability), c.kind);
        EXPECT_STREQ(capability,
                     c.kind == HostCanDoSection::Capability ? c.capability : "unchanged");
    }
    CString capability;
    EXPECT_EQ(ClassifyHostCanDoSection(nullptr, capability), HostCanDoSection::Other);
}

TEST(CheckedWrite, AValueReadsBackAsTheReaderGivesIt) {
    struct Case {
        const char* written;
        const char* read;
        bool same;
    };
    const Case cases[] = {
        {"abc", "abc", true},   {" abc ", "abc", true},     {"\"abc\"", "abc", true},
        {"'abc'", "abc", true}, {" \" a \" ", " a ", true}, {"\"abc\"", "\"abc\"", true},
        {"", "", true},         {"abc", "", false},         {"abcdef", "abc", false},
        {"abc", "?", false},    {"\"abc'", "abc", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        EXPECT_EQ(ReadsBackAs(c.written, c.read), c.same);
    }
}
