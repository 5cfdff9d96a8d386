// Stored text forms of profile values: floating-point numbers, byte blocks and
// integer lists, as the host application writes and reads them.
#pragma once

#include "framework/afx.h"

namespace corvane {

// "%.17f" with trailing zeros removed, and then a trailing point: 0.5 gives
// "0.5", 100 gives "100", 0 gives "0".
CString FormatDoubleText(double value);

// A byte block as text. Quoted form: "'" and the bytes, with "\\" for a
// backslash, "\z" for 0x00, "\n" for 0x0A, "\r" for 0x0D, "\XX" (two upper-case
// hex digits) for the other bytes below 0x20, and every other byte as itself.
// Hex form: two upper-case hex digits per byte. The quoted form is used only
// when it is strictly shorter; the empty block gives "".
// The profile functions trim blanks off the end of a value and drop a pair of
// quotes around it, so a final byte that would be lost that way is written as
// "\XX" too (and counted in the length comparison).
CString EncodeByteBlock(const void* data, UINT count);

// Decodes a byte block text into buffer, whose capacity is *pCount on entry.
// Quoted texts stop when the buffer is full or the text ends; a backslash at
// the end or a bad hex escape gives false with *pCount unchanged (the bytes
// decoded so far stay in the buffer). Hex texts stop at the first non-hex
// character or when the buffer is full; an odd last digit is dropped.
// Otherwise *pCount is the number of bytes stored and the result is whether
// that is not zero.
bool DecodeByteBlock(const char* text, void* buffer, UINT* pCount);

// Signed decimal values joined by "," ("" for an empty array).
CString FormatIntList(const CDWordArray& values);

// True when the final byte of a quoted block must be escaped to survive the
// profile functions (see EncodeByteBlock).
bool IsFragileFinalByte(BYTE byte);

} // namespace corvane
