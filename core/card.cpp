#include "core/card.h"

#include "core/chunks.h"

#include <algorithm>

#include "core/wallet_file.h"

namespace ks {
namespace {
namespace fp = format::payload;

void append_chunk(Bytes& out, uint32_t type, const Bytes& data) {
    size_t start = out.size();
    out.resize(start + fp::kChunkHeaderSize, 0);
    put_u32(out, start + 4, type);
    put_u32(out, start + 8, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}
}  // namespace

bool Card::insert_field(FieldRecord field, int position) {
    if (fields_.size() >= fp::kMaxFields) return false;
    auto at = (position < 0 || static_cast<size_t>(position) >= fields_.size())
                  ? fields_.end()
                  : fields_.begin() + position;
    fields_.insert(at, std::move(field));
    dirty_ = true;
    return true;
}

bool Card::remove_field(size_t index) {
    if (index >= fields_.size()) return false;
    fields_.erase(fields_.begin() + static_cast<ptrdiff_t>(index));
    dirty_ = true;
    return true;
}

bool Card::move_field(size_t from, size_t to) {
    if (from >= fields_.size() || to >= fields_.size()) return false;
    FieldRecord f = std::move(fields_[from]);
    fields_.erase(fields_.begin() + static_cast<ptrdiff_t>(from));
    fields_.insert(fields_.begin() + static_cast<ptrdiff_t>(to), std::move(f));
    dirty_ = true;
    return true;
}

std::optional<size_t> Card::add_file(FileAttachment attachment) {
    for (size_t slot = 0; slot < files_.size(); ++slot) {
        if (files_[slot].has_data()) continue;
        files_[slot] = std::move(attachment);
        dirty_ = true;
        return slot;
    }
    return std::nullopt;
}

size_t Card::file_count() const {
    return static_cast<size_t>(
        std::count_if(files_.begin(), files_.end(), [](const auto& f) { return f.has_data(); }));
}

size_t Card::payload_size() const {
    size_t total = fp::kStyleSize;
    for (const auto& f : fields_) total += fp::kChunkHeaderSize + f.serialized_size();
    if (picture_.has_data()) total += fp::kChunkHeaderSize + picture_.serialized_size();
    if (sound_.has_data()) total += fp::kChunkHeaderSize + sound_.serialized_size();
    for (const auto& f : files_)
        if (f.has_data()) total += fp::kChunkHeaderSize + f.serialized_size();
    return total;
}

Bytes Card::payload(const KeyContext& key) const {
    Bytes out(fp::kStyleSize, 0);
    out.reserve(payload_size());
    for (size_t i = 0; i < style_.size(); ++i) put_u32(out, 4 * i, style_[i]);
    for (const auto& f : fields_) append_chunk(out, fp::kChunkField, f.serialize(key));
    if (picture_.has_data()) append_chunk(out, fp::kChunkPicture, picture_.serialize(key));
    if (sound_.has_data()) append_chunk(out, fp::kChunkSound, sound_.serialize(key));
    for (const auto& f : files_)
        if (f.has_data()) append_chunk(out, fp::kChunkFile, f.serialize(key));
    return out;
}

StorageResult Card::write(File& file, const KeyContext& key) {
    if (!node_ || !node_->valid()) return StorageResult::NotRecognised;
    Bytes body = payload(key);
    if (body.size() > UINT32_MAX) return StorageResult::CallFailed;
    node_->header().set_payload_length(static_cast<uint32_t>(body.size()));
    node_->header().set_u32(format::node::kReserved744, 0);
    StorageResult r = write_node(file, *node_, body);
    secure_zero(std::span(body));
    if (r == StorageResult::Done) dirty_ = true;  // as written; the caller decides what follows
    return r;
}

bool Card::read(File& file, const KeyContext& key) {
    if (!node_) return false;
    const uint32_t length = node_->header().payload_length();
    if (length < fp::kStyleSize) return false;
    auto size = file.size();
    if (!size || file.position() > *size || length > *size - file.position()) return false;
    SecureBytes body(length);
    IoResult r = file.read(body.span());
    if (r.failed() || r.bytes != length) return false;
    return parse_payload(body.span(), key);
}

bool Card::parse_payload(std::span<const uint8_t> body, const KeyContext& key) {
    if (body.size() < fp::kStyleSize) return false;
    Card parsed;
    parsed.node_ = std::move(node_);
    for (size_t i = 0; i < parsed.style_.size(); ++i) parsed.style_[i] = get_u32(body, 4 * i);

    // A chunk that claims more than remains is read as far as it goes, and ends the walk.
    for_each_chunk(body, [&](const PayloadChunk<const uint8_t>& chunk) {
        switch (chunk.type) {
            case fp::kChunkField:
                if (parsed.fields_.size() < fp::kMaxFields)
                    if (auto f = FieldRecord::parse(chunk.body, key))
                        parsed.fields_.push_back(std::move(*f));
                break;
            case fp::kChunkPicture:
                if (auto a = PictureAttachment::parse(chunk.body, key))
                    parsed.picture_ = std::move(*a);
                break;
            case fp::kChunkSound:
                if (auto a = SoundAttachment::parse(chunk.body, key)) parsed.sound_ = std::move(*a);
                break;
            case fp::kChunkFile:
                if (auto a = FileAttachment::parse(chunk.body, key)) parsed.add_file(std::move(*a));
                break;
            default:
                break;  // never written; passed over
        }
    });
    for (auto& f : parsed.files_) f.set_dirty(false);
    parsed.picture_.set_dirty(false);
    parsed.sound_.set_dirty(false);
    parsed.dirty_ = false;
    parsed.loaded_ = true;
    *this = std::move(parsed);
    return true;
}

}  // namespace ks
