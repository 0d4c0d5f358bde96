// Decodes arbitrary bytes as an ICO file at both sizes the program asks for.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "shell/icons.h"

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    for (int size : {16, 32}) {
        const ks::IconResult result = ks::decode_icon(data, size);
        if (result.status != ks::IconStatus::Success) {
            ks::fuzz::require(result.image.rgba.empty());
            continue;
        }
        ks::fuzz::require(result.image.width == size && result.image.height == size);
        ks::fuzz::require(result.image.rgba.size() == static_cast<size_t>(size) * size * 4);
    }
}
