#include "platform/posix/RegistryStore.h"
#include "platform/AsciiText.h"

#include "platform/posix/ContentHash.h"
#include "platform/posix/DurableFile.h"
#include "regfile/RegExportWriter.h"
#include "regfile/RegFileReader.h"
#include "regfile/RegHive.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {
namespace {

const char kCurrentUser[] = "HKEY_CURRENT_USER";

// Calls visit for each non-empty backslash-separated name of path; stops and
// returns false when visit does.
template <typename Visit> bool ForEachName(std::string_view path, Visit visit) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start && !visit(path.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

// Reads a file and hands it to reader piece by piece; errno-style result (ENOENT
// for a missing file). The pieces pass through one small buffer: the file's bytes
// are never held whole, only the reader's text.
int ReadFileInto(const std::string& path, size_t sizeHint, regfile::RegFileReader& reader,
                 FileVersion& version) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ContentHash hash;
    // Pieces of 1 MiB; a small file needs no more than its size (and one byte
    // to see its end), as the buffer is cleared when made.
    std::vector<char> buffer(std::clamp<size_t>(sizeHint + 1, 4096, size_t{1} << 20));
    for (;;) {
        ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            close(fd);
            return error;
        }
        if (got == 0)
            break;
        std::string_view piece(buffer.data(), static_cast<size_t>(got));
        hash.Add(piece);
        reader.Add(piece);
    }
    struct stat info;
    int error = fstat(fd, &info) == 0 ? 0 : errno;
    close(fd);
    if (error == 0)
        version = FileVersion::Of(info, hash.Value());
    return error;
}

// The version of the file at `path` now, its bytes hashed only when the
// status alone matches `known` (an edit that kept size and times).
FileVersion CurrentVersion(const std::string& path, const FileVersion& known) {
    FileVersion now;
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return now;
    now = FileVersion::Of(info, 0);
    if (!now.SameStatus(known))
        return now;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FileVersion();
    ContentHash hash;
    std::vector<char> buffer(size_t{1} << 20);
    ssize_t got;
    while ((got = read(fd, buffer.data(), buffer.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return FileVersion();
        }
        hash.Add(std::string_view(buffer.data(), static_cast<size_t>(got)));
    }
    close(fd);
    now.hash = hash.Value();
    return now;
}

// The size of the file at path, 0 when unknown: a hint, read before the file.
size_t FileSize(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || info.st_size <= 0)
        return 0;
    return static_cast<size_t>(info.st_size);
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char folder[PATH_MAX];
    if (!getcwd(folder, sizeof folder))
        return path;
    return std::string(folder) + "/" + path;
}

} // namespace

// ---- RegistryKey -------------------------------------------------------------------

RegistryKey::RegistryKey(std::string name, RegistryKey* parent)
    : m_name(std::move(name)), m_foldedName(ascii::Folded(m_name)), m_parent(parent) {}

size_t RegistryKey::LowerBound(const std::string& foldedName) const {
    auto it =
        std::lower_bound(m_subKeys.begin(), m_subKeys.end(), foldedName,
                         [](const std::shared_ptr<RegistryKey>& key, const std::string& folded) {
                             return key->m_foldedName < folded;
                         });
    return static_cast<size_t>(it - m_subKeys.begin());
}

std::shared_ptr<RegistryKey> RegistryKey::FindSubKey(std::string_view name) const {
    std::string folded = ascii::Folded(name);
    size_t index = LowerBound(folded);
    if (index < m_subKeys.size() && m_subKeys[index]->m_foldedName == folded)
        return m_subKeys[index];
    return nullptr;
}

const StoredValue* RegistryKey::FindValue(std::string_view name) const {
    auto it = m_valueIndex.find(ascii::Folded(name));
    return it == m_valueIndex.end() ? nullptr : &m_values[it->second];
}

// ---- RegistryStore: model --------------------------------------------------------------

RegistryStore::RegistryStore(const std::string& path)
    : m_displayPath(path), m_filePath(AbsolutePath(path)),
      m_root(std::make_shared<RegistryKey>(kCurrentUser, nullptr)) {}

RegistryStore::~RegistryStore() {
    std::vector<std::shared_ptr<RegistryKey>> keys{m_root};
    for (size_t i = 0; i < keys.size(); i++) {
        for (auto& sub : keys[i]->m_subKeys) {
            sub->m_parent = nullptr;
            keys.push_back(std::move(sub));
        }
        keys[i]->m_subKeys.clear();
    }
}

std::shared_ptr<RegistryKey> RegistryStore::OpenPath(const std::shared_ptr<RegistryKey>& from,
                                                     std::string_view path) const {
    std::shared_ptr<RegistryKey> key = from;
    bool found = ForEachName(path, [&](std::string_view name) {
        key = key->FindSubKey(name);
        return key != nullptr;
    });
    return found ? key : nullptr;
}

std::shared_ptr<RegistryKey> RegistryStore::CreatePath(const std::shared_ptr<RegistryKey>& from,
                                                       std::string_view path, bool* created) {
    std::shared_ptr<RegistryKey> key = from;
    bool last = false;
    ForEachName(path, [&](std::string_view name) {
        std::string folded = ascii::Folded(name);
        size_t index = key->LowerBound(folded);
        if (index < key->m_subKeys.size() && key->m_subKeys[index]->m_foldedName == folded) {
            key = key->m_subKeys[index];
            last = false;
        } else {
            auto child = std::make_shared<RegistryKey>(std::string(name), key.get());
            key->m_subKeys.insert(key->m_subKeys.begin() + static_cast<std::ptrdiff_t>(index),
                                  child);
            key = std::move(child);
            last = true;
            m_modified = true;
        }
        return true;
    });
    if (created)
        *created = last;
    return key;
}

void RegistryStore::SetValue(RegistryKey& key, std::string_view name, uint32_t type,
                             std::string_view data) {
    std::string folded = ascii::Folded(name);
    auto it = key.m_valueIndex.find(folded);
    if (it != key.m_valueIndex.end()) {
        StoredValue& value = key.m_values[it->second];
        if (value.type == type && value.data == data && value.oddByte == regfile::kNoOddByte)
            return; // unchanged: nothing to save
        value.type = type;
        value.oddByte = regfile::kNoOddByte;
        value.data = std::string(data);
    } else {
        key.m_valueIndex.emplace(std::move(folded), key.m_values.size());
        key.m_values.push_back(
            StoredValue{std::string(name), type, regfile::kNoOddByte, std::string(data)});
    }
    m_modified = true;
}

bool RegistryStore::DeleteValue(RegistryKey& key, std::string_view name) {
    auto it = key.m_valueIndex.find(ascii::Folded(name));
    if (it == key.m_valueIndex.end())
        return false;
    size_t index = it->second;
    key.m_valueIndex.erase(it);
    key.m_values.erase(key.m_values.begin() + static_cast<std::ptrdiff_t>(index));
    for (auto& entry : key.m_valueIndex)
        if (entry.second > index)
            entry.second--;
    m_modified = true;
    return true;
}

bool RegistryStore::DeleteKey(RegistryKey& key) {
    RegistryKey* parent = key.m_parent;
    if (!parent || key.m_deleted || !key.m_subKeys.empty())
        return false;
    size_t index = parent->LowerBound(key.m_foldedName);
    if (index >= parent->m_subKeys.size() || parent->m_subKeys[index].get() != &key)
        return false;
    key.m_deleted = true;
    key.m_parent = nullptr;
    key.m_values.clear();
    key.m_valueIndex.clear();
    // Last, as it may release the key itself.
    parent->m_subKeys.erase(parent->m_subKeys.begin() + static_cast<std::ptrdiff_t>(index));
    m_modified = true;
    return true;
}

void RegistryStore::DeleteTree(const std::shared_ptr<RegistryKey>& top) {
    // Breadth first into a list, then emptied one by one: no recursion, however
    // deep the tree.
    std::vector<std::shared_ptr<RegistryKey>> keys{top};
    for (size_t i = 0; i < keys.size(); i++)
        for (const auto& sub : keys[i]->m_subKeys)
            keys.push_back(sub);
    for (size_t i = keys.size(); i-- > 1;) {
        keys[i]->m_subKeys.clear();
        DeleteKey(*keys[i]);
    }
    DeleteKey(*top);
}

// ---- RegistryStore: file -------------------------------------------------------------

RegistryLoadResult RegistryStore::Load() {
    RegistryLoadResult result;
    const size_t size = FileSize(m_filePath);
    regfile::RegFileReader reader(size);
    m_readVersion = FileVersion();
    int error = ReadFileInto(m_filePath, size, reader, m_readVersion);
    if (error == ENOENT) {
        m_modified = false;
        return result; // no file yet: an empty registry, saved as a new file
    }
    if (error != 0) {
        result.ok = false;
        result.line = 1;
        result.message = std::string("cannot read the registry file: ") + std::strerror(error);
        return result;
    }
    // Each key is applied as soon as it is read. After a key that cannot be
    // applied the rest is only read: an error in the file is the one reported.
    regfile::RegFileFormat format;
    regfile::RegParseResult parsed = reader.Finish(format, [&](regfile::RegFileKey& fileKey) {
        if (result.ok)
            ApplyFileKey(fileKey, result);
    });
    if (!parsed.ok()) {
        result.ok = false;
        result.line = parsed.line;
        result.message = parsed.message;
        return result;
    }
    m_format = format;
    if (result.ok)
        m_modified = false;
    return result;
}

bool RegistryStore::ApplyFileKey(regfile::RegFileKey& fileKey, RegistryLoadResult& result) {
    std::string_view rest;
    if (regfile::HiveOfKeyPath(fileKey.path, &rest) != regfile::RegHive::CurrentUser) {
        m_otherHives.push_back(std::move(fileKey));
        return true;
    }
    if (fileKey.deleted) {
        bool wholeHive = ForEachName(rest, [](std::string_view) { return false; });
        if (wholeHive) {
            result.ok = false;
            result.line = fileKey.line;
            result.message = "the whole HKEY_CURRENT_USER hive cannot be deleted";
            return false;
        }
        if (std::shared_ptr<RegistryKey> key = OpenPath(m_root, rest))
            DeleteTree(key);
        return true;
    }
    std::shared_ptr<RegistryKey> key = CreatePath(m_root, rest);
    if (key->m_values.empty()) { // room for all at once; a repeated key grows as needed
        key->m_values.reserve(fileKey.values.size());
        key->m_valueIndex.reserve(fileKey.values.size());
    }
    for (regfile::RegFileValue& value : fileKey.values) {
        if (value.deleted)
            DeleteValue(*key, value.name);
        else
            SetFileValue(*key, value);
    }
    return true;
}

void RegistryStore::SetFileValue(RegistryKey& key, regfile::RegFileValue& value) {
    // As SetValue, with the name and data moved out of the file's value.
    auto [it, added] = key.m_valueIndex.try_emplace(ascii::Folded(value.name), key.m_values.size());
    if (added) {
        key.m_values.push_back(
            StoredValue{std::move(value.name), value.type, value.oddByte, std::move(value.data)});
    } else {
        StoredValue& existing = key.m_values[it->second];
        if (existing.type == value.type && existing.data == value.data &&
            existing.oddByte == value.oddByte)
            return;
        existing.type = value.type;
        existing.oddByte = value.oddByte;
        existing.data = std::move(value.data);
    }
    m_modified = true;
}

std::string RegistryStore::Serialize() const {
    regfile::RegExportWriter writer(m_format);
    auto addValues = [&](const RegistryKey& key) {
        for (const StoredValue& value : key.m_values)
            writer.AddValue(value.name, value.type, value.data, value.oddByte);
    };
    if (!m_root->m_values.empty()) {
        writer.AddKey(kCurrentUser);
        addValues(*m_root);
    }
    // Depth first, each key before its sub-keys, as the registry editor exports.
    struct Frame {
        const RegistryKey* key;
        size_t next;
        size_t pathLength;
    };
    std::string path = kCurrentUser;
    std::vector<Frame> stack{{m_root.get(), 0, path.size()}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.key->m_subKeys.size()) {
            stack.pop_back();
            continue;
        }
        const RegistryKey& child = *top.key->m_subKeys[top.next++];
        path.resize(top.pathLength);
        path += '\\';
        path += child.m_name;
        writer.AddKey(path);
        addValues(child);
        stack.push_back(Frame{&child, 0, path.size()});
    }
    for (const regfile::RegFileKey& other : m_otherHives) {
        if (other.deleted) {
            writer.AddDeletedKey(other.path);
            continue;
        }
        writer.AddKey(other.path);
        for (const regfile::RegFileValue& value : other.values) {
            if (value.deleted)
                writer.AddDeletedValue(value.name);
            else
                writer.AddValue(value.name, value.type, value.data, value.oddByte);
        }
    }
    return writer.Finish();
}

int RegistryStore::SaveIfModified() {
    if (!m_modified)
        return 0;
    std::string bytes = Serialize();
    struct stat written;
    int error = durable::SaveWhole(m_filePath, bytes, true, written);
    if (error == 0) {
        m_modified = false;
        ContentHash hash;
        hash.Add(bytes);
        m_readVersion = FileVersion::Of(written, hash.Value());
    }
    return error;
}

bool RegistryStore::ChangedOnDisk() const {
    return !(CurrentVersion(m_filePath, m_readVersion) == m_readVersion);
}

} // namespace posix
