#include "support/PluginIds.h"

#include <cstring>
#include <vector>

namespace corvane {

const GUID VstUidBase = {
    0x00000000, 0x16E6, 0x4F3D, {0x8C, 0xC0, 0xC3, 0x37, 0xDD, 0x3A, 0xCD, 0x86}};

namespace {

// The wide buffer of a GUID text: 38 characters and a NUL, one spare.
constexpr int kGuidTextChars = 39;

} // namespace

BOOL IdToGuid(DWORD id, GUID* pGuid) {
    if (!pGuid)
        return FALSE;
    *pGuid = VstUidBase;
    pGuid->Data1 = id;
    return TRUE;
}

BOOL GuidToId(const GUID* pGuid, DWORD* pId) {
    DWORD ignored;
    if (!pId)
        pId = &ignored;
    *pId = 0;
    GUID family;
    std::memset(&family, 0, sizeof family);
    if (pGuid)
        family = *pGuid;
    family.Data1 = 0;
    if (std::memcmp(&family, &VstUidBase, sizeof family) != 0)
        return FALSE;
    *pId = pGuid->Data1;
    return TRUE;
}

BOOL GuidToText(const GUID* pGuid, CString& out) {
    out = "{NULL}";
    if (!pGuid)
        return FALSE;
    WCHAR wide[kGuidTextChars] = {};
    int chars = StringFromGUID2(*pGuid, wide, kGuidTextChars);
    WideToText(out, wide);
    return chars > 0 ? TRUE : FALSE;
}

BOOL TextToGuid(const char* text, GUID* pGuid) {
    if (!text || !pGuid)
        return FALSE;
    WCHAR wide[kGuidTextChars + 1] = {};
    // A text longer than the buffer is refused rather than read cut short.
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kGuidTextChars) == 0)
        return FALSE;
    return SUCCEEDED(IIDFromString(wide, pGuid)) ? TRUE : FALSE;
}

CString& WideToText(CString& out, const WCHAR* wide) {
    out.Empty();
    if (!wide || !*wide)
        return out;
    int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return out;
    std::vector<char> buffer(static_cast<size_t>(bytes) + 1, '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, buffer.data(), bytes, nullptr, nullptr);
    out = buffer.data();
    return out;
}

} // namespace corvane
