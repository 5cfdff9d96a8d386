// The progress line: shown on a terminal for big steps only, redrawn a bounded
// number of times, cleared at the end.
#include "app/ProgressLine.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace corvane;

namespace {

// What a step of `total` values, reached one by one, writes to the stream.
std::string RunStep(size_t total, bool terminal) {
    testing_support::ScratchDir scratch;
    std::string path = scratch.file("progress.txt");
    FILE* out = fopen(path.c_str(), "wb");
    {
        CProgressLine line("Copy from registry to Corvane.ini", total, out, terminal);
        for (size_t done = 1; done <= total; ++done)
            line.Reach(done);
    }
    fclose(out);
    return testing_support::ReadFileBytes(path);
}

TEST(ProgressLine, ShownOnATerminalForStepsOverTwoThousandValues) {
    const struct {
        size_t total;
        bool terminal;
        bool shown;
    } cases[] = {{0, true, false},    {2000, true, false},  {2001, true, true},
                 {50000, true, true}, {2001, false, false}, {50000, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << (c.terminal ? " terminal" : " file"));
        std::string out = RunStep(c.total, c.terminal);
        EXPECT_EQ(!out.empty(), c.shown);
        if (!c.shown)
            continue;
        std::string total = std::to_string(c.total);
        EXPECT_EQ(out.rfind("\rcorvane-migrate: Copy from registry to Corvane.ini: 0/" + total, 0),
                  0u);
        EXPECT_NE(out.find(": " + total + "/" + total), std::string::npos);
        // At most one redraw per hundredth, never one per value.
        size_t draws = std::count(out.begin(), out.end(), '\r');
        EXPECT_LE(draws, 103u);
        // The end blanks the line: no line feed, the cursor back at its start.
        EXPECT_EQ(out.find('\n'), std::string::npos);
        EXPECT_EQ(out.back(), '\r');
        size_t lastDraw = out.rfind("corvane-migrate:");
        size_t drawnLength = out.find('\r', lastDraw) - lastDraw;
        EXPECT_GE(out.size() - out.rfind('\r', out.size() - 2) - 2, drawnLength);
    }
}

} // namespace
