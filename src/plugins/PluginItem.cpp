#include "plugins/PluginItem.h"
#include "platform/AsciiText.h"

#include "support/PluginIds.h"

#include <cstring>
#include <string_view>

namespace corvane {

namespace {

const CString kEmptyText;

// ".dll" in any letter case.
bool IsDllExtension(std::string_view text) {
    static const char kDll[] = ".dll";
    for (size_t i = 0; i < 4; ++i) {
        if (ascii::ToLower(text[i]) != kDll[i])
            return false;
    }
    return true;
}

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
        // The path holds no NUL (it came as a C string), so views of it
        // compare like the texts they stand for.
        std::string_view fileName(m_strText[kTextPath].str());
        size_t slash = fileName.rfind('\\');
        if (slash != std::string_view::npos)
            fileName.remove_prefix(slash + 1);
        if (fileName.size() >= 4 && IsDllExtension(fileName.substr(fileName.size() - 4))) {
            m_strText[kTextExtension].str().assign(fileName.substr(fileName.size() - 4));
            fileName.remove_suffix(4);
        }
        m_strText[kTextFileName].str().assign(fileName);
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

} // namespace corvane
