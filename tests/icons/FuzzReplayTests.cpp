// Replays what the fuzzer found (fuzz/regressions) and the byte-built bombs through every path
// of the reader, in the normal and the sanitizer builds.
#include "FuzzTarget.h"
#include "IconBuilders.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

using namespace quorvane::testing;

TEST(FuzzReplay, RegressionFilesAndBombs) {
    const std::vector<std::string> files = filesIn(QUORVANE_FUZZ_REGRESSIONS);
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        quorvane::fuzz::readIcons(readWholeFile(path));
    }
    for (const Bomb& bomb : makeBombs()) {
        SCOPED_TRACE(bomb.name);
        quorvane::fuzz::readIcons(bomb.bytes);
    }
}
