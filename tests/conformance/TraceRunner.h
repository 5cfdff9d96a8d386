// Runs script calls against the platform layer (ours natively, the real Win32 API
// in the Windows build) and prints one line per call: the call as written in the
// script, then what it returned, the bytes of its out-buffers and, after a write,
// the exact bytes of the file it wrote.
#pragma once

#include "TraceFormat.h"
#include "platform/winapi.h"

#include <string>

namespace trace {

// Where the registry calls work: below HKEY_CURRENT_USER, this key followed by
// the driver's --key text (so that drivers can run side by side).
constexpr const char* kRegistryRoot = "Software\\CorvaneConformance";
// Handle slots of a script; slot 0 is the root key, opened by Reset().
constexpr int kSlots = 8;

class Runner {
  public:
    // `folder`: the scratch folder the profile files live in, as the platform
    // layer names it; file names in scripts are relative to it.
    Runner(std::string folder, std::string rootKey);

    // A clean start: no profile files, an empty registry root in slot 0.
    void Reset();
    // Runs one call; the printed line (without its line end). False for a call
    // the driver does not know, with the reason as the line.
    bool Run(const Call& call, std::string& line);
    // Removes what Reset made.
    void Finish();

  private:
    std::string FullPath(const std::string& name) const;
    std::string ReadFile(const std::string& name, bool& exists) const;
    void RemoveFile(const std::string& name);

    std::string GetProfileString(const Call& call);
    std::string WriteProfileString(const Call& call);
    std::string GetProfileInt(const Call& call);
    std::string WriteProfileSection(const Call& call);
    std::string GetProfileSection(const Call& call);
    std::string ReplaceFile(const Call& call);

    std::string CreateOrOpenKey(const Call& call, bool create);
    std::string CloseKey(const Call& call);
    std::string EnumKey(const Call& call);
    std::string EnumValue(const Call& call);
    std::string SetValue(const Call& call);
    std::string QueryValue(const Call& call);
    std::string DeleteValue(const Call& call);
    std::string DeleteKey(const Call& call);
    std::string QueryInfoKey(const Call& call);

    HKEY& Slot(const Arg& arg);
    void DeleteTree(HKEY parent, const std::string& path);

    std::string m_folder;
    std::string m_rootKey;
    HKEY m_slots[kSlots] = {};
    HKEY m_invalid = nullptr; // for a slot number out of range
};

} // namespace trace
