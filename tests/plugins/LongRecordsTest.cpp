// Plug-in levels with names and records longer than any first buffer.
#include "framework/RegistryRead.h"
#include "plugins/PluginTestSupport.h"

#include <map>
#include <string>

namespace {

using LongRecords = PluginRegistryTest;

// The reader starts small and grows: a long name, a long path and a long
// sub-key name come back whole, and the enumeration goes on after them.
TEST_F(LongRecords, ValuesAndSubKeysOfAnyLengthComeBackWhole) {
    const std::string longName = "0:" + std::string(1500, 'n');
    const std::string longData = "C:\\VST\\" + std::string(5000, 'd') + ".dll";
    const std::string keyName(100, 'k');
    SetString(Store(), "0:short", "C:\\VST\\a.dll");
    SetString(Store(), longName, longData);
    CreateKey(Below(keyName));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Store().c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    std::map<std::string, std::string> values;
    RegistryValueReader reader(key, 16, 16);
    RegistryValue value;
    DWORD index = 0;
    for (; reader.Read(index, value) == RegistryValueReader::Result::value; ++index) {
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        ASSERT_FALSE(value.data.empty());
        EXPECT_EQ(value.data.back(), 0);
        values[value.name] = std::string(value.data.begin(), value.data.end() - 1);
    }
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"0:short", "C:\\VST\\a.dll"},
                                                          {longName, longData}}));
    bool complete = false;
    CStringArray names = RegistrySubKeyNames(key, &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(names.GetSize(), 1);
    EXPECT_EQ(names[0].str(), keyName);
    RegCloseKey(key);
}

} // namespace
