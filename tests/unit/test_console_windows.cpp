// What korvex-cli takes for a console on Windows: the NUL device answers
// _isatty like a console does, but draws no progress bar and types no password.
#include "console.h"
#include "file_system.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <io.h>

namespace {

TEST(WindowsConsole, FilesPipesAndTheNulDeviceAreNoConsole) {
    korvex_test::TempDir dir;
    std::FILE* file = OpenStream(dir / "out.txt", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(IsTerminal(file));
    std::fclose(file);

    std::FILE* nul = std::fopen("NUL", "wb");
    ASSERT_NE(nul, nullptr);
    ASSERT_NE(_isatty(_fileno(nul)), 0) << "the device a console check must not be fooled by";
    EXPECT_FALSE(IsTerminal(nul));
    std::fclose(nul);

    int ends[2];
    ASSERT_EQ(_pipe(ends, 256, 0), 0);
    std::FILE* pipe = _fdopen(ends[1], "wb");
    ASSERT_NE(pipe, nullptr);
    EXPECT_FALSE(IsTerminal(pipe));
    std::fclose(pipe);
    _close(ends[0]);
}

} // namespace
