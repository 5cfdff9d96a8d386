// The line level of private-profile (INI) files: which bytes are blanks, what
// a section header and a key line are, how a file's bytes are decoded and
// encoded. Nothing here knows about sections as a whole or about buffers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace posix::profile {

// Blank characters of profile lines: space, tab, line feed, vertical tab, form
// feed, carriage return, and Ctrl-Z (an old end-of-file mark). Only ASCII.
inline bool IsProfileBlank(char ch) {
    return ch == ' ' || (ch >= '\t' && ch <= '\r') || ch == '\x1a';
}

// The text without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view text);
// The text without leading blanks.
std::string_view TrimLeadingBlanks(std::string_view text);
// The text up to its first NUL byte (strings stop there).
std::string_view CutAtNul(std::string_view text);

// Names compare without regard to ASCII letter case; other bytes as they are.
std::string FoldedName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// One meaningful line of a profile file. Blank lines have no ProfileLine.
struct ProfileLine {
    enum class Kind { Header, Key };
    Kind kind = Kind::Key;
    // Header: the section name. Key: the text before the first '=', or the
    // whole line when it has none. Trimmed, cut at the first NUL.
    std::string name;
    // Key lines with '=': the text after it, trimmed, cut at the first NUL.
    std::string value;
    bool hasValue = false;
};

// Reads the lines of `text` one by one. Lines end at CR, LF or CRLF; blank
// lines are skipped. A line that starts with '[' and holds a ']' is a header
// naming the text up to its last ']'; any other line is a key line.
class ProfileLineReader {
  public:
    explicit ProfileLineReader(std::string_view text) : m_rest(text) {}
    // Fills `line` with the next meaningful line; false at the end of the text.
    bool Next(ProfileLine& line);

  private:
    std::string_view m_rest;
};

// How a file's bytes map to the 8-bit text the functions work on: the bytes of
// an 8-bit file, and the lossless UTF-8 form (platform/TextConversion.h) of a
// UTF-16 file.
enum class ProfileEncoding : uint8_t {
    Ansi,    // no byte-order mark: the bytes are the text
    Utf8Bom, // UTF-8 with its byte-order mark, kept when the file is written
    Utf16LE, // UTF-16 little-endian with byte-order mark
    Utf16BE, // UTF-16 big-endian with byte-order mark
};

struct DecodedProfile {
    ProfileEncoding encoding = ProfileEncoding::Ansi;
    std::string text;
};

// The text of a file's bytes and the encoding that writes it back. Any UTF-16,
// unpaired surrogates included, survives a round trip unchanged.
DecodedProfile DecodeProfileBytes(std::string_view bytes);
// The bytes of `text` in `encoding`, byte-order mark included.
std::string EncodeProfileText(std::string_view text, ProfileEncoding encoding);

} // namespace posix::profile
