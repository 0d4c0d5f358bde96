#pragma once
// The 748-byte node header and the in-memory tree node built around it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/cipher.h"
#include "core/format.h"
#include "core/node_id.h"
#include "platform/bytes.h"
#include "platform/datetime.h"

namespace ks {

namespace node_change {
constexpr uint32_t kCreated = 0x01;
constexpr uint32_t kParent = 0x02;
constexpr uint32_t kName = 0x04;
constexpr uint32_t kDeleted = 0x08;
constexpr uint32_t kIcon = 0x10;
constexpr uint32_t kDefaultForm = 0x40;
}  // namespace node_change

constexpr int32_t kCustomIcon = -1;

// The stored header of a node record, with typed access to its fields.
struct NodeHeader {
    std::array<uint8_t, format::node::kHeaderSize> bytes{};

    NodeKind kind() const;
    NodeId id() const;
    NodeId parent() const;
    uint32_t change_bits() const;
    DateTime created() const;
    DateTime modified() const;
    DateTime deleted_time() const;
    bool deleted() const;
    FormId default_form() const;
    int32_t icon() const;
    uint32_t icon_image_length() const;
    uint32_t icon_image_pad() const;
    uint32_t payload_length() const;
    // Valid: a known kind GUID and an id that is not all zero.
    bool valid() const;

    void set_kind(NodeKind kind);
    void set_id(const NodeId& id);
    void set_parent(const NodeId& id);
    void set_change_bits(uint32_t bits);
    void set_time(size_t offset, const DateTime& t);
    void set_deleted(bool deleted);
    void set_default_form(const FormId& id);
    void set_icon(int32_t icon);
    void set_payload_length(uint32_t length);
    void set_u32(size_t offset, uint32_t v) { put_u32(bytes, offset, v); }
    uint32_t u32(size_t offset) const { return get_u32(bytes, offset); }

    static bool is_valid_header(std::span<const uint8_t> header);
};

// A folder, card or My Forms folder as listed in memory: a copy of its header, its custom icon
// image and the RecordKey its name is enciphered with. A wallet document hands out a key it
// shares with its nodes and wipes when the wallet closes, so a node kept past the close can no
// longer decipher or encipher its name; any other caller's key is referenced, not owned.
class TreeNode {
  public:
    TreeNode() = default;
    TreeNode(const NodeHeader& header, const KeyContext* record_key);
    // A new node of `kind` with a new id under `parent`, stamped now, change bit "created".
    static TreeNode create(NodeKind kind, const NodeId& parent, const KeyContext* record_key);

    const NodeHeader& header() const { return header_; }
    NodeHeader& header() { return header_; }
    const KeyContext* record_key() const { return record_key_.get(); }
    void set_record_key(const KeyContext* key);  // not owned: it must outlive the node's use
    void set_record_key(std::shared_ptr<const KeyContext> key) { record_key_ = std::move(key); }

    NodeKind kind() const { return header_.kind(); }
    NodeId id() const { return header_.id(); }
    NodeId parent() const { return header_.parent(); }
    bool valid() const { return header_.valid(); }
    bool deleted() const { return header_.deleted(); }
    bool dirty() const { return dirty_; }
    void set_dirty(bool d) { dirty_ = d; }
    bool loaded() const { return loaded_; }
    void set_loaded(bool l) { loaded_ = l; }

    // Deciphered name; empty when none is stored.
    std::u16string name() const;
    void set_name(std::u16string_view name);  // cut to 255 units; empty stores no name

    int32_t icon() const { return header_.icon(); }
    void set_icon(int32_t icon);                                         // drops any custom image
    std::span<const uint8_t> icon_image() const { return icon_image_; }  // padded
    std::span<const uint8_t> icon_image_unpadded() const;
    bool set_icon_image(std::span<const uint8_t> image);
    bool set_icon_image_from_file(const std::filesystem::path& path);
    // Takes the padded image read with the header, as stored.
    void adopt_stored_icon_image(Bytes padded) { icon_image_ = std::move(padded); }
    void drop_icon_image();

    FormId default_form() const { return header_.default_form(); }
    void set_default_form(const FormId& id);
    void set_parent(const NodeId& parent);
    void set_id(const NodeId& id);  // a copy made anew; not a change of its own
    void mark_deleted(bool deleted);
    // Sets a change bit, stamps the modified time and marks the node dirty.
    void touch(uint32_t change_bit);

  private:
    NodeHeader header_;
    Bytes icon_image_;
    std::shared_ptr<const KeyContext> record_key_;
    bool dirty_ = false;
    bool loaded_ = false;
};

}  // namespace ks
