// Parses arbitrary bytes as a tab-separated card list and builds what the import shows of it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "forms/text_import.h"
#include "fuzz/fuzz_support.h"

namespace {

// Previews are built for the first rows only: each costs up to the row's length.
constexpr size_t kPreviewedRows = 8;

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    ks::fuzz::use_english_texts();
    auto table = ks::parse_tab_text(data);
    ks::fuzz::require(table.has_value() == (data.size() <= ks::kMaxImportFileBytes));
    if (!table) return;
    for (size_t row = 0; row < table->rows(); ++row) {
        const size_t stored = table->stored_cells(row);
        ks::fuzz::require(stored <= table->columns());
        if (stored > 0) ks::fuzz::require(!table->cell(row, stored - 1).empty());
        ks::fuzz::require(table->cell(row, table->columns()).empty());
    }
    ks::fuzz::require(table->cell(table->rows(), 0).empty());
    auto last = ks::import_data_rows(*table);
    if (!last) return;
    ks::fuzz::require(*last >= 1 && *last < table->rows());
    ks::fuzz::require(table->columns() >= 2);
    for (size_t row = 1; row <= std::min(*last, kPreviewedRows); ++row) {
        ks::fuzz::require(ks::import_preview(*table, row).size() <= ks::kPreviewMaxLength);
    }
}
