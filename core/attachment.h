#pragma once
// A card's picture, sound and attached files, and their stored forms (chunks 3, 4 and 6).
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/cipher.h"
#include "platform/bytes.h"
#include "platform/datetime.h"

namespace ks {

enum class ImageFormat : int32_t { Other = 0, Bmp = 1, Jpeg = 2, Gif = 3 };
enum class SoundFormat : int32_t { Other = 0, Wav = 1 };

constexpr int32_t kDefaultPictureSetting = 9;
constexpr size_t kMaxAttachmentNameUnits = 259;

// The part of a path after its last "/", cut to 259 units.
std::u16string attachment_name_from_path(std::u16string_view path);
ImageFormat image_format_from_name(std::u16string_view name);
SoundFormat sound_format_from_name(std::u16string_view name);

// What the three attachment kinds share: unpadded data and a file name.
class AttachmentData {
  public:
    bool has_data() const { return !data_.empty(); }
    std::optional<Bytes> data() const;  // a copy; nothing when there is no data
    std::span<const uint8_t> data_view() const { return data_.span(); }
    const std::u16string& name() const { return name_; }
    bool dirty() const { return dirty_; }
    void set_dirty(bool d) { dirty_ = d; }
    // Stored length and pad of the data (pad 1..4), as kept in the chunk header.
    uint32_t data_stored_length() const;
    uint32_t data_pad() const;
    // Drops the data and the name; nothing of the attachment is written any more.
    void clear_data();

  protected:
    // The stored form after a kind's header of `header_size` bytes: the enciphered data, then
    // the enciphered name, with their stored lengths and pads at the given header offsets.
    Bytes serialize_body(size_t header_size, size_t data_offset, size_t name_offset,
                         const KeyContext& key) const;
    size_t body_size(size_t header_size) const;
    void parse_body(std::span<const uint8_t> chunk, size_t header_size, size_t data_offset,
                    size_t name_offset, const KeyContext& key);
    void assign(std::span<const uint8_t> data, std::u16string_view name);

    SecureBytes data_;
    std::u16string name_;
    bool dirty_ = false;
};

class PictureAttachment : public AttachmentData {
  public:
    int32_t setting() const { return setting_; }
    ImageFormat format() const { return format_; }
    void set_setting(int32_t s) {
        setting_ = s;
        dirty_ = true;
    }

    // The whole file; nothing changes and false when it cannot be read whole.
    bool set_from_file(const std::filesystem::path& path);
    // Refused without data, or without both name and format. The name's extension decides the
    // format when there is a name.
    bool set_from_bytes(std::span<const uint8_t> data, std::optional<std::u16string_view> name,
                        std::optional<ImageFormat> format,
                        int32_t setting = kDefaultPictureSetting);
    void clear();

    size_t serialized_size() const;
    Bytes serialize(const KeyContext& key) const;
    static std::optional<PictureAttachment> parse(std::span<const uint8_t> chunk,
                                                  const KeyContext& key);

  private:
    int32_t setting_ = 0;
    ImageFormat format_ = ImageFormat::Other;
    std::array<uint8_t, 8> reserved4_{};
    std::array<uint8_t, 16> reserved32_{};
};

class SoundAttachment : public AttachmentData {
  public:
    SoundFormat format() const { return format_; }
    bool play_when_viewed() const { return play_when_viewed_ != 0; }
    void set_play_when_viewed(bool on) {
        play_when_viewed_ = on ? 1 : 0;
        dirty_ = true;
    }

    bool set_from_bytes(std::span<const uint8_t> data, std::u16string_view name);
    void clear();

    size_t serialized_size() const;
    Bytes serialize(const KeyContext& key) const;
    static std::optional<SoundAttachment> parse(std::span<const uint8_t> chunk,
                                                const KeyContext& key);

  private:
    SoundFormat format_ = SoundFormat::Other;
    int32_t play_when_viewed_ = 0;
    std::array<uint8_t, 8> reserved24_{};
};

class FileAttachment : public AttachmentData {
  public:
    const DateTime& file_time() const { return file_time_; }
    const DateTime& time_attached() const { return time_attached_; }

    // The whole file; its last-write time (or now) and now as the time attached.
    bool set_from_file(const std::filesystem::path& path);
    bool set_from_bytes(std::span<const uint8_t> data, std::u16string_view path,
                        std::optional<DateTime> file_time);
    void clear();

    size_t serialized_size() const;
    Bytes serialize(const KeyContext& key) const;
    static std::optional<FileAttachment> parse(std::span<const uint8_t> chunk,
                                               const KeyContext& key);

  private:
    DateTime file_time_{};
    DateTime time_attached_{};
    std::array<uint8_t, 4> reserved0_{};
    std::array<uint8_t, 16> reserved52_{};
};

// Reads a whole regular file; nothing when it cannot be opened or read whole.
std::optional<Bytes> read_whole_file(const std::filesystem::path& path);

}  // namespace ks
