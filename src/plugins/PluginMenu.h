// CPluginMenu: the host's plug-in menu tree with its store, a registry key or
// an INI file ("PlugIns.ini").
#pragma once

#include "framework/afx.h"
#include "ini/IniFile.h"
#include "plugins/PluginItem.h"

#include <map>
#include <vector>

namespace corvane {

class CPluginMenu : public CMenu {
  public:
    CPluginMenu();
    ~CPluginMenu() override;
    CPluginMenu(const CPluginMenu&) = delete;
    CPluginMenu& operator=(const CPluginMenu&) = delete;

    // Reads the tree from the store, replacing the current one. With a path,
    // the store becomes root\path first. Only the registry form is read: false
    // for an INI store, which leaves the menu empty. A missing key reads as an
    // empty menu.
    virtual bool Load(const char* path = nullptr, HKEY root = nullptr);

    // Writes the tree to the store. With a path, the store becomes root\path
    // first (root null: the INI file path). Only the INI form is written; the
    // result tells whether the file is on disk (false for a registry store).
    virtual bool Save(const char* path = nullptr, HKEY root = nullptr);

    // The store becomes the INI file at path, read into the model (a missing
    // file gives an empty model).
    void SetIniPath(const char* path);

    // Empties the store: the registry key and everything below it, or the INI
    // model (not the file on disk).
    void ClearStore();

    // Deletes every sub-key below key, depth first; key and its values stay.
    // Failures are silent: what cannot be opened or deleted stays.
    static void DeleteKeyTree(HKEY key);

    // Set by Load: the records "PlugIns.ini" cannot hold ("<key>\\<value
    // name>: why"), and how many values of each type the tree holds.
    std::vector<CString> m_unsavable;
    std::map<DWORD, int> m_valueTypes;

    CPluginItem m_root;
    HKEY m_hRootKey = nullptr;
    CString m_strStore;
    CIniFile m_iniFile;
    // The text the levels are sorted by: the name.
    int m_nSortField = kTextName;

  protected:
    // Reads the key subKey below base into parent's children and sorts them.
    // Each level is opened below its parent's open key, so the depth of the
    // tree is not limited by the length of a full key path.
    void LoadLevel(CPluginItem& parent, HKEY base, const CString& subKey);
    // One record of a level: a child of parent, or parent's own record.
    void ParseEntry(CPluginItem& parent, const CString& name, const CString& data);
    // Writes node's children into section and the sections below it. A
    // section without a backslash is the top: the model is emptied first and
    // the file written at the end (the result: whether that write succeeded).
    bool SaveLevel(CPluginItem& node, const char* section);

  private:
    // One level of SaveLevel, without the emptying and the write.
    void WriteLevel(CPluginItem& node, const CString& section);
};

} // namespace corvane
