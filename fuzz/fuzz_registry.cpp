// Parses arbitrary bytes as the registry text file. What parses is written out again; that text
// must parse to the same store, or a save would change or lose values.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/registry.h"

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::fuzz::use_english_texts();
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    ks::Registry registry;
    ks::RegistryError error;
    if (!registry.parse_text(text, &error)) {
        ks::fuzz::require(error.code == ks::RegistryErrorCode::Damaged);
        ks::registry_error_message(error);
        return;
    }
    const std::string written = registry.to_text();
    ks::Registry again;
    ks::fuzz::require(again.parse_text(written));
    ks::fuzz::require(again.to_text() == written);
}
