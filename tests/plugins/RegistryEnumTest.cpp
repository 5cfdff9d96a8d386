// Enumerating the values and sub-keys of a plug-in level with growing buffers.
#include "app/RegistryRead.h" // its RegistryValue must stay a different name
#include "plugins/PluginTestSupport.h"
#include "plugins/RegistryEnum.h"

#include <map>
#include <string>

namespace {

using RegistryEnum = PluginRegistryTest;

// The application's RegistryValue and the menu loader's value live in one
// program. They once had the same name, so the linker merged their inline
// members and the loader crashed in a build that kept those out of line.
TEST_F(RegistryEnum, ValuesOfAnyLengthComeBackWholeBesideTheApplicationReader) {
    const std::string longName = "0:" + std::string(1500, 'n');
    const std::string longData = "C:\\VST\\" + std::string(5000, 'd') + ".dll";
    const std::string keyName(100, 'k');
    SetString(Store(), "0:short", "C:\\VST\\a.dll");
    SetString(Store(), longName, longData);
    CreateKey(Below(keyName));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Store().c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    std::map<std::string, std::string> values;
    EnumeratedValue value;
    DWORD index = 0;
    for (; EnumRegistryValue(key, index, value) == ERROR_SUCCESS; ++index) {
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        values[value.name.str()] = value.data.str();
    }
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"0:short", "C:\\VST\\a.dll"},
                                                          {longName, longData}}));

    CString name;
    ASSERT_EQ(EnumRegistrySubKey(key, 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name.str(), keyName);
    EXPECT_EQ(EnumRegistrySubKey(key, 1, name), ERROR_NO_MORE_ITEMS);

    // The application's reader, in the same program and scope.
    RegistryValueReader reader(key, 16, 16);
    RegistryValue whole;
    size_t longSize = 0;
    for (index = 0; reader.Read(index, whole) == RegistryValueReader::Result::value; ++index)
        if (whole.name == longName)
            longSize = whole.data.size();
    EXPECT_EQ(longSize, longData.size() + 1);
    RegCloseKey(key);
}

} // namespace
