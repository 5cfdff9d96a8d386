// The text of registry export files to lossless UTF-8 (platform/TextConversion.h)
// and back: UTF-16LE in version 5 files and in their hex string data, 8-bit text
// (the ANSI code page, or UTF-8 after a UTF-8 byte-order mark) otherwise.
#pragma once

#include <string>
#include <string_view>

namespace regfile::text_form {

// UTF-16 code units as UTF-16LE bytes.
std::string Utf16LeBytes(std::u16string_view units);

// UTF-16LE file bytes appended to `out` as lossless UTF-8 text; an odd last byte
// is dropped.
void AppendUtf16LeAsText(std::string& out, std::string_view bytes);
std::string Utf16LeBytesToText(std::string_view bytes);

// Lossless UTF-8 text appended to `out` as UTF-16LE bytes.
void AppendTextAsUtf16Le(std::string& out, std::string_view text);

// 8-bit text to lossless UTF-8 and back: the ANSI code page, or UTF-8 when utf8.
void AppendEightBitAsText(std::string& out, std::string_view bytes, bool utf8);
void AppendTextAsEightBit(std::string& out, std::string_view text, bool utf8);

} // namespace regfile::text_form
