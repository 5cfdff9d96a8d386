// The text form of traces: how a call and its arguments are written in a script
// and in the driver's output, and the random numbers the generator draws. Both
// builds must print byte-identical lines for identical behaviour, so nothing here
// depends on the C++ library's own distributions or formatting of floats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

// One argument of a call: a null pointer, a string (bytes), a number, or a word
// (a size the driver works out at run time, such as "exact").
struct Arg {
    enum class Kind { Null, Text, Number, Word };
    Kind kind = Kind::Null;
    std::string text; // Text: the bytes; Word: the word
    int64_t number = 0;

    static Arg Null() { return Arg{}; }
    static Arg Str(std::string bytes) { return Arg{Kind::Text, std::move(bytes), 0}; }
    static Arg Num(int64_t value) { return Arg{Kind::Number, std::string(), value}; }
    static Arg WordArg(std::string word) { return Arg{Kind::Word, std::move(word), 0}; }
    bool IsNull() const { return kind == Kind::Null; }
    const char* CStr() const { return kind == Kind::Text ? text.c_str() : nullptr; }
};

// One line of a script: an operation name and its arguments.
struct Call {
    std::string op;
    std::vector<Arg> args;
};

// The bytes as a quoted literal: printable ASCII as it is, '"' and '\' escaped,
// \r \n \t \0 and \xHH for the rest. A long run of one byte is written "c"*N.
std::string Quote(std::string_view bytes);
// The script line of a call.
std::string FormatCall(const Call& call);
// Parses one script line; false with `error` set when it is malformed. Blank
// lines and lines starting with '#' give an empty op.
bool ParseCall(std::string_view line, Call& call, std::string& error);

// Bytes written to the output: escaped in full when short, else their length
// and hash, so that lines stay readable and exact.
std::string Show(std::string_view bytes);
uint64_t Fnv64(std::string_view bytes);

// splitmix64: the same numbers on every platform and compiler.
class Random {
  public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // A number in [0, bound).
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
    // True `perThousand` times in a thousand.
    bool Chance(uint32_t perThousand) { return Below(1000) < perThousand; }
    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[Below(static_cast<uint32_t>(items.size()))];
    }

  private:
    uint64_t m_state;
};

} // namespace trace
