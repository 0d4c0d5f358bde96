#include "core/attachment.h"

#include <algorithm>

#include "core/format.h"
#include "core/stored_text.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/text.h"

namespace ks {
namespace {

namespace fp = format::payload;

std::u16string extension_of(std::u16string_view name) {
    size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string()
                                            : to_lower_ascii(name.substr(dot + 1));
}

}  // namespace

std::u16string attachment_name_from_path(std::u16string_view path) {
    size_t slash = path.rfind(u'/');
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    return std::u16string(name.substr(0, std::min(name.size(), kMaxAttachmentNameUnits)));
}

ImageFormat image_format_from_name(std::u16string_view name) {
    std::u16string ext = extension_of(name);
    if (ext == u"bmp") return ImageFormat::Bmp;
    if (ext == u"gif") return ImageFormat::Gif;
    if (ext == u"jpg" || ext == u"jpeg") return ImageFormat::Jpeg;
    return ImageFormat::Other;
}

SoundFormat sound_format_from_name(std::u16string_view name) {
    return extension_of(name) == u"wav" ? SoundFormat::Wav : SoundFormat::Other;
}

std::optional<Bytes> read_whole_file(const std::filesystem::path& path) {
    File file = File::open(path, FileMode::ReadOnly);
    if (!file.is_open()) return std::nullopt;
    auto size = file.size();
    if (!size || *size >= UINT32_MAX - 4) return std::nullopt;
    Bytes data(static_cast<size_t>(*size));
    IoResult r = file.read(data);
    if (r.failed() || r.bytes != data.size()) return std::nullopt;
    return data;
}

std::optional<Bytes> AttachmentData::data() const {
    if (data_.empty()) return std::nullopt;
    return Bytes(data_.span().begin(), data_.span().end());
}

uint32_t AttachmentData::data_stored_length() const {
    return data_stored_size(data_.size()).stored;
}
uint32_t AttachmentData::data_pad() const {
    return data_stored_size(data_.size()).pad;
}

Bytes AttachmentData::serialize_body(size_t header_size, size_t data_offset, size_t name_offset,
                                     const KeyContext& key) const {
    Bytes out(header_size, 0);
    StoredSize d = append_data(out, data_.span(), key);
    StoredSize n = append_text(out, name_, key);
    put_u32(out, data_offset, d.stored);
    put_u32(out, data_offset + 4, d.pad);
    put_u32(out, name_offset, n.stored);
    put_u32(out, name_offset + 4, n.pad);
    return out;
}

size_t AttachmentData::body_size(size_t header_size) const {
    return header_size + data_stored_size(data_.size()).stored +
           (name_.empty() ? 0 : text_stored_size(name_.size() * 2).stored);
}

void AttachmentData::parse_body(std::span<const uint8_t> chunk, size_t header_size,
                                size_t data_offset, size_t name_offset, const KeyContext& key) {
    StoredItemReader items(chunk, header_size);
    auto data = items.next(get_u32(chunk, data_offset), get_u32(chunk, data_offset + 4));
    data_ = SecureBytes(data.size());
    key.transform(data, data_.span());
    name_ = decipher_text(items.next(get_u32(chunk, name_offset), get_u32(chunk, name_offset + 4)),
                          key, kMaxAttachmentNameUnits);
}

void AttachmentData::assign(std::span<const uint8_t> data, std::u16string_view name) {
    data_ = SecureBytes(data);
    name_ = std::u16string(name.substr(0, std::min(name.size(), kMaxAttachmentNameUnits)));
    dirty_ = true;
}

void AttachmentData::clear_data() {
    data_.clear();
    name_.clear();
    dirty_ = true;
}

// Picture ------------------------------------------------------------------------------------

bool PictureAttachment::set_from_file(const std::filesystem::path& path) {
    auto bytes = read_whole_file(path);
    if (!bytes || bytes->empty()) return false;
    std::u16string name = attachment_name_from_path(from_utf8(path.string()));
    return set_from_bytes(*bytes, name, std::nullopt, kDefaultPictureSetting);
}

bool PictureAttachment::set_from_bytes(std::span<const uint8_t> data,
                                       std::optional<std::u16string_view> name,
                                       std::optional<ImageFormat> format, int32_t setting) {
    const bool has_name = name && !name->empty();
    if (data.empty() || (!has_name && !format)) return false;
    assign(data, has_name ? *name : std::u16string_view());
    format_ = has_name ? image_format_from_name(*name) : *format;
    setting_ = (setting >= 1 && setting <= 10) ? setting : kDefaultPictureSetting;
    return true;
}

void PictureAttachment::clear() {
    clear_data();
    setting_ = 0;
    format_ = ImageFormat::Other;
    reserved4_ = {};
    reserved32_ = {};
}

size_t PictureAttachment::serialized_size() const {
    return body_size(fp::kPictureHeaderSize);
}

Bytes PictureAttachment::serialize(const KeyContext& key) const {
    Bytes out =
        serialize_body(fp::kPictureHeaderSize, fp::kPictureDataItem, fp::kPictureNameItem, key);
    put_i32(out, 0, setting_);
    std::copy(reserved4_.begin(), reserved4_.end(), out.begin() + 4);
    put_i32(out, 12, static_cast<int32_t>(format_));
    std::copy(reserved32_.begin(), reserved32_.end(), out.begin() + 32);
    return out;
}

std::optional<PictureAttachment> PictureAttachment::parse(std::span<const uint8_t> chunk,
                                                          const KeyContext& key) {
    if (chunk.size() < fp::kPictureHeaderSize) return std::nullopt;
    PictureAttachment a;
    a.setting_ = get_i32(chunk, 0);
    std::copy_n(chunk.begin() + 4, 8, a.reserved4_.begin());
    a.format_ = static_cast<ImageFormat>(get_i32(chunk, 12));
    std::copy_n(chunk.begin() + 32, 16, a.reserved32_.begin());
    a.parse_body(chunk, fp::kPictureHeaderSize, fp::kPictureDataItem, fp::kPictureNameItem, key);
    return a;
}

// Sound --------------------------------------------------------------------------------------

bool SoundAttachment::set_from_bytes(std::span<const uint8_t> data, std::u16string_view name) {
    if (data.empty()) return false;
    assign(data, name);
    format_ = sound_format_from_name(name);
    return true;
}

void SoundAttachment::clear() {
    clear_data();
    format_ = SoundFormat::Other;
    play_when_viewed_ = 0;
    reserved24_ = {};
}

size_t SoundAttachment::serialized_size() const {
    return body_size(fp::kSoundHeaderSize);
}

Bytes SoundAttachment::serialize(const KeyContext& key) const {
    Bytes out = serialize_body(fp::kSoundHeaderSize, fp::kSoundDataItem, fp::kSoundNameItem, key);
    put_i32(out, 0, static_cast<int32_t>(format_));
    put_i32(out, 4, play_when_viewed_);
    std::copy(reserved24_.begin(), reserved24_.end(), out.begin() + 24);
    return out;
}

std::optional<SoundAttachment> SoundAttachment::parse(std::span<const uint8_t> chunk,
                                                      const KeyContext& key) {
    if (chunk.size() < fp::kSoundHeaderSize) return std::nullopt;
    SoundAttachment a;
    a.format_ = static_cast<SoundFormat>(get_i32(chunk, 0));
    a.play_when_viewed_ = get_i32(chunk, 4);
    std::copy_n(chunk.begin() + 24, 8, a.reserved24_.begin());
    a.parse_body(chunk, fp::kSoundHeaderSize, fp::kSoundDataItem, fp::kSoundNameItem, key);
    return a;
}

// File ---------------------------------------------------------------------------------------

bool FileAttachment::set_from_file(const std::filesystem::path& path) {
    auto bytes = read_whole_file(path);
    if (!bytes || bytes->empty()) return false;
    return set_from_bytes(*bytes, from_utf8(path.string()), file_modified_time(path));
}

bool FileAttachment::set_from_bytes(std::span<const uint8_t> data, std::u16string_view path,
                                    std::optional<DateTime> file_time) {
    if (data.empty()) return false;
    assign(data, attachment_name_from_path(path));
    DateTime now = clock().now();
    file_time_ = file_time.value_or(now);
    time_attached_ = now;
    return true;
}

void FileAttachment::clear() {
    clear_data();
    file_time_ = {};
    time_attached_ = {};
    reserved0_ = {};
    reserved52_ = {};
}

size_t FileAttachment::serialized_size() const {
    return body_size(fp::kFileHeaderSize);
}

Bytes FileAttachment::serialize(const KeyContext& key) const {
    Bytes out = serialize_body(fp::kFileHeaderSize, fp::kFileDataItem, fp::kFileNameItem, key);
    std::copy(reserved0_.begin(), reserved0_.end(), out.begin());
    encode_datetime(file_time_, std::span(out).subspan(4, 16));
    encode_datetime(time_attached_, std::span(out).subspan(20, 16));
    std::copy(reserved52_.begin(), reserved52_.end(), out.begin() + 52);
    return out;
}

std::optional<FileAttachment> FileAttachment::parse(std::span<const uint8_t> chunk,
                                                    const KeyContext& key) {
    if (chunk.size() < fp::kFileHeaderSize) return std::nullopt;
    FileAttachment a;
    std::copy_n(chunk.begin(), 4, a.reserved0_.begin());
    a.file_time_ = decode_datetime(chunk.subspan(4, 16));
    a.time_attached_ = decode_datetime(chunk.subspan(20, 16));
    std::copy_n(chunk.begin() + 52, 16, a.reserved52_.begin());
    a.parse_body(chunk, fp::kFileHeaderSize, fp::kFileDataItem, fp::kFileNameItem, key);
    return a;
}

}  // namespace ks
