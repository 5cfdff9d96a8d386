#include "autocorrect/BankNames.h"
#include "autocorrect/ProfileLists.h"
#include "app/CorvaneApp.h"

#include <cstdio>
#include <cstring>

namespace corvane {

namespace {

// The white space that scanf's %d skips in the C locale.
bool IsScanfSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

} // namespace

bool ParseBankKey(const char* key, int& number) {
    if (!key || std::strncmp(key, "bank", 4) != 0)
        return false;
    const char* p = key + 4;
    while (IsScanfSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kMaxBankNumber)
            return false;
    }
    if (negative && value != 0)
        return false;
    number = static_cast<int>(value);
    return true;
}

void CCorvaneApp::FetchBankNames() {
    printf("Fetch bank names\n");
    m_arrBankNames.RemoveAll();
    m_arrBankNames.SetSize(kBankCount);
    CString section = m_strSectionPrefix + m_strSettings;
    CString file = m_pszProfileName ? m_pszProfileName : "";
    for (const ProfileItem& item : ReadProfileItems(file, section)) {
        int bank = 0;
        if (ParseBankKey(item.key, bank))
            m_arrBankNames.SetAtGrow(bank, item.value);
    }
}

} // namespace corvane
