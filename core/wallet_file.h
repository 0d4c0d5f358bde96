#pragma once
// Low-level routines of the wallet file. Each works at the file's current position and leaves
// it just after what it read or wrote, and answers with a StorageResult.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "core/cut_journal.h"
#include "core/node.h"
#include "core/storage_result.h"
#include "core/wallet_blocks.h"
#include "platform/file.h"

namespace ks {

StorageResult read_header(File& file, WalletHeader& header);
StorageResult write_header(File& file, WalletHeader& header);
// On success derives the MasterKey and RecordKey and marks the block loaded.
StorageResult read_info_block(File& file, WalletInfoBlock& info, size_t* consumed = nullptr);
// Renews the two random values at 72 and 108, then writes.
StorageResult write_info_block(File& file, WalletInfoBlock& info);
StorageResult read_settings_block(File& file, WalletSettingsBlock& settings);
StorageResult write_settings_block(File& file, WalletSettingsBlock& settings);

// Reads a node header and its icon image (not the payload) into `node`, which gets
// `record_key`. NotRecognised when the kind GUID is unknown. An icon image that cannot be read
// whole is dropped (icon 0) and `image_whole` set false. `consumed` gets the bytes passed over.
StorageResult read_node(File& file, TreeNode& node, const KeyContext* record_key,
                        uint64_t* consumed = nullptr, bool* image_whole = nullptr);
// What becomes of an icon image the node holds while its icon number is not −1 (custom).
enum class UnusedImage {
    Drop,  // a record written anew leaves it out and zeroes the header's image fields
    Keep,  // a record rewritten in place keeps it as stored, so that its length stays
};

// Writes the node's header, its icon image and `payload` in one transfer. NotRecognised when
// the node is not valid.
StorageResult write_node(File& file, TreeNode& node, std::span<const uint8_t> payload = {});
// The bytes write_node writes (after the same adjustments of the header); nothing for a node
// that is not valid.
std::optional<Bytes> node_record_bytes(TreeNode& node, std::span<const uint8_t> payload = {},
                                       UnusedImage unused = UnusedImage::Drop);

// Positions the file at the first node record.
bool skip_to_nodes(File& file);

// The offset of the next position, from the current one up to size - 748, at which a valid
// node header begins; 0 when there is none. The position is restored.
uint64_t find_next_valid_header(File& file);

enum class RecordFilter {
    Any,         // deleted records included
    NotDeleted,  // records not marked deleted
    LiveCard,    // cards not marked deleted
};

struct RecordLocation {
    uint64_t offset = 0;            // start of the record
    uint64_t header_and_image = 0;  // bytes of header plus icon image
    uint32_t payload_length = 0;
    NodeHeader header;
};

// Whether a record with `header` passes `filter`.
bool record_passes(const NodeHeader& header, RecordFilter filter);

// Walks the node records from the first and calls `visit` with each one's location, in file
// order, until the walk ends (the end of the file, a short header or an unknown kind).
void for_each_node_record(File& file, const std::function<void(const RecordLocation&)>& visit);

// Walks the node records and finds the last record of `id` that passes the filter; on success
// the file is positioned at the record's start.
std::optional<RecordLocation> find_node_record(File& file, const NodeId& id,
                                               RecordFilter filter = RecordFilter::Any);

}  // namespace ks
