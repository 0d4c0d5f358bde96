#include "core/chunks.h"

#include "core/stored_text.h"

namespace ks {

namespace fp = format::payload;

const fp::ChunkLayout* chunk_layout(uint32_t type) {
    for (const fp::ChunkLayout& layout : fp::kChunkLayouts)
        if (layout.type == type) return &layout;
    return nullptr;
}

bool for_each_chunk_item(std::span<uint8_t> chunk, uint32_t type,
                         const std::function<void(std::span<uint8_t>)>& visit) {
    const fp::ChunkLayout* layout = chunk_layout(type);
    if (!layout || chunk.size() < layout->header_size) return false;
    StoredItemReader items(chunk, layout->header_size);
    for (size_t i = 0; i < layout->item_count; ++i) {
        const size_t at = layout->item_offsets[i];
        auto item = items.next(get_u32(chunk, at), get_u32(chunk, at + 4));
        if (item.empty()) {
            visit({});  // an empty item may have no position in the chunk
            continue;
        }
        // The reader hands out read-only views into this same chunk.
        visit(chunk.subspan(static_cast<size_t>(item.data() - chunk.data()), item.size()));
    }
    return true;
}

bool chunk_items_fit(std::span<const uint8_t> chunk, uint32_t type) {
    const fp::ChunkLayout* layout = chunk_layout(type);
    if (!layout) return true;
    if (chunk.size() < layout->header_size) return false;
    uint64_t total = 0;
    for (size_t i = 0; i < layout->item_count; ++i) {
        const uint32_t stored = get_u32(chunk, layout->item_offsets[i]);
        const uint32_t pad = get_u32(chunk, layout->item_offsets[i] + 4);
        if (pad > stored) return false;
        total += stored;
    }
    return total <= chunk.size() - layout->header_size;
}

}  // namespace ks
