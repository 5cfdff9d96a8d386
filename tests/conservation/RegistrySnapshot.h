// The application key of a registry export file as a tree of keys and values,
// for comparing one registry state with another.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct SnapshotValue {
    std::string name; // as spelled; empty for a key's default value
    uint32_t type = 0;
    std::string data;     // as the A-functions return it
    int16_t oddByte = -1; // string types: a byte the registry holds after the text
    bool operator==(const SnapshotValue& other) const {
        return name == other.name && type == other.type && data == other.data &&
               oddByte == other.oddByte;
    }
};

struct SnapshotKey {
    std::string path; // below the application key, as spelled; "" for the key itself
    std::map<std::string, SnapshotValue> values; // by upper-case name
};

// Keys by upper-case path below the application key.
using Snapshot = std::map<std::string, SnapshotKey>;

std::string UpperAscii(std::string text);

// Reads file and applies its keys below HKEY_CURRENT_USER\Software\Brax\<app>
// (deletions included) to out. False with a message when the file cannot be
// read or parsed; a missing file is an empty registry when missingIsEmpty.
bool LoadSnapshot(const std::string& file, const std::string& app, Snapshot& out,
                  std::string& error, bool missingIsEmpty = false);

// True when the ANSI code page holds the text (lossless UTF-8, as snapshots
// keep it): what it cannot hold is read mangled, and the run leaves it alone.
bool AnsiCanHold(const std::string& lossless);

// Lines naming every difference between two snapshots (names ignore case;
// spelling, types and data bytes must agree); empty when they are equal. With
// skipUnholdable, keys and values the code page cannot hold may be missing from
// `actual`: a backup, read through the code page, leaves them out.
std::string DescribeDifferences(const Snapshot& expected, const Snapshot& actual,
                                bool skipUnholdable = false);
