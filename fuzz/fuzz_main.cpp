// The libFuzzer entry point every target shares.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ks::fuzz::fuzz(std::span<const uint8_t>(data, size));
    return 0;
}
