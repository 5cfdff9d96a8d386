// Arrays and maps with the framework's names, over the standard containers.
// Out-of-range indices raise CInvalidArgException, as the framework does.
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "platform/winapi.h"

#include <unordered_map>
#include <vector>

class CObject {
  public:
    virtual ~CObject() = default;
};

template <class T> class CArray : public CObject {
  public:
    CArray() = default;

    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    // Resizes; new elements are value-initialised. A negative size is invalid.
    void SetSize(int newSize, int growBy = -1) {
        (void)growBy;
        if (newSize < 0)
            throw CInvalidArgException();
        m_items.resize(static_cast<size_t>(newSize));
    }
    void RemoveAll() { m_items.clear(); }

    const T& GetAt(int index) const { return m_items.at(CheckIndex(index)); }
    T& ElementAt(int index) { return m_items[CheckIndex(index)]; }
    void SetAt(int index, const T& value) { m_items[CheckIndex(index)] = value; }
    T& operator[](int index) { return ElementAt(index); }
    const T& operator[](int index) const { return GetAt(index); }

    int Add(const T& value) {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    // Assigns at index, growing the array when the index is beyond its end.
    void SetAtGrow(int index, const T& value) {
        if (index < 0)
            throw CInvalidArgException();
        if (index >= GetSize())
            m_items.resize(static_cast<size_t>(index) + 1);
        m_items[index] = value;
    }
    void InsertAt(int index, const T& value, int count = 1) {
        if (index < 0 || count < 0)
            throw CInvalidArgException();
        if (index > GetSize())
            m_items.resize(static_cast<size_t>(index));
        m_items.insert(m_items.begin() + index, static_cast<size_t>(count), value);
    }
    void RemoveAt(int index, int count = 1) {
        if (index < 0 || count < 0 || index + count > GetSize())
            throw CInvalidArgException();
        m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    }

    T* GetData() { return m_items.data(); }
    const T* GetData() const { return m_items.data(); }
    std::vector<T>& items() { return m_items; }
    const std::vector<T>& items() const { return m_items; }

  private:
    size_t CheckIndex(int index) const {
        if (index < 0 || index >= GetSize())
            throw CInvalidArgException();
        return static_cast<size_t>(index);
    }

    std::vector<T> m_items;
};

class CStringArray : public CArray<CString> {};
class CDWordArray : public CArray<DWORD> {};
class CPtrArray : public CArray<void*> {};
class CObArray : public CArray<CObject*> {};

// Maps keyed by the exact bytes of a string (callers fold case themselves).
template <class V> class CMapString : public CObject {
  public:
    explicit CMapString(int blockSize = 10) { (void)blockSize; }

    int GetCount() const { return static_cast<int>(m_map.size()); }
    bool IsEmpty() const { return m_map.empty(); }
    void InitHashTable(UINT size) { m_map.reserve(size); }

    BOOL Lookup(const char* key, V& value) const {
        auto it = m_map.find(key ? key : "");
        if (it == m_map.end())
            return FALSE;
        value = it->second;
        return TRUE;
    }
    // The stored value, or null when the key is absent.
    const V* PLookup(const char* key) const {
        auto it = m_map.find(key ? key : "");
        return it == m_map.end() ? nullptr : &it->second;
    }
    void SetAt(const char* key, const V& value) { m_map[key ? key : ""] = value; }
    V& operator[](const char* key) { return m_map[key ? key : ""]; }
    BOOL RemoveKey(const char* key) { return m_map.erase(key ? key : "") ? TRUE : FALSE; }
    void RemoveAll() { m_map.clear(); }

    const std::unordered_map<std::string, V>& items() const { return m_map; }

  private:
    std::unordered_map<std::string, V> m_map;
};

class CMapStringToString : public CMapString<CString> {
  public:
    using CMapString<CString>::CMapString;
};

class CMapStringToOb : public CMapString<CObject*> {
  public:
    using CMapString<CObject*>::CMapString;
};
