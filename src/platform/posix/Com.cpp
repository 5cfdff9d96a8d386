// The COM services the program uses: apartment initialisation and the text
// form of GUIDs ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
#include "platform/winapi.h"
#include "platform/AsciiText.h"

#include <cstdio>
#include <cstring>
#include <sys/random.h>

namespace {

// Nesting depth of CoInitialize on this thread.
thread_local int t_comInitCount = 0;

constexpr int kGuidChars = 39; // 38 characters and the NUL

// Reads `digits` hex digits at text[pos]; false when one is not a hex digit.
bool ReadHex(LPCOLESTR text, int pos, int digits, uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = ascii::HexDigitValue(text[pos + i]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

} // namespace

extern "C" HRESULT CoInitialize(LPVOID) {
    return t_comInitCount++ == 0 ? S_OK : S_FALSE;
}

extern "C" void CoUninitialize(void) {
    if (t_comInitCount > 0)
        --t_comInitCount;
}

extern "C" int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < kGuidChars)
        return 0;
    char text[kGuidChars + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(rguid.Data1), rguid.Data2, rguid.Data3, rguid.Data4[0],
                  rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5],
                  rguid.Data4[6], rguid.Data4[7]);
    for (int i = 0; i < kGuidChars; ++i)
        lpsz[i] = static_cast<WCHAR>(text[i]);
    return kGuidChars;
}

// The braced form only, hex digits in either case. A null text gives the null
// GUID; a text of the wrong length is E_INVALIDARG, any other malformed text
// CO_E_IIDSTRING, and the GUID is then left unchanged.
extern "C" HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    if (!lpiid)
        return E_INVALIDARG;
    if (!lpsz) {
        std::memset(lpiid, 0, sizeof *lpiid);
        return S_OK;
    }
    int length = 0;
    while (length < kGuidChars && lpsz[length])
        ++length;
    if (length != kGuidChars - 1)
        return E_INVALIDARG;
    if (lpsz[0] != '{' || lpsz[9] != '-' || lpsz[14] != '-' || lpsz[19] != '-' || lpsz[24] != '-' ||
        lpsz[37] != '}')
        return CO_E_IIDSTRING;
    GUID guid;
    uint64_t value;
    if (!ReadHex(lpsz, 1, 8, value))
        return CO_E_IIDSTRING;
    guid.Data1 = static_cast<uint32_t>(value);
    if (!ReadHex(lpsz, 10, 4, value))
        return CO_E_IIDSTRING;
    guid.Data2 = static_cast<uint16_t>(value);
    if (!ReadHex(lpsz, 15, 4, value))
        return CO_E_IIDSTRING;
    guid.Data3 = static_cast<uint16_t>(value);
    static const int kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(lpsz, kBytePositions[i], 2, value))
            return CO_E_IIDSTRING;
        guid.Data4[i] = static_cast<uint8_t>(value);
    }
    *lpiid = guid;
    return S_OK;
}

// A version 4 GUID: 122 bits from the kernel's random source.
extern "C" HRESULT CoCreateGuid(GUID* pguid) {
    if (!pguid)
        return E_INVALIDARG;
    unsigned char bytes[16];
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return E_FAIL;
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::memcpy(&pguid->Data1, bytes, 4);
    std::memcpy(&pguid->Data2, bytes + 4, 2);
    std::memcpy(&pguid->Data3, bytes + 6, 2);
    std::memcpy(pguid->Data4, bytes + 8, 8);
    return S_OK;
}
