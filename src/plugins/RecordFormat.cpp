#include "plugins/RecordFormat.h"

#include "plugins/RecordEscape.h"
#include "support/PluginIds.h"

#include <cstring>
#include <string>

namespace corvane {

namespace {

// True when bytes 4 to 15 of uid are those of the "no uid" GUID, that is,
// when the uid is a packed 32-bit VST identifier.
bool IsPackedIdentifier(const GUID& uid) {
    GUID masked = uid;
    masked.Data1 = VstUidBase.Data1;
    return std::memcmp(&masked, &VstUidBase, sizeof(GUID)) == 0;
}

void AppendText(std::string& tail, const char* keyword, const CString& text) {
    if (text.IsEmpty())
        return;
    tail += keyword;
    AppendEscaped(tail, text.str());
}

void AppendNumber(std::string& tail, const char* keyword, const std::string& number) {
    tail += keyword;
    tail += number;
}

// FormatAttributeTail, appended to tail.
void AppendAttributeTail(std::string& tail, const CPluginItem& item) {
    if (item.HasUid()) {
        tail += "\\uid";
        AppendEscaped(tail, FormatUid(item).str());
    }
    if (item.m_nArch != -1)
        AppendNumber(tail, "\\arch", std::to_string(item.m_nArch));
    if (item.m_nLength != 0)
        AppendNumber(tail, "\\len", std::to_string(item.m_nLength));
    if (item.m_nLastChange != 0)
        AppendNumber(tail, "\\lch", std::to_string(item.m_nLastChange));
    if (item.m_nFlags != 0)
        AppendNumber(tail, "\\flg", std::to_string(item.m_nFlags));
    if (item.m_nCategory != 0)
        AppendNumber(tail, "\\pcat", std::to_string(item.m_nCategory));
    AppendText(tail, "\\ver", item.GetText(kTextVersion));
    AppendText(tail, "\\vstver", item.GetText(kTextVstVersion));
    AppendText(tail, "\\vname", item.GetText(kTextVendor));
    AppendText(tail, "\\vemail", item.GetText(kTextVendorEmail));
    AppendText(tail, "\\vurl", item.GetText(kTextVendorUrl));
    if (!item.m_bEnabled)
        tail += "\\ena0";
}

} // namespace

CString FormatRecordName(const CString& prefix, const CPluginItem& item) {
    const std::string& name = item.GetText(kTextName).str();
    std::string out;
    out.reserve(prefix.str().size() + 13 + name.size() + name.size() / 4);
    out += prefix.str();
    out += std::to_string(item.m_nKind);
    out += ':';
    AppendEscaped(out, name);
    return CString(std::move(out));
}

CString FormatUid(const CPluginItem& item) {
    if (!item.HasUid())
        return CString();
    if (IsPackedIdentifier(item.m_uid))
        return CString(std::to_string(static_cast<int32_t>(item.m_uid.Data1)));
    CString text;
    GuidToText(&item.m_uid, text);
    return text;
}

CString FormatAttributeTail(const CPluginItem& item) {
    std::string tail;
    AppendAttributeTail(tail, item);
    return CString(std::move(tail));
}

CString FormatRecordValue(const CPluginItem& item) {
    const std::string& path = item.GetText(kTextPath).str();
    std::string out;
    out.reserve(path.size() + 160);
    out += path;
    out += ':';
    AppendAttributeTail(out, item);
    if (out.size() == path.size() + 1)
        out.pop_back(); // no tail: the path alone
    return CString(std::move(out));
}

} // namespace corvane
