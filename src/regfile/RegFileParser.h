// The reader's line level: the decoded text of a registry export file, from its
// header line on, turned into keys and values.
#pragma once

#include "regfile/RegFileReader.h"

#include <string_view>

namespace regfile {

// Reads text (lossless UTF-8, the file's encoding already undone) and gives each
// key to visit, as ParseRegFile does; format receives the version and line ends.
RegParseResult ParseRegText(std::string_view text, RegFileFormat& format,
                            const RegKeyVisitor& visit);

} // namespace regfile
