// Helpers shared by the fuzz targets: a scratch folder per process, whole-file
// writes, and a check that stops the run with a message when a property of the
// code under test does not hold (libFuzzer then keeps the input as a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// A folder of this process, made on first use and left behind for inspection
// (one per run, below $TMPDIR or /tmp).
const std::string& ScratchFolder();

// Replaces the file path by bytes; aborts when that fails (the fuzzer cannot go
// on without its scratch files).
void WriteFile(const std::string& path, std::string_view bytes);

// The input split into a head and a tail at the first occurrence of separator
// (the whole input and an empty tail when there is none).
struct Split {
    std::string_view head;
    std::string_view tail;
};
Split SplitAt(std::string_view input, std::string_view separator);

// Reads small numbers off the front of an input; zero once it is used up.
class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : m_rest(bytes) {}
    uint8_t Byte();
    // Up to maxLength bytes, the length taken from the next byte.
    std::string_view Text(size_t maxLength);
    std::string_view Rest() const { return m_rest; }
    bool Empty() const { return m_rest.empty(); }

  private:
    std::string_view m_rest;
};

// Printable form of bytes for failure messages (C escapes, cut after 200 bytes).
std::string Printable(std::string_view bytes);

[[noreturn]] void Fail(const char* file, int line, const char* condition, const std::string& what);

} // namespace fuzz

// Aborts the run when condition is false; what is printed after the condition.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::Fail(__FILE__, __LINE__, #condition, (what));                                  \
    } while (0)
