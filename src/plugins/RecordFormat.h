// The record texts that store one menu entry: the record name (INI key or
// registry value name) and the record value (path plus attribute tail).
#pragma once

#include "plugins/PluginItem.h"

namespace corvane {

// prefix, the kind as a signed decimal, ":", and the escaped name (text 3).
CString FormatRecordName(const CString& prefix, const CPluginItem& item);

// Empty without a uid; a packed VST identifier as a signed decimal; any other
// GUID in its 38-character braced form.
CString FormatUid(const CPluginItem& item);

// The attributes that differ from their defaults, each after its keyword, in
// the fixed order uid, arch, len, lch, flg, pcat, ver, vstver, vname, vemail,
// vurl, ena0. Texts are escaped, so the tail holds no colon.
CString FormatAttributeTail(const CPluginItem& item);

// The path (text 0, not escaped), then ":" and the tail when there is one.
CString FormatRecordValue(const CPluginItem& item);

} // namespace corvane
