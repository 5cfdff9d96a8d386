#include "ConservationCheck.h"

#include "ini/IniFile.h"
#include "plugins/PluginItem.h"
#include "plugins/RecordEscape.h"
#include "plugins/RecordParse.h"
#include "platform/TextConversion.h"
#include "platform/winapi.h"
#include "support/StoredValueText.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

using namespace corvane;

void Account::Add(const Account& other) {
    inRegistry += other.inRegistry;
    inFiles += other.inFiles;
    transformed += other.transformed;
    byType += other.byType;
    menuLevels += other.menuLevels;
    losses.insert(losses.end(), other.losses.begin(), other.losses.end());
    placed.insert(placed.end(), other.placed.begin(), other.placed.end());
}

namespace {

enum class Verdict { registry, files, transformed, byType, menuLevel, lost };

// A default no stored text can equal: tells an absent key from an empty one.
const char kAbsent[] = "\x01\x02(absent)";

// The text the profile functions give for a section and key, all three in the
// form snapshots keep (lossless UTF-8); files and the functions speak the ANSI
// code page.
// With raw the value's bytes come back as stored (byte blocks are not text).
std::optional<std::string> ReadProfile(const std::string& file, const std::string& section,
                                       const std::string& key, bool raw = false) {
    static std::vector<char> buffer(1 << 18);
    DWORD length = GetPrivateProfileStringA(
        text::LosslessToAnsi(section).c_str(), text::LosslessToAnsi(key).c_str(), kAbsent,
        buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    std::string read(buffer.data(), length);
    if (read == kAbsent)
        return std::nullopt;
    return raw ? read : text::AnsiToLossless(read);
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return UpperAscii(a) == UpperAscii(b);
}

bool StartsIgnoringCase(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && EqualsIgnoringCase(text.substr(0, head.size()), head);
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The text the host read from the registry: a number in decimal, a string up
// to its NUL. None when the value holds more than that text shows.
std::optional<std::string> HostText(const SnapshotValue& value) {
    if (value.type == REG_DWORD) {
        if (value.data.size() != 4)
            return std::nullopt;
        int32_t number = 0;
        memcpy(&number, value.data.data(), 4);
        return std::to_string(number);
    }
    size_t end = value.data.find('\0');
    if (end == std::string::npos)
        return value.data;
    if (value.data.find_first_not_of('\0', end) != std::string::npos)
        return std::nullopt;
    return value.data.substr(0, end);
}

// A text as the profile reader gives it back from a key line: blanks at its
// ends dropped, then a pair of enclosing quotes, line feeds already bars.
std::string ProfileReaderForm(std::string text) {
    for (char& c : text)
        if (c == '\n')
            c = '|';
    size_t first = text.find_first_not_of(" \t");
    text = first == std::string::npos
               ? ""
               : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

// The profile functions' reading of a number: leading blanks, a sign, digits.
long ProfileInt(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

bool SameFloat(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Is the program-number part of "Program %d" with n in 0..127?
bool IsProgramSection(const std::string& name) {
    if (!StartsIgnoringCase(name, "Program "))
        return false;
    std::string number = name.substr(8);
    if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0'))
        return false;
    for (char c : number)
        if (c < '0' || c > '9')
            return false;
    return std::atoi(number.c_str()) <= 127;
}

// The old joystick record (624 bytes) in the layout newer hosts read (288).
std::string RepackJoysticks(const std::string& old) {
    auto word = [&](size_t at) {
        int32_t v = 0;
        memcpy(&v, old.data() + at, 4);
        return v;
    };
    std::string out;
    auto put16 = [&](int32_t v) {
        uint16_t low = static_cast<uint16_t>(v);
        out.append(reinterpret_cast<const char*>(&low), 2);
    };
    size_t at = 0;
    for (int entry = 0; entry < 6; ++entry, at += 32) {
        for (int i = 0; i < 4; ++i)
            put16(word(at + 4 * i));
        for (int i = 4; i < 8; ++i)
            out.push_back(word(at + 4 * i) != 0 ? 1 : 0);
    }
    for (int entry = 0; entry < 36; ++entry, at += 12)
        for (int i = 0; i < 3; ++i)
            put16(word(at + 4 * i));
    return out;
}

std::optional<std::string> DecodeBlock(const std::string& text) {
    std::vector<char> buffer(1 << 17);
    UINT count = static_cast<UINT>(buffer.size());
    if (!DecodeByteBlock(text.c_str(), buffer.data(), &count))
        return std::nullopt;
    return std::string(buffer.data(), count);
}

// True when a decimal or braced GUID uid text reads back as itself.
bool IsUidText(const std::string& text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        return true;
    return !text.empty() && std::to_string(std::atoi(text.c_str())) == text;
}

// True when every character of a plug-in record's value reaches the item the
// reader makes of it: a value whose attribute text the reader would drop in
// part must be kept as it is.
bool AttributesFullyRead(const std::string& value) {
    size_t colon = value.rfind(':');
    if (value.size() <= 5 || colon == std::string::npos || colon <= 2)
        return true;
    std::string tail = value.substr(colon + 1);
    if (!tail.empty() && tail[0] >= '0' && tail[0] <= '3' && (tail.size() == 1 || tail[1] == ','))
        tail = tail.size() == 1 ? "" : tail.substr(2);
    if (tail.empty())
        return true;
    if (tail[0] != '\\')
        return IsUidText(tail);
    static const char* const kText[] = {"\\uid",    "\\vstver", "\\vname",
                                        "\\vemail", "\\vurl",   "\\ver"};
    static const char* const kNumber[] = {"\\arch", "\\cat", "\\ena", "\\len",
                                          "\\lch",  "\\flg", "\\pcat"};
    size_t at = 0;
    while (at < tail.size()) {
        size_t next = tail.find('\\', at + 1);
        std::string token =
            UnescapeName(CString(tail.substr(at, next == std::string::npos ? next : next - at)))
                .str();
        at = next == std::string::npos ? tail.size() : next;
        bool known = false;
        for (const char* keyword : kNumber)
            if (!known && token.compare(0, strlen(keyword), keyword) == 0) {
                std::string digits = token.substr(strlen(keyword));
                char* end = nullptr;
                std::strtoll(digits.c_str(), &end, 10);
                if (digits.empty() || *end != '\0')
                    return false;
                known = true;
            }
        for (const char* keyword : kText)
            if (!known && token.compare(0, strlen(keyword), keyword) == 0) {
                if (strcmp(keyword, "\\uid") == 0 && !IsUidText(token.substr(4)))
                    return false;
                known = true;
            }
        if (!known)
            return false;
    }
    return true;
}

bool SameItem(const CPluginItem& a, const CPluginItem& b) {
    for (int i = 0; i < kTextCount; ++i)
        if (a.GetText(i) != b.GetText(i))
            return false;
    return a.m_nKind == b.m_nKind && a.m_nArch == b.m_nArch && a.m_nLength == b.m_nLength &&
           a.m_nLastChange == b.m_nLastChange && a.m_nFlags == b.m_nFlags &&
           a.m_nCategory == b.m_nCategory && a.m_bEnabled == b.m_bEnabled &&
           memcmp(&a.m_uid, &b.m_uid, sizeof(GUID)) == 0;
}

class Checker {
  public:
    Checker(const ConversionCase& run, const Snapshot& before, const Snapshot& after,
            const std::vector<Snapshot>& backups, bool listPlaces)
        : m_run(run), m_before(before), m_after(after), m_backups(backups) {
        m_account.listPlaces = listPlaces;
        m_main = File(run.app + ".ini");
        m_intern = File("#Intern" + run.prefix + ".corvane");
        m_hostCanDos = File("hostCanDos.ini");
    }

    Account Run() {
        CheckBackups();
        for (const auto& [upperPath, key] : m_before)
            for (const auto& [upperName, value] : key.values) {
                std::string why;
                Verdict verdict = Judge(upperPath, key, value, why);
                Count(verdict, key, value, why);
            }
        return m_account;
    }

  private:
    std::string File(const std::string& name) const { return m_run.dataFolder + "\\" + name; }

    void Place(const std::string& file, const std::string& section, const std::string& key) {
        if (m_account.listPlaces)
            m_account.placed.push_back(file + "\t" + section + "\t" + key);
    }

    // A loss, with the name of its pattern when it has one (see LossPattern).
    void Lose(const std::string& what, const std::string& pattern = "") {
        m_account.losses.push_back(m_run.name + ": " +
                                   (pattern.empty() ? "" : "{" + pattern + "} ") + what);
    }

    bool HasSubKeys(const std::string& path) const {
        std::string upper = UpperAscii(path) + "\\";
        auto next = m_before.upper_bound(UpperAscii(path));
        return next != m_before.end() && next->first.compare(0, upper.size(), upper) == 0;
    }

    // Names a loss by what makes its value hard to convert, so that a run can
    // tell losses of a known kind from new ones; "" for none of them.
    std::string LossPattern(const SnapshotKey& key, const SnapshotValue& value,
                            const std::string& why) const {
        std::string upperPath = UpperAscii(key.path);
        std::string upperName = UpperAscii(value.name);
        std::optional<std::string> text = HostText(value);
        if (upperPath == "SETTINGS" && upperName == "DATAPATH")
            return "data-path-record";
        if (upperPath == "PLUGINS" || upperPath.compare(0, 8, "PLUGINS\\") == 0) {
            if (value.type != REG_SZ || !text || text->find_first_of("\r\n") != std::string::npos)
                return "menu-record-ini-cannot-hold";
            if (!AttributesFullyRead(*text) || (!text->empty() && text->front() == ' '))
                return "menu-path-colon-or-blanks";
            std::string bare = Trim(upperName);
            for (const auto& [other, sibling] : key.values)
                if (other != upperName && Trim(other) == bare)
                    return "menu-names-differ-by-blanks";
            return "";
        }
        if (StartsIgnoringCase(key.path, "HostCanDo ")) {
            std::string target = UpperAscii(Trim(key.path.substr(10)));
            for (const auto& [other, group] : m_before)
                if (other != upperPath && StartsIgnoringCase(group.path, "HostCanDo ") &&
                    UpperAscii(Trim(group.path.substr(10))) == target)
                    return "host-capability-groups-meet";
        }
        if (!value.name.empty() && value.name[0] == ';')
            return "name-starts-with-semicolon";
        if (text && text->find('\r') != std::string::npos)
            return "carriage-return";
        if (text && text->size() >= 32767)
            return "text-too-long";
        // Only when the file gives the text as the profile reader trims it,
        // once or (for a moved group, read and written again) twice; or, for
        // the settings the autocorrections move, gives it nowhere.
        if (text && !text->empty() &&
            (strchr(" \t\"'", text->front()) || strchr(" \t\"'", text->back()))) {
            std::string once = ProfileReaderForm(*text);
            std::string twice = ProfileReaderForm(once);
            if (upperPath == "SETTINGS" ||
                why.find("reads \"" + Printable(once) + "\"") != std::string::npos ||
                why.find("reads \"" + Printable(twice) + "\"") != std::string::npos)
                return "text-blanks-or-quotes-at-ends";
        }
        if (upperPath == "SETTINGS" &&
            (upperName == "PROFILE" || upperName.compare(0, 4, "BANK") == 0))
            return "profile-bank-match";
        if (HasSubKeys(key.path))
            return "group-with-sub-key";
        return "";
    }

    void Count(Verdict verdict, const SnapshotKey& key, const SnapshotValue& value,
               const std::string& why) {
        switch (verdict) {
        case Verdict::registry:
            ++m_account.inRegistry;
            break;
        case Verdict::files:
            ++m_account.inFiles;
            break;
        case Verdict::transformed:
            ++m_account.transformed;
            break;
        case Verdict::byType:
            ++m_account.byType;
            break;
        case Verdict::menuLevel:
            ++m_account.menuLevels;
            break;
        case Verdict::lost:
            Lose("[" + key.path + "] \"" + Printable(value.name) + "\" (type " +
                     std::to_string(value.type) + "): " + why,
                 LossPattern(key, value, why));
            break;
        }
    }

    static std::string Printable(const std::string& text) {
        std::string out;
        for (unsigned char c : text.substr(0, 80))
            if (c < 0x20) {
                char hex[8];
                snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        if (text.size() > 80)
            out += "...(" + std::to_string(text.size()) + " characters)";
        return out;
    }

    // Every backup of the run must import to the application key as it was.
    void CheckBackups() {
        for (size_t i = 0; i < m_backups.size(); ++i) {
            std::string differences = DescribeDifferences(m_before, m_backups[i], true);
            if (differences.empty())
                continue;
            // The data path the prompt recorded, or a text whose bytes the
            // text form does not restore.
            bool dataPathOnly = true, oddTextOnly = true;
            for (size_t at = 0; at < differences.size();) {
                size_t end = differences.find('\n', at);
                std::string line = differences.substr(at, end - at);
                at = end == std::string::npos ? differences.size() : end + 1;
                dataPathOnly =
                    dataPathOnly && line.find("[Settings] \"DataPath\"") != std::string::npos;
                oddTextOnly = oddTextOnly && line.find("odd byte") != std::string::npos &&
                              line.find("got") != std::string::npos;
            }
            Lose("the backup " + m_run.backups[i] +
                     " does not import to the application key before the run:\n" + differences,
                 dataPathOnly  ? "data-path-record"
                 : oddTextOnly ? "backup-text-not-exact"
                               : "");
        }
    }

    bool StillInRegistry(const std::string& upperPath, const SnapshotValue& value) const {
        auto key = m_after.find(upperPath);
        if (key == m_after.end())
            return false;
        auto found = key->second.values.find(UpperAscii(value.name));
        return found != key->second.values.end() && found->second.type == value.type &&
               found->second.data == value.data && found->second.oddByte == value.oddByte;
    }

    const SnapshotValue* BeforeValue(const std::string& group, const std::string& name) const {
        auto key = m_before.find(UpperAscii(group));
        if (key == m_before.end())
            return nullptr;
        auto found = key->second.values.find(UpperAscii(name));
        return found == key->second.values.end() ? nullptr : &found->second;
    }

    std::optional<std::string> BeforeText(const std::string& group, const std::string& name) const {
        const SnapshotValue* value = BeforeValue(group, name);
        if (!value ||
            (value->type != REG_SZ && value->type != REG_EXPAND_SZ && value->type != REG_DWORD))
            return std::nullopt;
        return HostText(*value);
    }

    Verdict Judge(const std::string& upperPath, const SnapshotKey& key, const SnapshotValue& value,
                  std::string& why) {
        if (StillInRegistry(upperPath, value))
            return Verdict::registry;
        if (m_backups.empty() && m_run.laterBackups.empty()) {
            why = "gone from the registry, and the run wrote no backup";
            return Verdict::lost;
        }
        std::string upper = UpperAscii(key.path);
        if (upper == "PLUGINS" || upper.compare(0, 8, "PLUGINS\\") == 0)
            return JudgeMenuRecord(key, value, why);
        bool copiedType =
            value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_DWORD;
        if (!copiedType)
            return Verdict::byType;
        if (key.path.empty() || key.path.find('\\') != std::string::npos) {
            why = "not in a settings group, and gone from the registry";
            return Verdict::lost;
        }
        return JudgeSetting(key.path, value, why);
    }

    Verdict JudgeSetting(const std::string& group, const SnapshotValue& value, std::string& why) {
        std::optional<std::string> text = HostText(value);
        if (!text) {
            why = "its data holds more than its text, and it is gone from the registry";
            return Verdict::lost;
        }
        if (value.name.empty() || value.name.find_first_of("=\r\n") != std::string::npos) {
            why = "no INI key can hold its name, and it is gone from the registry";
            return Verdict::lost;
        }
        std::string expected = *text;
        for (char& c : expected)
            if (c == '\n')
                c = '|';

        std::vector<std::pair<std::string, std::string>> places{{m_main, group}};
        if (EqualsIgnoringCase(group, m_run.prefix + "Load"))
            places.push_back({m_intern, "Load"});
        if (StartsIgnoringCase(group, m_run.prefix) &&
            IsProgramSection(group.substr(m_run.prefix.size())))
            places.push_back({m_intern, group.substr(m_run.prefix.size())});
        if (StartsIgnoringCase(group, "HostCanDo "))
            places.push_back({m_hostCanDos, group.substr(10)});
        std::string seen;
        for (const auto& [file, section] : places) {
            std::optional<std::string> got = ReadProfile(file, section, value.name);
            if (got && *got == expected) {
                Place(file, section, value.name);
                return Verdict::files;
            }
            if (got && seen.empty())
                seen = "[" + section + "] in " + file + " reads \"" + Printable(*got) + "\"";
        }
        if (EqualsIgnoringCase(group, "Settings") && SettingsTransformation(value.name, expected))
            return Verdict::transformed;
        why = "expected \"" + Printable(expected) + "\"; " +
              (seen.empty() ? std::string("no file holds it") : seen);
        return Verdict::lost;
    }

    std::optional<std::string> Setting(const std::string& name) const {
        return ReadProfile(m_main, "Settings", name);
    }

    // The autocorrection of "Settings" rewrote or replaced the value as
    // documented.
    bool SettingsTransformation(const std::string& name, const std::string& text) const {
        std::string upper = UpperAscii(name);
        if ((upper == "MIDIIN" || upper == "MIDIOUT") && !text.empty())
            return Setting(name + "0") == text;
        if (upper == "MIDIIN0" || upper == "MIDIOUT0") {
            std::string single = name.substr(0, name.size() - 1);
            std::optional<std::string> old = BeforeText("Settings", single);
            return old && !old->empty() && !Setting(single);
        }
        if (upper == "MIDITHRU") {
            long thru = ProfileInt(text);
            return thru > 0 ? Setting("MidiThru0") == std::string("0") : thru != -1;
        }
        if (upper == "MIDITHRU0") {
            std::optional<std::string> thru = BeforeText("Settings", "MidiThru");
            return thru && ProfileInt(*thru) > 0;
        }
        if (upper == "MIDIREMOTE") {
            long remote = ProfileInt(text);
            return remote != -1 && Setting("MidiRemoteIn") == std::to_string(remote);
        }
        if (upper == "MIDIREMOTECHN" || upper == "MIDIREMOTEIN") {
            std::optional<std::string> remote = BeforeText("Settings", "MidiRemote");
            return remote && ProfileInt(*remote) != -1;
        }
        if (upper == "JOYSTICKS") {
            std::optional<std::string> old = DecodeBlock(text);
            std::optional<std::string> stored = ReadProfile(m_main, "Settings", name, true);
            std::optional<std::string> now = stored ? DecodeBlock(*stored) : std::nullopt;
            return old && old->size() == 624 && now && *now == RepackJoysticks(*old);
        }
        if (upper == "MASTERLEVEL" || upper == "OUTPUTLEVEL") {
            std::optional<std::string> master = BeforeText("Settings", "MasterLevel");
            float m = master ? static_cast<float>(std::atof(master->c_str())) : -1.0f;
            if (!(m >= 0))
                return false;
            std::optional<std::string> output = BeforeText("Settings", "OutputLevel");
            float expected = output ? static_cast<float>(std::atof(output->c_str())) : m;
            std::optional<std::string> now = Setting("OutputLevel");
            return now && SameFloat(static_cast<float>(std::atof(now->c_str())), expected);
        }
        if (upper == "PROFILE") {
            std::optional<std::string> bank = BeforeText("Settings", "Bank");
            if ((bank && ProfileInt(*bank) != -2) || text.empty())
                return false;
            std::optional<std::string> chosen = Setting("Bank");
            if (!chosen)
                return false;
            std::optional<std::string> named =
                Setting("Bank" + std::to_string(ProfileInt(*chosen)));
            return named && EqualsIgnoringCase(*named, text);
        }
        if (upper == "BANK")
            return ProfileInt(text) == -2 && Setting("Bank");
        if (upper.compare(0, 4, "BANK") == 0 && text.empty()) {
            // An empty bank name is a free bank: the old profile name takes it.
            std::optional<std::string> profile = BeforeText("Settings", "Profile");
            std::optional<std::string> bank = BeforeText("Settings", "Bank");
            return profile && !profile->empty() && (!bank || ProfileInt(*bank) == -2);
        }
        if (upper == "VSTPLUGINSPATH") {
            std::optional<std::string> load = BeforeText("Load", "VSTPluginsPath");
            return load && !load->empty();
        }
        return false;
    }

    // ---- the plug-in menu -------------------------------------------------

    CIniFile& Menu() {
        if (!m_menu)
            m_menu = std::make_unique<CIniFile>(File("PlugIns.ini").c_str());
        return *m_menu;
    }

    Verdict JudgeMenuRecord(const SnapshotKey& key, const SnapshotValue& value, std::string& why) {
        if (value.name.empty())
            return Verdict::menuLevel;
        // The menu is made of text records; values of other types are left
        // to the backup.
        if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
            return Verdict::byType;
        std::optional<std::string> text = HostText(value);
        if (!text) {
            why = "a plug-in record with data after its NUL is in no file";
            return Verdict::lost;
        }
        CString recordName = StripDuplicatePrefix(CString(value.name));
        CPluginItem item;
        ParseRecord(recordName, CString(*text), CString(""), item);
        if (item.m_nKind == 3)
            return Verdict::menuLevel;
        std::string body =
            std::to_string(item.m_nKind) + ":" + EscapeName(item.GetText(kTextName)).str();

        // The section of the level: "PlugIns" and the sub-key names; a level
        // below a container entry has a section named after that entry.
        std::string section = "PlugIns";
        bool anySection = false;
        std::string rest = key.path.size() > 7 ? key.path.substr(8) : "";
        for (size_t at = 0; !rest.empty() && at <= rest.size();) {
            size_t cut = rest.find('\\', at);
            std::string part = rest.substr(at, cut == std::string::npos ? cut : cut - at);
            std::string bare = StripDuplicatePrefix(CString(part)).str();
            size_t colon = bare.find(':');
            if (colon != std::string::npos && colon >= 1 &&
                bare.find('=', colon) != std::string::npos)
                anySection = true;
            section += "\\" + part;
            if (cut == std::string::npos)
                break;
            at = cut + 1;
        }
        std::string wantSection = UpperAscii(Trim(section));
        CIniFile& menu = Menu();
        std::string seen;
        for (int s = 0; s < menu.GetSize(); ++s) {
            CIniSection* ini = menu.GetSection(s);
            if (!anySection && text::AnsiToLossless(ini->GetName(true).str()) != wantSection)
                continue;
            for (int line = 0; line < ini->GetSize(); ++line) {
                CString lineKey, lineUpper;
                if (!ini->ParseKeyLine(line, lineKey, lineUpper))
                    continue;
                // Names that differ only by blanks at their ends are numbered
                // as duplicates of one name, the blanks dropped.
                std::string lineBody = text::AnsiToLossless(StripDuplicatePrefix(lineKey).str());
                bool trimmedName = lineBody != body && Trim(lineBody) == Trim(body);
                if (lineBody != body && !trimmedName)
                    continue;
                std::string stored = text::AnsiToLossless(ini->GetValue(lineKey, "", false).str());
                if (stored == *text && !trimmedName) {
                    Place(File("PlugIns.ini"), ini->GetName(false).str(), lineKey.str());
                    return Verdict::files;
                }
                if (stored == *text)
                    return Verdict::transformed;
                CPluginItem readBack;
                ParseRecord(CString(body), CString(stored), CString(""), readBack);
                if (AttributesFullyRead(*text) && SameItem(item, readBack))
                    return Verdict::transformed;
                seen = "[" + ini->GetName(false).str() + "] " + lineKey.str() + "=" +
                       Printable(stored);
            }
        }
        why = "PlugIns.ini holds no " + body + "=" + Printable(*text) + " in [" + section + "]" +
              (seen.empty() ? std::string() : "; it holds " + seen);
        return Verdict::lost;
    }

    const ConversionCase& m_run;
    const Snapshot& m_before;
    const Snapshot& m_after;
    const std::vector<Snapshot>& m_backups;
    std::string m_main, m_intern, m_hostCanDos;
    std::unique_ptr<CIniFile> m_menu;
    Account m_account;
};

} // namespace

Account CheckConversion(const ConversionCase& run, const Snapshot& before, const Snapshot& after,
                        const std::vector<Snapshot>& backups, bool listPlaces) {
    return Checker(run, before, after, backups, listPlaces).Run();
}
