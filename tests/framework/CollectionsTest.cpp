// Arrays and maps: growth, range checks and key lookup the program relies on.
#include "framework/Collections.h"

#include <gtest/gtest.h>

TEST(CArray, GrowsAndInsertsBeyondTheEnd) {
    CDWordArray values;
    values.SetAtGrow(3, 7);
    ASSERT_EQ(4, values.GetSize());
    EXPECT_EQ(0u, values[0]); // new elements start at zero
    EXPECT_EQ(7u, values[3]);
    values.InsertAt(6, 9);
    ASSERT_EQ(7, values.GetSize());
    EXPECT_EQ(9u, values[6]);
    values.InsertAt(0, 1, 2);
    EXPECT_EQ(9, values.GetSize());
    EXPECT_EQ(1u, values[1]);
    EXPECT_EQ(8, values.GetUpperBound());
    values.RemoveAt(0, 2);
    EXPECT_EQ(7u, values[3]);
}

TEST(CArray, OutOfRangeIndicesThrow) {
    CStringArray names;
    names.Add("a");
    EXPECT_THROW(names.GetAt(1), CInvalidArgException);
    EXPECT_THROW(names.GetAt(-1), CInvalidArgException);
    EXPECT_THROW(names.SetAt(1, "b"), CInvalidArgException);
    EXPECT_THROW(names.RemoveAt(0, 2), CInvalidArgException);
    EXPECT_THROW(names.SetSize(-1), CInvalidArgException);
    EXPECT_THROW(names.SetAtGrow(-1, "x"), CInvalidArgException);
    EXPECT_STREQ("a", names[0]); // nothing changed
    EXPECT_EQ(1, names.GetSize());
}

TEST(CMapStringToString, KeysAreExactBytes) {
    CMapStringToString map;
    map.SetAt("Settings", "1");
    map["SETTINGS"] = "2";
    EXPECT_EQ(2, map.GetCount());
    CString value = "untouched";
    EXPECT_FALSE(map.Lookup("settings", value));
    EXPECT_STREQ("untouched", value);
    EXPECT_TRUE(map.Lookup("SETTINGS", value));
    EXPECT_STREQ("2", value);
    map.SetAt(nullptr, "empty key");
    ASSERT_NE(nullptr, map.PLookup(""));
    EXPECT_STREQ("empty key", *map.PLookup(""));
    EXPECT_TRUE(map.RemoveKey("Settings"));
    EXPECT_FALSE(map.RemoveKey("Settings"));
    EXPECT_EQ(nullptr, map.PLookup("Settings"));
}
