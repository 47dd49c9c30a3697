// Files for tests: a temporary directory that removes itself, and whole-file
// reads and writes in bytes.
#pragma once
#include <string>

namespace korvex_test {

// A new directory /tmp/korvex-TAG-XXXXXX; removed with its contents at the end
// of the scope. `path` is empty when none could be made.
class TempDir {
  public:
    explicit TempDir(const char* tag = "test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::string ReadBytes(const std::string& path); // empty when unreadable
void WriteBytes(const std::string& path, const std::string& bytes);

} // namespace korvex_test
