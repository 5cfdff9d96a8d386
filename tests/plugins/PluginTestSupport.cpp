#include "plugins/PluginTestSupport.h"

#include "plugins/RecordFormat.h"

using namespace corvane;

namespace {

void RemoveTree(const std::string& key) {
    CPluginMenu menu;
    menu.m_hRootKey = HKEY_CURRENT_USER;
    menu.m_strStore = key.c_str();
    menu.ClearStore();
}

void DumpLevel(const CPluginItem& item, int depth, std::string& out) {
    for (int i = 0; i < item.m_children.GetSize(); ++i) {
        const CPluginItem& child = *item.m_children.GetItem(i);
        out += std::string(depth * 2, ' ') + FormatRecordName("", child).str() + "=" +
               FormatRecordValue(child).str();
        if (child.HasChildren()) {
            out += " {\n";
            DumpLevel(child, depth + 1, out);
        } else {
            out += "\n";
        }
    }
}

} // namespace

void PluginRegistryTest::SetUp() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    m_appKey = std::string("Software\\Brax\\PluginTest-") + info->name();
    m_store = m_appKey + "\\PlugIns";
    RemoveTree(m_appKey);
}

void PluginRegistryTest::TearDown() {
    RemoveTree(m_appKey);
}

std::string PluginRegistryTest::Below(const std::string& relative) const {
    return relative.empty() ? m_store : m_store + "\\" + relative;
}

void PluginRegistryTest::CreateKey(const std::string& key) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle), ERROR_SUCCESS) << key;
    RegCloseKey(handle);
}

void PluginRegistryTest::SetString(const std::string& key, const std::string& name,
                                   const std::string& data) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle), ERROR_SUCCESS) << key;
    LONG result =
        RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    RegCloseKey(handle);
    ASSERT_EQ(result, ERROR_SUCCESS) << key << " " << name;
}

void PluginRegistryTest::SetDword(const std::string& key, const std::string& name, DWORD data) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle), ERROR_SUCCESS) << key;
    LONG result = RegSetValueExA(handle, name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(handle);
    ASSERT_EQ(result, ERROR_SUCCESS) << key << " " << name;
}

bool PluginRegistryTest::KeyExists(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key.c_str(), &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

int PluginRegistryTest::ValueCount(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key.c_str(), &handle) != ERROR_SUCCESS)
        return -1;
    int count = 0;
    char name[2048];
    BYTE data[8];
    for (;;) {
        DWORD nameLength = sizeof(name);
        DWORD dataSize = sizeof(data);
        LONG result = RegEnumValueA(handle, static_cast<DWORD>(count), name, &nameLength, nullptr,
                                    nullptr, data, &dataSize);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        ++count;
    }
    RegCloseKey(handle);
    return count;
}

std::string DumpTree(const CPluginItem& item) {
    std::string out;
    DumpLevel(item, 0, out);
    return out;
}
