#include "regfile/RegHive.h"

#include "platform/AsciiText.h"

namespace regfile {

RegHive HiveOfKeyPath(std::string_view path, std::string_view* rest) {
    size_t separator = path.find('\\');
    std::string_view hive = path.substr(0, separator);
    if (rest)
        *rest =
            separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
    struct Name {
        std::string_view longName, shortName;
        RegHive hive;
    };
    static const Name names[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", RegHive::ClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", RegHive::CurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", RegHive::LocalMachine},
        {"HKEY_USERS", "HKU", RegHive::Users},
        {"HKEY_CURRENT_CONFIG", "HKCC", RegHive::CurrentConfig},
        {"HKEY_DYN_DATA", "HKEY_DYN_DATA", RegHive::DynData},
        {"HKEY_PERFORMANCE_DATA", "HKEY_PERFORMANCE_DATA", RegHive::PerformanceData},
    };
    for (const Name& name : names)
        if (ascii::EqualNoCase(hive, name.longName) || ascii::EqualNoCase(hive, name.shortName))
            return name.hive;
    return RegHive::Unknown;
}

} // namespace regfile
