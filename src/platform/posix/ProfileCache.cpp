#include "platform/posix/ProfileCache.h"

#include "platform/posix/FlushAtExit.h"
#include "platform/posix/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace posix::profile {

namespace {

uint64_t HashBytes(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

int64_t NowNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// True when another write of the same size could still get the same change
// time as `stamp`.
bool IsRecent(const DiskStamp& stamp, int64_t now) {
    if (!stamp.exists)
        return false;
    int64_t modified = stamp.modifiedSeconds * 1'000'000'000 + stamp.modifiedNanoseconds;
    return modified > now - ProfileCache::kRecentWindow &&
           modified < now + ProfileCache::kRecentWindow;
}

const char* ProgramName() {
#ifdef __GLIBC__
    return program_invocation_short_name;
#else
    return "corvane-migrate";
#endif
}

bool SaveAllAtExit() {
    ProfileCache& cache = ProfileCache::Instance();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    return cache.SaveAll(true) == ERROR_SUCCESS;
}

} // namespace

ProfileCache& ProfileCache::Instance() {
    // Never destroyed: the save at exit runs after static destructors may have.
    static ProfileCache* cache = new ProfileCache();
    return *cache;
}

ProfileCache::ProfileCache() {
    RegisterFlushHook(FlushStage::ProfileFiles, &SaveAllAtExit);
}

std::string ProfileCache::CanonicalPath(const char* fileName) {
    std::string native = NativePath(fileName);
    std::string absolute;
    if (native.empty() || native[0] != '/') {
        char* folder = getcwd(nullptr, 0);
        absolute = folder ? folder : ".";
        free(folder);
        absolute += '/';
    }
    absolute += native;
    bool trailingSlash = !native.empty() && native.back() == '/';

    // "." and ".." are resolved by the text, as Windows resolves full paths.
    std::vector<std::string_view> parts;
    std::string_view rest(absolute);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string path;
    for (std::string_view part : parts) {
        path += '/';
        path += part;
    }
    if (path.empty() || trailingSlash)
        path += '/';
    return path;
}

CachedProfile* ProfileCache::Open(const char* fileName, bool forWrite, DWORD& error) {
    error = ERROR_SUCCESS;
    // Calls come in runs on one file: an absolute name seen last time needs no
    // new path work (a relative one depends on the current folder).
    if (m_lastName != fileName || !IsPathSeparator(fileName[0])) {
        m_lastName = fileName;
        m_lastPath = CanonicalPath(fileName);
    }
    const std::string& path = m_lastPath;
    // A file with unsaved changes is this process's until they are saved: the
    // disk is not looked at again, so a run of changes costs no system call,
    // and a change made there meanwhile cannot throw them away (the save
    // reports it and replaces it).
    auto known = m_files.find(path);
    if (known != m_files.end() && known->second->dirty)
        return known->second.get();
    PathState state = InspectPath(path);
    switch (state.kind) {
    case PathKind::Folder:
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    case PathKind::FolderMissing:
        error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    case PathKind::Unusable:
        error = Win32ErrorFromErrno(state.error, path);
        return nullptr;
    case PathKind::File:
    case PathKind::Missing:
        break;
    }
    if (known == m_files.end()) {
        auto made = std::make_unique<CachedProfile>();
        made->path = path;
        m_order.push_back(made.get());
        known = m_files.emplace(path, std::move(made)).first;
    }
    CachedProfile& file = *known->second;
    if (!Refresh(file, state, error))
        return nullptr;
    // A missing file is checked when it is made (MakeOnDisk).
    if (forWrite && !file.writable && state.kind == PathKind::File) {
        int problem = CheckWritable(path, true);
        if (problem != 0) {
            error = Win32ErrorFromErrno(problem, path);
            return nullptr;
        }
        file.writable = true;
    }
    if (state.kind == PathKind::Missing && !file.dirty)
        error = ERROR_FILE_NOT_FOUND;
    return &file;
}

// Brings the document of a file without unsaved changes up to date with
// what `state` says is on disk.
bool ProfileCache::Refresh(CachedProfile& file, const PathState& state, DWORD& error) {
    if (state.kind == PathKind::Missing) {
        if (file.loaded && file.stamp.exists) { // removed behind our back
            file.document = ProfileDocument();
            file.encoding = ProfileEncoding::Ansi;
            file.writable = false;
        }
        file.loaded = true;
        file.stamp = DiskStamp();
        file.recent = false;
        return true;
    }
    if (!file.loaded || state.stamp != file.stamp)
        return Load(file, error);
    if (!file.recent)
        return true;
    // The stamp alone cannot tell a same-size rewrite within the same clock
    // tick: compare the bytes until that tick is surely over.
    int64_t now = NowNanoseconds();
    std::string bytes;
    DiskStamp stamp;
    int problem = 0;
    if (!ReadWholeFile(file.path, bytes, stamp, problem)) {
        error = Win32ErrorFromErrno(problem, file.path);
        return false;
    }
    if (stamp == file.stamp && HashBytes(bytes) == file.diskHash) {
        file.recent = IsRecent(file.stamp, now);
        return true;
    }
    DecodedProfile decoded = DecodeProfileBytes(bytes);
    file.document = ProfileDocument::Parse(decoded.text);
    file.encoding = decoded.encoding;
    file.stamp = stamp;
    file.diskHash = HashBytes(bytes);
    file.recent = IsRecent(stamp, now);
    file.dirty = false;
    file.writable = false;
    return true;
}

bool ProfileCache::Load(CachedProfile& file, DWORD& error) {
    int64_t now = NowNanoseconds();
    std::string bytes;
    DiskStamp stamp;
    int problem = 0;
    if (!ReadWholeFile(file.path, bytes, stamp, problem)) {
        error = Win32ErrorFromErrno(problem, file.path);
        return false;
    }
    DecodedProfile decoded = DecodeProfileBytes(bytes);
    file.document = ProfileDocument::Parse(decoded.text);
    file.encoding = decoded.encoding;
    file.stamp = stamp;
    file.diskHash = HashBytes(bytes);
    file.recent = IsRecent(stamp, now);
    file.loaded = true;
    file.dirty = false;
    file.writable = false;
    return true;
}

DWORD ProfileCache::MakeOnDisk(CachedProfile& file) {
    if (file.stamp.exists)
        return ERROR_SUCCESS;
    DiskStamp stamp;
    int problem = CreateEmptyFile(file.path, stamp);
    if (problem == EEXIST) { // made by someone else just now: read it
        DWORD error = ERROR_SUCCESS;
        return Load(file, error) ? ERROR_SUCCESS : error;
    }
    if (problem != 0)
        return Win32ErrorFromErrno(problem, file.path);
    file.stamp = stamp;
    file.diskHash = HashBytes(std::string_view());
    file.recent = false; // our own empty file: no rewrite of the same size
    return ERROR_SUCCESS;
}

DWORD ProfileCache::SaveFile(CachedProfile& file) {
    if (!file.dirty)
        return ERROR_SUCCESS;
    std::string bytes = EncodeProfileText(file.document.Text(), file.encoding);
    SaveResult result = SaveWholeIfUnchanged(file.path, bytes, file.stamp);
    if (!result.ok) {
        file.saveErrno = result.error;
        if (result.changedBehind)
            return ERROR_SHARING_VIOLATION;
        return Win32ErrorFromErrno(result.error, file.path);
    }
    file.stamp = result.stamp;
    file.diskHash = HashBytes(bytes);
    file.recent = false; // our own save: trusted
    file.dirty = false;
    return ERROR_SUCCESS;
}

const CachedProfile* ProfileCache::ChangedOnDisk() const {
    for (const CachedProfile* file : m_order) {
        if (!file->dirty)
            continue;
        // A file removed meanwhile is made again: no one's text is lost.
        PathState state = InspectPath(file->path);
        if (state.kind == PathKind::File && state.stamp != file->stamp)
            return file;
    }
    return nullptr;
}

DWORD ProfileCache::Save(const char* fileName) {
    DWORD error = ERROR_SUCCESS;
    CachedProfile* file = Open(fileName, true, error);
    if (!file)
        return error;
    if (!file->dirty)
        return file->stamp.exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return SaveFile(*file);
}

DWORD ProfileCache::SaveAll(bool report) {
    // One file changed by someone else since it was read stops the whole save:
    // replacing it would lose their change, and saving the others without it
    // (or the registry after them) would lose what it was to receive.
    if (const CachedProfile* changed = ChangedOnDisk()) {
        if (report && !m_reportedChange)
            std::fprintf(stderr,
                         "%s: error: %s was changed by another program during the run; nothing "
                         "was saved, every value is where it was before. Convert again.\n",
                         ProgramName(), changed->path.c_str());
        m_reportedChange = m_reportedChange || report;
        return ERROR_SHARING_VIOLATION;
    }
    DWORD first = ERROR_SUCCESS;
    for (CachedProfile* file : m_order) {
        if (!file->dirty)
            continue;
        DWORD error = SaveFile(*file);
        if (error == ERROR_SUCCESS)
            continue;
        if (report)
            std::fprintf(stderr, "%s: error: could not save %s: %s; its changes are lost\n",
                         ProgramName(), file->path.c_str(), std::strerror(file->saveErrno));
        if (first == ERROR_SUCCESS)
            first = error;
    }
    return first;
}

} // namespace posix::profile
