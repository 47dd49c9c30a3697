// The results file each group of a sweep gets in the --save directory.
#include "file_system.h"
#include "sweep_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SweepFiles, GroupNamesThatCannotBeFileNamesAreRefused) {
    const std::string dir = std::string("out") + PathSeparator();
    EXPECT_EQ(SweepFileName("out", "comp.lang.c"), dir + "comp.lang.c.kvx");
    EXPECT_EQ(SweepFileName(dir, "alt.test"), dir + "alt.test.kvx");
    EXPECT_EQ(SweepFileName("out", "alt.binaries.x-y_z+1"), dir + "alt.binaries.x-y_z+1.kvx");
    EXPECT_EQ(SweepFileName("out", "../etc/passwd"), "");
    EXPECT_EQ(SweepFileName("out", "a/b"), "");
    EXPECT_EQ(SweepFileName("out", "a\\b"), "");
    EXPECT_EQ(SweepFileName("out", ".hidden"), "");
    EXPECT_EQ(SweepFileName("out", "c:x"), "");
    EXPECT_EQ(SweepFileName("out", "a\nb"), "");
    EXPECT_EQ(SweepFileName("out", ""), "");
}

} // namespace
