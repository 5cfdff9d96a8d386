// Conversions between 8-bit text (UTF-8 and the ANSI code page) and UTF-16:
// lengths, size queries, buffer limits and malformed input.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using WText = std::basic_string<WCHAR>;

WText Units(std::u16string_view units) {
    return WText(units.begin(), units.end());
}

WText ToWide(const std::string& bytes, UINT codePage = CP_UTF8) {
    int size =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WText out(static_cast<size_t>(size), 0);
    if (size > 0) {
        EXPECT_EQ(size, MultiByteToWideChar(codePage, 0, bytes.data(),
                                            static_cast<int>(bytes.size()), out.data(), size));
    }
    return out;
}

std::string ToUtf8(const WText& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    if (size > 0) {
        EXPECT_EQ(size, WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            out.data(), size, nullptr, nullptr));
    }
    return out;
}

} // namespace

TEST(CodePage, Utf8ToUtf16AndBack) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    } cases[] = {
        {"Corvane", u"Corvane"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         u"Gr\u00FC\u00DFe"},
        {"\xE2\x82\xAC 5", u"\u20AC 5"},
        {"\xF0\x9F\x8E\xB9", u"\U0001F3B9"}, // a pair of surrogates
        {"\xEF\xBF\xBF", u"\uFFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Units(c.utf16), ToWide(c.utf8));
        EXPECT_EQ(c.utf8, ToUtf8(Units(c.utf16)));
    }
}

TEST(CodePage, MinusOneLengthCountsTheNul) {
    WCHAR wide[16];
    std::memset(wide, 0x55, sizeof wide);
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0));
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 16));
    EXPECT_EQ(Units(u"abc"), WText(wide));
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 16));
    char narrow[16];
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 16, nullptr, nullptr));
    EXPECT_STREQ("abc", narrow);
    EXPECT_EQ('#', narrow[4]);
    // Without the NUL in the count, none is written.
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(2, WideCharToMultiByte(CP_UTF8, 0, wide, 2, narrow, 16, nullptr, nullptr));
    EXPECT_EQ('#', narrow[2]);
}

TEST(CodePage, AnsiCodePageHandlesAscii) {
    EXPECT_EQ(Units(u"Plug-Ins [1]"), ToWide("Plug-Ins [1]", CP_ACP));
    WCHAR wide[8];
    EXPECT_EQ(3, MultiByteToWideChar(CP_THREAD_ACP, 0, "xyz", 3, wide, 8));
    char narrow[8] = {};
    EXPECT_EQ(3, WideCharToMultiByte(CP_ACP, 0, wide, 3, narrow, 8, nullptr, nullptr));
    EXPECT_STREQ("xyz", narrow);
}

TEST(CodePage, TooSmallOutputFailsWithInsufficientBuffer) {
    WCHAR wide[4];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, wide, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    if (!testing_support::IsWindowsBuild()) {
        // A surrogate pair does not fit in one unit. (Wine writes the first
        // half and reports success; here the call fails whole.)
        SetLastError(0);
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x8E\xB9", 4, wide, 1));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    }
    WText euro = Units(u"\u20AC");
    char narrow[4];
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, euro.c_str(), 1, narrow, 2, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(CodePage, BadArguments) {
    WCHAR wide[4];
    char narrow[4];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    WText text = Units(u"abc");
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(12345, 0, "abc", 3, wide, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, text.c_str(), 0, narrow, 4, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// Windows gives U+FFFD for bad UTF-8; the Linux build keeps every bad byte as
// the unit U+DC00 + byte, which converts back to that byte (its one rule for
// text that is not valid in its source form).
TEST(CodePage, MalformedUtf8FollowsTheRuleOfEachBuild) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string windows;
        std::u16string posix;
    } cases[] = {
        {"stray continuation byte", "a\x80z", u"a\uFFFDz", u"a\xDC80z"},
        {"lead byte without continuation", "a\xC3z", u"a\uFFFDz", u"a\xDCC3z"},
        {"cut three-byte sequence", "a\xE2\x82z", u"a\uFFFDz", u"a\xDCE2\xDC82z"},
        {"cut at the end", "a\xE2\x82", u"a\uFFFD", u"a\xDCE2\xDC82"},
        {"overlong form of '/'", "\xC0\xAF", u"\uFFFD\uFFFD", u"\xDCC0\xDCAF"},
        {"overlong three-byte form", "\xE0\x80\x80", u"\uFFFD\uFFFD", u"\xDCE0\xDC80\xDC80"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD", u"\xDCED\xDCA0\xDC80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"byte 0xFF", "\xFF", u"\uFFFD", u"\xDCFF"},
        {"Latin-1 text", "caf\xE9 ok", u"caf\uFFFD ok", u"caf\xDCE9 ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WText wide = ToWide(c.bytes);
        EXPECT_EQ(Units(testing_support::IsWindowsBuild() ? c.windows : c.posix), wide);
        if (!testing_support::IsWindowsBuild()) {
            EXPECT_EQ(c.bytes, ToUtf8(wide));
        }
        SetLastError(0);
        WCHAR out[16];
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                         static_cast<int>(c.bytes.size()), out, 16));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
}

// A lone surrogate has no UTF-8 form: Windows writes U+FFFD, the Linux build
// '?'; both say a default was used.
TEST(CodePage, LoneSurrogateIsReplaced) {
    const std::string replacement = testing_support::IsWindowsBuild() ? "\xEF\xBF\xBD" : "?";
    WText lone = Units(u"a");
    lone += static_cast<WCHAR>(0xD800);
    lone += static_cast<WCHAR>('b');
    EXPECT_EQ("a" + replacement + "b", ToUtf8(lone));
    WText trailing = Units(u"x");
    trailing += static_cast<WCHAR>(0xDC00);
    EXPECT_EQ("x" + replacement, ToUtf8(trailing));
    BOOL used = 7;
    char narrow[8];
    EXPECT_EQ(static_cast<int>(1 + replacement.size()),
              WideCharToMultiByte(CP_UTF8, 0, lone.c_str(), 2, narrow, 8, nullptr, &used));
    EXPECT_TRUE(used);
    used = 7;
    EXPECT_EQ(1, WideCharToMultiByte(CP_UTF8, 0, lone.c_str(), 1, narrow, 8, nullptr, &used));
    EXPECT_FALSE(used);
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.c_str(), 3, narrow, 8,
                                     nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}

// The ANSI code page of the Windows user: 1252 on a Western system (Wine's
// default, and the Linux build's without CORVANE_CODEPAGE).
TEST(CodePage, AnsiCodePageIsWestern) {
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(Units(u"Gr\u00F6\u00DFe \u20AC"), ToWide("Gr\xF6\xDF"
                                                       "e \x80",
                                                       CP_ACP));
    WText japanese = Units(u"\u65E5");
    char narrow[8] = {};
    BOOL used = FALSE;
    EXPECT_EQ(1, WideCharToMultiByte(CP_ACP, 0, japanese.c_str(), 1, narrow, 8, nullptr, &used));
    EXPECT_STREQ("?", narrow);
    EXPECT_TRUE(used);
}
