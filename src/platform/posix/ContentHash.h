// A 64-bit hash of a byte stream, fed in pieces of any size: the same bytes
// give the same hash however they are cut. Four independent lanes over 32-byte
// blocks keep it at memory speed, so hashing a large file costs little next to
// reading it. Tells versions of one file apart; no defence against someone who
// crafts a collision on purpose.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace posix {

class ContentHash {
  public:
    void Add(std::string_view bytes) {
        m_length += bytes.size();
        if (m_pending > 0) {
            size_t take = std::min(bytes.size(), kBlock - m_pending);
            std::memcpy(m_buffer + m_pending, bytes.data(), take);
            m_pending += take;
            bytes.remove_prefix(take);
            if (m_pending < kBlock)
                return;
            Blocks(m_buffer, 1);
            m_pending = 0;
        }
        size_t blocks = bytes.size() / kBlock;
        Blocks(bytes.data(), blocks);
        bytes.remove_prefix(blocks * kBlock);
        std::memcpy(m_buffer, bytes.data(), bytes.size());
        m_pending = bytes.size();
    }

    uint64_t Value() const {
        uint64_t h = m_length * kPrime1;
        for (uint64_t lane : m_lanes)
            h = Mix(h ^ lane);
        for (size_t i = 0; i < m_pending; ++i)
            h = Mix(h ^ static_cast<unsigned char>(m_buffer[i]));
        return h;
    }

  private:
    static constexpr size_t kBlock = 32;
    static constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
    static constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;

    static uint64_t Rotate(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }
    static uint64_t Mix(uint64_t h) { return Rotate(h * kPrime2, 29) * kPrime1; }

    static uint64_t Round(uint64_t lane, const char* data) {
        uint64_t word;
        std::memcpy(&word, data, 8);
        return Rotate(lane + word * kPrime2, 31) * kPrime1;
    }

    // The lanes stay in registers over a run of blocks.
    void Blocks(const char* data, size_t count) {
        uint64_t a = m_lanes[0], b = m_lanes[1], c = m_lanes[2], d = m_lanes[3];
        for (size_t i = 0; i < count; ++i, data += kBlock) {
            a = Round(a, data);
            b = Round(b, data + 8);
            c = Round(c, data + 16);
            d = Round(d, data + 24);
        }
        m_lanes[0] = a;
        m_lanes[1] = b;
        m_lanes[2] = c;
        m_lanes[3] = d;
    }

    uint64_t m_lanes[4] = {1, 2, 3, 4};
    char m_buffer[kBlock] = {};
    size_t m_pending = 0;
    uint64_t m_length = 0;
};

} // namespace posix
