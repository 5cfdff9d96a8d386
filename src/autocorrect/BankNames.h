// The bank-name table: index = bank number, value = bank name, filled from the
// "bank%d" keys of the settings section.
#pragma once

namespace corvane {

// Banks the host addresses: 0 to 16383.
constexpr int kBankCount = 0x4000;
// The largest bank number the table grows to hold; a key beyond it is skipped
// rather than growing the table by millions of empty names.
constexpr int kMaxBankNumber = 0xFFFFF;

// The bank number of a key written "bank%d": the lower-case "bank", then a
// decimal number read as scanf's %d reads it (blanks and a sign allowed before
// the digits, anything after them ignored). False for other keys, negative
// numbers and numbers above kMaxBankNumber.
bool ParseBankKey(const char* key, int& number);

} // namespace corvane
