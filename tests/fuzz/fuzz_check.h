// The fuzz targets' property check: a violated property aborts, so libFuzzer
// (and the replay runs) report the input that broke it. Unlike assert it holds
// in release builds too.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__,             \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
