#include "RegistrySnapshot.h"

#include "platform/RegExportFormat.h"
#include "platform/TextConversion.h"
#include "platform/winapi.h"

#include <cstdio>
#include <fstream>
#include <sstream>

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

namespace {

// The path below the application key, or false when path is not at or below it.
bool RelativeToApp(const std::string& path, const std::string& appPrefix, std::string& rel) {
    std::string_view rest;
    if (regfile::HiveOfKeyPath(path, &rest) != regfile::RegHive::CurrentUser)
        return false;
    std::string upper = UpperAscii(std::string(rest));
    while (!upper.empty() && upper.back() == '\\')
        upper.pop_back();
    if (upper == appPrefix) {
        rel.clear();
        return true;
    }
    if (upper.compare(0, appPrefix.size() + 1, appPrefix + "\\") != 0)
        return false;
    rel = std::string(rest.substr(appPrefix.size() + 1));
    while (!rel.empty() && rel.back() == '\\')
        rel.pop_back();
    return true;
}

void DeleteSubtree(Snapshot& tree, const std::string& upperRel) {
    for (auto it = tree.begin(); it != tree.end();) {
        const std::string& k = it->first;
        bool below = upperRel.empty() || k == upperRel ||
                     (k.size() > upperRel.size() && k.compare(0, upperRel.size(), upperRel) == 0 &&
                      k[upperRel.size()] == '\\');
        it = below ? tree.erase(it) : std::next(it);
    }
}

std::string Show(const SnapshotValue& v) {
    std::ostringstream out;
    out << "type " << v.type << ", " << v.data.size() << " bytes:";
    for (size_t i = 0; i < v.data.size() && i < 24; ++i) {
        char hex[4];
        snprintf(hex, sizeof hex, " %02x", static_cast<unsigned char>(v.data[i]));
        out << hex;
    }
    if (v.data.size() > 24)
        out << " ...";
    if (v.oddByte >= 0)
        out << " and the odd byte " << v.oddByte;
    return out.str();
}

} // namespace

bool LoadSnapshot(const std::string& file, const std::string& app, Snapshot& out,
                  std::string& error, bool missingIsEmpty) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (missingIsEmpty)
            return true;
        error = file + ": cannot be opened";
        return false;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    regfile::RegFileContent content;
    regfile::RegParseResult parsed = regfile::ParseRegFile(bytes.str(), content);
    if (!parsed.ok()) {
        error = file + ":" + std::to_string(parsed.line) + ": " + parsed.message;
        return false;
    }
    const std::string appPrefix = UpperAscii("Software\\Brax\\" + app);
    for (const regfile::RegFileKey& key : content.keys) {
        std::string rel;
        if (!RelativeToApp(key.path, appPrefix, rel))
            continue;
        std::string upper = UpperAscii(rel);
        if (key.deleted) {
            DeleteSubtree(out, upper);
            continue;
        }
        // Every key between the application key and this one exists too.
        for (size_t cut = rel.find('\\'); cut != std::string::npos; cut = rel.find('\\', cut + 1))
            out.try_emplace(upper.substr(0, cut), SnapshotKey{rel.substr(0, cut), {}});
        out.try_emplace("", SnapshotKey{"", {}});
        SnapshotKey& target = out.try_emplace(upper, SnapshotKey{rel, {}}).first->second;
        for (const regfile::RegFileValue& value : key.values) {
            std::string name = UpperAscii(value.name);
            if (value.deleted)
                target.values.erase(name);
            else
                target.values[name] =
                    SnapshotValue{value.name, value.type, value.data, value.oddByte};
        }
    }
    return true;
}

bool AnsiCanHold(const std::string& lossless) {
    return text::IsAscii(lossless) || text::AnsiHolds(text::LosslessToWide(lossless));
}

namespace {

bool ValueAnsiCanHold(const SnapshotValue& value) {
    bool isText = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    return AnsiCanHold(value.name) && (!isText || AnsiCanHold(value.data));
}

} // namespace

std::string DescribeDifferences(const Snapshot& expected, const Snapshot& actual,
                                bool skipUnholdable) {
    std::string out;
    for (const auto& [upper, key] : expected) {
        bool keyHeld = !skipUnholdable || AnsiCanHold(key.path);
        auto found = actual.find(upper);
        if (found == actual.end()) {
            if (keyHeld)
                out += "  key [" + key.path + "] missing\n";
            continue;
        }
        for (const auto& [name, value] : key.values) {
            auto other = found->second.values.find(name);
            if (other == found->second.values.end()) {
                if (keyHeld && (!skipUnholdable || ValueAnsiCanHold(value)))
                    out += "  [" + key.path + "] \"" + value.name + "\" missing\n";
            } else if (!(other->second == value)) {
                out += "  [" + key.path + "] \"" + value.name + "\": " + Show(value) + ", got \"" +
                       other->second.name + "\" " + Show(other->second) + "\n";
            }
        }
        for (const auto& [name, value] : found->second.values)
            if (!key.values.count(name))
                out += "  [" + key.path + "] \"" + value.name + "\" not expected\n";
    }
    for (const auto& [upper, key] : actual)
        if (!expected.count(upper))
            out += "  key [" + key.path + "] not expected\n";
    return out;
}
