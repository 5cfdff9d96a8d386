// Plug-in identifiers and GUIDs: a 32-bit VST plug-in identifier travels as a
// GUID whose last twelve bytes are those of VstUidBase and whose Data1 holds
// the identifier; GUIDs are stored as registry-form text with braces.
#pragma once

#include "framework/afx.h"

namespace corvane {

// {00000000-16E6-4F3D-8CC0-C337DD3ACD86}: the family of packed identifiers;
// itself it means "no identifier".
extern const GUID VstUidBase;

// *pGuid = VstUidBase with Data1 = id. FALSE only for a null pGuid.
BOOL IdToGuid(DWORD id, GUID* pGuid);
// *pId = 0, then the identifier when *pGuid is a packed identifier (TRUE).
// A null GUID counts as all zero bytes.
BOOL GuidToId(const GUID* pGuid, DWORD* pId);
// out = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", or "{NULL}" (FALSE) for a
// null GUID. TRUE when the text was produced.
BOOL GuidToText(const GUID* pGuid, CString& out);
// Parses registry-form GUID text; TRUE when it is one (and fits 39 characters).
BOOL TextToGuid(const char* text, GUID* pGuid);
// out = wide converted in the thread's code page ("" for null or empty); returns out.
CString& WideToText(CString& out, const WCHAR* wide);

} // namespace corvane
