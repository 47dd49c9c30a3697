// Runs a fuzz target once on each file given (a directory: on each file in it,
// in name order), as libFuzzer does with -runs=0, for the builds without
// libFuzzer. A missing directory holds no inputs; a property violation aborts.
#include "fuzz_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else if (fs::exists(path, error)) {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
