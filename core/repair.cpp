#include "core/repair.h"

#include <algorithm>
#include <unordered_map>

#include "core/chunks.h"
#include "core/folder_tree.h"
#include "core/format.h"
#include "core/node.h"
#include "core/wallet_file.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"

namespace ks {
namespace {

namespace fn = format::node;
namespace fp = format::payload;

// Serves small reads from a 256 KiB window, so that walking many small records costs about one
// read of the file rather than a few calls per record. Dropped after every change to the file.
// The window is never larger than the file was when the reader was made.
class WindowReader {
  public:
    WindowReader(const File& file, uint64_t file_size)
        : file_(file), window_(static_cast<size_t>(std::min<uint64_t>(file_size, 256 << 10))) {}

    IoResult read_at(uint64_t offset, std::span<uint8_t> out) {
        if (out.size() > window_.size()) return file_.read_at(offset, out);
        const auto bytes = view(offset, out.size());
        if (!bytes) return IoResult{0, EIO};
        std::copy(bytes->begin(), bytes->end(), out.begin());
        return IoResult{bytes->size(), 0};
    }

    // The bytes at `offset` inside the window, moving it there when needed: `n` of them, or
    // fewer at the end of the file. Nothing when a read failed or `n` exceeds the window.
    std::optional<std::span<const uint8_t>> view(uint64_t offset, size_t n) {
        if (n > window_.size()) return std::nullopt;
        if (offset < start_ || offset + n > start_ + length_) {
            IoResult r = file_.read_at(offset, window_);
            if (r.failed()) return std::nullopt;
            start_ = offset;
            length_ = r.bytes;
        }
        const size_t available =
            static_cast<size_t>(std::min<uint64_t>(n, start_ + length_ - offset));
        return std::span<const uint8_t>(window_).subspan(static_cast<size_t>(offset - start_),
                                                         available);
    }
    void invalidate() { length_ = 0; }

  private:
    const File& file_;
    std::vector<uint8_t> window_;
    uint64_t start_ = 0;
    size_t length_ = 0;
};

bool known_chunk_type(uint32_t type) {
    return chunk_layout(type) != nullptr;
}

// A card payload of `length` bytes is whole when its chunks, all of known types, tile it
// exactly. `header_at(p)` gives the 12 bytes of the chunk header at p, or nothing.
template <typename HeaderAt>
bool chunks_tile(uint64_t length, HeaderAt header_at) {
    if (length < fp::kStyleSize) return false;
    uint64_t p = fp::kStyleSize;
    while (p < length) {
        if (length - p < fp::kChunkHeaderSize) return false;
        const std::optional<std::span<const uint8_t>> chunk = header_at(p);
        if (!chunk || chunk->size() != fp::kChunkHeaderSize) return false;
        if (!known_chunk_type(get_u32(*chunk, 4))) return false;
        p += fp::kChunkHeaderSize + uint64_t{get_u32(*chunk, 8)};
    }
    return p == length;
}

// Checked in place when the payload fits in the window, else one chunk header at a time.
bool payload_whole(WindowReader& file, uint64_t start, uint32_t length) {
    if (const auto payload = file.view(start, length)) {
        if (payload->size() != length) return false;
        return chunks_tile(length, [&](uint64_t p) {
            return std::optional(payload->subspan(static_cast<size_t>(p), fp::kChunkHeaderSize));
        });
    }
    return chunks_tile(length,
                       [&](uint64_t p) { return file.view(start + p, fp::kChunkHeaderSize); });
}

// Whether the record at `c` with `header` lies whole inside the file and is consistent in
// itself. A whole record is never cut, even when its plain icon image happens to contain bytes
// that look like a node header.
bool record_whole(WindowReader& file, uint64_t c, const NodeHeader& header, uint64_t file_size) {
    const uint64_t image = header.icon_image_length();
    const uint64_t end = c + fn::kHeaderSize + image + header.payload_length();
    if (end > file_size) return false;
    if (image != 0 &&
        (image % 4 != 0 || header.icon_image_pad() < 1 || header.icon_image_pad() > 4))
        return false;
    const uint32_t payload = header.payload_length();
    if (header.kind() != NodeKind::Card) return payload == 0;
    if (payload == 0) return header.deleted();  // a live card always has at least its style
    return payload_whole(file, c + fn::kHeaderSize + image, payload);
}

// A header that records an icon image its icon number does not use. Rewriting such a header in
// place as one without an image left the image's bytes behind it and shifted every later
// record; the image is cut out, as writing the node anew leaves it out.
bool records_unused_image(const NodeHeader& header) {
    return header.icon() != kCustomIcon && header.icon_image_length() != 0;
}

bool cut_unused_image(File& file, uint64_t c, const NodeHeader& header) {
    NodeHeader emptied = header;
    std::fill(emptied.bytes.begin() + fn::kIconImageLength,
              emptied.bytes.begin() + fn::kPayloadLength, 0);
    return cut_range(file, c + fn::kHeaderSize, header.icon_image_length(), emptied.bytes, c);
}

// The bytes that stand between a card's header (and image) and a whole payload of the length
// the header gives which ends at `next`, the next header or the end of the file: what such a
// shift leaves. 0 when the payload does not end there whole.
uint64_t bytes_before_payload(WindowReader& file, uint64_t c, const NodeHeader& header,
                              uint64_t next) {
    const uint32_t payload = header.payload_length();
    const uint64_t payload_start = c + fn::kHeaderSize + header.icon_image_length();
    if (header.kind() != NodeKind::Card || payload == 0 || next < payload_start + payload + 1 ||
        !payload_whole(file, next - payload, payload))
        return 0;
    return next - payload - payload_start;
}

uint64_t next_valid_header_after(File& file, uint64_t c) {
    file.seek(c + 1);
    return find_next_valid_header(file);
}

std::optional<WalkRepairs> walk_node_records(File& file, uint64_t start, bool check_only) {
    int count = 0;
    uint64_t c = start;
    uint64_t first_change = 0;
    NodeHeader header;
    auto size_now = file.size();
    if (!size_now) return std::nullopt;
    uint64_t size = *size_now;
    WindowReader reader(file, size);
    // After every change the window and the size are taken anew. A check changes nothing:
    // it goes on as though the change had been made.
    auto changed = [&](bool ok) {
        if (first_change == 0) first_change = c;
        if (check_only) return true;
        reader.invalidate();
        auto s = file.size();
        if (s) size = *s;
        return ok && s.has_value();
    };
    for (;;) {
        if (c >= size) break;
        IoResult r = reader.read_at(c, header.bytes);
        if (r.failed()) return std::nullopt;
        if (r.bytes < fn::kHeaderSize) {  // a header cut short at the end
            if (!changed(check_only || file.set_size(c))) return std::nullopt;
            ++count;
            break;
        }
        if (!header.valid()) {
            const uint64_t m = next_valid_header_after(file, c);
            ++count;
            if (m == 0 || m <= c) {
                if (!changed(check_only || file.set_size(c))) return std::nullopt;
                break;
            }
            if (!changed(check_only || cut_range(file, c, m - c))) return std::nullopt;
            if (check_only) c = m;
            continue;  // a valid header now stands at c
        }
        const uint64_t record =
            fn::kHeaderSize + uint64_t{header.icon_image_length()} + header.payload_length();
        const uint64_t end = c + record;
        if (record_whole(reader, c, header, size)) {
            if (records_unused_image(header)) {
                ++count;
                if (!changed(check_only || cut_unused_image(file, c, header))) return std::nullopt;
                if (!check_only) continue;  // the record at c is now whole without it
            }
            c = end;
            continue;
        }
        const uint64_t m = next_valid_header_after(file, c);
        if (m == end) {  // the next record starts where this one ends
            c = end;
            continue;
        }
        const uint64_t next = m == 0 ? size : m;
        if (const uint64_t stray = bytes_before_payload(reader, c, header, next)) {
            ++count;
            const uint64_t payload_start = c + fn::kHeaderSize + header.icon_image_length();
            if (!changed(check_only || cut_range(file, payload_start, stray))) return std::nullopt;
            if (check_only) c = next;
            continue;  // in a repair, the record at c is now whole
        }
        if (m == 0) {
            // The last record: dropped when it runs past the end, else what follows is cut.
            const uint64_t new_size = end > size ? c : end;
            if (new_size != size) {
                if (!changed(check_only || file.set_size(new_size))) return std::nullopt;
                ++count;
            }
            break;
        }
        ++count;
        if (check_only) {  // every mend below goes on with the record at m
            changed(true);
            c = m;
            continue;
        }
        const uint64_t payload_start = c + fn::kHeaderSize + header.icon_image_length();
        if (header.kind() == NodeKind::Card && m > payload_start &&
            m - payload_start <= UINT32_MAX &&
            payload_whole(reader, payload_start, static_cast<uint32_t>(m - payload_start))) {
            // Only the length in the header is wrong: the chunks fill the space up to the
            // next header exactly, so the length is set to that and nothing is cut.
            header.set_payload_length(static_cast<uint32_t>(m - payload_start));
            if (!changed(write_protected(file, c, header.bytes))) return std::nullopt;
            c = m;
        } else if (end < m) {  // bytes between this record's end and the next header
            if (!changed(cut_range(file, end, m - end))) return std::nullopt;
            c = end;
        } else if (m - c < fn::kHeaderSize) {  // a header inside this header
            if (!changed(cut_range(file, c, m - c))) return std::nullopt;
        } else {  // the record runs into the next header: keep its header only
            std::fill(header.bytes.begin() + fn::kIconImageLength, header.bytes.end(), 0);
            // One journaled change: the emptied header and the cut behind it.
            if (!changed(
                    cut_range(file, c + fn::kHeaderSize, m - c - fn::kHeaderSize, header.bytes, c)))
                return std::nullopt;
            c += fn::kHeaderSize;
        }
    }
    return WalkRepairs{count, first_change};
}

}  // namespace

std::optional<WalkRepairs> repair_node_records(File& file, uint64_t start) {
    return walk_node_records(file, start, /*check_only=*/false);
}

std::optional<int> check_node_records(File& file) {
    const auto found = walk_node_records(file, format::kFirstNodeOffset, /*check_only=*/true);
    if (!found) return std::nullopt;
    const auto cycles = mend_folder_cycles(file, /*check_only=*/true);
    if (!cycles) return std::nullopt;
    return found->count + *cycles;
}

std::optional<int> repair_all_records(File& file) {
    int repairs = 0;
    uint64_t start = format::kFirstNodeOffset;
    for (int walk = 0; walk < 8; ++walk) {
        const auto found = repair_node_records(file, start);
        if (!found) return std::nullopt;
        if (found->count == 0) break;
        repairs += found->count;
        start = found->first_change;
    }
    return repairs;
}

std::optional<int> mend_folder_cycles(File& file, bool check_only) {
    // The last record of an id is the node as a load lists it.
    std::vector<NodeLink> links;
    std::vector<uint64_t> offsets;
    std::unordered_map<NodeId, size_t, NodeIdHash> index_of;
    for_each_node_record(file, [&](const RecordLocation& loc) {
        const NodeHeader& h = loc.header;
        const auto [it, fresh] = index_of.try_emplace(h.id(), links.size());
        if (fresh) {
            links.emplace_back();
            offsets.emplace_back();
        }
        links[it->second] = {h.id(), h.parent(), h.kind(), h.deleted()};
        offsets[it->second] = loc.offset;
    });
    const FolderTree tree(links);
    const int found = static_cast<int>(tree.cycle_folders().size());
    if (check_only) return found;
    for (int i : tree.cycle_folders()) {
        const uint64_t offset = offsets[static_cast<size_t>(i)];
        NodeHeader header;
        const IoResult r = file.read_at(offset, header.bytes);
        if (r.failed() || r.bytes != header.bytes.size()) return std::nullopt;
        TreeNode moved(header, nullptr);
        moved.set_parent(NodeId{});
        if (!write_protected(file, offset, moved.header().bytes)) return std::nullopt;
    }
    return found;
}

RepairResult repair_wallet(const std::filesystem::path& path,
                           std::optional<std::u16string_view> password, Prompt& prompt) {
    RepairResult result;
    const std::u16string shown_path = from_utf8(path.string());
    const std::u16string caption = load_string(text_id::kProductName);
    PromptMessage ask{format_message(load_string(text_id::kRepairAsk), {shown_path}), caption,
                      PromptButtons::YesNo, PromptIcon::Stop};
    if (prompt.ask(ask) != PromptAnswer::Yes) {
        result.status = RepairStatus::Declined;
        return result;
    }
    PromptMessage confirm{load_string(text_id::kRepairConfirm), caption, PromptButtons::OkCancel,
                          PromptIcon::Exclamation};
    if (prompt.ask(confirm) != PromptAnswer::Ok) {
        result.status = RepairStatus::Declined;
        return result;
    }

    WalletStorage storage;
    result.open_result = open_wallet_storage(storage, path, password, /*read_only=*/false);
    if (result.open_result != OpenResult::Opened) {
        result.status = RepairStatus::OpenFailed;
        return result;
    }
    const std::optional<int> repairs = repair_all_records(storage.file);
    const std::optional<int> cycles =
        repairs ? mend_folder_cycles(storage.file, /*check_only=*/false) : std::nullopt;
    const bool synced = storage.file.sync();
    storage.close();
    if (!repairs || !cycles || !synced) {
        result.status = RepairStatus::IoFailed;
        return result;
    }
    result.repairs = *repairs + *cycles;
    PromptMessage report{
        format_message(load_string(text_id::kRepairReport), {int64_t{result.repairs}, shown_path}),
        caption, PromptButtons::Ok, PromptIcon::Information};
    prompt.ask(report);
    return result;
}

}  // namespace ks
