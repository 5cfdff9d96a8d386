#include "app/FollowUpLine.h"

#include "support/StoredValueText.h"

namespace corvane {

namespace {

bool FieldBytes(const std::string& text, std::string& bytes) {
    bytes.assign(text.size(), '\0'); // a block never takes more bytes than characters
    UINT count = static_cast<UINT>(bytes.size());
    bool decoded = DecodeByteBlock(text.c_str(), bytes.data(), &count);
    // Only the empty block decodes to no bytes; a bad escape leaves the count.
    if (!decoded && (count != 0 || !text.empty()))
        return false;
    bytes.resize(count);
    return true;
}

} // namespace

std::string FollowUpLine(const std::vector<std::string>& fields) {
    std::string line = fields.empty() ? std::string() : fields[0];
    for (size_t i = 1; i < fields.size(); ++i)
        line += "\t" + EncodeByteBlock(fields[i].data(), static_cast<UINT>(fields[i].size())).str();
    return line;
}

bool ParseFollowUpLine(const std::string& line, std::vector<std::string>& fields) {
    fields.clear();
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        std::string text = line.substr(start, tab == std::string::npos ? tab : tab - start);
        std::string bytes = text;
        if (!fields.empty() && !FieldBytes(text, bytes))
            return false;
        fields.push_back(bytes);
        if (tab == std::string::npos)
            return true;
        start = tab + 1;
    }
}

} // namespace corvane
