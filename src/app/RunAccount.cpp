#include "app/RunAccount.h"

#include <algorithm>

namespace corvane {

void RunAccount::NoteFile(const CString& path) {
    if (path.IsEmpty())
        return;
    for (const CString& file : m_files)
        if (file.CompareNoCase(path) == 0)
            return;
    m_files.push_back(path);
}

void RunAccount::NoteKey(bool removed, int copied, const std::map<DWORD, int>& byType) {
    if (!removed) {
        for (const auto& [type, count] : byType)
            m_kept += count;
        return;
    }
    m_moved += copied;
    // The other types left the registry with their key: only the backup has them.
    for (const auto& [type, count] : byType)
        if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_DWORD)
            m_backupOnly[type] += count;
}

int RunAccount::BackupOnly() const {
    int total = 0;
    for (const auto& [type, count] : m_backupOnly)
        total += count;
    return total;
}

const char* ValueTypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "none";
    case REG_SZ:
        return "text";
    case REG_EXPAND_SZ:
        return "expandable text";
    case REG_BINARY:
        return "binary";
    case REG_DWORD:
        return "number";
    case REG_MULTI_SZ:
        return "multi-string";
    case REG_QWORD:
        return "64-bit";
    default:
        return "other";
    }
}

std::string RunAccount::Format() const {
    // In name order: a preview notes them in another order than the run.
    std::vector<CString> files = m_files;
    std::sort(files.begin(), files.end(),
              [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; });
    std::string text = "Files written:";
    if (files.empty())
        text += " none";
    for (size_t i = 0; i < files.size(); ++i) {
        text += i == 0 ? " " : ", ";
        text += files[i].str();
    }
    text += "\nRegistry backup: ";
    text += m_backupFile.IsEmpty() ? std::string("none") : m_backupFile.str();
    text += "\nValues: " + std::to_string(m_moved) + " moved, " + std::to_string(m_kept) +
            " kept in the registry, " + std::to_string(BackupOnly()) + " only in the backup";
    if (!m_backupOnly.empty()) {
        // Types of one name ("other") are summed under it.
        std::vector<std::pair<std::string, int>> byName;
        for (const auto& [type, count] : m_backupOnly) {
            std::string name = ValueTypeName(type);
            auto found = std::find_if(byName.begin(), byName.end(),
                                      [&](const auto& entry) { return entry.first == name; });
            if (found == byName.end())
                byName.emplace_back(name, count);
            else
                found->second += count;
        }
        text += " (";
        for (size_t i = 0; i < byName.size(); ++i) {
            text += i == 0 ? "" : ", ";
            text += std::to_string(byName[i].second) + " " + byName[i].first;
        }
        text += ")";
    }
    text += "\n";
    return text;
}

} // namespace corvane
