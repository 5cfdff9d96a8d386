// CPluginList: the ordered children of one menu node. The list owns its items.
#pragma once

#include "framework/Collections.h"

namespace corvane {

class CPluginItem;

class CPluginList : public CPtrArray {
  public:
    CPluginList() = default;
    ~CPluginList() override;
    CPluginList(const CPluginList&) = delete;
    CPluginList& operator=(const CPluginList&) = delete;

    // The item at index; null for an index outside the list or an empty slot.
    CPluginItem* GetItem(int index) const;

    // Appends at the end and makes this list the item's parent list. Returns
    // the index of the new slot.
    int AddChild(CPluginItem* item);

    // Destroys the items of index .. index + count - 1, last first, and removes
    // their slots. The range is clipped to the list.
    void RemoveAndDelete(int index, int count);

    // Destroys every item, last first, and empties the list.
    void DeleteAll();

    CPluginItem* m_pOwner = nullptr;
    bool m_bOwnsItems = false;
};

} // namespace corvane
