// The stored joystick record ("Joysticks" in the settings section): the old
// layout with 32-bit fields and the current one with 16-bit values and 8-bit
// flags. Both are packed and little-endian, blocks and entries in this order:
//   first block:  6 entries of 4 values, then 4 flags
//   second block: 32 entries of 3 values
//   third block:  4 entries of 3 values
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane {

constexpr int kJoystickFirstBlockEntries = 6;
constexpr int kJoystickSecondBlockEntries = 32;
constexpr int kJoystickThirdBlockEntries = 4;

// 6 * (4 * 4 + 4 * 4) + 32 * 3 * 4 + 4 * 3 * 4
constexpr size_t kOldJoystickRecordSize = 624;
// 6 * (4 * 2 + 4 * 1) + 32 * 3 * 2 + 4 * 3 * 2
constexpr size_t kJoystickRecordSize = 288;

using OldJoystickRecord = std::array<uint8_t, kOldJoystickRecordSize>;
using JoystickRecord = std::array<uint8_t, kJoystickRecordSize>;

// Repacks an old record field by field: every value keeps its low 16 bits,
// every flag becomes 1 when it was non-zero and 0 otherwise.
JoystickRecord RepackJoystickRecord(const OldJoystickRecord& old);

} // namespace corvane
