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
            Block(m_buffer);
            m_pending = 0;
        }
        while (bytes.size() >= kBlock) {
            Block(bytes.data());
            bytes.remove_prefix(kBlock);
        }
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

    void Block(const char* data) {
        for (int lane = 0; lane < 4; ++lane) {
            uint64_t word;
            std::memcpy(&word, data + 8 * lane, 8);
            m_lanes[lane] = Rotate(m_lanes[lane] + word * kPrime2, 31) * kPrime1;
        }
    }

    uint64_t m_lanes[4] = {1, 2, 3, 4};
    char m_buffer[kBlock] = {};
    size_t m_pending = 0;
    uint64_t m_length = 0;
};

} // namespace posix
