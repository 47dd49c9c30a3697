// Directory and file-name parts of the paths the file selectors start from.
#include "path_parts.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* path;
    const char* directory;
    const char* name;
};

const PathCase kPaths[] = {
    {"/home/u/res.kvx", "/home/u", "res.kvx"},
    {"/res.kvx", "/", "res.kvx"}, // a file in the root keeps its directory
    {"/", "/", ""},
    {"res.kvx", "", "res.kvx"},
    {"dir/", "dir", ""},
    {"a/b/c", "a/b", "c"},
    {"", "", ""},
};

TEST(PathParts, DirectoryAndName) {
    for (const PathCase& c : kPaths) {
        EXPECT_EQ(DirectoryOf(c.path), c.directory) << c.path;
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    }
}

} // namespace
