#include "FuzzSupport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fuzz {

const std::string& ScratchFolder() {
    static const std::string* folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::fprintf(stderr, "fuzz: cannot make a scratch folder: %s\n", std::strerror(errno));
            std::abort();
        }
        return new std::string(pattern);
    }();
    return *folder;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        ok = wrote > 0;
        if (ok)
            done += static_cast<size_t>(wrote);
    }
    if (fd >= 0 && close(fd) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(stderr, "fuzz: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::abort();
    }
}

Split SplitAt(std::string_view input, std::string_view separator) {
    size_t at = input.find(separator);
    if (at == std::string_view::npos)
        return {input, {}};
    return {input.substr(0, at), input.substr(at + separator.size())};
}

uint8_t ByteReader::Byte() {
    if (m_rest.empty())
        return 0;
    uint8_t value = static_cast<uint8_t>(m_rest[0]);
    m_rest.remove_prefix(1);
    return value;
}

std::string_view ByteReader::Text(size_t maxLength) {
    size_t length = Byte() % (maxLength + 1);
    if (length > m_rest.size())
        length = m_rest.size();
    std::string_view text = m_rest.substr(0, length);
    m_rest.remove_prefix(length);
    return text;
}

std::string Printable(std::string_view bytes) {
    std::string out;
    size_t shown = bytes.size() > 200 ? 200 : bytes.size();
    for (size_t i = 0; i < shown; ++i) {
        unsigned char ch = static_cast<unsigned char>(bytes[i]);
        if (ch == '\\' || ch == '"') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch >= 0x20 && ch < 0x7f) {
            out += static_cast<char>(ch);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", ch);
            out += escape;
        }
    }
    if (shown < bytes.size())
        out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return "\"" + out + "\"";
}

void Fail(const char* file, int line, const char* condition, const std::string& what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n%s\n", file, line, condition, what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
