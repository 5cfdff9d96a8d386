// One registry change a run leaves for after its files are in place, as a
// line of text that can be recorded and read back: its kind, then its fields,
// separated by tabs, every field in the byte block form (which escapes tabs
// and every other control byte, so a field may hold any bytes).
#pragma once

#include <string>
#include <vector>

namespace corvane {

// The line of `fields`: the first one (the kind: letters and "-") as it is.
std::string FollowUpLine(const std::vector<std::string>& fields);

// The fields of a line; false when a field is not in the byte block form.
bool ParseFollowUpLine(const std::string& line, std::vector<std::string>& fields);

} // namespace corvane
