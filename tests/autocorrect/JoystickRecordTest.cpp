#include "autocorrect/JoystickRecord.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace corvane;

namespace {

// Field offsets of both layouts, written out from the layout tables rather
// than derived from the code under test.
struct Layout {
    size_t firstBlock, firstEntry, valueSize, flagSize;
    size_t secondBlock, thirdBlock, valueEntry;
};
constexpr Layout kOld{0, 32, 4, 4, 192, 576, 12};
constexpr Layout kNew{0, 12, 2, 1, 72, 264, 6};

enum class FieldKind { Value, Flag };
struct Field {
    FieldKind kind;
    size_t oldOffset, newOffset;
    std::string name;
};

std::vector<Field> AllFields() {
    std::vector<Field> fields;
    for (size_t e = 0; e < 6; ++e) {
        for (size_t v = 0; v < 4; ++v)
            fields.push_back({FieldKind::Value, kOld.firstBlock + e * kOld.firstEntry + v * 4,
                              kNew.firstBlock + e * kNew.firstEntry + v * 2,
                              "first[" + std::to_string(e) + "].value" + std::to_string(v + 1)});
        for (size_t f = 0; f < 4; ++f)
            fields.push_back({FieldKind::Flag, kOld.firstBlock + e * kOld.firstEntry + 16 + f * 4,
                              kNew.firstBlock + e * kNew.firstEntry + 8 + f,
                              "first[" + std::to_string(e) + "].flag" + std::to_string(f + 1)});
    }
    for (size_t e = 0; e < 32; ++e)
        for (size_t v = 0; v < 3; ++v)
            fields.push_back({FieldKind::Value, kOld.secondBlock + e * kOld.valueEntry + v * 4,
                              kNew.secondBlock + e * kNew.valueEntry + v * 2,
                              "second[" + std::to_string(e) + "].value" + std::to_string(v + 1)});
    for (size_t e = 0; e < 4; ++e)
        for (size_t v = 0; v < 3; ++v)
            fields.push_back({FieldKind::Value, kOld.thirdBlock + e * kOld.valueEntry + v * 4,
                              kNew.thirdBlock + e * kNew.valueEntry + v * 2,
                              "third[" + std::to_string(e) + "].value" + std::to_string(v + 1)});
    return fields;
}

void Put32(OldJoystickRecord& record, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

int16_t Get16(const JoystickRecord& record, size_t offset) {
    return static_cast<int16_t>(record[offset] | record[offset + 1] << 8);
}

} // namespace

TEST(JoystickRecord, LayoutsCoverEveryByteOnce) {
    std::vector<Field> fields = AllFields();
    std::set<size_t> oldBytes, newBytes;
    for (const Field& f : fields) {
        for (size_t i = 0; i < 4; ++i)
            EXPECT_TRUE(oldBytes.insert(f.oldOffset + i).second) << f.name;
        size_t newSize = f.kind == FieldKind::Value ? 2 : 1;
        for (size_t i = 0; i < newSize; ++i)
            EXPECT_TRUE(newBytes.insert(f.newOffset + i).second) << f.name;
    }
    EXPECT_EQ(oldBytes.size(), kOldJoystickRecordSize);
    EXPECT_EQ(newBytes.size(), kJoystickRecordSize);
}

// Every field holds its own value, so a field read from or written to the
// wrong place shows. Values reach beyond 16 bits both ways; flags are non-zero
// values other than 1, including ones whose low byte is zero.
TEST(JoystickRecord, EveryFieldIsRepackedToItsOwnPlace) {
    std::vector<Field> fields = AllFields();
    const uint32_t flagValues[] = {0, 7, 0x100, 0x80000000u, 1, 0xFFFFFFFFu, 0x10000, 2};
    OldJoystickRecord old{};
    std::vector<uint32_t> stored;
    std::set<int16_t> distinctValues;
    int valueIndex = 0, flagIndex = 0;
    for (const Field& f : fields) {
        uint32_t raw;
        if (f.kind == FieldKind::Value) {
            // Alternating large positive and large negative 32-bit values whose
            // low 16 bits all differ.
            int32_t value =
                valueIndex % 2 == 0 ? 70000 + valueIndex * 1013 : -70000 - valueIndex * 1013;
            raw = static_cast<uint32_t>(value);
            EXPECT_TRUE(distinctValues.insert(static_cast<int16_t>(raw & 0xFFFF)).second);
            ++valueIndex;
        } else {
            raw = flagValues[flagIndex++ % 8];
        }
        Put32(old, f.oldOffset, raw);
        stored.push_back(raw);
    }

    JoystickRecord repacked = RepackJoystickRecord(old);

    for (size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].name);
        if (fields[i].kind == FieldKind::Value)
            EXPECT_EQ(Get16(repacked, fields[i].newOffset),
                      static_cast<int16_t>(static_cast<uint16_t>(stored[i] & 0xFFFF)));
        else
            EXPECT_EQ(repacked[fields[i].newOffset], stored[i] != 0 ? 1 : 0);
    }
}

TEST(JoystickRecord, KnownValuesConvert) {
    struct Case {
        int32_t in;
        int16_t out;
    };
    const Case cases[] = {
        {70000, 4464},    {-70000, -4464}, {32767, 32767}, {32768, -32768},
        {-32768, -32768}, {-32769, 32767}, {65535, -1},    {65536, 0},
        {0x7FFFFFFF, -1}, {INT32_MIN, 0},  {-1, -1},       {0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        OldJoystickRecord old{};
        Put32(old, kOld.secondBlock + 12 + 4, static_cast<uint32_t>(c.in)); // second[1].value2
        JoystickRecord repacked = RepackJoystickRecord(old);
        EXPECT_EQ(Get16(repacked, kNew.secondBlock + 6 + 2), c.out);
    }
}

TEST(JoystickRecord, FirstEntryExample) {
    OldJoystickRecord old{};
    const uint32_t first[8] = {1, 2, 3, 4, 0, 7, 0, 1};
    for (size_t i = 0; i < 8; ++i)
        Put32(old, i * 4, first[i]);
    JoystickRecord repacked = RepackJoystickRecord(old);
    const uint8_t expected[12] = {1, 0, 2, 0, 3, 0, 4, 0, 0, 1, 0, 1};
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(repacked[i], expected[i]) << "byte " << i;
}
