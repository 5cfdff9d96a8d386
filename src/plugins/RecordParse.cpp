#include "plugins/RecordParse.h"
#include "platform/AsciiText.h"

#include "plugins/RecordEscape.h"
#include "support/PluginIds.h"

#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

namespace {

// A decimal number as scanf reads one: blanks skipped, an optional sign, at
// least one digit, up to the first non-digit. Overflow wraps modulo 2^64 (the
// caller keeps the bits of its field), so both builds agree. Empty when no
// digit follows.
std::optional<uint64_t> ScanNumber(const char* text) {
    const char* p = text;
    while (ascii::IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return std::nullopt;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + static_cast<uint64_t>(*p - '0');
    return negative ? 0 - value : value;
}

struct Keyword {
    const char* text;
    enum { uid, arch, ena, len, lch, flg, pcat, textField } what;
    int textIndex;
};

const Keyword kKeywords[] = {
    {"\\uid", Keyword::uid, 0},
    {"\\arch", Keyword::arch, 0},
    {"\\cat", Keyword::arch, 0}, // older spelling of the architecture
    {"\\ena", Keyword::ena, 0},
    {"\\len", Keyword::len, 0},
    {"\\lch", Keyword::lch, 0},
    {"\\flg", Keyword::flg, 0},
    {"\\pcat", Keyword::pcat, 0},
    {"\\ver", Keyword::textField, kTextVersion},
    {"\\vstver", Keyword::textField, kTextVstVersion},
    {"\\vname", Keyword::textField, kTextVendor},
    {"\\vemail", Keyword::textField, kTextVendorEmail},
    {"\\vurl", Keyword::textField, kTextVendorUrl},
};

// The keyword a token starts with, or null.
const Keyword* FindKeyword(std::string_view token) {
    for (const Keyword& keyword : kKeywords) {
        // Every keyword is longer than two characters: the second one tells
        // most of them apart at once.
        if (token.size() > 1 && token[1] == keyword.text[1] &&
            token.compare(0, std::strlen(keyword.text), keyword.text) == 0)
            return &keyword;
    }
    return nullptr;
}

// Applies one attribute token ("\keyword" and its value text, unescaped),
// read as a C string. Unknown keywords are ignored; a number that cannot be
// read leaves its field.
void ApplyToken(const char* token, CPluginItem& item, CString& uidText) {
    const Keyword* keyword = FindKeyword(token);
    if (!keyword)
        return;
    const char* rest = token + std::strlen(keyword->text);
    if (keyword->what == Keyword::uid) {
        uidText = rest;
        return;
    }
    if (keyword->what == Keyword::textField) {
        item.SetText(keyword->textIndex, rest);
        return;
    }
    std::optional<uint64_t> number = ScanNumber(rest);
    if (!number)
        return;
    switch (keyword->what) {
    case Keyword::arch:
        item.m_nArch = static_cast<int32_t>(*number);
        break;
    case Keyword::ena:
        item.m_bEnabled = static_cast<int32_t>(*number) != 0;
        break;
    case Keyword::len:
        item.m_nLength = *number;
        break;
    case Keyword::lch:
        item.m_nLastChange = static_cast<int64_t>(*number);
        break;
    case Keyword::flg:
        item.m_nFlags = static_cast<uint32_t>(*number);
        break;
    case Keyword::pcat:
        item.m_nCategory = static_cast<int32_t>(*number);
        break;
    default:
        break;
    }
}

// True when `uid` is a uid as records spell it: braced GUID text or a signed
// decimal identifier.
bool IsUidText(std::string_view uid) {
    GUID guid{};
    if (!uid.empty() && uid.front() == '{')
        return TextToGuid(CString(uid).GetString(), &guid) != FALSE;
    size_t digits = !uid.empty() && (uid.front() == '-' || uid.front() == '+') ? 1 : 0;
    if (digits == uid.size())
        return false;
    for (size_t i = digits; i < uid.size(); ++i)
        if (uid[i] < '0' || uid[i] > '9')
            return false;
    return true;
}

// True for a token shaped like a keyword this reader does not know (one a
// newer writer may add): a backslash, a lower-case letter, and no dot, so
// that it is no file or folder name of a path.
bool IsUnknownKeyword(std::string_view token) {
    return token.size() > 1 && token[1] >= 'a' && token[1] <= 'z' &&
           token.find('.') == std::string_view::npos;
}

// True when `tail`, the text after a record value's last colon, is an
// attribute tail as writers make it: an optional old-style kind digit and
// comma, an optional old-style uid, then tokens shaped like keywords, at least
// one of them known unless the old-style part is there. Anything else belongs
// to the path: "\\\\?\\C:\\VST\\a.dll" and " C:\\a.dll" are paths with a colon.
bool IsAttributeTail(std::string_view tail) {
    if (tail.empty())
        return true; // a bare final colon: the writer's path with no tail
    bool oldStyle = false;
    if (tail.size() > 1 && tail[1] == ',' && tail[0] >= '0' && tail[0] <= '9') {
        tail.remove_prefix(2);
        oldStyle = true;
    }
    size_t position = tail.find('\\');
    std::string_view uid = tail.substr(0, position);
    if (!uid.empty() && !IsUidText(uid))
        return false;
    oldStyle = oldStyle || !uid.empty();
    bool anyKnown = false;
    while (position < tail.size()) {
        size_t next = tail.find('\\', position + 1);
        if (next == std::string_view::npos)
            next = tail.size();
        std::string_view token = tail.substr(position, next - position);
        if (FindKeyword(token))
            anyKnown = true;
        else if (!IsUnknownKeyword(token))
            return false;
        position = next;
    }
    return anyKnown || oldStyle;
}

// The uid a record names: braced GUID text, else a decimal VST identifier.
GUID ParseUid(const CString& uidText) {
    GUID uid{};
    if (TextToGuid(uidText, &uid))
        return uid;
    IdToGuid(static_cast<DWORD>(ascii::ToIntSaturated(uidText)), &uid);
    return uid;
}

int KindDigit(char ch) {
    return ch >= '0' && ch <= '3' ? ch - '0' : 0;
}

} // namespace

void ParseRecord(const CString& name, const CString& data, const CString& levelName,
                 CPluginItem& item) {
    bool kindFixed = false;
    if (name.IsEmpty()) {
        item.SetText(kTextName, levelName);
        item.m_nKind = 3;
    } else {
        int colon = name.Find(':');
        if (colon >= 1) {
            item.m_nKind = KindDigit(name[0]);
            std::string text;
            AppendUnescaped(text, std::string_view(name.str()).substr(colon + 1));
            item.SetText(kTextName, text.c_str());
            kindFixed = true;
        }
    }

    // The tail follows the last colon, unless that colon can only be a drive
    // letter's or the value is too short to hold a path and a tail.
    int lastColon = data.ReverseFind(':');
    if (data.GetLength() <= 5 || lastColon <= 2 ||
        !IsAttributeTail(std::string_view(data.str()).substr(lastColon + 1))) {
        item.SetText(kTextPath, data);
        return;
    }
    item.SetText(kTextPath, std::string(data.str(), 0, lastColon).c_str());
    std::string_view attributes(data.str());
    attributes.remove_prefix(lastColon + 1);
    if (attributes.empty())
        return;

    // Old style: a kind digit and a comma before the uid.
    if (!kindFixed)
        item.m_nKind = KindDigit(attributes[0]);
    if (attributes.size() > 1 && attributes[1] == ',')
        attributes.remove_prefix(2);

    // Tokens run from one backslash to the next; text before the first one
    // is the old style's uid.
    CString uidText;
    std::string token;
    size_t position = 0;
    while (position < attributes.size() && attributes[position] == '\\') {
        size_t next = attributes.find('\\', position + 1);
        if (next == std::string_view::npos)
            next = attributes.size();
        token.clear();
        AppendUnescaped(token, attributes.substr(position, next - position));
        ApplyToken(token.c_str(), item, uidText);
        position = next;
    }
    if (position < attributes.size())
        uidText = CString(attributes.substr(position));
    if (!uidText.IsEmpty())
        item.m_uid = ParseUid(uidText);
}

} // namespace corvane
