#include "core/rekey.h"

#include <algorithm>

#include "core/chunks.h"
#include "core/format.h"

namespace ks {

namespace fn = format::node;
namespace fp = format::payload;

void reencipher_name(NodeHeader& header, const KeyContext& from, const KeyContext& to) {
    auto area = std::span(header.bytes).subspan(fn::kName, fn::kNameSize);
    if (all_zero(area)) return;
    SecureBytes plain(fn::kNameSize);
    if (!from.transform(area, plain.span()) || !to.transform(plain.span(), area))
        std::fill(area.begin(), area.end(), 0);
}

void reencipher_payload(std::span<uint8_t> payload, const KeyContext& from, const KeyContext& to) {
    for_each_chunk(payload, [&](const PayloadChunk<uint8_t>& chunk) {
        for_each_chunk_item(chunk.body, chunk.type, [&](std::span<uint8_t> item) {
            from.transform(item);
            to.transform(item);
        });
    });
}

bool reencipher_records(File& file, const KeyContext& from, const KeyContext& to) {
    const uint64_t size = file.size().value_or(0);
    uint64_t pos = format::kFirstNodeOffset;
    NodeHeader header;
    while (pos < size) {
        IoResult r = file.read_at(pos, header.bytes);
        if (r.failed() || r.bytes != fn::kHeaderSize || header.kind() == NodeKind::None)
            return false;
        const uint64_t image = header.icon_image_length();
        const uint64_t payload_at = pos + fn::kHeaderSize + image;
        const uint32_t payload_length = header.payload_length();
        if (payload_at + payload_length > size) return false;
        reencipher_name(header, from, to);
        IoResult w = file.write_at(pos, header.bytes);
        if (w.failed() || w.bytes != fn::kHeaderSize) return false;
        if (header.kind() == NodeKind::Card && payload_length >= fp::kStyleSize) {
            SecureBytes payload(payload_length);
            IoResult pr = file.read_at(payload_at, payload.span());
            if (pr.failed() || pr.bytes != payload_length) return false;
            reencipher_payload(payload.span(), from, to);
            IoResult pw = file.write_at(payload_at, payload.span());
            if (pw.failed() || pw.bytes != payload_length) return false;
        }
        pos = payload_at + payload_length;
    }
    return true;
}

}  // namespace ks
