#include "TraceFormat.h"

#include <cstdio>

namespace trace {

namespace {

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (unsigned char ch : bytes) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            if (ch >= 0x20 && ch < 0x7f) {
                out += static_cast<char>(ch);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", ch);
                out += hex;
            }
        }
    }
}

bool IsHex(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return ch - 'A' + 10;
}

// Reads a quoted literal starting at line[pos] == '"', with an optional "*N"
// repeat count after it; pos moves past it.
bool ParseQuoted(std::string_view line, size_t& pos, std::string& out, std::string& error) {
    ++pos;
    std::string piece;
    for (;;) {
        if (pos >= line.size()) {
            error = "unterminated string";
            return false;
        }
        char ch = line[pos++];
        if (ch == '"')
            break;
        if (ch != '\\') {
            piece += ch;
            continue;
        }
        if (pos >= line.size()) {
            error = "escape at end of line";
            return false;
        }
        char code = line[pos++];
        switch (code) {
        case 'r':
            piece += '\r';
            break;
        case 'n':
            piece += '\n';
            break;
        case 't':
            piece += '\t';
            break;
        case '0':
            piece += '\0';
            break;
        case 'x':
            if (pos + 1 >= line.size() || !IsHex(line[pos]) || !IsHex(line[pos + 1])) {
                error = "bad \\x escape";
                return false;
            }
            piece += static_cast<char>(HexValue(line[pos]) * 16 + HexValue(line[pos + 1]));
            pos += 2;
            break;
        default:
            piece += code;
        }
    }
    if (pos < line.size() && line[pos] == '*') {
        ++pos;
        size_t count = 0;
        size_t start = pos;
        while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9')
            count = count * 10 + static_cast<size_t>(line[pos++] - '0');
        if (pos == start || count > 10'000'000) {
            error = "bad repeat count";
            return false;
        }
        out.clear();
        out.reserve(piece.size() * count);
        for (size_t i = 0; i < count; ++i)
            out += piece;
    } else {
        out = std::move(piece);
    }
    return true;
}

} // namespace

std::string Quote(std::string_view bytes) {
    std::string out;
    if (bytes.size() >= 64 && bytes.find_first_not_of(bytes[0]) == std::string_view::npos) {
        out += '"';
        AppendEscaped(out, bytes.substr(0, 1));
        out += "\"*" + std::to_string(bytes.size());
        return out;
    }
    out += '"';
    AppendEscaped(out, bytes);
    out += '"';
    return out;
}

std::string FormatCall(const Call& call) {
    std::string out = call.op;
    for (const Arg& arg : call.args) {
        out += ' ';
        switch (arg.kind) {
        case Arg::Kind::Null:
            out += '~';
            break;
        case Arg::Kind::Text:
            out += Quote(arg.text);
            break;
        case Arg::Kind::Number:
            out += std::to_string(arg.number);
            break;
        case Arg::Kind::Word:
            out += arg.text;
            break;
        }
    }
    return out;
}

bool ParseCall(std::string_view line, Call& call, std::string& error) {
    call = Call();
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.remove_suffix(1);
    size_t pos = 0;
    auto skipSpaces = [&] {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
    };
    skipSpaces();
    if (pos >= line.size() || line[pos] == '#')
        return true;
    size_t start = pos;
    while (pos < line.size() && line[pos] != ' ')
        ++pos;
    call.op.assign(line.substr(start, pos - start));
    for (;;) {
        skipSpaces();
        if (pos >= line.size())
            return true;
        Arg arg;
        char ch = line[pos];
        if (ch == '~') {
            ++pos;
        } else if (ch == '"') {
            arg.kind = Arg::Kind::Text;
            if (!ParseQuoted(line, pos, arg.text, error))
                return false;
        } else {
            start = pos;
            while (pos < line.size() && line[pos] != ' ')
                ++pos;
            std::string word(line.substr(start, pos - start));
            bool numeric = !word.empty();
            for (size_t i = 0; i < word.size(); ++i)
                if (!((word[i] >= '0' && word[i] <= '9') ||
                      (i == 0 && word[i] == '-' && word.size() > 1)))
                    numeric = false;
            if (numeric) {
                arg.kind = Arg::Kind::Number;
                arg.number = std::stoll(word);
            } else {
                arg.kind = Arg::Kind::Word;
                arg.text = word;
            }
        }
        if (pos < line.size() && line[pos] != ' ') {
            error = "expected a blank after argument " + std::to_string(call.args.size() + 1);
            return false;
        }
        call.args.push_back(std::move(arg));
    }
}

uint64_t Fnv64(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char ch : bytes) {
        hash ^= ch;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string Show(std::string_view bytes) {
    if (bytes.size() <= 512)
        return Quote(bytes);
    char text[64];
    std::snprintf(text, sizeof text, "<%zu bytes fnv %016llx>", bytes.size(),
                  static_cast<unsigned long long>(Fnv64(bytes)));
    return text;
}

uint64_t Random::Next() {
    uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

} // namespace trace
