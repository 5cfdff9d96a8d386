// One section of the settings as the value-rewriting steps (pre-bank logic,
// MIDI, levels) see it. The run uses the application's profile functions;
// tests put a store in its place whose writes can be made to fail.
#pragma once

#include "framework/afx.h"

namespace corvane {

class CCorvaneApp;

class SettingsSection {
  public:
    virtual ~SettingsSection() = default;

    virtual const char* Name() const = 0;
    // The stored value, or `def` when the key is absent.
    virtual CString GetString(const char* key, const char* def) = 0;
    virtual int GetInt(const char* key, int def) = 0;
    virtual double GetDouble(const char* key, double def) = 0;
    // Each write returns true when the value is stored.
    virtual bool WriteString(const char* key, const char* value) = 0;
    virtual bool WriteInt(const char* key, int value) = 0;
    virtual bool WriteDouble(const char* key, double value) = 0;
    virtual bool WriteIntList(const char* key, const CDWordArray& values) = 0;
    virtual bool DeleteKey(const char* key) = 0;
};

// A section reached through the application's profile functions (whatever
// file or registry key they point at).
class AppSettingsSection : public SettingsSection {
  public:
    AppSettingsSection(CCorvaneApp& app, const char* section) : m_app(app), m_name(section) {}

    const char* Name() const override { return m_name; }
    CString GetString(const char* key, const char* def) override;
    int GetInt(const char* key, int def) override;
    double GetDouble(const char* key, double def) override;
    bool WriteString(const char* key, const char* value) override;
    bool WriteInt(const char* key, int value) override;
    bool WriteDouble(const char* key, double value) override;
    bool WriteIntList(const char* key, const CDWordArray& values) override;
    bool DeleteKey(const char* key) override;

  private:
    // Notes the settings file as written when `written`; returns it.
    bool Noted(bool written);

    CCorvaneApp& m_app;
    CString m_name;
};

// The steps' rules over a section. A key that gets a new form is deleted only
// after the new form was written; a failed write prints "Error writing" and
// keeps the old key.

// Old "Profile" name to a "Bank" number and a "Bank%d" name (bankNames: index
// = bank number; entries beyond it count as unnamed).
void CorrectPreBankLogic(SettingsSection& settings, const CStringArray& bankNames);
// Single MIDI entries to the first members of numbered lists.
void CorrectMidiSettings(SettingsSection& settings);
// "MasterLevel" to "OutputLevel" in single precision; an existing
// "OutputLevel" wins.
void CorrectLevels(SettingsSection& settings);

} // namespace corvane
