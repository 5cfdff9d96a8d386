#include "plugins/PluginItem.h"

#include "support/PluginIds.h"

#include <cstring>

namespace {

const CString kEmptyText;

} // namespace

void CPluginItem::InitEmpty() {
    m_children.m_pOwner = this;
    m_children.m_bOwnsItems = true;
    m_uid = VstUidBase;
}

CPluginItem::CPluginItem(const char* name, const char* path, int kind, const GUID* uid, int arch) {
    InitEmpty();
    m_strText[kTextName] = name;
    m_strText[kTextNameCopy] = name;
    SetText(kTextPath, path);
    if (m_strText[kTextFileName].IsEmpty())
        m_strText[kTextFileName] = name;
    if (uid)
        m_uid = *uid;
    if (HasUid())
        m_strText[kTextFileName] += CString(":") + m_strText[kTextName];
    m_nKind = kind;
    m_nArch = arch;
}

CPluginItem::CPluginItem(const CPluginItem& source, bool deep) {
    InitEmpty();
    CopyFrom(source, deep);
}

CPluginItem::~CPluginItem() {
    m_children.DeleteAll();
}

void CPluginItem::SetText(int index, const char* text) {
    if (index < 0 || index >= kTextCount)
        return;
    m_strText[index] = text;
    if (index == kTextPath) {
        const CString& path = m_strText[kTextPath];
        CString fileName = path.Mid(path.ReverseFind('\\') + 1);
        if (fileName.GetLength() >= 4 && fileName.Right(4).CompareNoCase(".dll") == 0) {
            m_strText[kTextExtension] = fileName.Right(4);
            fileName = fileName.Left(fileName.GetLength() - 4);
        }
        m_strText[kTextFileName] = fileName;
    } else if (index == kTextName) {
        m_strText[kTextNameCopy] = m_strText[kTextName];
    }
}

const CString& CPluginItem::GetText(int index) const {
    if (index < 0 || index >= kTextCount)
        return kEmptyText;
    return m_strText[index];
}

void CPluginItem::CopyFrom(const CPluginItem& source, bool deep) {
    if (&source == this)
        return;
    for (int i = 0; i < kTextCount; ++i)
        SetText(i, source.m_strText[i]);
    m_nKind = source.m_nKind;
    m_uid = source.m_uid;
    m_nArch = source.m_nArch;
    m_nLength = source.m_nLength;
    m_nFlags = source.m_nFlags;
    m_nCategory = source.m_nCategory;
    m_bEnabled = source.m_bEnabled;
    m_nLastChange = source.m_nLastChange;
    if (!deep)
        return;
    m_children.DeleteAll();
    for (int i = 0; i < source.m_children.GetSize(); ++i) {
        const CPluginItem* child = source.m_children.GetItem(i);
        if (child)
            m_children.AddChild(new CPluginItem(*child, true));
    }
}

bool CPluginItem::HasUid() const {
    return std::memcmp(&m_uid, &VstUidBase, sizeof(GUID)) != 0;
}
