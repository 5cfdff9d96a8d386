#define CORVANE_REAL_WIN32
#include "platform/windows/ShadowFiles.h"

#include "platform/windows/CommitRecord.h"
#include "platform/windows/KillSwitch.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace {

// The full path, separators as "\"; empty when there is none.
std::string FullPath(const char* path) {
    if (!path || !*path)
        return std::string();
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return std::string(buffer, length);
}

// File names compare without regard to letter case.
std::string LookupKey(const std::string& fullPath) {
    std::string key = fullPath;
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Writes the copy's data to the disk; true when there is no copy.
bool FlushToDisk(const std::string& path) {
    if (!Exists(path))
        return true;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    return flushed;
}

// True for the name of a temporary file of the framework's whole-file writer:
// "<final name>.<16 hex digits>.tmp".
bool IsWriterTemporaryName(std::string_view name) {
    constexpr std::string_view kTail = ".tmp";
    constexpr size_t kDigits = 16;
    if (name.size() < 1 + 1 + kDigits + kTail.size() || !name.ends_with(kTail))
        return false;
    std::string_view digits = name.substr(name.size() - kTail.size() - kDigits, kDigits);
    return name[name.size() - kTail.size() - kDigits - 1] == '.' &&
           std::all_of(digits.begin(), digits.end(), [](char ch) {
               return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f');
           });
}

// Removes the files of `folder` named by `pattern` that `leftover` takes for a
// killed run's.
template <typename Leftover>
void RemoveMatching(const std::string& folder, const std::string& pattern, Leftover leftover) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string path = folder + "\\" + found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            leftover(path, found.cFileName))
            DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Removes what killed runs left in `folder`: copies that no entry of this run
// names, and temporary files of the whole-file writer. A writer that is still
// running holds its temporary file open without sharing, so it cannot be
// removed from under it.
void RemoveLeftovers(const std::string& folder, const std::set<std::string>& ours) {
    RemoveMatching(
        folder, std::string("*") + ShadowFiles::kSuffix,
        [&](const std::string& path, const char*) { return ours.count(LookupKey(path)) == 0; });
    RemoveMatching(folder, "*.tmp", [](const std::string&, const char* name) {
        return IsWriterTemporaryName(name);
    });
}

} // namespace

void ShadowFiles::Begin() {
    m_active = true;
    m_entries.clear();
    m_index.clear();
}

const ShadowFiles::Entry* ShadowFiles::Find(const char* path, std::string& key) const {
    key = LookupKey(FullPath(path));
    auto found = m_index.find(key);
    return found == m_index.end() ? nullptr : &m_entries[found->second];
}

std::string ShadowFiles::ForRead(const char* path) const {
    if (m_entries.empty() || !path)
        return path ? path : "";
    std::string key;
    const Entry* entry = Find(path, key);
    return entry ? entry->copy : std::string(path);
}

bool ShadowFiles::ForEdit(const char* path, std::string& name) {
    return Add(path, true, name);
}

bool ShadowFiles::ForReplace(const char* path, std::string& name) {
    return Add(path, false, name);
}

bool ShadowFiles::Add(const char* path, bool fromFile, std::string& name) {
    name = path ? path : "";
    if (!m_active || !path)
        return true;
    std::string key;
    if (const Entry* entry = Find(path, key)) {
        name = entry->copy;
        return true;
    }
    std::string file = FullPath(path);
    std::string copy = file + kSuffix;
    // No room for the copy's name: the file is written in place, as ever.
    if (file.empty() || copy.size() >= MAX_PATH)
        return true;
    kill_switch::Point();
    DWORD attributes = GetFileAttributesA(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        // Refused as a write into the file itself would be.
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (fromFile && attributes != INVALID_FILE_ATTRIBUTES) {
        // A leftover copy of a killed run is overwritten.
        if (!CopyFileA(file.c_str(), copy.c_str(), FALSE))
            return false;
    } else if (!DeleteFileA(copy.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
               Exists(copy)) {
        return false; // a leftover that cannot go would be taken for the run's file
    }
    m_index.emplace(key, m_entries.size());
    m_entries.push_back({file, copy});
    name = copy;
    return true;
}

bool ShadowFiles::Commit(const std::string& recordKey, const RunFollowUp& followUp) {
    std::vector<Entry> entries;
    entries.swap(m_entries);
    m_index.clear();
    m_active = false;

    // Every copy on the disk before the first one takes its file's place.
    bool flushed = true;
    for (const Entry& entry : entries) {
        kill_switch::Point();
        flushed = FlushToDisk(entry.copy) && flushed;
    }
    // Then the record of what follows, so that a run ended from here on is
    // finished by the next one rather than undone.
    CommitRecord record;
    for (const Entry& entry : entries)
        if (Exists(entry.copy)) // nothing written: a deletion in a missing file
            record.moves.push_back({entry.copy, entry.file});
    record.followUp = followUp;
    bool recorded = true;
    if (flushed && !recordKey.empty() && !(record.moves.empty() && followUp.empty())) {
        kill_switch::Point();
        recorded = WriteCommitRecord(recordKey, record);
    }
    bool placed = flushed && recorded;
    std::set<std::string> ours;
    std::set<std::string> folders;
    for (const Entry& entry : entries) {
        ours.insert(LookupKey(entry.copy));
        folders.insert(FolderOf(entry.copy));
    }
    for (const CommitRecord::Move& move : record.moves) {
        if (flushed && recorded) {
            kill_switch::Point();
            if (MoveFileExA(move.copy.c_str(), move.file.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                continue;
        }
        placed = false;
        DWORD error = GetLastError();
        DeleteFileA(move.copy.c_str());
        SetLastError(error);
    }
    for (const std::string& folder : folders)
        RemoveLeftovers(folder, ours);
    return placed;
}

ResumeResult ShadowFiles::Resume(const std::string& recordKey, RunFollowUp& followUp) {
    CommitRecord record;
    if (recordKey.empty())
        return ResumeResult::none;
    if (!ReadCommitRecord(recordKey, record)) {
        // Written in one step before the first move: one that cannot be read
        // was never in force.
        RemoveCommitRecord(recordKey);
        return ResumeResult::none;
    }
    // A copy that is gone was moved before the run ended.
    for (const CommitRecord::Move& move : record.moves) {
        if (!Exists(move.copy))
            continue;
        kill_switch::Point();
        if (!MoveFileExA(move.copy.c_str(), move.file.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ResumeResult::failed;
    }
    followUp = record.followUp;
    return ResumeResult::resumed;
}

std::vector<std::string> ShadowFiles::Files() const {
    std::vector<std::string> files;
    for (const Entry& entry : m_entries)
        files.push_back(entry.file);
    return files;
}

ShadowFiles& RunShadowFiles() {
    static ShadowFiles files;
    return files;
}
