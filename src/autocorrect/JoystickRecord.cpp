#include "autocorrect/JoystickRecord.h"

namespace corvane {

namespace {

// Walks an old record, reading little-endian 32-bit fields in order.
class OldFieldReader {
  public:
    explicit OldFieldReader(const OldJoystickRecord& bytes) : m_bytes(bytes) {}

    uint32_t Next() {
        uint32_t value = static_cast<uint32_t>(m_bytes[m_pos]) |
                         static_cast<uint32_t>(m_bytes[m_pos + 1]) << 8 |
                         static_cast<uint32_t>(m_bytes[m_pos + 2]) << 16 |
                         static_cast<uint32_t>(m_bytes[m_pos + 3]) << 24;
        m_pos += 4;
        return value;
    }

  private:
    const OldJoystickRecord& m_bytes;
    size_t m_pos = 0;
};

// Fills a new record in order: 16-bit little-endian values and 8-bit flags.
class FieldWriter {
  public:
    explicit FieldWriter(JoystickRecord& bytes) : m_bytes(bytes) {}

    // Keeps the low 16 bits of a 32-bit value.
    void Value(uint32_t value) {
        m_bytes[m_pos++] = static_cast<uint8_t>(value & 0xFF);
        m_bytes[m_pos++] = static_cast<uint8_t>((value >> 8) & 0xFF);
    }
    // Any non-zero flag is stored as 1.
    void Flag(uint32_t flag) { m_bytes[m_pos++] = flag != 0 ? 1 : 0; }

  private:
    JoystickRecord& m_bytes;
    size_t m_pos = 0;
};

// Copies `count` entries of `values` values each (no flags).
void RepackValueEntries(OldFieldReader& in, FieldWriter& out, int count, int values) {
    for (int entry = 0; entry < count; ++entry)
        for (int i = 0; i < values; ++i)
            out.Value(in.Next());
}

} // namespace

JoystickRecord RepackJoystickRecord(const OldJoystickRecord& old) {
    JoystickRecord repacked{};
    OldFieldReader in(old);
    FieldWriter out(repacked);
    for (int entry = 0; entry < kJoystickFirstBlockEntries; ++entry) {
        for (int i = 0; i < 4; ++i)
            out.Value(in.Next());
        for (int i = 0; i < 4; ++i)
            out.Flag(in.Next());
    }
    RepackValueEntries(in, out, kJoystickSecondBlockEntries, 3);
    RepackValueEntries(in, out, kJoystickThirdBlockEntries, 3);
    return repacked;
}

} // namespace corvane
