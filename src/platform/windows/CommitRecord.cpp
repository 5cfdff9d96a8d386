#define CORVANE_REAL_WIN32
#include "platform/windows/CommitRecord.h"

#include "platform/winapi.h"

#include <cstdlib>

namespace {

const char kValueName[] = "Commit";
const char kVersion[] = "1";

} // namespace

std::string EncodeCommitRecord(const CommitRecord& record) {
    std::string bytes;
    auto add = [&bytes](const std::string& item) {
        bytes += item;
        bytes += '\0';
    };
    add(kVersion);
    add(std::to_string(record.moves.size()));
    for (const CommitRecord::Move& move : record.moves) {
        add(move.copy);
        add(move.file);
    }
    for (const std::string& line : record.followUp)
        add(line);
    return bytes;
}

bool DecodeCommitRecord(const std::string& bytes, CommitRecord& record) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            return false; // cut
        items.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (items.size() < 2 || items[0] != kVersion || items[1].empty() ||
        items[1].find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long moves = std::strtoul(items[1].c_str(), nullptr, 10);
    if (moves > (items.size() - 2) / 2)
        return false;
    record = CommitRecord();
    size_t next = 2;
    for (unsigned long i = 0; i < moves; ++i, next += 2)
        record.moves.push_back({items[next], items[next + 1]});
    record.followUp.assign(items.begin() + static_cast<std::ptrdiff_t>(next), items.end());
    return true;
}

bool WriteCommitRecord(const std::string& key, const CommitRecord& record) {
    HKEY handle = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &handle) != ERROR_SUCCESS)
        return false;
    const std::string bytes = EncodeCommitRecord(record);
    bool written = RegSetValueExA(handle, kValueName, 0, REG_BINARY,
                                  reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS &&
                   RegFlushKey(handle) == ERROR_SUCCESS;
    RegCloseKey(handle);
    if (!written)
        RemoveCommitRecord(key);
    return written;
}

bool ReadCommitRecord(const std::string& key, CommitRecord& record) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::string bytes;
    LONG status = RegQueryValueExA(handle, kValueName, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type == REG_BINARY) {
        bytes.assign(size, '\0');
        status = RegQueryValueExA(handle, kValueName, nullptr, &type,
                                  reinterpret_cast<BYTE*>(bytes.data()), &size);
        bytes.resize(size);
    }
    RegCloseKey(handle);
    return status == ERROR_SUCCESS && type == REG_BINARY && DecodeCommitRecord(bytes, record);
}

void RemoveCommitRecord(const std::string& key) {
    // The key with its value in one step: a run ended here leaves the whole
    // record or none.
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}
