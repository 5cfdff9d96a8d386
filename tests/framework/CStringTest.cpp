#include "framework/CString.h"

#include <gtest/gtest.h>

TEST(CString, TrimsAsciiWhiteSpaceOnBothEnds) {
    CString s(" \t a b \r\n");
    s.Trim();
    EXPECT_STREQ("a b", s);
}

TEST(CString, FormatGrowsPastTheSmallBuffer) {
    CString s;
    s.Format("%s|%d", std::string(1000, 'x').c_str(), -1);
    EXPECT_EQ(1003, s.GetLength());
    EXPECT_EQ(CString("|-1"), s.Right(3));
}

TEST(CString, ReplaceCountsEveryOccurrence) {
    CString s("a\nb\nc");
    EXPECT_EQ(2, s.Replace('\n', '|'));
    EXPECT_STREQ("a|b|c", s);
    CString t("%Default%\\x%Default%");
    EXPECT_EQ(2, t.Replace("%Default%", "C:"));
    EXPECT_STREQ("C:\\xC:", t);
}

TEST(CString, CompareNoCaseFoldsAsciiOnly) {
    EXPECT_EQ(0, CString("Settings").CompareNoCase("SETTINGS"));
    EXPECT_NE(0, CString("Settings").CompareNoCase("Setting"));
}
