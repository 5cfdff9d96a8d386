#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Natively the registry is a file: give this test process one of its own,
    // so that suites running side by side never share it. (Under Wine the
    // variable is unused; the prefix is the test's own.)
    static testing_support::ScratchDir registryDir;
    std::string store = registryDir.file("HKCU.reg");
    if (!std::getenv("CORVANE_REGISTRY"))
        SetEnvironmentVariableForTests("CORVANE_REGISTRY", store.c_str());
    return RUN_ALL_TESTS();
}
