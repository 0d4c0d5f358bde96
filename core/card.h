#pragma once
// A loaded card: its node, style, fields and attachments, and its stored payload.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/attachment.h"
#include "core/field.h"
#include "core/format.h"
#include "core/node.h"
#include "core/storage_result.h"
#include "core/wallet_blocks.h"
#include "platform/file.h"

namespace ks {

class Card {
  public:
    Card() = default;  // style zero, no fields or attachments, no node, not loaded

    std::optional<TreeNode>& node() { return node_; }
    const std::optional<TreeNode>& node() const { return node_; }
    void set_node(TreeNode node) { node_ = std::move(node); }

    const CardStyle& style() const { return style_; }
    void set_style(const CardStyle& style) {
        style_ = style;
        dirty_ = true;
    }

    const std::vector<FieldRecord>& fields() const { return fields_; }
    FieldRecord& field(size_t index) {
        dirty_ = true;
        return fields_.at(index);
    }
    // Refused when the card holds 255 fields; -1 (or any position past the end) appends.
    bool insert_field(FieldRecord field, int position = -1);
    bool remove_field(size_t index);
    bool move_field(size_t from, size_t to);

    PictureAttachment& picture() {
        dirty_ = true;
        return picture_;
    }
    const PictureAttachment& picture() const { return picture_; }
    SoundAttachment& sound() {
        dirty_ = true;
        return sound_;
    }
    const SoundAttachment& sound() const { return sound_; }
    const std::array<FileAttachment, format::payload::kMaxFileAttachments>& files() const {
        return files_;
    }
    FileAttachment& file(size_t slot) {
        dirty_ = true;
        return files_.at(slot);
    }
    // Puts the attachment into the first slot without data; the slot, or nothing when full.
    std::optional<size_t> add_file(FileAttachment attachment);
    size_t file_count() const;

    bool dirty() const { return dirty_; }
    void set_dirty(bool d) { dirty_ = d; }
    bool loaded() const { return loaded_; }

    // The payload: style, then the fields in order, the picture and the sound when they have
    // data, and the file slots that have data.
    size_t payload_size() const;
    Bytes payload(const KeyContext& key) const;

    // Writes header, icon image and payload at the file's current position. NotRecognised
    // when the card has no node (or an invalid one).
    StorageResult write(File& file, const KeyContext& key);
    // Reads the payload that starts at the file's current position (just after the header and
    // icon image of the card's node). False, with the card unchanged, when the node is missing,
    // the payload is shorter than the style or it cannot be read whole.
    bool read(File& file, const KeyContext& key);
    // Fills style, fields and attachments from a whole payload.
    bool parse_payload(std::span<const uint8_t> payload, const KeyContext& key);

  private:
    std::optional<TreeNode> node_;
    CardStyle style_{};
    std::vector<FieldRecord> fields_;
    PictureAttachment picture_;
    SoundAttachment sound_;
    std::array<FileAttachment, format::payload::kMaxFileAttachments> files_;
    bool dirty_ = false;
    bool loaded_ = false;
};

}  // namespace ks
