// Text between UTF-16 and the 8-bit forms the program meets, in one place: the
// registry export reader and writer, the Linux registry store and profile files,
// and MultiByteToWideChar / WideCharToMultiByte on Linux all convert through here.
//
// Two 8-bit forms:
// - lossless UTF-8: UTF-8 in which a surrogate without its partner takes the
//   three-byte form of its code. Every UTF-16 text has exactly one such form and
//   comes back from it unit for unit. The Linux registry store keeps its text so.
// - the ANSI code page: the text of the A-functions, of INI files, of the console
//   and of 8-bit registry exports. On Windows the system's; on Linux the one
//   CORVANE_CODEPAGE names (default 1252, see posix/CodePage.h).
//
// The one rule for input that is not valid in its source form:
// - 8-bit to UTF-16: a byte that begins no character of the code page (or whose
//   character the code page would not give back as the same bytes) becomes the
//   unit U+DC00 + byte; ASCII bytes are always themselves.
// - UTF-16 to 8-bit: a unit U+DC80..U+DCFF without a partner becomes the byte it
//   stands for; any other unit the code page has no form for becomes '?'.
// So any byte string comes back from UTF-16 byte for byte, and a text that a code
// page cannot hold is found by converting it there and back (AnsiHolds).
// (On Windows the ANSI functions are the system's and follow its rules.)
#pragma once

#include <string>
#include <string_view>

namespace text {

// True when every byte is below 0x80: such text is the same in every form here.
bool IsAscii(std::string_view bytes);

void AppendWideAsLossless(std::string& out, std::u16string_view wide);
void AppendLosslessAsWide(std::u16string& out, std::string_view lossless);
std::string WideToLossless(std::u16string_view wide);
std::u16string LosslessToWide(std::string_view lossless);
// LosslessToWide(lossless).size(), without building the text.
size_t LosslessWideLength(std::string_view lossless);

// Strict UTF-8 (code page 65001) to UTF-16 and back by the rule above.
void AppendUtf8AsWide(std::u16string& out, std::string_view utf8);
bool AppendWideAsUtf8(std::string& out, std::u16string_view wide);

// The number of the ANSI code page (GetACP()).
unsigned AnsiCodePage();
// ANSI text to UTF-16 and back by the rule above. AppendWideAsAnsi gives false
// when some unit had no form and became '?'.
void AppendAnsiAsWide(std::u16string& out, std::string_view ansi);
bool AppendWideAsAnsi(std::string& out, std::u16string_view wide);
// True when the ANSI code page gives the text back unchanged from its 8-bit form.
bool AnsiHolds(std::u16string_view wide);

// ANSI text to lossless UTF-8 and back. ASCII text is returned as it is.
std::string AnsiToLossless(std::string_view ansi);
std::string LosslessToAnsi(std::string_view lossless);
// The same without a copy for ASCII text: the view of the input, or of scratch
// holding the converted text.
std::string_view AnsiToLossless(std::string_view ansi, std::string& scratch);
std::string_view LosslessToAnsi(std::string_view lossless, std::string& scratch);

// The text for a message: the ANSI form, with every character the code page
// cannot hold written as \uXXXX (the unit in hex), so that a name shows as it is.
std::string PrintableAnsi(std::u16string_view wide);
// Empty when the ANSI code page holds the text; otherwise the reason, as
// `what "<printable text>" has characters that code page <n> cannot hold`.
std::string AnsiLoss(const char* what, std::u16string_view wide);

} // namespace text
