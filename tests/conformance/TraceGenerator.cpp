#include "TraceGenerator.h"

#include "TraceRunner.h"

#include <algorithm>
#include <memory>
#include <string>

namespace trace {

namespace {

using namespace std::string_literals;

// ---- pools ----------------------------------------------------------------------

// clang-format off
const std::vector<std::string> kSections = {
    "Sec", "sec", "SEC", " Sec",    "Sec ",  "\tSec\t", "Other", "other", "S;c", "#S",
    "S=1", "[S]", "S]x", "\"Sec\"", "'Sec'", "",        "a b",   "Sec2",  "x",   "s\r\nz",
    // Text of code page 1252: letters in one case only (KD14).
    "Ger\xE4t", "Caf\xE9 \x80",
};
const std::vector<std::string> kKeys = {
    "key", "Key",     "KEY",   " key", "key ", "\tkey", "k2", "K2", ";c",  "#c",
    "k=x", "\"key\"", "'key'", "[k]",  "",     "k;1",   "n",  "N ", "a b", "k\r\nz",
    "Gr\xF6\xDF" "e", "\xE9t\xE9", "\x80",
};
const std::vector<std::string> kValues = {
    "v", "V", " v ", " v", "\tv\t", "\"q\"", "'q'", "\"q", "q\"", "\"q'", "a;b", "#x", "[x]",
    "a=b", "", "12", "-7", "0x1F", "4294967297", " 42abc", "\"\"", "''", "\" spaced \"",
    "value with words", "x\ty", "abcdefghij", "0", "+3", "2147483648", "077",
    // Values holding line ends write lines of their own.
    "a\r\nb", "x\n[Other]\nq=1", "v\r\n[]\r\nm=1", "\r\n", "w\rk2=3",
    "Caf\xE9 f\xFCr 5 \x80", "\xDF", " \xE9 ",
};
const std::vector<std::string> kDefaults = {
    "d", "", "def  ", " def", "\"dq\"", "'d'", "  ", "long default value", "\tt ",
};
const std::vector<int64_t> kIntDefaults = {0, 5, -1, 2147483647, -2147483647 - 1, 77};

// Lines of files that exist before the first call.
const std::vector<std::string> kFileLines = {
    "[Sec]", "[ sec ]", "[Other]", "[SEC]", "[Sec2]", "key=v", "key = v ", "Key=dup",
    "KEY = \"quoted\" ", "k2", "k2=", "=v", ";comment", "; key=hidden", "# hash", "", "  ",
    "\t", "[]", "[Sec", "Sec]", "k=\"q\"", "x=[y]", "n=12", "n = -7", "a b = c d",
    "key='single'", "[x]", "x=1", "  key  =  spaced  ", "[ Other ]", "k;1=semi", "#c=1",
    // NUL bytes, Ctrl-Z, vertical tab and form feed.
    "k=1\0x"s, "j\0=2"s, "\0"s, "n=5\x1a", "\x1a", "\vk2=4\f",
    "[Ger\xE4t]", "Gr\xF6\xDF" "e=\xE9t\xE9 \x80", "\xE9t\xE9=\xDF",
};
const std::vector<std::string> kLineEnds = {"\r\n", "\n", "\r"};

const std::vector<std::string> kKeyNames = {
    "Alpha", "alpha", "ALPHA", "_u", "[x", "1", "10", "9", "a_b", "a[b", "Zed", "zed", "a b",
    "b", "Alpha\\Beta", "alpha\\1", "ALPHA\\beta\\_u", "Alpha\\", "\\Alpha", "Alpha\\\\Beta",
    "", "Beta ", " Beta", "Gr\xFC\xDF" "e", "Gr\xFC\xDF" "e\\\xE9t\xE9",
};
const std::vector<std::string> kValueNames = {
    "",  "a", "A", "alpha", "Alpha", "_u",  "[x",  "1",   "10",
    "9", "Z", "z", "a_b",   "ab",    "a b", "val", "Val", "zz",
    "\xE9t\xE9", // one only: Wine sorts names in upper case (KD9)
};
// clang-format on

// Text of code page 1252 as UTF-16 and UTF-8; the pools hold no byte of
// 0x81-0x9F, and of 0x80-0x9F only the euro sign.
std::u16string Utf16Of1252(std::string_view text) {
    std::u16string out;
    for (char ch : text) {
        unsigned char byte = static_cast<unsigned char>(ch);
        out += byte == 0x80 ? u'\u20AC' : static_cast<char16_t>(byte);
    }
    return out;
}

std::string Utf8Of1252(std::string_view text) {
    std::string out;
    for (char16_t unit : Utf16Of1252(text)) {
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

// ---- registry model ------------------------------------------------------------------
// Only as much as the generator needs: which keys exist below the root, which
// values each has, and which key each handle slot refers to.

char Fold(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
}
std::string Folded(const std::string& text) {
    std::string out = text;
    for (char& ch : out)
        ch = Fold(ch);
    return out;
}

struct ModelKey {
    std::string folded;
    ModelKey* parent = nullptr;
    std::vector<std::unique_ptr<ModelKey>> children;
    std::vector<std::string> values; // folded names, in creation order
    bool deleted = false;
    // A create below it that the model does not follow may have made sub-keys:
    // a deletion of this key is then not assumed to succeed.
    bool unknownChildren = false;

    ModelKey* Child(const std::string& name) const {
        for (const auto& child : children)
            if (child->folded == Folded(name))
                return child.get();
        return nullptr;
    }
    bool HasValue(const std::string& name) const {
        return std::find(values.begin(), values.end(), Folded(name)) != values.end();
    }
};

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char ch : path) {
        if (ch == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += ch;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

class Generator {
  public:
    Generator(uint64_t seed) : m_random(seed), m_root(std::make_unique<ModelKey>()) {
        m_slots[0] = m_root.get();
    }
    std::vector<Call> Generate(size_t count);

  private:
    // Profile side.
    std::string FileText();
    std::string PickFile();
    Arg PickSection(bool allowNull);
    Arg PickKey(bool allowNull);
    Arg PickValue();
    Arg PickSize();
    void AddProfileCall();
    void AddBigProfileValue();

    // Registry side.
    void AddRegistryCall();
    int PickOpenSlot();
    int PickFreeSlot();
    void AddOpen(bool create);
    void AddSetValue();
    void AddBigRegistryValue();
    Arg PickDataSize();
    std::string PickValueName(const ModelKey* key, bool forNewValue);

    void Add(std::string op, std::vector<Arg> args) {
        m_calls.push_back({std::move(op), std::move(args)});
    }

    Random m_random;
    std::vector<Call> m_calls;
    std::unique_ptr<ModelKey> m_root;
    ModelKey* m_slots[kSlots] = {};
    std::vector<std::unique_ptr<ModelKey>> m_graveyard; // deleted keys, still referred to
};

// ---- profile calls --------------------------------------------------------------

// A file as people leave them: headers, keys, comments, blank lines,
// duplicates, one line-end style (or a mix), sometimes no final line end.
std::string Generator::FileText() {
    std::string text;
    size_t lines = m_random.Below(14);
    uint32_t style = m_random.Below(4); // 3: mixed
    bool nameless = false;
    for (size_t i = 0; i < lines; ++i) {
        std::string line = m_random.Pick(kFileLines);
        // KD5: one key line without a name per file at most (a line that is
        // empty once cut at its NUL counts as one).
        if (line[0] == '=' || line[0] == '\0') {
            if (nameless)
                line = "k2";
            nameless = true;
        }
        text += line;
        if (i + 1 < lines || m_random.Below(3) != 0)
            text += style == 3 ? m_random.Pick(kLineEnds) : kLineEnds[style];
    }
    // Now and then with a byte-order mark: UTF-8, or UTF-16 little-endian.
    uint32_t encoding = m_random.Below(20);
    if (encoding == 0)
        return "\xEF\xBB\xBF" + Utf8Of1252(text);
    if (encoding == 1) {
        std::string wide = "\xFF\xFE";
        for (char16_t unit : Utf16Of1252(text)) {
            wide += static_cast<char>(unit & 0xFF);
            wide += static_cast<char>(unit >> 8);
        }
        return wide;
    }
    return text;
}

std::string Generator::PickFile() {
    uint32_t roll = m_random.Below(100);
    if (roll < 60)
        return "a.ini";
    if (roll < 96)
        return "b.ini";
    if (roll < 98)
        return "dir.ini"; // a folder
    return "nodir\\c.ini";
}

Arg Generator::PickSection(bool allowNull) {
    if (allowNull && m_random.Chance(60))
        return Arg::Null();
    return Arg::Str(m_random.Pick(kSections));
}

Arg Generator::PickKey(bool allowNull) {
    if (allowNull && m_random.Chance(80))
        return Arg::Null();
    return Arg::Str(m_random.Pick(kKeys));
}

Arg Generator::PickValue() {
    if (m_random.Chance(10))
        return Arg::Str(std::string(300 + m_random.Below(700), 'w'));
    return Arg::Str(m_random.Pick(kValues));
}

Arg Generator::PickSize() {
    if (m_random.Chance(10))
        return Arg::WordArg("nullbuf"); // no buffer at all
    switch (m_random.Below(10)) {
    case 0:
        return Arg::Num(0);
    case 1:
        return Arg::Num(1);
    case 2:
        return Arg::Num(2);
    case 3:
        return Arg::Num(3);
    case 4:
    case 5:
        return Arg::WordArg("exact");
    case 6:
        return Arg::WordArg("exact+1");
    case 7:
        return Arg::Num(4 + m_random.Below(12));
    default:
        return Arg::Num(64000);
    }
}

void Generator::AddProfileCall() {
    std::string file = PickFile();
    uint32_t roll = m_random.Below(100);
    if (roll < 45) {
        // Values, key lists (null key) and section lists (null section).
        Arg section = PickSection(true);
        Arg key = PickKey(true);
        Arg fallback = m_random.Chance(300) ? Arg::Null() : Arg::Str(m_random.Pick(kDefaults));
        Add("GetPrivateProfileStringA", {section, key, fallback, PickSize(), Arg::Str(file)});
    } else if (roll < 55) {
        Add("GetPrivateProfileIntA", {PickSection(false), PickKey(false),
                                      Arg::Num(m_random.Pick(kIntDefaults)), Arg::Str(file)});
    } else if (roll < 99) {
        Arg section = PickSection(false);
        Arg key = PickKey(false);
        Arg value = PickValue();
        uint32_t form = m_random.Below(100);
        if (form < 8) {
            value = Arg::Null(); // deletes the key
        } else if (form < 12) {
            key = Arg::Null(); // deletes the section
            value = m_random.Chance(500) ? Arg::Null() : value;
        } else if (form < 14) {
            // A key without a section. KD3: never with a null key and a value.
            section = Arg::Null();
            if (m_random.Chance(500))
                value = Arg::Null();
        }
        Add("WritePrivateProfileStringA", {section, key, value, Arg::Str(file)});
    } else {
        Add("file", {Arg::Str(file == "b.ini" ? file : "a.ini"), Arg::Str(FileText())});
    }
}

// A value of the largest length KD8 allows, read back and removed again
// (every write rewrites the whole file under Windows).
void Generator::AddBigProfileValue() {
    std::string value(32766, m_random.Below(2) ? 'B' : 'b');
    Add("WritePrivateProfileStringA",
        {Arg::Str("Big"), Arg::Str("k"), Arg::Str(value), Arg::Str("big.ini")});
    Add("GetPrivateProfileStringA",
        {Arg::Str("big"), Arg::Str("K"), Arg::Null(), PickSize(), Arg::Str("big.ini")});
    Add("GetPrivateProfileStringA",
        {Arg::Str("Big"), Arg::Null(), Arg::Null(), Arg::Num(64000), Arg::Str("big.ini")});
    Add("WritePrivateProfileStringA",
        {Arg::Str("Big"), Arg::Null(), Arg::Null(), Arg::Str("big.ini")});
}

// ---- registry calls ---------------------------------------------------------------

int Generator::PickOpenSlot() {
    std::vector<int> open;
    for (int i = 0; i < kSlots; ++i)
        if (m_slots[i])
            open.push_back(i);
    return m_random.Pick(open);
}

int Generator::PickFreeSlot() {
    return 1 + static_cast<int>(m_random.Below(kSlots - 1));
}

void Generator::AddOpen(bool create) {
    int from = PickOpenSlot();
    int to = PickFreeSlot();
    std::string path;
    Arg sub;
    uint32_t roll = m_random.Below(100);
    if (roll < 3) {
        sub = Arg::Null();
    } else if (roll < 5) {
        // Key names are at most 255 characters.
        path = std::string(255 + m_random.Below(2), 'K');
        sub = Arg::Str(path);
    } else {
        path = m_random.Pick(kKeyNames);
        sub = Arg::Str(path);
    }
    ModelKey* key = m_slots[from];
    if (m_slots[to] && to != from)
        Add("RegCloseKey", {Arg::Num(to)});
    m_slots[to] = nullptr;
    Add(create ? "RegCreateKeyExA" : "RegOpenKeyExA", {Arg::Num(from), sub, Arg::Num(to)});

    // Follow the call in the model.
    if (key->deleted || (!path.empty() && path[0] == '\\'))
        return;
    for (const std::string& part : SplitPath(path)) {
        if (part.size() > 255) {
            key->unknownChildren = key->unknownChildren || create;
            return;
        }
    }
    for (const std::string& part : SplitPath(path)) {
        ModelKey* child = key->Child(part);
        if (!child) {
            if (!create)
                return;
            auto made = std::make_unique<ModelKey>();
            made->folded = Folded(part);
            made->parent = key;
            child = made.get();
            key->children.push_back(std::move(made));
        }
        key = child;
    }
    m_slots[to] = key;
}

// A name for a value of `key`: for a new value, only one that sorts after every
// value the key has (KD9: Wine lists values by name, Windows by creation).
std::string Generator::PickValueName(const ModelKey* key, bool forNewValue) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = m_random.Pick(kValueNames);
        if (!forNewValue || key->HasValue(name))
            return name;
        bool last = std::all_of(key->values.begin(), key->values.end(),
                                [&](const std::string& other) { return other < Folded(name); });
        if (last)
            return name;
    }
    // An existing name, or the greatest of the pool.
    return key->values.empty() ? std::string("zz") : key->values.back();
}

Arg Generator::PickDataSize() {
    if (m_random.Chance(10))
        return Arg::WordArg("nocb"); // a data buffer without its size
    switch (m_random.Below(12)) {
    case 0:
        return Arg::Null();
    case 1:
        return Arg::WordArg("q");
    case 2:
        return Arg::Num(0);
    case 3:
        return Arg::Num(1);
    case 4:
        return Arg::Num(2);
    case 5:
        return Arg::Num(3);
    case 6:
    case 7:
        return Arg::WordArg("exact");
    case 8:
    case 9:
        return Arg::WordArg("exact+1");
    case 10:
        return Arg::Num(4 + m_random.Below(8));
    default:
        return Arg::Num(64000);
    }
}

void Generator::AddSetValue() {
    int slot = PickOpenSlot();
    ModelKey* key = m_slots[slot];
    bool nullName = m_random.Chance(80);
    std::string name = nullName ? std::string() : PickValueName(key, true);
    if (nullName && !key->HasValue("") && !key->values.empty())
        nullName = false, name = PickValueName(key, true);
    if (m_random.Chance(8)) {
        // Value names may be 16,383 characters long, not longer.
        std::string longName(16383 + m_random.Below(2), 'v');
        if (key->HasValue(longName) ||
            std::all_of(key->values.begin(), key->values.end(),
                        [&](const std::string& other) { return other < longName; }))
            nullName = false, name = longName;
    }

    static const std::vector<uint32_t> kTypes = {REG_SZ,     REG_EXPAND_SZ, REG_MULTI_SZ,
                                                 REG_BINARY, REG_DWORD,     REG_DWORD_BIG_ENDIAN,
                                                 REG_QWORD,  REG_NONE,      0x1234};
    uint32_t type = m_random.Pick(kTypes);
    std::string data;
    switch (m_random.Below(8)) {
    case 0:
        data = "text"s + '\0';
        break;
    case 1:
        data = "text";
        break;
    case 2:
        data = "a\0b\0\0"s;
        break;
    case 3:
        data = "\x01\x02\x03\x04"s;
        break;
    case 4:
        data = "\x01\x00\x00\x00\x00\x00\x00\x80"s;
        break;
    case 5:
        data = "";
        break;
    case 6:
        data = m_random.Below(2) ? "with\0nul\0"s : "Caf\xE9 \x80 \xDF"s + '\0';
        break;
    default:
        for (uint32_t i = m_random.Below(20); i > 0; --i)
            data += static_cast<char>(m_random.Below(128));
    }
    int64_t cb = static_cast<int64_t>(data.size());
    uint32_t form = m_random.Below(10);
    if (form == 0 && cb > 0)
        cb -= 1; // too short by one
    else if (form == 1)
        cb = 0;
    Arg dataArg = Arg::Str(data);
    if (m_random.Chance(20)) {
        // KD4: never a null pointer with a count (Wine crashes on it).
        dataArg = Arg::Null();
        cb = 0;
    }
    Add("RegSetValueExA", {Arg::Num(slot), nullName ? Arg::Null() : Arg::Str(name), Arg::Num(type),
                           dataArg, Arg::Num(cb)});
    if (!key->deleted && name.size() <= 16383 && !key->HasValue(name))
        key->values.push_back(Folded(name));
}

// A value of 65,536 bytes and more, read and removed again.
void Generator::AddBigRegistryValue() {
    std::string name = PickValueName(m_root.get(), true);
    uint32_t size = 65536 + m_random.Below(8000);
    std::string data(size, m_random.Below(2) ? 'R' : '\x5a');
    uint32_t type = m_random.Below(2) ? REG_BINARY : REG_SZ;
    Add("RegSetValueExA",
        {Arg::Num(0), Arg::Str(name), Arg::Num(type), Arg::Str(data), Arg::Num(size)});
    if (!m_root->HasValue(name))
        m_root->values.push_back(Folded(name));
    Add("RegQueryValueExA", {Arg::Num(0), Arg::Str(name), PickDataSize()});
    Add("RegQueryInfoKeyA", {Arg::Num(0)});
    Add("RegDeleteValueA", {Arg::Num(0), Arg::Str(name)});
    auto& values = m_root->values;
    values.erase(std::find(values.begin(), values.end(), Folded(name)));
}

void Generator::AddRegistryCall() {
    uint32_t roll = m_random.Below(100);
    if (roll < 12) {
        AddOpen(true);
    } else if (roll < 20) {
        AddOpen(false);
    } else if (roll < 24) {
        std::vector<int> open;
        for (int i = 1; i < kSlots; ++i)
            if (m_slots[i])
                open.push_back(i);
        if (open.empty())
            return AddOpen(true);
        int slot = m_random.Pick(open);
        Add("RegCloseKey", {Arg::Num(slot)});
        m_slots[slot] = nullptr;
    } else if (roll < 34) {
        int slot = PickOpenSlot();
        uint32_t index = m_random.Below(static_cast<uint32_t>(m_slots[slot]->children.size() + 2));
        // KD13: never without a buffer (Wine crashes on it).
        static const std::vector<int64_t> kSizes = {0, 1, 2, 3, 4, 6, 8, 300};
        Add("RegEnumKeyA", {Arg::Num(slot), Arg::Num(index), Arg::Num(m_random.Pick(kSizes))});
    } else if (roll < 46) {
        int slot = PickOpenSlot();
        uint32_t index = m_random.Below(static_cast<uint32_t>(m_slots[slot]->values.size() + 2));
        Arg nameSize = m_random.Below(3) == 0 ? Arg::Num(m_random.Below(4))
                       : m_random.Below(2)    ? Arg::WordArg("exact+1")
                                              : Arg::Num(300);
        if (m_random.Chance(150))
            nameSize = Arg::WordArg("exact");
        Add("RegEnumValueA", {Arg::Num(slot), Arg::Num(index), nameSize, PickDataSize()});
    } else if (roll < 66) {
        AddSetValue();
    } else if (roll < 80) {
        int slot = PickOpenSlot();
        Arg name =
            m_random.Chance(100) ? Arg::Null() : Arg::Str(PickValueName(m_slots[slot], false));
        Add("RegQueryValueExA", {Arg::Num(slot), name, PickDataSize()});
    } else if (roll < 87) {
        int slot = PickOpenSlot();
        ModelKey* key = m_slots[slot];
        Arg name = m_random.Chance(100) ? Arg::Null() : Arg::Str(PickValueName(key, false));
        Add("RegDeleteValueA", {Arg::Num(slot), name});
        std::string folded = name.IsNull() ? std::string() : Folded(name.text);
        auto found = std::find(key->values.begin(), key->values.end(), folded);
        if (found != key->values.end())
            key->values.erase(found);
    } else if (roll < 94) {
        int slot = PickOpenSlot();
        ModelKey* key = m_slots[slot];
        std::string path = m_random.Pick(kKeyNames);
        if (slot == 0 && SplitPath(path).empty())
            path = "Zed"; // the root stays for the rest of the run
        if (m_random.Chance(20)) {
            Add("RegDeleteKeyA", {Arg::Num(slot), Arg::Null()});
            return;
        }
        Add("RegDeleteKeyA", {Arg::Num(slot), Arg::Str(path)});
        if (key->deleted || (!path.empty() && path[0] == '\\'))
            return;
        ModelKey* target = key; // "" deletes the key itself
        for (const std::string& part : SplitPath(path)) {
            target = target->Child(part);
            if (!target)
                return;
        }
        if (!target->children.empty() || target->unknownChildren || !target->parent)
            return;
        // Deleted: its handles stay open and refer to a deleted key.
        target->deleted = true;
        target->values.clear();
        auto& siblings = target->parent->children;
        for (auto it = siblings.begin(); it != siblings.end(); ++it) {
            if (it->get() == target) {
                m_graveyard.push_back(std::move(*it));
                siblings.erase(it);
                break;
            }
        }
    } else {
        Add("RegQueryInfoKeyA", {Arg::Num(PickOpenSlot())});
    }
}

std::vector<Call> Generator::Generate(size_t count) {
    Add("file", {Arg::Str("a.ini"), Arg::Str(FileText())});
    if (m_random.Below(2))
        Add("file", {Arg::Str("b.ini"), Arg::Str(FileText())});
    while (m_calls.size() < count) {
        if (m_random.Chance(1))
            AddBigProfileValue();
        else if (m_random.Chance(1))
            AddBigRegistryValue();
        else if (m_random.Below(100) < 55)
            AddProfileCall();
        else
            AddRegistryCall();
    }
    m_calls.resize(count);
    return std::move(m_calls);
}

} // namespace

std::vector<Call> GenerateCalls(uint64_t seed, size_t count) {
    return Generator(seed).Generate(count);
}

} // namespace trace
