#include "support/StoredValueText.h"
#include "platform/AsciiText.h"

namespace corvane {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Extra characters the quoted form spends on one byte.
int EscapeCost(BYTE byte) {
    if (byte == '\\' || byte == 0x00 || byte == 0x0A || byte == 0x0D)
        return 1;
    return byte < 0x20 ? 2 : 0;
}

void AppendHexByte(std::string& out, BYTE byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

} // namespace

CString FormatDoubleText(double value) {
    CString text;
    text.Format("%.17f", value);
    std::string& s = text.str();
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return text;
}

bool IsFragileFinalByte(BYTE byte) {
    // A blank at the end is trimmed off; a quote at the end pairs with the
    // leading quote and both are dropped.
    return byte == ' ' || byte == '\'';
}

CString EncodeByteBlock(const void* data, UINT count) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    if (!bytes || count == 0)
        return CString();
    size_t cost = 0;
    for (UINT i = 0; i < count; ++i)
        cost += EscapeCost(bytes[i]);
    const bool fragileEnd = IsFragileFinalByte(bytes[count - 1]);
    if (fragileEnd)
        cost += 2;

    std::string out;
    if (cost + 1 < count) {
        out.reserve(1 + count + cost);
        out += '\'';
        for (UINT i = 0; i < count; ++i) {
            BYTE byte = bytes[i];
            switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case 0x00:
                out += "\\z";
                break;
            case 0x0A:
                out += "\\n";
                break;
            case 0x0D:
                out += "\\r";
                break;
            default:
                if (byte < 0x20 || (fragileEnd && i == count - 1)) {
                    out += '\\';
                    AppendHexByte(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
            }
        }
    } else {
        out.reserve(2 * size_t(count));
        for (UINT i = 0; i < count; ++i)
            AppendHexByte(out, bytes[i]);
    }
    return CString(std::move(out));
}

bool DecodeByteBlock(const char* text, void* buffer, UINT* pCount) {
    if (!pCount)
        return false;
    const UINT capacity = *pCount;
    BYTE* out = static_cast<BYTE*>(buffer);
    if (!out && capacity > 0)
        return false;
    if (!text)
        text = "";
    UINT stored = 0;

    if (text[0] == '\'') {
        // The capacity is checked before each byte: a full (or empty) buffer
        // never receives one more.
        for (const char* p = text + 1; *p && stored < capacity;) {
            if (*p != '\\') {
                out[stored++] = static_cast<BYTE>(*p++);
                continue;
            }
            switch (p[1]) {
            case '\0':
                return false;
            case '\\':
                out[stored++] = '\\';
                break;
            case 'n':
                out[stored++] = 0x0A;
                break;
            case 'r':
                out[stored++] = 0x0D;
                break;
            case 'z':
                out[stored++] = 0x00;
                break;
            default: {
                int high = ascii::HexDigitValue(p[1]);
                int low = high < 0 ? -1 : ascii::HexDigitValue(p[2]);
                if (low < 0)
                    return false;
                out[stored++] = static_cast<BYTE>(high * 16 + low);
                ++p;
            }
            }
            p += 2;
        }
    } else {
        const size_t usable = 2 * size_t(capacity);
        for (size_t i = 0; i + 1 < usable && stored < capacity; i += 2) {
            int high = ascii::HexDigitValue(text[i]);
            if (high < 0)
                break;
            int low = ascii::HexDigitValue(text[i + 1]);
            if (low < 0)
                break;
            out[stored++] = static_cast<BYTE>(high * 16 + low);
        }
    }
    *pCount = stored;
    return stored != 0;
}

CString FormatIntList(const CDWordArray& values) {
    CString text;
    for (int i = 0; i < values.GetSize(); ++i) {
        if (i > 0)
            text += ",";
        text.AppendFormat("%d", static_cast<int>(values[i]));
    }
    return text;
}

} // namespace corvane
