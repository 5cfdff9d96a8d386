#include "platform/posix/CodePage.h"

#include "platform/TextConversion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <unistd.h>

namespace posix {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kLead = 0xFFFFFFFE;
constexpr char16_t kReplacement = u'?';

struct Known {
    unsigned number;
    const char* iconvName; // null: UTF-8, done here
    bool doubleByte;
};

const Known kKnown[] = {
    {874, "CP874", false},   {932, "CP932", true},    {936, "CP936", true},
    {949, "CP949", true},    {950, "CP950", true},    {1250, "CP1250", false},
    {1251, "CP1251", false}, {1252, "CP1252", false}, {1253, "CP1253", false},
    {1254, "CP1254", false}, {1255, "CP1255", false}, {1256, "CP1256", false},
    {1257, "CP1257", false}, {1258, "CP1258", false}, {65001, nullptr, false},
};

const Known* KnownCodePage(unsigned number) {
    for (const Known& known : kKnown)
        if (known.number == number)
            return &known;
    return nullptr;
}

// One conversion by iconv, from a fresh state and flushed at the end (some
// tables hold a letter back to join it with an accent that may follow).
// False when the input is not whole and valid.
bool Convert(iconv_t cd, std::string_view in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[32];
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return false;
    out.assign(buffer, static_cast<size_t>(outPtr - buffer));
    return true;
}

// The one UTF-16 unit that bytes decode to; 0 when they decode to anything else.
char16_t DecodeOne(iconv_t toWide, std::string_view bytes, bool* incomplete = nullptr) {
    std::string wide;
    if (!Convert(toWide, bytes, wide)) {
        if (incomplete) {
            // Tell a lead byte waiting for its trail from a byte that is no character.
            iconv(toWide, nullptr, nullptr, nullptr, nullptr);
            char buffer[8];
            char* inPtr = const_cast<char*>(bytes.data());
            size_t inLeft = bytes.size();
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            *incomplete =
                iconv(toWide, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) &&
                errno == EINVAL;
        }
        return 0;
    }
    if (wide.size() != 2)
        return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(wide[0]) |
                                 static_cast<unsigned char>(wide[1]) << 8);
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

CodePage::CodePage(unsigned number) : m_number(number) {}

const CodePage* CodePage::Find(unsigned number) {
    static std::map<unsigned, std::unique_ptr<CodePage>>* built =
        new std::map<unsigned, std::unique_ptr<CodePage>>; // used until the very end
    auto it = built->find(number);
    if (it == built->end()) {
        std::unique_ptr<CodePage> page;
        if (KnownCodePage(number)) {
            page = std::make_unique<CodePage>(number);
            if (!page->Build())
                page.reset();
        }
        it = built->emplace(number, std::move(page)).first;
    }
    return it->second.get();
}

std::string CodePageSettingProblem(const char* setting) {
    if (!setting || !*setting)
        return std::string();
    char* end = nullptr;
    errno = 0;
    unsigned long number = std::strtoul(setting, &end, 10);
    if (errno == 0 && *end == '\0' && setting[0] >= '0' && setting[0] <= '9' && number <= 0xFFFF &&
        CodePage::Find(static_cast<unsigned>(number)))
        return std::string();
    return std::string("CORVANE_CODEPAGE=") + setting +
           ": not a code page this program knows; use one of 1250-1258, 874, 932, 936, 949, "
           "950 or 65001 (UTF-8), or leave it unset for 1252\n";
}

const CodePage& CodePage::Ansi() {
    static const CodePage* ansi = [] {
        const char* setting = std::getenv("CORVANE_CODEPAGE");
        std::string problem = CodePageSettingProblem(setting);
        if (!problem.empty()) {
            // Before anything was read or written: nothing to undo.
            ssize_t written = write(2, problem.data(), problem.size());
            (void)written;
            _exit(4);
        }
        return Find(setting && *setting ? static_cast<unsigned>(std::strtoul(setting, nullptr, 10))
                                        : 1252);
    }();
    return *ansi;
}

bool CodePage::Build() {
    const Known* known = KnownCodePage(m_number);
    if (!known->iconvName) {
        m_utf8 = true;
        return true;
    }
    m_doubleByte = known->doubleByte;
    iconv_t toWide = iconv_open("UTF-16LE", known->iconvName);
    if (toWide == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_t fromWide = iconv_open(known->iconvName, "UTF-16LE");
    if (fromWide == reinterpret_cast<iconv_t>(-1)) {
        iconv_close(toWide);
        return false;
    }
    m_single.assign(128, kNone);
    if (m_doubleByte)
        m_double.assign(128 * 256, 0);
    std::vector<char16_t> seen;
    for (unsigned byte = 0x80; byte <= 0xFF; byte++) {
        char one = static_cast<char>(byte);
        bool incomplete = false;
        char16_t unit = DecodeOne(toWide, std::string_view(&one, 1), &incomplete);
        // A byte 0x80..0x9F the table leaves out stands for the control
        // character of that number, as in the system's own tables.
        if (unit == 0 && !incomplete && byte < 0xA0)
            unit = static_cast<char16_t>(byte);
        if (unit != 0) {
            m_single[byte - 0x80] = unit;
            seen.push_back(unit);
        } else if (incomplete && m_doubleByte) {
            m_single[byte - 0x80] = kLead;
            for (unsigned trail = 0x40; trail <= 0xFF; trail++) {
                char two[2] = {one, static_cast<char>(trail)};
                char16_t pair = DecodeOne(toWide, std::string_view(two, 2));
                if (pair != 0 && !(pair >= 0xD800 && pair <= 0xDFFF)) {
                    m_double[(byte - 0x80) * 256 + trail] = pair;
                    seen.push_back(pair);
                }
            }
        }
    }
    // The way back is the table's own; a character some other bytes give too
    // counts only for the bytes it goes back to, so that every byte string
    // comes back from UTF-16 unchanged.
    m_reverse.assign(0x10000, 0);
    for (uint32_t unit = 0; unit < 0x80; unit++)
        m_reverse[unit] = 0x100 | unit;
    for (char16_t unit : seen) {
        if (m_reverse[unit] != 0)
            continue;
        char wide[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        std::string bytes;
        if (!Convert(fromWide, std::string_view(wide, 2), bytes)) {
            if (unit >= 0x80 && unit < 0xA0 && m_single[unit - 0x80] == unit)
                m_reverse[unit] = 0x100 | unit; // a control character added above
            continue;
        }
        if (bytes.size() == 1)
            m_reverse[unit] = 0x100 | static_cast<unsigned char>(bytes[0]);
        else if (bytes.size() == 2)
            m_reverse[unit] = 0x20000 | static_cast<unsigned char>(bytes[0]) << 8 |
                              static_cast<unsigned char>(bytes[1]);
    }
    for (unsigned byte = 0x80; byte <= 0xFF; byte++) {
        uint32_t& single = m_single[byte - 0x80];
        if (single != kNone && single != kLead && m_reverse[single] != (0x100 | byte))
            single = kNone;
        if (single != kLead)
            continue;
        for (unsigned trail = 0x40; trail <= 0xFF; trail++) {
            char16_t& pair = m_double[(byte - 0x80) * 256 + trail];
            if (pair != 0 && m_reverse[pair] != (0x20000 | byte << 8 | trail))
                pair = 0;
        }
    }
    iconv_close(toWide);
    iconv_close(fromWide);
    return true;
}

void CodePage::AppendWide(std::u16string& out, std::string_view bytes) const {
    if (m_utf8) {
        text::AppendUtf8AsWide(out, bytes);
        return;
    }
    for (size_t i = 0; i < bytes.size();) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out += static_cast<char16_t>(byte);
            i++;
            continue;
        }
        uint32_t single = m_single[byte - 0x80];
        if (single == kLead && i + 1 < bytes.size()) {
            char16_t pair =
                m_double[(byte - 0x80) * 256 + static_cast<unsigned char>(bytes[i + 1])];
            if (pair != 0) {
                out += pair;
                i += 2;
                continue;
            }
        }
        out += single == kNone || single == kLead ? static_cast<char16_t>(0xDC00 + byte)
                                                  : static_cast<char16_t>(single);
        i++;
    }
}

bool CodePage::AppendBytes(std::string& out, std::u16string_view wide) const {
    if (m_utf8)
        return text::AppendWideAsUtf8(out, wide);
    bool whole = true;
    for (size_t i = 0; i < wide.size(); i++) {
        char16_t unit = wide[i];
        if (unit < 0x80) {
            out += static_cast<char>(unit);
            continue;
        }
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            // No such code page has characters beyond U+FFFF.
            out += static_cast<char>(kReplacement);
            whole = false;
            i++;
            continue;
        }
        if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += static_cast<char>(unit - 0xDC00);
            continue;
        }
        uint32_t bytes = m_reverse[unit];
        if (bytes == 0) {
            out += static_cast<char>(kReplacement);
            whole = false;
        } else if (bytes >> 16 == 2) {
            out += static_cast<char>((bytes >> 8) & 0xFF);
            out += static_cast<char>(bytes & 0xFF);
        } else {
            out += static_cast<char>(bytes & 0xFF);
        }
    }
    return whole;
}

} // namespace posix
