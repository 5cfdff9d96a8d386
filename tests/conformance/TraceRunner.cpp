#include "TraceRunner.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace trace {

namespace {

// Out-buffers are filled with this byte and have this many guard bytes after
// their given size, so that stray writes show in the output.
constexpr char kFill = '\x7e';
constexpr size_t kGuard = 8;
constexpr DWORD kProbeSize = 64000;
constexpr DWORD kUnsetError = 0xC0FFEE;
constexpr DWORD kUnset = 0xDDDDDDDD;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The bytes of an out-buffer up to its last byte that is not the fill.
std::string Written(const std::vector<char>& buffer) {
    size_t end = buffer.size();
    while (end > 0 && buffer[end - 1] == kFill)
        --end;
    return std::string(buffer.data(), end);
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string Number(int64_t value) {
    return std::to_string(value);
}

// The number of arguments each operation takes.
const std::map<std::string, size_t>& Arity() {
    static const std::map<std::string, size_t> arity = {
        {"file", 2},
        {"GetPrivateProfileStringA", 5},
        {"WritePrivateProfileStringA", 4},
        {"GetPrivateProfileIntA", 4},
        {"WritePrivateProfileSectionA", 3},
        {"GetPrivateProfileSectionA", 3},
        {"RegCreateKeyExA", 3},
        {"RegOpenKeyExA", 3},
        {"RegCloseKey", 1},
        {"RegEnumKeyA", 3},
        {"RegEnumValueA", 4},
        {"RegSetValueExA", 5},
        {"RegQueryValueExA", 3},
        {"RegDeleteValueA", 2},
        {"RegDeleteKeyA", 2},
        {"RegQueryInfoKeyA", 1},
    };
    return arity;
}

bool IsWord(const Arg& arg, const char* word) {
    return arg.kind == Arg::Kind::Word && arg.text == word;
}

// A buffer size given as a number or as "exact"/"exact+1" of a probed length.
bool IsProbeWord(const Arg& arg) {
    return arg.kind == Arg::Kind::Word && (arg.text == "exact" || arg.text == "exact+1");
}

DWORD ResolveSize(const Arg& arg, DWORD probed) {
    if (arg.kind == Arg::Kind::Number)
        return static_cast<DWORD>(arg.number);
    return arg.text == "exact+1" ? probed + 1 : probed;
}

// The data buffer of a value read, from its size argument: "q" asks for the size
// only, "nocb" passes a buffer without its size, a number (or probe word) passes
// both, null neither.
struct DataBuffer {
    std::vector<char> bytes;
    DWORD cb = kUnset;
    BYTE* pointer = nullptr;
    DWORD* cbPointer = nullptr;

    DataBuffer(const Arg& size, DWORD probed) {
        if (IsWord(size, "q")) {
            cbPointer = &cb;
        } else if (IsWord(size, "nocb")) {
            bytes.assign(16, kFill);
            pointer = reinterpret_cast<BYTE*>(bytes.data());
        } else if (!size.IsNull()) {
            cb = ResolveSize(size, probed);
            bytes.assign(cb + kGuard, kFill);
            pointer = reinterpret_cast<BYTE*>(bytes.data());
            cbPointer = &cb;
        }
    }
    DataBuffer(const DataBuffer&) = delete;
    DataBuffer& operator=(const DataBuffer&) = delete;

    // " data=... cb=..." for what was passed.
    std::string Describe() const {
        std::string out;
        if (pointer)
            out += " data=" + Show(Written(bytes));
        if (cbPointer)
            out += " cb=" + Hex(cb);
        return out;
    }
};

} // namespace

Runner::Runner(std::string folder, std::string rootKey)
    : m_folder(std::move(folder)), m_rootKey(std::move(rootKey)) {}

std::string Runner::FullPath(const std::string& name) const {
    std::string path = m_folder + kSeparator + name;
    for (char& ch : path)
        if (ch == '\\' || ch == '/')
            ch = kSeparator;
    return path;
}

std::string Runner::ReadFile(const std::string& name, bool& exists) const {
    std::string bytes;
    FILE* file = std::fopen(FullPath(name).c_str(), "rb");
    exists = file != nullptr;
    if (!file)
        return bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// Removes a file and lets the profile functions see that it is gone, so that a
// new file of the same size written right after is never taken for the old one.
void Runner::RemoveFile(const std::string& name) {
    std::string path = FullPath(name);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    std::remove(path.c_str());
    char unused[4];
    GetPrivateProfileStringA("s", "k", "", unused, sizeof unused, path.c_str());
}

HKEY& Runner::Slot(const Arg& arg) {
    if (arg.kind != Arg::Kind::Number || arg.number < 0 || arg.number >= kSlots) {
        m_invalid = nullptr;
        return m_invalid;
    }
    return m_slots[arg.number];
}

void Runner::DeleteTree(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    char name[1024];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    for (const std::string& each : names)
        DeleteTree(key, each);
    RegCloseKey(key);
    RegDeleteKeyA(parent, path.c_str());
}

void Runner::Reset() {
    for (HKEY& slot : m_slots) {
        if (slot)
            RegCloseKey(slot);
        slot = nullptr;
    }
    for (const char* name : {"a.ini", "b.ini", "big.ini"})
        RemoveFile(name);
    // A folder where a file could be.
    CreateDirectoryA(FullPath("dir.ini").c_str(), nullptr);
    DeleteTree(HKEY_CURRENT_USER, m_rootKey);
    RegCreateKeyExA(HKEY_CURRENT_USER, m_rootKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &m_slots[0], nullptr);
}

void Runner::Finish() {
    Reset();
    RegCloseKey(m_slots[0]);
    m_slots[0] = nullptr;
    DeleteTree(HKEY_CURRENT_USER, m_rootKey);
    for (const char* name : {"a.ini", "b.ini", "big.ini"})
        RemoveFile(name);
    std::error_code ignored;
    std::filesystem::remove(FullPath("dir.ini"), ignored);
}

bool Runner::Run(const Call& call, std::string& line) {
    auto arity = Arity().find(call.op);
    if (arity == Arity().end()) {
        line = "unknown operation: " + call.op;
        return false;
    }
    if (call.args.size() != arity->second) {
        line = call.op + " takes " + std::to_string(arity->second) + " arguments";
        return false;
    }
    std::string result;
    const std::string& op = call.op;
    if (op == "file")
        result = ReplaceFile(call);
    else if (op == "GetPrivateProfileStringA")
        result = GetProfileString(call);
    else if (op == "WritePrivateProfileStringA")
        result = WriteProfileString(call);
    else if (op == "GetPrivateProfileIntA")
        result = GetProfileInt(call);
    else if (op == "WritePrivateProfileSectionA")
        result = WriteProfileSection(call);
    else if (op == "GetPrivateProfileSectionA")
        result = GetProfileSection(call);
    else if (op == "RegCreateKeyExA")
        result = CreateOrOpenKey(call, true);
    else if (op == "RegOpenKeyExA")
        result = CreateOrOpenKey(call, false);
    else if (op == "RegCloseKey")
        result = CloseKey(call);
    else if (op == "RegEnumKeyA")
        result = EnumKey(call);
    else if (op == "RegEnumValueA")
        result = EnumValue(call);
    else if (op == "RegSetValueExA")
        result = SetValue(call);
    else if (op == "RegQueryValueExA")
        result = QueryValue(call);
    else if (op == "RegDeleteValueA")
        result = DeleteValue(call);
    else if (op == "RegDeleteKeyA")
        result = DeleteKey(call);
    else
        result = QueryInfoKey(call);
    line = FormatCall(call) + " -> " + result;
    return true;
}

// ---- private-profile calls ----------------------------------------------------

std::string Runner::ReplaceFile(const Call& call) {
    const std::string& name = call.args[0].text;
    RemoveFile(name);
    FILE* file = std::fopen(FullPath(name).c_str(), "wb");
    if (!file)
        return "cannot write";
    std::fwrite(call.args[1].text.data(), 1, call.args[1].text.size(), file);
    std::fclose(file);
    return "ok";
}

std::string Runner::GetProfileString(const Call& call) {
    const Arg& section = call.args[0];
    const Arg& key = call.args[1];
    const Arg& fallback = call.args[2];
    std::string path = FullPath(call.args[4].text);
    std::string out;

    // The whole result first: for "exact" sizes and for the listed difference of
    // quoted strings that just fit.
    std::vector<char> probe(kProbeSize);
    DWORD probed = GetPrivateProfileStringA(section.CStr(), key.CStr(), fallback.CStr(),
                                            probe.data(), kProbeSize, path.c_str());
    std::string whole(probe.data(), probed);
    if (IsWord(call.args[3], "nullbuf")) { // no buffer, a size of 10
        SetLastError(kUnsetError);
        return Number(GetPrivateProfileStringA(section.CStr(), key.CStr(), fallback.CStr(), nullptr,
                                               10, path.c_str()));
    }
    DWORD size = ResolveSize(call.args[3], probed);
    if (IsProbeWord(call.args[3]))
        out += "size=" + Number(size) + " ";
    // known-differences.md, KD1: a quoted value or default that just fits. The
    // string that may come back: the value (a single string, no list), or the
    // default without its quotes (a key list falls back to it in small buffers).
    std::vector<std::string> candidates;
    if (whole.find('\0') == std::string::npos)
        candidates.push_back(whole);
    std::string text = fallback.IsNull() ? std::string() : fallback.text;
    for (size_t end = text.size(); end >= 2; --end) {
        char first = text[0];
        if ((first == '"' || first == '\'') && text[end - 1] == first)
            candidates.push_back(text.substr(1, end - 2));
        if (text[end - 1] != ' ')
            break;
    }
    bool exists = false;
    std::string file = ReadFile(call.args[4].text, exists);
    if (file.compare(0, 2, "\xFF\xFE") == 0) { // UTF-16: its ASCII as bytes
        std::string narrow;
        for (size_t i = 2; i + 1 < file.size(); i += 2)
            narrow += file[i];
        file = narrow;
    }
    for (const std::string& candidate : candidates) {
        if (size != candidate.size() + 1)
            continue;
        for (char quote : {'"', '\''}) {
            std::string quoted = quote + candidate + quote;
            if (file.find(quoted) != std::string::npos || text.find(quoted) != std::string::npos)
                return out + "skipped (KD1 quoted value that just fits)";
        }
    }
    std::vector<char> buffer(size + kGuard, kFill);
    SetLastError(kUnsetError);
    DWORD result = GetPrivateProfileStringA(section.CStr(), key.CStr(), fallback.CStr(),
                                            buffer.data(), size, path.c_str());
    DWORD error = GetLastError();
    out += Number(result);
    // known-differences.md, KD2: the byte after a cut list's NUL.
    bool listForm = section.IsNull() || key.IsNull();
    if (listForm && size >= 2 && result == size - 2) {
        buffer[result + 1] = kFill;
        out += " (KD2 byte after a cut list not shown)";
    }
    out += " buf=" + Show(Written(buffer));
    // known-differences.md, KD7: after a read only the errors about the file
    // itself are compared; any other code shows as "other".
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_ACCESS_DENIED)
        out += " err=" + Number(error);
    else
        out += " err=other(KD7)";
    return out;
}

std::string Runner::WriteProfileString(const Call& call) {
    const std::string& name = call.args[3].text;
    std::string path = FullPath(name);
    SetLastError(kUnsetError);
    BOOL result = WritePrivateProfileStringA(call.args[0].CStr(), call.args[1].CStr(),
                                             call.args[2].CStr(), path.c_str());
    DWORD error = GetLastError();
    std::string out = result ? "TRUE" : "FALSE err=" + Number(error == kUnsetError ? -1 : error);
    // Our layer keeps changes in memory until asked to save them; Windows writes
    // at each call. Both save here.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return out + " file=folder";
    bool exists = false;
    std::string bytes = ReadFile(name, exists);
    out += " file=" + (exists ? Show(bytes) : std::string("missing"));
    return out;
}

// The section's lines are the string argument's NUL-separated parts; the
// block handed over ends with an empty string.
std::string Runner::WriteProfileSection(const Call& call) {
    std::string path = FullPath(call.args[2].text);
    std::string block = call.args[1].text + '\0';
    SetLastError(kUnsetError);
    BOOL result = WritePrivateProfileSectionA(
        call.args[0].CStr(), call.args[1].IsNull() ? nullptr : block.c_str(), path.c_str());
    DWORD error = GetLastError();
    std::string out = result ? "TRUE" : "FALSE err=" + Number(error == kUnsetError ? -1 : error);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return out + " file=folder";
    bool exists = false;
    std::string bytes = ReadFile(call.args[2].text, exists);
    return out + " file=" + (exists ? Show(bytes) : std::string("missing"));
}

std::string Runner::GetProfileSection(const Call& call) {
    std::string path = FullPath(call.args[2].text);
    std::vector<char> probe(kProbeSize);
    DWORD probed =
        GetPrivateProfileSectionA(call.args[0].CStr(), probe.data(), kProbeSize, path.c_str());
    std::string out;
    DWORD size = ResolveSize(call.args[1], probed);
    if (IsProbeWord(call.args[1]))
        out += "size=" + Number(size) + " ";
    std::vector<char> buffer(size + kGuard, kFill);
    DWORD result =
        GetPrivateProfileSectionA(call.args[0].CStr(), buffer.data(), size, path.c_str());
    return out + Number(result) + " buf=" + Show(Written(buffer));
}

std::string Runner::GetProfileInt(const Call& call) {
    std::string path = FullPath(call.args[3].text);
    UINT result = GetPrivateProfileIntA(call.args[0].CStr(), call.args[1].CStr(),
                                        static_cast<INT>(call.args[2].number), path.c_str());
    return Number(result);
}

// ---- registry calls ---------------------------------------------------------------

std::string Runner::CreateOrOpenKey(const Call& call, bool create) {
    HKEY parent = Slot(call.args[0]);
    HKEY& target = Slot(call.args[2]);
    HKEY key = nullptr;
    DWORD disposition = kUnset;
    LONG result;
    if (create)
        result = RegCreateKeyExA(parent, call.args[1].CStr(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, &disposition);
    else
        result = RegOpenKeyExA(parent, call.args[1].CStr(), 0, KEY_ALL_ACCESS, &key);
    if (target && target != m_slots[0])
        RegCloseKey(target);
    target = result == ERROR_SUCCESS ? key : nullptr;
    std::string out = Number(result);
    // known-differences.md, KD6: the disposition of an empty sub-key path.
    bool emptyPath =
        call.args[1].IsNull() || call.args[1].text.find_first_not_of('\\') == std::string::npos;
    if (create && emptyPath)
        out += " (KD6 disposition not shown)";
    else if (create)
        out += " disposition=" + Hex(disposition);
    out += key ? " key=set" : " key=null";
    return out;
}

std::string Runner::CloseKey(const Call& call) {
    HKEY& slot = Slot(call.args[0]);
    LONG result = RegCloseKey(slot);
    slot = nullptr;
    return Number(result);
}

std::string Runner::EnumKey(const Call& call) {
    if (IsWord(call.args[2], "nullbuf"))
        return Number(
            RegEnumKeyA(Slot(call.args[0]), static_cast<DWORD>(call.args[1].number), nullptr, 10));
    DWORD size = static_cast<DWORD>(call.args[2].number);
    std::vector<char> buffer(size + kGuard, kFill);
    LONG result = RegEnumKeyA(Slot(call.args[0]), static_cast<DWORD>(call.args[1].number),
                              buffer.data(), size);
    return Number(result) + " buf=" + Show(Written(buffer));
}

std::string Runner::EnumValue(const Call& call) {
    HKEY key = Slot(call.args[0]);
    DWORD index = static_cast<DWORD>(call.args[1].number);
    const Arg& nameSize = call.args[2];
    const Arg& dataSize = call.args[3];
    std::string out;
    DWORD probedName = 0, probedData = 0;
    if (IsProbeWord(nameSize) || IsProbeWord(dataSize)) {
        std::vector<char> name(20000);
        DWORD length = static_cast<DWORD>(name.size());
        DWORD cb = 0;
        LONG probe =
            RegEnumValueA(key, index, name.data(), &length, nullptr, nullptr, nullptr, &cb);
        probedName = length;
        probedData = cb;
        out += "probe=" + Number(probe) + " ";
    }
    DWORD nameCapacity = ResolveSize(nameSize, probedName);
    std::vector<char> name(nameCapacity + kGuard, kFill);
    DWORD nameLength = nameCapacity;
    DWORD type = kUnset;
    DataBuffer data(dataSize, probedData);
    LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.pointer,
                                data.cbPointer);
    out += Number(result) + " name=" + Show(Written(name)) + " length=" + Number(nameLength) +
           " type=" + Hex(type);
    return out + data.Describe();
}

std::string Runner::SetValue(const Call& call) {
    const Arg& data = call.args[3];
    DWORD cb = static_cast<DWORD>(call.args[4].number);
    std::vector<char> buffer;
    const BYTE* pointer = nullptr;
    if (!data.IsNull()) {
        // The bytes given, then fill: Windows reads the byte after a string's
        // count to see whether a NUL follows.
        buffer.assign(data.text.begin(), data.text.end());
        buffer.resize(std::max<size_t>(buffer.size(), cb) + kGuard, kFill);
        pointer = reinterpret_cast<const BYTE*>(buffer.data());
    }
    LONG result = RegSetValueExA(Slot(call.args[0]), call.args[1].CStr(), 0,
                                 static_cast<DWORD>(call.args[2].number), pointer, cb);
    return Number(result);
}

std::string Runner::QueryValue(const Call& call) {
    HKEY key = Slot(call.args[0]);
    const char* name = call.args[1].CStr();
    const Arg& dataSize = call.args[2];
    std::string out;
    DWORD probed = 0;
    if (IsProbeWord(dataSize)) {
        LONG probe = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &probed);
        out += "probe=" + Number(probe) + " ";
    }
    DWORD type = kUnset;
    DataBuffer data(dataSize, probed);
    LONG result = RegQueryValueExA(key, name, nullptr, &type, data.pointer, data.cbPointer);
    out += Number(result) + " type=" + Hex(type);
    return out + data.Describe();
}

std::string Runner::DeleteValue(const Call& call) {
    return Number(RegDeleteValueA(Slot(call.args[0]), call.args[1].CStr()));
}

std::string Runner::DeleteKey(const Call& call) {
    return Number(RegDeleteKeyA(Slot(call.args[0]), call.args[1].CStr()));
}

std::string Runner::QueryInfoKey(const Call& call) {
    DWORD subKeys = kUnset, maxSubKey = kUnset, values = kUnset, maxName = kUnset, maxData = kUnset;
    LONG result =
        RegQueryInfoKeyA(Slot(call.args[0]), nullptr, nullptr, nullptr, &subKeys, &maxSubKey,
                         nullptr, &values, &maxName, &maxData, nullptr, nullptr);
    return Number(result) + " subkeys=" + Hex(subKeys) + " maxsubkey=" + Hex(maxSubKey) +
           " values=" + Hex(values) + " maxname=" + Hex(maxName) + " maxdata=" + Hex(maxData);
}

} // namespace trace
