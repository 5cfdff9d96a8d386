// LineSplitter: line ends, and texts that arrive in pieces.
#include "ini/LineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// The lines of text fed in pieces cut at the given offsets.
Lines Split(const std::string& text, const std::vector<size_t>& cuts = {}) {
    Lines lines;
    LineSplitter splitter;
    auto onLine = [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    size_t from = 0;
    for (size_t cut : cuts) {
        splitter.Feed(text.data() + from, cut - from, onLine);
        from = cut;
    }
    splitter.Feed(text.data() + from, text.size() - from, onLine);
    splitter.Finish(onLine);
    return lines;
}

TEST(LineSplitter, LineEnds) {
    struct Case {
        const char* what;
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        {"line feeds", "a\nb\n", {"a", "b"}},
        {"CRLF", "a\r\nb\r\n", {"a", "b"}},
        {"no final line end", "a\nb", {"a", "b"}},
        {"empty lines", "\n\n", {"", ""}},
        {"returns before a line feed", "a\r\r\nb", {"a", "b"}},
        {"lone returns", "a\rb\r\rc", {"a", "b", "", "c"}},
        {"return at the end", "a\r", {"a"}},
        {"NUL is an ordinary byte", "a\0b\n\0"s, {"a\0b"s, "\0"s}},
        {"empty text", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Lines whole = Split(c.text);
        EXPECT_EQ(c.lines, whole);
        // Cut anywhere, once or at every byte, the text gives the same lines.
        for (size_t cut = 0; cut <= c.text.size(); ++cut)
            EXPECT_EQ(whole, Split(c.text, {cut}));
        std::vector<size_t> everyByte;
        for (size_t cut = 0; cut <= c.text.size(); ++cut)
            everyByte.push_back(cut);
        EXPECT_EQ(whole, Split(c.text, everyByte));
    }
}

TEST(LineSplitter, StopsWhenTheReceiverRefuses) {
    LineSplitter splitter;
    int calls = 0;
    auto refuseSecond = [&calls](std::string_view) { return ++calls < 2; };
    const std::string text = "a\nb\nc\n";
    EXPECT_FALSE(splitter.Feed(text.data(), text.size(), refuseSecond));
    EXPECT_EQ(2, calls);
}

} // namespace
