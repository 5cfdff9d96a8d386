// Host-capability sections: "HostCanDo <name>" in the main settings file
// becomes section <name> of "hostCanDos.ini".
#pragma once

#include "framework/CString.h"

namespace corvane {

// The length of the "HostCanDo " prefix (the word, then one blank).
constexpr int kHostCanDoPrefixLength = 10;

enum class HostCanDoSection {
    Other,        // not a host-capability section
    Capability,   // "HostCanDo <name>" in any letter case, <name> not blank
    NoCapability, // "HostCanDo" with nothing but blanks after it
};

// Classifies a section name; for Capability, sets `capability` to the text
// after the prefix. A section that names no capability is not moved: its keys
// would land in a section that no reader can address.
HostCanDoSection ClassifyHostCanDoSection(const char* section, CString& capability);

// The section of "hostCanDos.ini" a capability lands in, as the profile
// reader finds it: without blanks at its ends, in lower case.
CString HostCanDoTargetKey(const CString& capability);

} // namespace corvane
