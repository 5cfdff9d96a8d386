// Registry changes of the run that wait until its files are in place: the
// deletions of what the run moved and the write-back of "DataPath". They are
// kept as lines of text (FollowUpLine.h), so that the platform can record
// them before the first file moves and a later run can finish them.
#include "app/CorvaneApp.h"
#include "app/FollowUpLine.h"
#include "framework/RegistryRead.h"
#include "platform/RunFiles.h"
#include "plugins/PluginMenu.h"

namespace corvane {

namespace {

const char kDeleteKey[] = "delete-key";
const char kEmptyButDataPath[] = "empty-but-datapath";
const char kClearPluginStore[] = "clear-plugin-store";
const char kSetValue[] = "set-value";

bool SameName(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b)) == 0;
}

// Empties the group that holds "DataPath" but for that value, where deleting
// the key and writing "DataPath" anew would leave a moment without it: a run
// ended then would not find its data folder. A key with sub-keys stays whole,
// as the deletion of the key would leave it.
void EmptyAllButDataPath(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, keyPath.c_str(), &key) != ERROR_SUCCESS || !key)
        return;
    if (RegistrySubKeyNames(key).GetSize() == 0) {
        std::vector<std::string> names;
        RegistryValueReader reader(key, MAX_PATH, 16);
        RegistryValue value;
        for (DWORD index = 0; reader.Read(index, value) == RegistryValueReader::Result::value;
             ++index)
            names.push_back(value.name);
        for (const std::string& name : names)
            if (!SameName(name.c_str(), "DataPath"))
                RegDeleteValueA(key, name.c_str());
    }
    RegCloseKey(key);
}

} // namespace

void CCorvaneApp::DeleteGroupLater(HKEY, const CString& group) {
    const std::string keyPath = (m_strAppKeyPath + "\\" + group).str();
    const bool settings = SameName(group, m_strSettings);
    m_pendingRegistryChanges.push_back(
        FollowUpLine({settings ? kEmptyButDataPath : kDeleteKey, keyPath}));
}

void CCorvaneApp::ClearPluginStoreLater(const CString& store) {
    m_pendingRegistryChanges.push_back(FollowUpLine({kClearPluginStore, store.str()}));
}

std::string CCorvaneApp::RegistryValueLater(const CString& keyPath, const RegistryValue& value) {
    return FollowUpLine({kSetValue, keyPath.str(), value.name, std::to_string(value.type),
                         std::string(value.data.begin(), value.data.end())});
}

bool CCorvaneApp::CarryOutRegistryChange(const std::string& line) {
    std::vector<std::string> fields;
    if (!ParseFollowUpLine(line, fields) || fields.size() < 2)
        return false;
    const std::string& kind = fields[0];
    const std::string& keyPath = fields[1];
    if (kind == kDeleteKey && fields.size() == 2) {
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath.c_str());
    } else if (kind == kEmptyButDataPath && fields.size() == 2) {
        EmptyAllButDataPath(keyPath);
    } else if (kind == kClearPluginStore && fields.size() == 2) {
        CPluginMenu tree;
        tree.m_hRootKey = HKEY_CURRENT_USER;
        tree.m_strStore = keyPath;
        tree.ClearStore();
    } else if (kind == kSetValue && fields.size() == 5) {
        RegistryValue value;
        value.name = fields[2];
        value.type = static_cast<DWORD>(std::strtoul(fields[3].c_str(), nullptr, 10));
        value.data.assign(fields[4].begin(), fields[4].end());
        WriteRegistryValue(keyPath, value);
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> CCorvaneApp::TakePendingRegistryChanges() {
    std::vector<std::string> changes;
    changes.swap(m_pendingRegistryChanges);
    return changes;
}

void CCorvaneApp::DeletePendingRegistryKeys() {
    for (const std::string& line : TakePendingRegistryChanges())
        CarryOutRegistryChange(line);
}

std::string CCorvaneApp::RunRecordKey() const {
    return (m_strAppKeyPath + ".~commit").str();
}

bool CCorvaneApp::CommitFilesThen(const std::vector<std::string>& changes,
                                  const std::vector<std::string>& always) {
    std::vector<std::string> all = changes;
    all.insert(all.end(), always.begin(), always.end());
    const std::string record = RunRecordKey();
    const bool placed = CommitRunFiles(record, all);
    for (const std::string& line : placed ? all : always)
        CarryOutRegistryChange(line);
    EndRunFiles(record);
    return placed;
}

bool CCorvaneApp::FinishInterruptedRun() {
    const std::string record = RunRecordKey();
    std::vector<std::string> changes;
    switch (ResumeRunFiles(record, changes)) {
    case ResumeResult::none:
        return true;
    case ResumeResult::failed:
        m_runStop = RunStop::dataFolderFailed;
        m_strStopMessage = "the files of an interrupted run could not be put in place; nothing "
                           "was changed. Run again when no program holds them open";
        return false;
    case ResumeResult::resumed:
        break;
    }
    int done = 0;
    for (const std::string& line : changes)
        done += CarryOutRegistryChange(line) ? 1 : 0;
    EndRunFiles(record);
    printf("Finished the run that ended while its files were put in place: %d registry "
           "changes\n",
           done);
    return true;
}

} // namespace corvane
