#include "ini/IniFile.h"
#include "platform/AsciiText.h"

#include "ini/IniFileIo.h"
#include "ini/LineSplitter.h"
#include "ini/IniText.h"

#include <cstring>
#include <new>
#include <vector>

namespace corvane {

namespace {

// Bytes read from the file at a time.
constexpr UINT kReadChunk = 1 << 16;

std::string_view TrimmedLine(std::string_view line) {
    while (!line.empty() && ascii::IsSpace(line.back()))
        line.remove_suffix(1);
    while (!line.empty() && ascii::IsSpace(line.front()))
        line.remove_prefix(1);
    return line;
}

// The model's own path buffer: copies text, cut to fit.
void CopyPath(char (&target)[MAX_PATH], const char* text) {
    size_t length = std::strlen(text);
    if (length > MAX_PATH - 1)
        length = MAX_PATH - 1;
    std::memcpy(target, text, length);
    target[length] = '\0';
}

} // namespace

CIniFile::CIniFile(const char* path) {
    Load(path);
}

CIniFile::~CIniFile() {
    Clear();
}

const char* CIniFile::GetPath() const {
    return m_szPath;
}

void CIniFile::Clear() {
    for (int i = GetSize() - 1; i >= 0; --i)
        delete GetSection(i);
    RemoveAll();
    m_mapSections.RemoveAll();
    m_pCurSection = nullptr;
}

CIniSection* CIniFile::CreateSection(const char* name) {
    return new (std::nothrow) CIniSection(this, name);
}

bool CIniFile::NormalizeSectionName(const char* name, CString& outName, CString& outKey,
                                    bool expand) {
    if (!name)
        return false;
    outName = ExpandText(name, expand);
    outName.Trim();
    int length = outName.GetLength();
    if (length >= 2 && outName[0] == '[' && outName[length - 1] == ']') {
        outName = outName.Mid(1, length - 2);
        outName.Trim();
        if (outName.IsEmpty())
            return false;
    }
    outKey = UpperKey(outName);
    return true;
}

CIniSection* CIniFile::SectionByKey(const CString& strKey) const {
    const CObject* const* found = m_mapSections.PLookup(MapKey(strKey));
    return found ? static_cast<CIniSection*>(const_cast<CObject*>(*found)) : nullptr;
}

CIniSection* CIniFile::AddSection(const CString& strName, const CString& strKey) {
    CIniSection* section = CreateSection(strName);
    if (!section)
        return nullptr;
    // The unnamed section has no header line, so its lines can only be read
    // back as the unnamed section when they come first in the file.
    if (strName.IsEmpty())
        InsertAt(0, section);
    else
        Add(section);
    m_mapSections.SetAt(MapKey(strKey), section);
    m_bModified = true;
    return section;
}

CIniSection* CIniFile::FindSection(const char* name) {
    CString strName, strKey;
    NormalizeSectionName(name, strName, strKey, true);
    return SectionByKey(strKey);
}

CIniSection* CIniFile::GetOrCreateSection(const char* name) {
    CString strName, strKey;
    NormalizeSectionName(name, strName, strKey, true);
    if (CIniSection* found = SectionByKey(strKey))
        return found;
    return AddSection(strName, strKey);
}

bool CIniFile::GetSectionNames(CStringArray& out) const {
    try {
        out.RemoveAll();
        for (int i = 0; i < GetSize(); ++i) {
            CString name = GetSection(i)->GetName(false);
            if (!name.IsEmpty())
                out.Add(name);
        }
        return true;
    } catch (...) {
        return false;
    }
}

CString CIniFile::GetValue(const char* section, const char* key, const char* def, bool expand) {
    ReloadIfChanged();
    if (CIniSection* found = FindSection(section))
        return found->GetValue(key, def, expand);
    return def ? ExpandText(def, expand) : CString();
}

bool CIniFile::SetValue(const char* section, const char* key, const char* value, bool flag) {
    ReloadIfChanged();

    if (!section) {
        // Emptying a model that holds sections is a change like any other: it
        // must reach the file, or the old content would outlive it on disk.
        if (GetSize() > 0)
            m_bModified = true;
        Clear();
        return m_bAutoSave ? Save(nullptr) : true;
    }

    if (key) {
        CString strName, strKey;
        NormalizeSectionName(section, strName, strKey, true);
        // A line break in the name would split the header line.
        if (HasLineBreak(strName))
            return false;
        CIniSection* target = SectionByKey(strKey);
        if (!target) {
            // A key line that cannot be stored makes no empty section, and
            // deleting a key of a missing section changes nothing.
            if (!CIniSection::CanStore(key, value))
                return false;
            if (!value)
                return true;
            target = AddSection(strName, strKey);
            if (!target)
                return false;
        }
        // Refuses, changing nothing, what CanStore refuses.
        bool result = target->SetValue(key, value, flag);
        if (result && m_bAutoSave)
            return Save(nullptr);
        return result;
    }

    CString strName, strKey;
    NormalizeSectionName(section, strName, strKey, true);
    CObject* found = nullptr;
    if (!m_mapSections.Lookup(MapKey(strKey), found))
        return true;
    for (int i = GetSize() - 1; i >= 0; --i) {
        if (GetAt(i) != found)
            continue;
        m_mapSections.RemoveKey(MapKey(strKey));
        RemoveAt(i);
        if (m_pCurSection == found)
            m_pCurSection = nullptr;
        delete static_cast<CIniSection*>(found);
        m_bModified = true;
        return m_bAutoSave ? Save(nullptr) : true;
    }
    return false;
}

int CIniFile::GetInt(const char* section, const char* key, int def) {
    CString value = GetValue(section, key, "", false);
    if (value.IsEmpty())
        return def;
    return ascii::ToIntSaturated(value);
}

bool CIniFile::SetInt(const char* section, const char* key, int value) {
    CString text;
    text.Format("%d", value);
    return SetValue(section, key, text, true);
}

bool CIniFile::ProcessLine(std::string_view line) {
    if (!m_pCurSection) {
        m_pCurSection = GetOrCreateSection("");
        if (!m_pCurSection)
            return false;
    }
    line = TrimmedLine(line);
    // A line holding a NUL byte is kept as it is and never read as a header.
    if (!line.empty() && line[0] == '[' && line.find('\0') == std::string_view::npos) {
        m_pCurSection = GetOrCreateSection(std::string(line).c_str());
        return m_pCurSection != nullptr;
    }
    m_pCurSection->items().emplace_back(line);
    return true;
}

bool CIniFile::FormatText(std::string& out) const {
    try {
        size_t size = 0;
        for (int i = 0; i < GetSize(); ++i) {
            const CIniSection* section = GetSection(i);
            size += section->GetName(false).GetLength() + 4;
            for (const CString& line : section->items())
                size += line.str().size() + 2;
        }
        out.clear();
        out.reserve(size);
        for (int i = 0; i < GetSize(); ++i) {
            const CIniSection* section = GetSection(i);
            CString name = section->GetName(false);
            if (!name.IsEmpty()) {
                out += '[';
                out += name.str();
                out += "]\r\n";
            }
            for (const CString& line : section->items()) {
                out += line.str();
                out += "\r\n";
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool CIniFile::Load(const char* path) {
    // A reload reads the stored path, which this call overwrites: copy it first.
    std::string file = path ? std::string(path) : std::string(m_szPath);
    if (file.empty()) {
        m_szPath[0] = '\0';
        return false;
    }
    if (file[0] == ':') {
        CopyPath(m_szPath, file.c_str());
        return true;
    }
    char full[MAX_PATH];
    if (!ini_io::GetFullPath(file.c_str(), full)) {
        // A path that does not fit is never cut to another file's name: the
        // model is left without file, so that no later save goes astray.
        m_szPath[0] = '\0';
        if (m_bClearOnLoadFailure)
            Clear();
        return false;
    }
    CopyPath(m_szPath, full);
    m_ftLoaded = GetCurrentFileTime();

    CFile input;
    if (!ini_io::OpenForReading(input, file.c_str())) {
        if (m_bClearOnLoadFailure)
            Clear();
        return false;
    }
    Clear();

    bool ok = true;
    try {
        std::vector<char> buffer(kReadChunk);
        LineSplitter splitter;
        auto onLine = [this](std::string_view line) { return ProcessLine(line); };
        UINT count;
        while (ok && (count = input.Read(buffer.data(), kReadChunk)) > 0)
            ok = splitter.Feed(buffer.data(), count, onLine);
        if (ok)
            ok = splitter.Finish(onLine);
    } catch (CException&) {
        ok = false;
    }
    input.Abort();

    // The model now matches what was read, even after a read error: a save
    // without a change of its own must not write a part of the file back.
    m_bModified = false;
    m_dwLastCheck = GetTickCount();
    for (int i = 0; i < GetSize(); ++i)
        GetSection(i)->InvalidateIndex();
    m_pCurSection = nullptr;
    return ok;
}

bool CIniFile::Save(const char* path) {
    std::string file = path ? std::string(path) : std::string(m_szPath);
    if (file.empty())
        return false;
    if (file[0] == ':') {
        m_bModified = false;
        return true;
    }
    if (_stricmp(file.c_str(), m_szPath) == 0 && !m_bModified)
        return true;
    char full[MAX_PATH];
    if (!ini_io::GetFullPath(file.c_str(), full))
        return false;
    std::string text;
    if (!FormatText(text))
        return false;

    ini_io::WriteResult result = ini_io::SaveFileWhole(full, text);
    if (result == ini_io::WriteResult::NotOpened)
        return false;
    if (result == ini_io::WriteResult::Written)
        m_bModified = false;
    CopyPath(m_szPath, full);
    m_ftLoaded = ini_io::GetLastWriteTime(m_szPath);
    return result == ini_io::WriteResult::Written;
}

ULONGLONG CIniFile::GetCurrentFileTime() {
    if (m_szPath[0] == '\0' || m_szPath[0] == ':')
        return 0;
    DWORD now = GetTickCount();
    if (static_cast<DWORD>(now - m_dwLastCheck) < m_dwCheckInterval)
        return m_ftLoaded;
    m_dwLastCheck = now;
    return ini_io::GetLastWriteTime(m_szPath);
}

bool CIniFile::ReloadIfChanged() {
    if (!m_bAutoReload)
        return false;
    ULONGLONG onDisk = GetCurrentFileTime();
    if (onDisk > m_ftLoaded || onDisk == 0)
        return Load(nullptr);
    return false;
}

} // namespace corvane
