#include "autocorrect/SettingsSection.h"
#include "autocorrect/CheckedWrite.h"
#include "app/CorvaneApp.h"

namespace corvane {

CString AppSettingsSection::GetString(const char* key, const char* def) {
    return m_app.GetProfileString(m_name, key, def);
}

int AppSettingsSection::GetInt(const char* key, int def) {
    return static_cast<int>(m_app.GetProfileInt(m_name, key, def));
}

double AppSettingsSection::GetDouble(const char* key, double def) {
    return m_app.GetProfileDouble(m_name, key, def);
}

bool AppSettingsSection::WriteString(const char* key, const char* value) {
    return Noted(WriteProfileStringChecked(m_app, m_name, key, value));
}

bool AppSettingsSection::WriteInt(const char* key, int value) {
    return Noted(m_app.WriteProfileInt(m_name, key, value) != FALSE);
}

bool AppSettingsSection::WriteDouble(const char* key, double value) {
    return Noted(m_app.WriteProfileDouble(m_name, key, value) != FALSE);
}

bool AppSettingsSection::WriteIntList(const char* key, const CDWordArray& values) {
    return Noted(m_app.WriteProfileIntList(m_name, key, values) != FALSE);
}

bool AppSettingsSection::Noted(bool written) {
    if (written && m_app.m_pszProfileName)
        m_app.m_account.NoteFile(m_app.m_pszProfileName);
    return written;
}

bool AppSettingsSection::DeleteKey(const char* key) {
    return m_app.WriteProfileString(m_name, key, nullptr) != FALSE;
}

} // namespace corvane
