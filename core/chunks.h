#pragma once
// The walk over a card payload's chunks (after the 64-byte style) and over the stored items of
// one chunk, shared by the card reader, the form-file check and re-enciphering.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>

#include "core/format.h"
#include "platform/bytes.h"

namespace ks {

template <typename Byte>
struct PayloadChunk {
    uint32_t type = 0;
    size_t offset = 0;      // of the chunk header in the payload
    uint32_t declared = 0;  // the length its header claims
    std::span<Byte> body;   // what follows the header, cut to what remains of the payload
    bool cut_short() const { return body.size() < declared; }
};

// Calls `visit(chunk)` for each chunk in order. A chunk that claims more than remains is given
// as far as it goes and ends the walk; bytes too few for a chunk header end it too.
template <typename Byte, typename Visit>
void for_each_chunk(std::span<Byte> payload, Visit&& visit) {
    size_t p = format::payload::kStyleSize;
    while (payload.size() >= p && payload.size() - p >= format::payload::kChunkHeaderSize) {
        PayloadChunk<Byte> chunk;
        chunk.offset = p;
        chunk.type = get_u32(payload, p + 4);
        chunk.declared = get_u32(payload, p + 8);
        p += format::payload::kChunkHeaderSize;
        const size_t length = std::min<size_t>(chunk.declared, payload.size() - p);
        chunk.body = payload.subspan(p, length);
        p += length;
        visit(chunk);
    }
}

// The layout of a chunk kind; nothing for a kind no card holds.
const format::payload::ChunkLayout* chunk_layout(uint32_t type);

// Calls `visit(item)` for each stored item of a chunk of a known kind, in order: the enciphered
// bytes of the item, never reaching past the chunk. False when the kind is unknown or the chunk
// is shorter than its header.
bool for_each_chunk_item(std::span<uint8_t> chunk, uint32_t type,
                         const std::function<void(std::span<uint8_t>)>& visit);

// Every item a chunk of a known kind announces fits in it, its pad no larger than the item.
bool chunk_items_fit(std::span<const uint8_t> chunk, uint32_t type);

}  // namespace ks
