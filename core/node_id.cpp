#include "core/node_id.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/bytes.h"
#include "platform/clock.h"

namespace ks {

bool NodeId::is_none() const {
    return all_zero(bytes);
}

NodeId NodeId::from_bytes(std::span<const uint8_t> sixteen) {
    NodeId id;
    std::copy_n(sixteen.begin(), std::min<size_t>(16, sixteen.size()), id.bytes.begin());
    return id;
}

std::string NodeId::to_string() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  get_u32(bytes, 0), get_u16(bytes, 4), get_u16(bytes, 6), bytes[8], bytes[9],
                  bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return buf;
}

std::optional<NodeId> NodeId::parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::array<uint8_t, 16> raw{};  // bytes in text order
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            continue;
        }
        char c = text[i];
        int v = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (v < 0) return std::nullopt;
        raw[n / 2] = static_cast<uint8_t>(raw[n / 2] << 4 | v);
        ++n;
    }
    NodeId id;
    // First three groups are stored little-endian.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (size_t i = 0; i < 16; ++i) id.bytes[i] = raw[order[i]];
    return id;
}

NodeKind node_kind_from_guid(std::span<const uint8_t> guid) {
    if (guid.size() < 16) return NodeKind::None;
    auto is = [&](const format::Guid& g) { return std::equal(g.begin(), g.end(), guid.begin()); };
    if (is(format::node::kCardGuid)) return NodeKind::Card;
    if (is(format::node::kFolderGuid)) return NodeKind::Folder;
    if (is(format::node::kMyFormsGuid)) return NodeKind::MyForms;
    return NodeKind::None;
}

const format::Guid& kind_guid(NodeKind kind) {
    switch (kind) {
        case NodeKind::Card:
            return format::node::kCardGuid;
        case NodeKind::MyForms:
            return format::node::kMyFormsGuid;
        default:
            return format::node::kFolderGuid;
    }
}

FormId builtin_form_id(uint32_t index) {
    FormId id;
    put_u32(id.bytes, 0, index);
    return id;
}

std::optional<uint32_t> builtin_form_index(const FormId& id, uint32_t form_count) {
    if (!all_zero(std::span(id.bytes).subspan(4))) return std::nullopt;
    uint32_t index = get_u32(id.bytes, 0);
    if (index >= form_count) return std::nullopt;
    return index;
}

NodeId new_node_id() {
    static std::mutex mutex;
    static NodeId last;
    std::lock_guard lock(mutex);
    NodeId id;
    do {
        uint32_t r1 = random_source().next_u32();
        uint32_t r2 = random_source().next_u32();
        DateTime now = clock().now();
        put_u32(id.bytes, 0, r1);
        put_u16(id.bytes, 4, 3);
        put_u16(id.bytes, 6, static_cast<uint16_t>(r2));
        id.bytes[8] = static_cast<uint8_t>(now.day);
        id.bytes[9] = static_cast<uint8_t>(now.month);
        put_u16(id.bytes, 10, now.year);
        id.bytes[12] = static_cast<uint8_t>(now.hour);
        id.bytes[13] = static_cast<uint8_t>(now.minute);
        id.bytes[14] = static_cast<uint8_t>(now.second);
        id.bytes[15] = static_cast<uint8_t>(now.second);
    } while (id == last);
    last = id;
    return id;
}

}  // namespace ks
