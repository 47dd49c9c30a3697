#include "temp_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvex_test {

TempDir::TempDir(const char* tag) {
    std::string pattern = std::string("/tmp/korvex-") + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace korvex_test
