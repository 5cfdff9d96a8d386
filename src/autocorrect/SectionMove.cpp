#include "autocorrect/SectionMove.h"
#include "autocorrect/CheckedWrite.h"
#include "autocorrect/ProfileLists.h"
#include "support/ProfileGroupWrite.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace corvane {

void ReportWriteError(const char* section, const char* key) {
    printf("Error writing [%s] %s\n", section, key);
    ++theApp.m_nFailures;
}

SectionMover::SectionMover(CCorvaneApp& app)
    : m_app(app), m_mainFile(app.m_pszProfileName ? app.m_pszProfileName : ""),
      m_privateFile(app.m_pszPrivateProfile ? app.m_pszPrivateProfile : ""),
      m_target(m_privateFile) {}

SectionMover::~SectionMover() {
    Finish();
}

bool SectionMover::Copy(const char* source, const char* target, bool removeSource) {
    if (m_mainFile.IsEmpty() || m_privateFile.IsEmpty())
        return false;
    // A plain section is read with one read and goes into the private file
    // with one write.
    std::vector<ProfileItem> items = ReadProfileItems(m_mainFile, source);
    GroupWrite groupWrite = m_target.Write(target, items);
    if (groupWrite == GroupWrite::NotTried)
        m_target.NoteSection(target);
    bool allWritten = true;
    for (const ProfileItem& item : items) {
        bool written = groupWrite == GroupWrite::Written;
        if (groupWrite == GroupWrite::NotTried) {
            CUsePrivateProfile scope;
            written = WriteProfileStringChecked(m_app, target, item.key, item.value);
        }
        m_anyWritten = m_anyWritten || written;
        if (!written) {
            ReportWriteError(target, item.key);
            allWritten = false;
        }
    }
    if (allWritten && removeSource && !WillRemove(source))
        m_sourcesToRemove.push_back(source);
    return allWritten;
}

namespace {

// Writes a cached profile file to disk. The request (no section, key or value)
// returns FALSE whatever happens, as on Windows; the last error tells.
bool SaveProfileFile(const char* file) {
    SetLastError(ERROR_SUCCESS);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    return GetLastError() == ERROR_SUCCESS;
}

} // namespace

// A second section of the same name (in any letter case) was not the one
// copied: the reader finds the first. It must not be deleted with it.
bool SectionMover::WillRemove(const char* source) const {
    for (const CString& name : m_sourcesToRemove)
        if (_mbsicmp(reinterpret_cast<const unsigned char*>(name.GetString()),
                     reinterpret_cast<const unsigned char*>(source)) == 0)
            return true;
    return false;
}

void SectionMover::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_anyWritten && !SaveProfileFile(m_privateFile)) {
        printf("Error writing %s: the moved sections stay in the settings file\n",
               m_privateFile.GetString());
        ++m_app.m_nFailures;
        return;
    }
    if (m_anyWritten)
        m_app.m_account.NoteFile(m_privateFile);
    for (const CString& source : m_sourcesToRemove)
        WritePrivateProfileStringA(source, nullptr, nullptr, m_mainFile);
    if (!m_sourcesToRemove.empty())
        m_app.m_account.NoteFile(m_mainFile);
}

} // namespace corvane
