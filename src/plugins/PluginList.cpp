#include "plugins/PluginList.h"

#include "plugins/PluginItem.h"

namespace corvane {

CPluginList::~CPluginList() {
    if (m_bOwnsItems)
        DeleteAll();
}

CPluginItem* CPluginList::GetItem(int index) const {
    if (index < 0 || index >= GetSize())
        return nullptr;
    return static_cast<CPluginItem*>(GetAt(index));
}

int CPluginList::AddChild(CPluginItem* item) {
    int index = Add(item);
    if (item && index >= 0 && index < GetSize())
        item->m_pParentList = this;
    return index;
}

void CPluginList::RemoveAndDelete(int index, int count) {
    if (index < 0) {
        count += index;
        index = 0;
    }
    if (count > GetSize() - index)
        count = GetSize() - index;
    for (int i = index + count - 1; i >= index; --i) {
        delete GetItem(i);
        RemoveAt(i);
    }
}

void CPluginList::DeleteAll() {
    RemoveAndDelete(0, GetSize());
}

} // namespace corvane
