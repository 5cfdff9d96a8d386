#include "autocorrect/BankNames.h"
#include "autocorrect/SectionMove.h"
#include "autocorrect/SettingsSection.h"
#include "app/CorvaneApp.h"

#include <cstdio>

namespace corvane {

namespace {

// "Bank" read with this default means the key is absent.
constexpr int kBankAbsent = -2;
constexpr int kNoBank = -1;

// Names are compared ignoring case, multibyte characters kept whole.
bool SameBankName(const CString& a, const CString& b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.GetString()),
                    reinterpret_cast<const unsigned char*>(b.GetString())) == 0;
}

// The table is filled from the lower-case "bank%d" keys of the prefixed
// settings section; the name is written to "Bank%d" of this section. A bank
// unnamed in the table may still have a name stored here (a prefixed table,
// or a key spelled "Bank%d"), which the new name must not overwrite.
CString BankKey(int bank) {
    CString key;
    key.Format("Bank%d", bank);
    return key;
}

} // namespace

void CorrectPreBankLogic(SettingsSection& settings, const CStringArray& bankNames) {
    // Settings that already use banks, or hold a value this step does not
    // know, stay as they are.
    if (settings.GetInt("Bank", kBankAbsent) != kBankAbsent)
        return;

    int bank = kNoBank;
    CString profile = settings.GetString("Profile", "");
    if (!profile.IsEmpty()) {
        int firstUnnamed = kNoBank;
        const CString unnamed;
        for (int i = 0; i < kBankCount && bank == kNoBank; ++i) {
            const CString& name = i < bankNames.GetSize() ? bankNames[i] : unnamed;
            if (name.IsEmpty()) {
                // A name stored here for a bank the table leaves unnamed is a
                // match too; else the profile would get a second bank.
                CString stored = settings.GetString(BankKey(i), "");
                if (!stored.IsEmpty() && SameBankName(stored, profile))
                    bank = i;
                else if (firstUnnamed == kNoBank && stored.IsEmpty())
                    firstUnnamed = i;
            } else if (SameBankName(name, profile)) {
                bank = i;
            }
        }
        if (bank == kNoBank && firstUnnamed != kNoBank) {
            // The profile names a new bank. "Profile" goes only once the name
            // is stored; the bank number is set either way.
            CString key = BankKey(firstUnnamed);
            if (settings.WriteString(key, profile))
                settings.DeleteKey("Profile");
            else
                ReportWriteError(settings.Name(), key);
            bank = firstUnnamed;
        }
    }
    if (!settings.WriteInt("Bank", bank))
        ReportWriteError(settings.Name(), "Bank");
}

void CCorvaneApp::AutocorrectPreBankLogic() {
    printf("Autocorrect pre-bank logic\n");
    AppSettingsSection settings(*this, m_strSettings);
    CorrectPreBankLogic(settings, m_arrBankNames);
}

} // namespace corvane
