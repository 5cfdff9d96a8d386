// Filling the bank-name table from the settings section.
#include "StepFixture.h"

using namespace corvane;

using BankNames = StepFixture;

TEST_F(BankNames, BankKeysFillTheTable) {
    WriteMain("[Settings]\r\nbank3=Three\r\nbank0012=Twelve\r\nBANK5=Five\r\nbanks=x\r\n"
              "bank7x=Seven\r\nbank-1=minus\r\nbank99999999999=big\r\nbank20000=far\r\n"
              "bank9=first\r\nbank09=second\r\n");
    EXPECT_EQ(Run(&CCorvaneApp::FetchBankNames), "Fetch bank names\n");
    const CStringArray& names = theApp.m_arrBankNames;
    ASSERT_EQ(names.GetSize(), 20001);
    for (int i = 0; i < names.GetSize(); ++i) {
        const char* expected = i == 3       ? "Three"
                               : i == 12    ? "Twelve"
                               : i == 7     ? "Seven"
                               : i == 9     ? "second" // the later key wins
                               : i == 20000 ? "far"
                                            : "";
        ASSERT_STREQ(names[i], expected) << "bank " << i;
    }
    // Reading changes nothing.
    EXPECT_EQ(Bytes("Corvane.ini"),
              "[Settings]\r\nbank3=Three\r\nbank0012=Twelve\r\nBANK5=Five\r\nbanks=x\r\n"
              "bank7x=Seven\r\nbank-1=minus\r\nbank99999999999=big\r\nbank20000=far\r\n"
              "bank9=first\r\nbank09=second\r\n");
}

TEST_F(BankNames, PrefixSelectsItsOwnSettingsSection) {
    theApp.m_strSectionPrefix = "Mirel";
    WriteMain("[Settings]\r\nbank1=plain\r\n[MirelSettings]\r\nbank2=mirel\r\n");
    Run(&CCorvaneApp::FetchBankNames);
    ASSERT_EQ(theApp.m_arrBankNames.GetSize(), 0x4000);
    EXPECT_STREQ(theApp.m_arrBankNames[1], "");
    EXPECT_STREQ(theApp.m_arrBankNames[2], "mirel");
}

TEST_F(BankNames, NoSettingsSectionGivesAnEmptyTable) {
    theApp.m_arrBankNames.Add("left over");
    WriteMain("[Other]\r\nbank1=x\r\n");
    EXPECT_EQ(Run(&CCorvaneApp::FetchBankNames), "Fetch bank names\n");
    ASSERT_EQ(theApp.m_arrBankNames.GetSize(), 0x4000);
    for (int i = 0; i < 0x4000; ++i)
        ASSERT_STREQ(theApp.m_arrBankNames[i], "") << i;
}

TEST_F(BankNames, LongNamesAreReadWhole) {
    std::string name(20000, 'n');
    WriteMain("[Settings]\r\nbank1=" + name + "\r\n");
    Run(&CCorvaneApp::FetchBankNames);
    EXPECT_EQ(theApp.m_arrBankNames[1].str(), name);
}
