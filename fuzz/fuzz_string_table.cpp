// Parses arbitrary bytes as a language table: either a table or an error naming a line.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/string_table.h"

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const ks::StringTableParse parsed = ks::parse_string_table(text);
    ks::fuzz::require(parsed.table.has_value() != parsed.error.has_value());
    if (parsed.error) {
        ks::fuzz::require(parsed.error->line >= 1 && !parsed.error->message.empty());
        return;
    }
    for (const auto& [id, value] : parsed.table->texts())
        ks::fuzz::require(parsed.table->find(id) == value);
}
