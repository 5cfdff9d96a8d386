#include "autocorrect/SectionMove.h"
#include "autocorrect/CheckedWrite.h"
#include "autocorrect/ProfileLists.h"
#include "app/CorvaneApp.h"

#include <cstdio>

void ReportWriteError(const char* section, const char* key) {
    printf("Error writing [%s] %s\n", section, key);
}

bool MoveSectionToPrivateProfile(CCorvaneApp& app, const char* source, const char* target,
                                 bool removeSource) {
    if (!app.m_pszPrivateProfile || !*app.m_pszPrivateProfile || !app.m_pszProfileName)
        return false;
    CString mainFile = app.m_pszProfileName;
    bool allWritten = true;
    for (const CString& key : ReadProfileKeys(mainFile, source)) {
        CString value = ReadProfileValue(mainFile, source, key);
        bool written;
        {
            CUsePrivateProfile scope;
            written = WriteProfileStringChecked(app, target, key, value);
        }
        if (!written) {
            ReportWriteError(target, key);
            allWritten = false;
        }
    }
    if (allWritten && removeSource)
        WritePrivateProfileStringA(source, nullptr, nullptr, mainFile);
    return allWritten;
}
