#pragma once
// Node identities, node kinds and form identities.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/format.h"

namespace ks {

// 16 bytes in GUID layout; all zero means "none" (a parent of none is the top level).
struct NodeId {
    std::array<uint8_t, 16> bytes{};

    bool is_none() const;
    bool operator==(const NodeId&) const = default;
    auto operator<=>(const NodeId&) const = default;

    static NodeId from_bytes(std::span<const uint8_t> sixteen);
    // "{9C16BCED-C256-40B4-8D46-EFA4FD93FC3F}" form, upper-case hexadecimal.
    std::string to_string() const;
    // Accepts the form above, with or without braces, any case.
    static std::optional<NodeId> parse(std::string_view text);
};

struct NodeIdHash {
    size_t operator()(const NodeId& id) const noexcept {
        uint64_t a = 0, b = 0;
        for (int i = 0; i < 8; ++i) a = a << 8 | id.bytes[static_cast<size_t>(i)];
        for (int i = 8; i < 16; ++i) b = b << 8 | id.bytes[static_cast<size_t>(i)];
        return std::hash<uint64_t>{}(a ^ (b * 0x9E3779B97F4A7C15ull));
    }
};

enum class NodeKind : uint32_t {
    None = 0,
    Card = 1,
    Folder = 2,
    MyForms = 3,
};

// The kind named by a stored kind GUID; None when it is not one of the three.
NodeKind node_kind_from_guid(std::span<const uint8_t> guid);
const format::Guid& kind_guid(NodeKind kind);  // kind must not be None

// A form: built-in form i (0..42) has i in its first 32-bit value and zero in the other
// twelve bytes; any other value is the NodeId of a card in My Forms.
using FormId = NodeId;
FormId builtin_form_id(uint32_t index);
std::optional<uint32_t> builtin_form_index(const FormId& id, uint32_t form_count = 43);

// Makes a new NodeId from two random numbers and the current local time, never equal to the
// one made just before it in this process.
NodeId new_node_id();

}  // namespace ks
