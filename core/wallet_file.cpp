#include "core/wallet_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/cipher.h"
#include "core/keys.h"
#include "platform/clock.h"

namespace ks {
namespace {

namespace fn = format::node;

StorageResult read_result(const IoResult& r, size_t asked) {
    if (r.failed()) return StorageResult::CallFailed;
    if (r.bytes == 0 && asked != 0) return StorageResult::NothingTransferred;
    if (r.bytes < asked) return StorageResult::ShortTransfer;
    return StorageResult::Done;
}

StorageResult write_result(const IoResult& r, size_t asked) {
    if (r.bytes == asked) return StorageResult::Done;
    if (r.bytes == 0)
        return r.failed() ? StorageResult::CallFailed : StorageResult::NothingTransferred;
    return StorageResult::ShortTransfer;
}

StorageResult read_exact(File& file, std::span<uint8_t> out) {
    if (!file.is_open()) return StorageResult::NoFile;
    return read_result(file.read(out), out.size());
}

StorageResult write_exact(File& file, std::span<const uint8_t> in) {
    if (!file.is_open()) return StorageResult::NoFile;
    return write_result(file.write(in), in.size());
}

uint64_t remaining_bytes(const File& file) {
    auto size = file.size();
    return size && *size > file.position() ? *size - file.position() : 0;
}

}  // namespace

StorageResult read_header(File& file, WalletHeader& header) {
    StorageResult r = read_exact(file, header.bytes);
    header.dirty = false;
    header.valid = r == StorageResult::Done && header.signature_accepted();
    return r;
}

StorageResult write_header(File& file, WalletHeader& header) {
    if (!header.valid) return StorageResult::NothingGiven;
    std::copy(format::kPlatformTag.begin(), format::kPlatformTag.end(),
              header.bytes.begin() + format::kPlatformTagOffset);
    StorageResult r = write_exact(file, header.bytes);
    if (r == StorageResult::Done) header.dirty = false;
    return r;
}

StorageResult read_info_block(File& file, WalletInfoBlock& info, size_t* consumed) {
    const uint64_t start = file.position();
    StorageResult r = read_exact(file, info.bytes.span());
    if (consumed) *consumed = static_cast<size_t>(file.position() - start);
    if (r != StorageResult::Done) return r;
    if (!info.markers_ok()) return StorageResult::NotRecognised;
    derive_keys_from_info_block(info);
    info.loaded = true;
    info.dirty = false;
    return r;
}

StorageResult write_info_block(File& file, WalletInfoBlock& info) {
    put_u32(info.bytes.span(), format::info::kRandom1, random_source().next_u32());
    put_u32(info.bytes.span(), format::info::kRandom2, random_source().next_u32());
    StorageResult r = write_exact(file, info.bytes.span());
    if (r == StorageResult::Done) info.dirty = false;
    return r;
}

StorageResult read_settings_block(File& file, WalletSettingsBlock& settings) {
    StorageResult r = read_exact(file, settings.bytes);
    if (r != StorageResult::Done) return r;
    if (!settings.markers_ok()) return StorageResult::NotRecognised;
    settings.valid = true;
    settings.dirty = false;
    return r;
}

StorageResult write_settings_block(File& file, WalletSettingsBlock& settings) {
    StorageResult r = write_exact(file, settings.bytes);
    if (r == StorageResult::Done) settings.dirty = false;
    return r;
}

StorageResult read_node(File& file, TreeNode& node, const KeyContext* record_key,
                        uint64_t* consumed, bool* image_whole) {
    if (image_whole) *image_whole = true;
    node = TreeNode();
    node.set_record_key(record_key);
    const uint64_t start = file.position();
    auto set_consumed = [&] {
        if (consumed) *consumed = file.position() - start;
    };
    NodeHeader& header = node.header();
    StorageResult r = read_exact(file, header.bytes);
    set_consumed();
    if (r != StorageResult::Done) return r;
    if (header.kind() == NodeKind::None) return StorageResult::NotRecognised;

    const uint32_t image_length = header.icon_image_length();
    if (image_length != 0) {
        const uint64_t available = remaining_bytes(file);
        bool whole = false;
        if (image_length <= available) {
            Bytes image(image_length);
            IoResult io = file.read(image);
            whole = !io.failed() && io.bytes == image_length;
            if (whole) node.adopt_stored_icon_image(std::move(image));
        } else {
            file.seek(file.position() + available);
        }
        if (!whole) {
            if (image_whole) *image_whole = false;
            node.drop_icon_image();
            header.set_icon(0);
        }
    }
    set_consumed();
    node.set_loaded(true);
    node.set_dirty(false);
    return StorageResult::Done;
}

std::optional<Bytes> node_record_bytes(TreeNode& node, std::span<const uint8_t> payload,
                                       UnusedImage unused) {
    if (!node.valid()) return std::nullopt;
    NodeHeader& header = node.header();
    const bool has_image =
        !node.icon_image().empty() && (header.icon() == kCustomIcon || unused == UnusedImage::Keep);
    if (!has_image) {
        if (header.icon() == kCustomIcon) header.set_icon(0);
        node.drop_icon_image();
    } else {
        header.set_u32(fn::kIconImageLength, static_cast<uint32_t>(node.icon_image().size()));
    }
    if (header.change_bits() == 0) {
        header.set_change_bits(node_change::kCreated);
        header.set_time(fn::kModifiedTime, clock().now());
    }
    Bytes record;
    record.reserve(fn::kHeaderSize + node.icon_image().size() + payload.size());
    record.insert(record.end(), header.bytes.begin(), header.bytes.end());
    record.insert(record.end(), node.icon_image().begin(), node.icon_image().end());
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

StorageResult write_node(File& file, TreeNode& node, std::span<const uint8_t> payload) {
    auto record = node_record_bytes(node, payload);
    if (!record) return StorageResult::NotRecognised;
    StorageResult r = write_exact(file, *record);
    secure_zero(std::span(*record));
    if (r == StorageResult::Done) node.set_dirty(false);
    return r;
}

bool skip_to_nodes(File& file) {
    return file.seek(format::kFirstNodeOffset);
}

uint64_t find_next_valid_header(File& file) {
    static constexpr const format::Guid* kKindGuids[] = {
        &format::node::kCardGuid, &format::node::kFolderGuid, &format::node::kMyFormsGuid};
    auto size = file.size();
    const uint64_t start = file.position();
    if (!size || *size < fn::kHeaderSize || start > *size - fn::kHeaderSize) return 0;
    const uint64_t last = *size - fn::kHeaderSize;  // last offset that can hold a header

    // Scan windows that overlap by a header's length so that no candidate is split.
    constexpr size_t kWindow = 1 << 20;
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min<uint64_t>(kWindow + fn::kHeaderSize, *size - start)));
    for (uint64_t base = start; base <= last; base += kWindow) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), *size - base));
        IoResult r = file.read_at(base, std::span(buffer).first(want));
        if (r.failed() || r.bytes < fn::kHeaderSize) return 0;
        const size_t candidates = std::min<uint64_t>(r.bytes - fn::kHeaderSize, last - base) + 1;
        const uint8_t* p = buffer.data();
        const uint8_t* const end = p + std::min(candidates, kWindow);  // last start + 1
        while (p < end) {
            // The nearest kind GUID; the header holding it must also have a non-zero id.
            const uint8_t* next = end;
            for (const format::Guid* guid : kKindGuids) {
                const size_t haystack = static_cast<size_t>(next - p) + guid->size() - 1;
                if (auto* q = static_cast<const uint8_t*>(
                        memmem(p, haystack, guid->data(), guid->size())))
                    next = q;
            }
            if (next == end) break;
            if (NodeHeader::is_valid_header(std::span(next, fn::kHeaderSize)))
                return base + static_cast<uint64_t>(next - buffer.data());
            p = next + 1;
        }
    }
    return 0;
}

bool record_passes(const NodeHeader& header, RecordFilter filter) {
    return filter == RecordFilter::Any ||
           (!header.deleted() &&
            (filter == RecordFilter::NotDeleted || header.kind() == NodeKind::Card));
}

void for_each_node_record(File& file, const std::function<void(const RecordLocation&)>& visit) {
    if (!skip_to_nodes(file)) return;
    const uint64_t size = file.size().value_or(0);
    RecordLocation loc;
    while (file.position() + fn::kHeaderSize <= size) {
        loc.offset = file.position();
        IoResult r = file.read(loc.header.bytes);
        if (r.failed() || r.bytes != fn::kHeaderSize || loc.header.kind() == NodeKind::None) break;
        loc.header_and_image = fn::kHeaderSize + uint64_t{loc.header.icon_image_length()};
        loc.payload_length = loc.header.payload_length();
        visit(loc);
        file.seek(loc.offset + loc.header_and_image + loc.payload_length);
    }
}

std::optional<RecordLocation> find_node_record(File& file, const NodeId& id, RecordFilter filter) {
    std::optional<RecordLocation> found;
    // The last match wins: an update interrupted between appending the new version and cutting
    // the old one leaves both, and the later one is the current.
    for_each_node_record(file, [&](const RecordLocation& loc) {
        if (loc.header.id() == id && record_passes(loc.header, filter)) found = loc;
    });
    if (found) file.seek(found->offset);
    return found;
}

}  // namespace ks
