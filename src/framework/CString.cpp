#include "framework/CString.h"
#include "platform/AsciiText.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        throw CInvalidArgException();
    return m_text[index];
}

void CString::SetAt(int index, char ch) {
    if (index < 0 || index >= GetLength())
        throw CInvalidArgException();
    m_text[index] = ch;
}

CString& CString::operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
}

int CString::Compare(const char* text) const {
    return std::strcmp(m_text.c_str(), text ? text : "");
}

int CString::CompareNoCase(const char* text) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text ? text : "");
    for (;; ++a, ++b) {
        int ca = static_cast<unsigned char>(ascii::ToLower(static_cast<char>(*a)));
        int cb = static_cast<unsigned char>(ascii::ToLower(static_cast<char>(*b)));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    if (first < 0)
        first = 0;
    if (count < 0)
        count = 0;
    if (first >= GetLength())
        return CString();
    return CString(m_text.substr(first, count));
}

CString CString::Left(int count) const {
    return Mid(0, count);
}

CString CString::Right(int count) const {
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_text.substr(m_text.size() - count));
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start >= GetLength())
        return -1;
    size_t pos = m_text.find(ch, start);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength())
        return -1;
    size_t pos = m_text.find(sub, start);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    size_t pos = m_text.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString& CString::MakeUpper() {
    for (char& ch : m_text)
        ch = ascii::ToUpper(ch);
    return *this;
}

CString& CString::MakeLower() {
    for (char& ch : m_text)
        ch = ascii::ToLower(ch);
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft() {
    size_t n = 0;
    while (n < m_text.size() && ascii::IsSpace(m_text[n]))
        ++n;
    m_text.erase(0, n);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_text.size();
    while (n > 0 && ascii::IsSpace(m_text[n - 1]))
        --n;
    m_text.resize(n);
    return *this;
}

CString& CString::Trim(char ch) {
    const char set[2] = {ch, 0};
    return TrimRight(set).TrimLeft(set);
}

CString& CString::TrimLeft(const char* chars) {
    if (chars)
        m_text.erase(0, std::min(m_text.find_first_not_of(chars), m_text.size()));
    return *this;
}

CString& CString::TrimRight(const char* chars) {
    if (chars) {
        size_t last = m_text.find_last_not_of(chars);
        m_text.resize(last == std::string::npos ? 0 : last + 1);
    }
    return *this;
}

int CString::Replace(char from, char to) {
    int count = 0;
    for (char& ch : m_text) {
        if (ch == from) {
            ch = to;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* from, const char* to) {
    if (!from || !*from)
        return 0;
    std::string_view needle(from);
    std::string_view replacement(to ? to : "");
    std::string result;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        size_t hit = m_text.find(needle, pos);
        if (hit == std::string::npos)
            break;
        result.append(m_text, pos, hit - pos);
        result.append(replacement);
        pos = hit + needle.size();
        ++count;
    }
    if (count) {
        result.append(m_text, pos, std::string::npos);
        m_text.swap(result);
    }
    return count;
}

int CString::Insert(int index, const char* text) {
    if (index < 0)
        index = 0;
    if (index > GetLength())
        index = GetLength();
    if (text)
        m_text.insert(index, text);
    return GetLength();
}

int CString::Delete(int index, int count) {
    if (index < 0)
        index = 0;
    if (count > 0 && index < GetLength())
        m_text.erase(index, count);
    return GetLength();
}

void CString::FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_text.clear();
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        m_text.assign(small, needed);
        return;
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    m_text.assign(big.data(), needed);
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_text += tail.m_text;
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength())
        m_text.resize(minLength);
    return m_text.data();
}

char* CString::GetBufferSetLength(int length) {
    m_text.resize(length < 0 ? 0 : length);
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    if (newLength < GetLength())
        m_text.resize(newLength);
}

CString operator+(const CString& a, const CString& b) {
    return CString(a.str() + b.str());
}
CString operator+(const CString& a, const char* b) {
    return CString(a.str() + (b ? b : ""));
}
CString operator+(const char* a, const CString& b) {
    return CString((a ? a : "") + b.str());
}
CString operator+(const CString& a, char b) {
    return CString(a.str() + b);
}
bool operator==(const CString& a, const CString& b) {
    return a.str() == b.str();
}
bool operator==(const CString& a, const char* b) {
    return a.str() == (b ? b : "");
}
bool operator==(const char* a, const CString& b) {
    return b == a;
}
bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
bool operator!=(const CString& a, const char* b) {
    return !(a == b);
}
bool operator!=(const char* a, const CString& b) {
    return !(b == a);
}
bool operator<(const CString& a, const CString& b) {
    return a.str() < b.str();
}
