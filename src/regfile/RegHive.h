// The hives a registry export file's key paths start with.
#pragma once

#include <string_view>

namespace regfile {

enum class RegHive {
    Unknown,
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
    CurrentConfig,
    DynData,
    PerformanceData
};

// The hive a key path starts with (long or short name, any letter case); rest,
// when given, receives the text after the hive name's backslash ("" for the hive).
RegHive HiveOfKeyPath(std::string_view path, std::string_view* rest = nullptr);

} // namespace regfile
