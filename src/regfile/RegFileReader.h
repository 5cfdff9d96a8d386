// Reading registry export files: whole, or in pieces as they come from the disk.
// The file forms read are described in regfile/RegFileTypes.h.
#pragma once

#include "regfile/RegFileTypes.h"

#include <functional>
#include <string>
#include <string_view>

namespace regfile {

// Parses a whole file. On failure content holds what was read before the error.
RegParseResult ParseRegFile(std::string_view bytes, RegFileContent& content);

// The same, key by key: each key goes to visit, in file order, as soon as its last
// value was read (on failure, the key the error cut short goes last), and format
// receives the file's format. The visitor may take the key's strings and values;
// the reader only reuses the key's value list for the next key.
using RegKeyVisitor = std::function<void(RegFileKey& key)>;
RegParseResult ParseRegFile(std::string_view bytes, RegFileFormat& format,
                            const RegKeyVisitor& visit);

// The same for a file handed over in pieces as they come from the disk, so that
// the file's bytes are never held whole: Add the pieces in order (cut anywhere),
// then Finish once, as ParseRegFile above.
class RegFileReader {
  public:
    // expectedSize, the file's size when known, makes room for its text at once.
    explicit RegFileReader(size_t expectedSize = 0);
    void Add(std::string_view piece);
    RegParseResult Finish(RegFileFormat& format, const RegKeyVisitor& visit);

  private:
    enum class Kind { Unknown, Utf16Be, Utf16Le, EightBit };
    // Decides the encoding from the file's first bytes, then takes them.
    void TakeStart(std::string_view bytes);
    void TakePending();
    // Turns bytes into text, keeping back what needs the next piece.
    void Take(std::string_view piece);

    size_t m_expectedSize;
    Kind m_kind = Kind::Unknown;
    bool m_utf8ByteOrderMark = false;
    std::string m_pending; // bytes not turned into text yet
    std::string m_text;
};

} // namespace regfile
