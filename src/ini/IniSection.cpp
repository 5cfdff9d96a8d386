#include "ini/IniSection.h"
#include "platform/AsciiText.h"

#include "ini/IniFile.h"
#include "ini/IniText.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace corvane {

namespace {

std::string_view TrimView(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && ascii::IsSpace(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && ascii::IsSpace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Splits a key line into its key (trailing white space removed) and its value
// (trimmed). False for an empty line, a comment (";" after leading white
// space) and a line without "=". A line holding a NUL byte is no key line: it
// is kept as it is, but no name lookup could ever reach it.
bool SplitKeyLine(const std::string& line, std::string_view* key, std::string_view* value) {
    std::string_view text(line);
    if (text.find('\0') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start < text.size() && ascii::IsSpace(text[start]))
        ++start;
    if (start == text.size() || text[start] == ';')
        return false;
    size_t equals = text.find('=', start);
    if (equals == std::string_view::npos)
        return false;
    std::string_view k = text.substr(start, equals - start);
    while (!k.empty() && ascii::IsSpace(k.back()))
        k.remove_suffix(1);
    if (key)
        *key = k;
    if (value)
        *value = TrimView(text.substr(equals + 1));
    return true;
}

std::string UpperOf(std::string_view text) {
    std::string upper(text);
    for (char& ch : upper)
        ch = ascii::ToUpper(ch);
    return upper;
}

// A key expanded and trimmed (null taken as empty), with room for `extra`
// more bytes: SetValue appends "=value" without a reallocation.
std::string NormalizedKeyText(const char* key, size_t extra) {
    std::string out;
    if (!key)
        return out;
    if (std::strchr(key, '%')) {
        CString expanded = ExpandText(key, true);
        expanded.Trim();
        out = std::move(expanded.str());
    } else {
        std::string_view trimmed = TrimView(key);
        out.reserve(trimmed.size() + extra);
        out.assign(trimmed);
    }
    return out;
}

// CanStore for a key already normalized.
bool CanStoreNormalized(const std::string& key, const char* value) {
    if (key.find_first_of("\r\n=") != std::string::npos)
        return false;
    if (!key.empty() && (key[0] == ';' || key[0] == '['))
        return false;
    return !value || !std::strpbrk(value, "\r\n");
}

} // namespace

CIniSection::CIniSection(CIniFile* pFile, const char* name) : m_pFile(pFile) {
    SetName(name);
}

CIniSection::~CIniSection() = default;

void CIniSection::MarkModified() {
    if (m_pFile)
        m_pFile->m_bModified = true;
}

void CIniSection::Clear() {
    RemoveAll();
    m_mapValues.RemoveAll();
    m_keyLines.clear();
    m_nLastKeyLine = -1;
    m_bIndexStale = false;
    m_bValuesStale = false;
    MarkModified();
}

void CIniSection::SetName(const char* name) {
    CString trimmed(name);
    trimmed.Trim();
    if (trimmed.str() != m_strName.str())
        MarkModified();
    m_strName = trimmed;
    m_strKey = UpperKey(m_strName);
}

CString CIniSection::GetName(bool upperKey) const {
    return upperKey ? m_strKey : m_strName;
}

bool CIniSection::NormalizeKey(const char* key, CString& outKey, CString& outUpperKey) {
    outKey = CString(NormalizedKeyText(key, 0));
    outUpperKey = UpperKey(outKey);
    return !outKey.IsEmpty();
}

bool CIniSection::CanStore(const char* key, const char* value) {
    return CanStoreNormalized(NormalizedKeyText(key, 0), value);
}

bool CIniSection::ParseKeyLine(int index, CString& key, CString& upperKey) const {
    const CString& line = GetAt(index);
    std::string_view k;
    if (!SplitKeyLine(line.str(), &k, nullptr))
        return false;
    key = CString(k);
    upperKey = UpperKey(key);
    return true;
}

bool CIniSection::Reindex() {
    BuildIndex();
    return true;
}

void CIniSection::BuildIndex() const {
    m_bIndexStale = false;
    m_bValuesStale = false;
    m_nLastKeyLine = -1;
    m_mapValues.RemoveAll();
    m_keyLines.clear();
    m_mapValues.InitHashTable(static_cast<UINT>(GetSize()));
    m_keyLines.reserve(static_cast<size_t>(GetSize()));
    // Backwards, so that the first line of a key that occurs more than once
    // is the one whose value is kept.
    for (int i = GetSize() - 1; i >= 0; --i) {
        std::string_view key, value;
        if (!SplitKeyLine(GetAt(i).str(), &key, &value))
            continue;
        m_nLastKeyLine = std::max(m_nLastKeyLine, i);
        std::string upper = UpperOf(key);
        m_mapValues[upper.c_str()] = CString(value);
        auto [it, added] = m_keyLines.try_emplace(std::move(upper), KeyLines{i, 1});
        if (!added) {
            it->second.nFirst = i;
            ++it->second.nCount;
        }
    }
}

CString CIniSection::GetValue(const char* key, const char* def, bool expand) const {
    EnsureValues();
    CString normalized, upper;
    NormalizeKey(key, normalized, upper);
    const CString* stored = m_mapValues.PLookup(MapKey(upper));
    if (!stored)
        return def ? ExpandText(def, expand) : CString();
    if (!expand)
        return *stored;
    CString value(*stored);
    value.Replace("%Default%", def ? def : "");
    return ExpandText(value, true);
}

bool CIniSection::SetValue(const char* key, const char* value, bool flag) {
    (void)flag;
    // The line starts as the normalized key; "=value" follows once the pair
    // is known to be storable.
    std::string line = NormalizedKeyText(key, value ? std::strlen(value) + 1 : 0);
    if (!CanStoreNormalized(line, value))
        return false;
    EnsureIndex();
    std::string upper = UpperOf(line);
    auto found = m_keyLines.find(upper);

    if (!value) {
        if (found == m_keyLines.end())
            return true;
        KeyLines where = found->second;
        RemoveKeyLines(upper, where);
        m_mapValues.RemoveKey(upper.c_str());
        MarkModified();
        return true;
    }

    line += '=';
    line += value;
    if (found != m_keyLines.end()) {
        // The first line of the key is the one every reader sees, so that is
        // the line that takes the new value.
        int n = found->second.nFirst;
        if (GetAt(n).str() != line) {
            ElementAt(n) = CString(std::move(line));
            MarkModified();
        }
    } else {
        // A section filled from empty gets its values indexed when one is
        // first read; that rebuild reads only the lines added since.
        if (GetSize() == 0)
            m_bValuesStale = true;
        ++m_nLastKeyLine;
        std::vector<CString>& lines = items();
        if (static_cast<size_t>(m_nLastKeyLine) > lines.size())
            lines.resize(static_cast<size_t>(m_nLastKeyLine));
        lines.insert(lines.begin() + m_nLastKeyLine, CString(std::move(line)));
        MarkModified();
    }
    if (!m_bValuesStale)
        m_mapValues.SetAt(upper.c_str(), CString(TrimView(value)));
    if (found == m_keyLines.end())
        m_keyLines.emplace(std::move(upper), KeyLines{m_nLastKeyLine, 1});
    return true;
}

void CIniSection::RemoveKeyLines(const std::string& upperKey, const KeyLines& where) {
    std::vector<int> removed;
    if (where.nCount == 1) {
        removed.push_back(where.nFirst);
    } else {
        // A key written more than once: every one of its lines goes, so that
        // no older value shows again when the file is read next time.
        for (int i = where.nFirst; i <= m_nLastKeyLine; ++i) {
            std::string_view key;
            if (SplitKeyLine(GetAt(i).str(), &key, nullptr) && UpperOf(key) == upperKey)
                removed.push_back(i);
        }
    }
    for (auto it = removed.rbegin(); it != removed.rend(); ++it)
        RemoveAt(*it);
    m_keyLines.erase(upperKey);

    const int oldLast = m_nLastKeyLine;
    const bool lastRemoved = removed.back() == oldLast;
    // Key lines behind a removed line move up; none do when only the last key
    // lines went.
    if (!(removed.size() == 1 && lastRemoved)) {
        for (auto& entry : m_keyLines) {
            int& first = entry.second.nFirst;
            first -= static_cast<int>(std::lower_bound(removed.begin(), removed.end(), first) -
                                      removed.begin());
        }
    }
    m_nLastKeyLine = oldLast - static_cast<int>(removed.size());
    if (lastRemoved) {
        // The last key line went: the new last one is the next key line above.
        while (m_nLastKeyLine >= 0 && !SplitKeyLine(GetAt(m_nLastKeyLine).str(), nullptr, nullptr))
            --m_nLastKeyLine;
    }
}

bool CIniSection::GetKeys(CStringArray& out, bool withValues) const {
    try {
        out.RemoveAll();
        EnsureIndex();
        for (int i = 0; i <= m_nLastKeyLine; ++i) {
            CString key, upper;
            if (!ParseKeyLine(i, key, upper))
                continue;
            if (withValues) {
                key += "=";
                key += GetValue(upper, "", false);
            }
            out.Add(key);
        }
        return true;
    } catch (...) {
        return false;
    }
}

int CIniSection::GetInt(const char* key, int def) const {
    CString value = GetValue(key, "*", false);
    if (value == "*")
        return def;
    return ascii::ToIntSaturated(value);
}

bool CIniSection::SetInt(const char* key, int value) {
    CString text;
    text.Format("%d", value);
    return SetValue(key, text, true);
}

} // namespace corvane
