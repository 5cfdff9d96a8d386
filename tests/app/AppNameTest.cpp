// The application name becomes file names in the data and program folders:
// only a plain Windows file name is taken.
#include "app/AppName.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(AppName, OnlyAPlainFileNameIsTaken) {
    const struct {
        const char* name;
        bool taken;
    } cases[] = {
        {"Corvane", true},
        {"Studio One", true},
        {"Mirel [x64] a=b; c", true},
        {"Corv\xc3\xa4ne", true}, // letters beyond ASCII
        {"v1.2", true},
        {"CONSOLE", true},
        {"COM10", true},
        {"../../other", false},
        {"..\\..\\other", false},
        {"a/b", false},
        {"a\\b", false},
        {"..", false},
        {"a..b", false},
        {"C:other", false},
        {"other:stream", false},
        {"tab\there", false},
        {"bell\x07", false},
        {"del\x7f", false},
        {"a<b", false},
        {"a>b", false},
        {"a\"b", false},
        {"a|b", false},
        {"a?b", false},
        {"a*b", false},
        {"ends.", false},
        {"", false},
        {"CON", false},
        {"nul", false},
        {"Aux.txt", false},
        {"com1", false},
        {"LPT9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* problem = AppNameProblem(c.name);
        EXPECT_EQ(problem == nullptr, c.taken) << (problem ? problem : "");
    }
}
