#include "temp_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace korvex_test {

#ifdef _WIN32
// Windows has no mkdtemp: a new name in the user's temporary directory, tried
// until one is free.
TempDir::TempDir(const char* tag) {
    std::random_device seed;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        std::filesystem::path candidate =
            base / (std::string("korvex-") + tag + "-" + std::to_string(seed() % 1000000000u));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) path = candidate.u8string();
    }
}
#else
TempDir::TempDir(const char* tag) {
    std::string pattern = std::string("/tmp/korvex-") + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
}
#endif

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(std::filesystem::u8path(path), ignored);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(std::filesystem::u8path(path), std::ios::binary) << bytes;
}

} // namespace korvex_test
