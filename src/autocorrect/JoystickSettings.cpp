#include "autocorrect/JoystickRecord.h"
#include "autocorrect/SectionMove.h"
#include "autocorrect/SettingsSection.h"
#include "app/CorvaneApp.h"

#include <algorithm>
#include <cstdio>

namespace corvane {

// The joystick record, then the levels.
void CCorvaneApp::AutocorrectJoystick() {
    printf("Autocorrect Joystick settings\n");
    // One byte of room more than an old record: a longer stored block then
    // reads as longer and is left alone instead of being cut to the old size.
    uint8_t stored[kOldJoystickRecordSize + 1] = {};
    UINT count = sizeof stored;
    if (GetProfileData(m_strSettings, "Joysticks", stored, &count) &&
        count == kOldJoystickRecordSize) {
        OldJoystickRecord old;
        std::copy(stored, stored + kOldJoystickRecordSize, old.begin());
        JoystickRecord repacked = RepackJoystickRecord(old);
        if (!WriteProfileData(m_strSettings, "Joysticks", repacked.data(),
                              static_cast<UINT>(repacked.size())))
            ReportWriteError(m_strSettings, "Joysticks");
        else if (m_pszProfileName)
            m_account.NoteFile(m_pszProfileName);
    }
    AppSettingsSection settings(*this, m_strSettings);
    CorrectLevels(settings);
}

} // namespace corvane
