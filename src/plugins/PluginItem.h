// CPluginItem: one node of the plug-in menu, a plug-in entry or a sub-menu,
// with its texts, numbers, uid and children.
#pragma once

#include "framework/afx.h"
#include "plugins/PluginList.h"

#include <cstdint>

namespace corvane {

// Indices of CPluginItem::m_strText.
enum PluginText : int {
    kTextPath = 0,      // full path of the plug-in file; "PlugIns" for the root
    kTextFileName = 1,  // file name from the path, less a ".dll" extension
    kTextExtension = 2, // ".dll" as written in the path, when the file name ends in it
    kTextName = 3,      // menu text
    kTextUnused = 4,
    kTextVersion = 5,
    kTextVstVersion = 6,
    kTextVendor = 7,
    kTextVendorUrl = 8,
    kTextVendorEmail = 9,
    kTextNameCopy = 10, // follows kTextName
    kTextCount = 11
};

class CPluginItem {
  public:
    // The default item: empty name and path, kind 0, no uid, arch -1.
    CPluginItem() { InitEmpty(); }
    // uid null means no uid.
    CPluginItem(const char* name, const char* path, int kind, const GUID* uid, int arch);
    // A copy of source's record; with deep, also of its whole subtree.
    CPluginItem(const CPluginItem& source, bool deep);
    virtual ~CPluginItem();

    CPluginItem(const CPluginItem&) = delete;
    CPluginItem& operator=(const CPluginItem&) = delete;

    // Stores a text. Index 0 also derives the file name and extension, index 3
    // its copy at index 10. An index above 10 is ignored.
    void SetText(int index, const char* text);
    // The text; empty for an index outside 0..10.
    const CString& GetText(int index) const;

    // Takes over source's texts, kind, uid and numbers (not the done mark nor
    // the parent list). With deep, the own children are replaced by copies of
    // source's subtree.
    void CopyFrom(const CPluginItem& source, bool deep);

    // True when the uid is not the "no uid" value.
    bool HasUid() const;
    // A container sorts before plain entries: not kind 3, and with children.
    bool IsContainer() const { return m_nKind != 3 && HasChildren(); }
    bool HasChildren() const { return m_children.GetSize() > 0; }

    CString m_strText[kTextCount];
    int64_t m_nLastChange = 0;
    uint64_t m_nLength = 0;
    int32_t m_nKind = 0;
    int32_t m_nArch = -1;
    int32_t m_nCategory = 0;
    uint32_t m_nFlags = 0;
    CPluginList m_children;
    CPluginList* m_pParentList = nullptr;
    GUID m_uid{};
    bool m_bDone = false;
    bool m_bEnabled = true;

  private:
    // Eleven empty texts, an owning child list, no uid.
    void InitEmpty();
};

} // namespace corvane
