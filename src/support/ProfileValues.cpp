// The profile value operations of the application object. They go through the
// framework's profile functions, so they land wherever those point: the main
// settings file, a private profile file, or the registry.
#include "app/CorvaneApp.h"
#include "support/StoredValueText.h"

#include <cstdlib>

namespace corvane {

double CCorvaneApp::GetProfileDouble(const char* section, const char* entry, double def) {
    CString text = GetProfileString(section, entry, "*");
    if (text == "*")
        return def;
    return std::atof(text);
}

BOOL CCorvaneApp::WriteProfileDouble(const char* section, const char* entry, double value) {
    return WriteProfileString(section, entry, FormatDoubleText(value));
}

BOOL CCorvaneApp::WriteProfileData(const char* section, const char* entry, const void* data,
                                   UINT count) {
    if (!data && count > 0)
        return FALSE;
    return WriteProfileString(section, entry, EncodeByteBlock(data, count));
}

BOOL CCorvaneApp::GetProfileData(const char* section, const char* entry, void* buffer,
                                 UINT* pCount) {
    CString text = GetProfileString(section, entry, "");
    return DecodeByteBlock(text, buffer, pCount) ? TRUE : FALSE;
}

BOOL CCorvaneApp::WriteProfileIntList(const char* section, const char* entry,
                                      const CDWordArray& values) {
    return WriteProfileString(section, entry, FormatIntList(values));
}

} // namespace corvane
