// GetPrivateProfileStringA, WritePrivateProfileStringA, GetPrivateProfileIntA
// and the whole-section reader and writer: buffers, NULs, defaults, return values and error codes
// as the Windows build shows them, over the cached documents.
//
// Text is handled as bytes of the ANSI code page, so buffer sizes and cuts
// count bytes; a cut may split a double-byte character. The document of a
// Unicode file (UTF-16, or UTF-8 with its mark) holds UTF-8: names and values
// are converted on the way in and out, as Windows does.
#include "platform/TextConversion.h"
#include "platform/posix/ProfileCache.h"
#include "platform/winapi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using posix::profile::CachedProfile;
using posix::profile::ProfileCache;
using posix::profile::ProfileDocument;

namespace {

// The default as a single value uses it: trailing spaces removed, but one kept
// when it holds nothing else (tabs stay).
std::string_view TrimDefault(std::string_view text) {
    size_t end = text.size();
    while (end > 1 && text[end - 1] == ' ')
        --end;
    return text.substr(0, end);
}

// Copies one string, without the matching quotes ("..." or '...') that may
// surround it unless `keepQuotes`, cut to size - 1 bytes, and ends it with a NUL.
// Returns the length copied. A quoted value whose text just fits comes back
// whole (the Windows build under Wine drops its last character there).
DWORD CopyString(std::string_view text, char* buffer, DWORD size, bool keepQuotes = false) {
    if (!keepQuotes && text.size() >= 2 && (text[0] == '"' || text[0] == '\'') &&
        text.back() == text[0])
        text = text.substr(1, text.size() - 2);
    size_t length = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

// Copies a list of NUL-terminated names followed by one more NUL. A list that
// does not fit, or just fills the buffer, counts as cut: size - 2 bytes of it,
// the last name cut, then two NULs; the result is size - 2.
DWORD CopyList(const std::string& list, char* buffer, DWORD size) {
    if (list.size() + 2 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    size_t length = size - 2;
    std::memcpy(buffer, list.data(), length);
    buffer[length] = '\0';
    // Under Wine the second NUL is missing; without it a reader of the list
    // runs past the last name.
    buffer[length + 1] = '\0';
    return static_cast<DWORD>(length);
}

const ProfileDocument& EmptyDocument() {
    static const ProfileDocument* empty = new ProfileDocument();
    return *empty;
}

// The number at the start of `text`, as the Windows build reads it: blanks and
// control characters skipped, one sign, "0x", "0o" or "0b" for base 16, 8 or
// 2, digits up to the first that does not belong; wraps modulo 2^32.
UINT ParseProfileInteger(const char* text) {
    auto p = reinterpret_cast<const unsigned char*>(text);
    while (*p != '\0' && *p <= ' ')
        ++p;
    bool negative = false;
    if (*p == '+') {
        ++p;
    } else if (*p == '-') {
        negative = true;
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    UINT total = 0;
    for (; *p != '\0'; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'z')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'Z')
            digit = *p - 'A' + 10;
        else
            break;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

// A-function text to the text of the file's document, and back. 8-bit files
// hold the bytes as they are; UTF-16 files lossless UTF-8, files with a UTF-8
// mark UTF-8 as it is in the file.
class DocumentText {
  public:
    explicit DocumentText(const CachedProfile* file)
        : m_encoding(file ? file->encoding : posix::profile::ProfileEncoding::Ansi) {}
    bool IsAnsi() const { return m_encoding == posix::profile::ProfileEncoding::Ansi; }

    // Null stays null.
    const char* In(const char* ansi, std::string& scratch) const {
        if (!ansi || IsAnsi() || text::IsAscii(ansi))
            return ansi;
        std::u16string wide;
        text::AppendAnsiAsWide(wide, ansi);
        scratch.clear();
        if (m_encoding == posix::profile::ProfileEncoding::Utf8Bom)
            text::AppendWideAsUtf8(scratch, wide);
        else
            text::AppendWideAsLossless(scratch, wide);
        return scratch.c_str();
    }
    std::string_view Out(std::string_view stored, std::string& scratch) const {
        if (IsAnsi() || text::IsAscii(stored))
            return stored;
        std::u16string wide;
        if (m_encoding == posix::profile::ProfileEncoding::Utf8Bom)
            text::AppendUtf8AsWide(wide, stored);
        else
            text::AppendLosslessAsWide(wide, stored);
        scratch.clear();
        text::AppendWideAsAnsi(scratch, wide);
        return scratch;
    }

  private:
    posix::profile::ProfileEncoding m_encoding;
};

} // namespace

extern "C" DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                          LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0)
        return 0;
    std::string_view fallback = lpDefault ? lpDefault : "";
    ProfileCache& cache = ProfileCache::Instance();
    std::lock_guard<std::mutex> lock(cache.Mutex());

    DWORD error = ERROR_FILE_NOT_FOUND;
    const CachedProfile* file = lpFileName ? cache.Open(lpFileName, false, error) : nullptr;
    const ProfileDocument& document = file ? file->document : EmptyDocument();
    SetLastError(error);
    // A file that cannot be opened (its folder missing, a folder by that name)
    // gives a value's default as it was passed, quotes and all.
    bool unopened = lpFileName && !file;
    DocumentText convert(file);
    // UTF-8 takes up to four bytes where the code page takes one.
    size_t listLimit = convert.IsAnsi() ? nSize : size_t{nSize} * 4 + 4;
    std::string sectionScratch, keyScratch, outScratch;
    LPCSTR section = convert.In(lpAppName, sectionScratch);
    LPCSTR key = convert.In(lpKeyName, keyScratch);

    if (!lpAppName) {
        std::string list;
        document.AppendSectionNames(list, listLimit);
        return CopyList(std::string(convert.Out(list, outScratch)), lpReturnedString, nSize);
    }
    if (!lpKeyName) {
        std::string list;
        document.AppendKeyNames(section, list, listLimit);
        // No section, no keys, a first key without a name, or no room for one:
        // the default instead (not trimmed here).
        if (list.empty() || list[0] == '\0' || nSize <= 2)
            return CopyString(fallback, lpReturnedString, nSize);
        return CopyList(std::string(convert.Out(list, outScratch)), lpReturnedString, nSize);
    }
    const std::string* value = document.FindValue(section, key);
    return CopyString(value ? convert.Out(*value, outScratch) : TrimDefault(fallback),
                      lpReturnedString, nSize, unopened);
}

extern "C" BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                           LPCSTR lpFileName) {
    ProfileCache& cache = ProfileCache::Instance();
    std::lock_guard<std::mutex> lock(cache.Mutex());

    if (!lpAppName && !lpKeyName && !lpString) {
        // The flush request returns FALSE even when it saved (as the Windows
        // build does); GetLastError is 0 then, else it says what failed.
        if (!lpFileName) {
            DWORD error = cache.SaveAll(false);
            if (error != ERROR_SUCCESS)
                SetLastError(error);
        } else {
            SetLastError(cache.Save(lpFileName));
        }
        return FALSE;
    }
    if (!lpFileName) { // Windows would write win.ini, which this system has not
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = ERROR_SUCCESS;
    CachedProfile* file = cache.Open(lpFileName, true, error);
    if (!file) {
        SetLastError(error);
        return FALSE;
    }
    if (!lpAppName) { // a key or a value without a section
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (lpKeyName && lpString) {
        error = cache.MakeOnDisk(*file);
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
    }
    // A deletion finds nothing in a file that is neither on disk nor changed
    // (its empty document still holds the nameless section), and makes no file.
    if ((!lpKeyName || !lpString) && !file->stamp.exists && !file->dirty)
        return TRUE;
    DocumentText convert(file);
    std::string sectionScratch, keyScratch, valueScratch;
    LPCSTR section = convert.In(lpAppName, sectionScratch);
    LPCSTR key = convert.In(lpKeyName, keyScratch);
    bool changed;
    if (!lpKeyName)
        changed = file->document.DeleteSection(section);
    else if (!lpString)
        changed = file->document.DeleteKey(section, key);
    else
        changed = file->document.SetValue(section, key, convert.In(lpString, valueScratch));
    if (changed)
        cache.MarkChanged(*file);
    return TRUE;
}

extern "C" UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                      LPCSTR lpFileName) {
    // The number is read from at most 29 characters, as the Windows build does.
    char text[30];
    if (GetPrivateProfileStringA(lpAppName, lpKeyName, "", text, sizeof text, lpFileName) == 0 ||
        text[0] == '\0')
        return static_cast<UINT>(nDefault);
    return ParseProfileInteger(text);
}

extern "C" BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    // A null text deletes the section; nothing at all flushes: both as the
    // single-value writer does them.
    if (!lpString)
        return WritePrivateProfileStringA(lpAppName, nullptr, nullptr, lpFileName);
    if (!lpAppName || !lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Strings without '=' are passed over, as the Windows build does.
    std::vector<std::string_view> lines;
    for (const char* item = lpString; *item != '\0'; item += std::strlen(item) + 1)
        if (std::strchr(item, '='))
            lines.emplace_back(item);

    ProfileCache& cache = ProfileCache::Instance();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    DWORD error = ERROR_SUCCESS;
    CachedProfile* file = cache.Open(lpFileName, true, error);
    if (!file) {
        SetLastError(error);
        return FALSE;
    }
    // Names and lines in the file's own text form, as the single-value writer
    // stores them.
    DocumentText convert(file);
    std::string sectionScratch;
    LPCSTR section = convert.In(lpAppName, sectionScratch);
    std::vector<std::string> storedLines;
    if (!convert.IsAnsi()) {
        storedLines.reserve(lines.size());
        for (std::string_view line : lines) {
            std::string ansi(line), scratch;
            storedLines.emplace_back(convert.In(ansi.c_str(), scratch));
        }
        for (size_t i = 0; i < lines.size(); ++i)
            lines[i] = storedLines[i];
    }
    if (!file->document.SectionWriteChanges(section, !lines.empty()))
        return TRUE;
    error = cache.MakeOnDisk(*file);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    if (file->document.ReplaceSectionLines(section, lines))
        cache.MarkChanged(*file);
    return TRUE;
}

extern "C" DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                           LPCSTR lpFileName) {
    if (!lpAppName || !lpReturnedString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (nSize == 0)
        return 0;
    ProfileCache& cache = ProfileCache::Instance();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    DWORD error = ERROR_FILE_NOT_FOUND;
    const CachedProfile* file = lpFileName ? cache.Open(lpFileName, false, error) : nullptr;
    const ProfileDocument& document = file ? file->document : EmptyDocument();
    SetLastError(error);
    DocumentText convert(file);
    std::string sectionScratch, outScratch;
    std::string list;
    document.AppendSectionLines(convert.In(lpAppName, sectionScratch), list);
    if (list.empty()) { // no section or no lines: an empty list, two NULs
        lpReturnedString[0] = '\0';
        if (nSize > 1)
            lpReturnedString[1] = '\0';
        return 0;
    }
    return CopyList(std::string(convert.Out(list, outScratch)), lpReturnedString, nSize);
}
