#include "autocorrect/SectionMove.h"
#include "autocorrect/SettingsSection.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace corvane {

namespace {

// "MidiThru" and "MidiRemote" read with this default are absent.
constexpr int kAbsent = -1;

// Deletes `oldKey` when `written` says its new form `newKey` is stored;
// otherwise reports the failed write and keeps the old key.
bool DeleteWhenWritten(SettingsSection& settings, const char* oldKey, bool written,
                       const char* newKey) {
    if (written)
        settings.DeleteKey(oldKey);
    else
        ReportWriteError(settings.Name(), newKey);
    return written;
}

// A single string entry becomes the first member of its numbered list; an
// existing first member is overwritten.
void MoveToFirstListEntry(SettingsSection& settings, const char* oldKey, const char* newKey) {
    CString value = settings.GetString(oldKey, "");
    if (!value.IsEmpty())
        DeleteWhenWritten(settings, oldKey, settings.WriteString(newKey, value), newKey);
}

} // namespace

void CorrectMidiSettings(SettingsSection& settings) {
    MoveToFirstListEntry(settings, "MidiIn", "MidiIn0");

    int thru = settings.GetInt("MidiThru", kAbsent);
    if (thru != kAbsent) {
        bool written = true;
        if (thru > 0) {
            // A positive value becomes the one-element list 0.
            CDWordArray list;
            list.Add(0);
            written = settings.WriteIntList("MidiThru0", list);
        }
        DeleteWhenWritten(settings, "MidiThru", written, "MidiThru0");
    }

    MoveToFirstListEntry(settings, "MidiOut", "MidiOut0");

    int remote = settings.GetInt("MidiRemote", kAbsent);
    if (remote != kAbsent &&
        DeleteWhenWritten(settings, "MidiRemote", settings.WriteInt("MidiRemoteIn", remote),
                          "MidiRemoteIn"))
        settings.DeleteKey("MidiRemoteChn");
}

void CCorvaneApp::AutocorrectMidi() {
    printf("Autocorrect MIDI settings\n");
    AppSettingsSection settings(*this, m_strSettings);
    CorrectMidiSettings(settings);
}

} // namespace corvane
