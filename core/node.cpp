#include "core/node.h"

#include <algorithm>

#include "core/attachment.h"
#include "core/stored_text.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace ks {
namespace {
namespace fn = format::node;

std::span<const uint8_t> at(const NodeHeader& h, size_t offset, size_t n) {
    return std::span(h.bytes).subspan(offset, n);
}
}  // namespace

NodeKind NodeHeader::kind() const {
    return node_kind_from_guid(at(*this, fn::kKindGuid, 16));
}
NodeId NodeHeader::id() const {
    return NodeId::from_bytes(at(*this, fn::kId, 16));
}
NodeId NodeHeader::parent() const {
    return NodeId::from_bytes(at(*this, fn::kParentId, 16));
}
uint32_t NodeHeader::change_bits() const {
    return u32(fn::kChangeBits);
}
DateTime NodeHeader::created() const {
    return decode_datetime(at(*this, fn::kCreatedTime, 16));
}
DateTime NodeHeader::modified() const {
    return decode_datetime(at(*this, fn::kModifiedTime, 16));
}
DateTime NodeHeader::deleted_time() const {
    return decode_datetime(at(*this, fn::kDeletedTime, 16));
}
bool NodeHeader::deleted() const {
    return u32(fn::kDeletedFlag) != 0;
}
FormId NodeHeader::default_form() const {
    return NodeId::from_bytes(at(*this, fn::kDefaultForm, 16));
}
int32_t NodeHeader::icon() const {
    return get_i32(bytes, fn::kIcon);
}
uint32_t NodeHeader::icon_image_length() const {
    return u32(fn::kIconImageLength);
}
uint32_t NodeHeader::icon_image_pad() const {
    return u32(fn::kIconImagePad);
}
uint32_t NodeHeader::payload_length() const {
    return u32(fn::kPayloadLength);
}
bool NodeHeader::valid() const {
    return is_valid_header(bytes);
}

bool NodeHeader::is_valid_header(std::span<const uint8_t> header) {
    return header.size() >= fn::kHeaderSize &&
           node_kind_from_guid(header.subspan(fn::kKindGuid, 16)) != NodeKind::None &&
           !all_zero(header.subspan(fn::kId, 16));
}

void NodeHeader::set_kind(NodeKind kind) {
    const auto& g = kind_guid(kind);
    std::copy(g.begin(), g.end(), bytes.begin() + fn::kKindGuid);
}
void NodeHeader::set_id(const NodeId& id) {
    std::copy(id.bytes.begin(), id.bytes.end(), bytes.begin() + fn::kId);
}
void NodeHeader::set_parent(const NodeId& id) {
    std::copy(id.bytes.begin(), id.bytes.end(), bytes.begin() + fn::kParentId);
}
void NodeHeader::set_change_bits(uint32_t bits) {
    set_u32(fn::kChangeBits, bits);
}
void NodeHeader::set_time(size_t offset, const DateTime& t) {
    encode_datetime(t, std::span(bytes).subspan(offset, 16));
}
void NodeHeader::set_deleted(bool deleted) {
    set_u32(fn::kDeletedFlag, deleted ? 1 : 0);
}
void NodeHeader::set_default_form(const FormId& id) {
    std::copy(id.bytes.begin(), id.bytes.end(), bytes.begin() + fn::kDefaultForm);
}
void NodeHeader::set_icon(int32_t icon) {
    put_i32(bytes, fn::kIcon, icon);
}
void NodeHeader::set_payload_length(uint32_t length) {
    set_u32(fn::kPayloadLength, length);
}

TreeNode::TreeNode(const NodeHeader& header, const KeyContext* record_key) : header_(header) {
    set_record_key(record_key);
}

void TreeNode::set_record_key(const KeyContext* key) {
    // An aliasing pointer that owns nothing.
    record_key_ = std::shared_ptr<const KeyContext>(std::shared_ptr<const KeyContext>(), key);
}

TreeNode TreeNode::create(NodeKind kind, const NodeId& parent, const KeyContext* record_key) {
    TreeNode node;
    node.set_record_key(record_key);
    node.header_.set_kind(kind);
    node.header_.set_id(new_node_id());
    node.header_.set_parent(kind == NodeKind::MyForms ? NodeId{} : parent);
    DateTime now = clock().now();
    node.header_.set_time(fn::kCreatedTime, now);
    node.header_.set_time(fn::kModifiedTime, now);
    node.header_.set_change_bits(node_change::kCreated);
    put_i32(node.header_.bytes, fn::kCreatedMarker, -1);
    node.dirty_ = true;
    return node;
}

void TreeNode::touch(uint32_t change_bit) {
    header_.set_change_bits(header_.change_bits() | change_bit);
    header_.set_time(fn::kModifiedTime, clock().now());
    dirty_ = true;
}

std::u16string TreeNode::name() const {
    auto stored = at(header_, fn::kName, fn::kNameSize);
    if (all_zero(stored) || !record_key_ || !record_key_->valid()) return {};
    return decipher_text(stored, *record_key_, fn::kNameMaxUnits);
}

void TreeNode::set_name(std::u16string_view name) {
    name = name.substr(0, std::min(name.size(), fn::kNameMaxUnits));
    if (name == this->name()) return;
    auto area = std::span(header_.bytes).subspan(fn::kName, fn::kNameSize);
    std::fill(area.begin(), area.end(), 0);
    if (!name.empty()) {
        SecureBytes plain(fn::kNameSize);
        utf16le_write(name, plain.span());
        if (record_key_) record_key_->transform(plain.span(), area);
    }
    touch(node_change::kName);
}

std::span<const uint8_t> TreeNode::icon_image_unpadded() const {
    uint32_t pad = header_.icon_image_pad();
    if (pad > icon_image_.size()) return {};
    return std::span(icon_image_).first(icon_image_.size() - pad);
}

void TreeNode::set_icon(int32_t icon) {
    if (icon != header_.icon()) touch(node_change::kIcon);
    drop_icon_image();
    header_.set_icon(icon);
}

void TreeNode::drop_icon_image() {
    icon_image_.clear();
    auto fields = std::span(header_.bytes)
                      .subspan(fn::kIconImageLength, fn::kReserved736 + 4 - fn::kIconImageLength);
    std::fill(fields.begin(), fields.end(), 0);
}

bool TreeNode::set_icon_image(std::span<const uint8_t> image) {
    if (image.empty()) {
        drop_icon_image();
        header_.set_icon(0);
        return true;
    }
    StoredSize size = data_stored_size(image.size());
    icon_image_.assign(image.begin(), image.end());
    icon_image_.resize(size.stored, 0);
    header_.set_u32(fn::kIconImageLength, size.stored);
    header_.set_u32(fn::kIconImagePad, size.pad);
    Digest digest = md5(image);
    std::copy(digest.begin(), digest.end(), header_.bytes.begin() + fn::kIconImageDigest);
    header_.set_icon(kCustomIcon);
    touch(node_change::kIcon);
    return true;
}

bool TreeNode::set_icon_image_from_file(const std::filesystem::path& path) {
    auto bytes = read_whole_file(path);
    return bytes && set_icon_image(*bytes);
}

void TreeNode::set_default_form(const FormId& id) {
    header_.set_default_form(id);
    touch(node_change::kDefaultForm);
}

void TreeNode::set_parent(const NodeId& parent) {
    header_.set_parent(parent);
    touch(node_change::kParent);
}

void TreeNode::set_id(const NodeId& id) {
    header_.set_id(id);
}

void TreeNode::mark_deleted(bool deleted) {
    header_.set_deleted(deleted);
    if (deleted) header_.set_time(fn::kDeletedTime, clock().now());
    touch(node_change::kDeleted);
}

}  // namespace ks
