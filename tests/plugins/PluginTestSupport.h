// Helpers of the plug-in menu tests: a scratch registry key per test and a
// one-line-per-node picture of a menu tree.
#pragma once

#include "plugins/PluginMenu.h"

#include <gtest/gtest.h>

#include <string>

// A registry key below HKEY_CURRENT_USER\Software\Brax, removed before and
// after each test; its "PlugIns" sub-key is the store under test.
class PluginRegistryTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // "Software\Brax\<test name>\PlugIns", and sub-key paths below it.
    const std::string& Store() const { return m_store; }
    const std::string& AppKey() const { return m_appKey; }
    std::string Below(const std::string& relative) const;
    // Creates the key (and its parents) and sets one string value.
    static void SetString(const std::string& key, const std::string& name, const std::string& data);
    static void SetDword(const std::string& key, const std::string& name, DWORD data);
    static void CreateKey(const std::string& key);
    static bool KeyExists(const std::string& key);
    // The number of values a key holds; -1 when it cannot be opened.
    static int ValueCount(const std::string& key);

  private:
    std::string m_appKey;
    std::string m_store;
};

// The tree below item, one node per line, indented by depth: the record name
// and value the writer would give it, " {" after nodes with children.
std::string DumpTree(const corvane::CPluginItem& item);
