#include "shell/icons.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "platform/bytes.h"
#include "platform/file.h"

namespace ks {

namespace {

constexpr size_t kDirectoryHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;
constexpr size_t kMaxDirectoryEntries = 20;
constexpr size_t kBitmapHeaderMin = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
    uint64_t offset = 0;
    bool png = false;
    int width = 0;
    int size = 0;  // half the bitmap's height: the colour and mask parts share it
    int bits = 0;
};

uint32_t be32(std::span<const uint8_t> b, size_t offset) {
    return (uint32_t{b[offset]} << 24) | (uint32_t{b[offset + 1]} << 16) |
           (uint32_t{b[offset + 2]} << 8) | uint32_t{b[offset + 3]};
}

// Reads what the choice needs from an image's own header; none when the header lies beyond
// the data.
std::optional<Entry> read_entry(std::span<const uint8_t> data, size_t entry_at) {
    Entry entry;
    entry.offset = get_u32(data, entry_at + 12);
    if (entry.offset >= data.size()) return std::nullopt;
    const std::span<const uint8_t> image = data.subspan(static_cast<size_t>(entry.offset));
    if (image.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin())) {
        entry.png = true;
        entry.bits = get_u16(data, entry_at + 6);
        // The IHDR chunk follows the signature: length, type, width, height (big-endian).
        if (image.size() < 24) return std::nullopt;
        const uint32_t width = be32(image, 16);
        const uint32_t height = be32(image, 20);
        if (width <= 256 && height <= 256) {
            entry.width = static_cast<int>(width);
            entry.size = static_cast<int>(height);
        }
        return entry;
    }
    if (image.size() < kBitmapHeaderMin) return std::nullopt;
    const int32_t width = get_i32(image, 4);
    const int32_t height = get_i32(image, 8);
    entry.bits = get_u16(image, 14);
    if (width > 0 && width <= 256 && height > 0 && height <= 512) {
        entry.width = width;
        entry.size = height / 2;
    }
    return entry;
}

// The choice rule: the first 24-bit image; else the last image with more bits than every
// earlier choice, where an image with fewer bits than every earlier one is only the fallback.
std::optional<size_t> choose(const std::vector<Entry>& entries, int wanted, bool png) {
    std::optional<size_t> choice;
    std::optional<size_t> fallback;
    int choice_bits = 0;
    int fallback_bits = std::numeric_limits<int>::max();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (e.png != png || e.size != wanted || e.width != wanted) continue;
        if (e.bits == 24) return i;
        if (e.bits < fallback_bits) {
            fallback = i;
            fallback_bits = e.bits;
        } else if (e.bits > choice_bits) {
            choice = i;
            choice_bits = e.bits;
        }
    }
    return choice ? choice : fallback;
}

uint8_t scale_bits(uint32_t value, uint32_t max) {
    return static_cast<uint8_t>(value * 255 / max);
}

IconStatus decode_bitmap(std::span<const uint8_t> data, const Entry& entry, IconImage& out) {
    const std::span<const uint8_t> image = data.subspan(static_cast<size_t>(entry.offset));
    const uint32_t header_size = get_u32(image, 0);
    const uint32_t compression = get_u32(image, 16);
    const uint32_t colours_used = get_u32(image, 32);
    const int bits = entry.bits;
    if (header_size < kBitmapHeaderMin) return IconStatus::Refused;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return IconStatus::Refused;
    }
    if (compression != kCompressionNone) return IconStatus::Refused;

    const auto w = static_cast<uint64_t>(entry.width);
    const auto h = static_cast<uint64_t>(entry.size);
    const uint64_t palette_size = bits <= 8 ? (uint64_t{1} << bits) : 0;
    const uint64_t palette_in_file = colours_used != 0 ? colours_used : palette_size;
    const uint64_t palette_at = header_size;
    const uint64_t colour_stride = (w * static_cast<uint64_t>(bits) + 31) / 32 * 4;
    const uint64_t mask_stride = (w + 31) / 32 * 4;
    const uint64_t colour_at = palette_at + palette_in_file * 4;
    const uint64_t mask_at = colour_at + colour_stride * h;
    const uint64_t end = mask_at + mask_stride * h;
    if (end > image.size()) return IconStatus::OutOfRange;

    // Colours the palette lacks are black.
    std::array<std::array<uint8_t, 3>, 256> palette{};
    const uint64_t usable = std::min(palette_in_file, palette_size);
    for (uint64_t i = 0; i < usable; ++i) {
        const size_t at = static_cast<size_t>(palette_at + i * 4);
        palette[i] = {image[at + 2], image[at + 1], image[at]};
    }

    out.width = entry.width;
    out.height = entry.size;
    out.rgba.assign(static_cast<size_t>(w * h * 4), 0);
    bool any_alpha = false;
    for (uint64_t row = 0; row < h; ++row) {
        // Bitmap rows run bottom-up.
        const size_t src = static_cast<size_t>(colour_at + (h - 1 - row) * colour_stride);
        for (uint64_t x = 0; x < w; ++x) {
            uint8_t* px = &out.rgba[static_cast<size_t>((row * w + x) * 4)];
            const size_t xi = static_cast<size_t>(x);
            switch (bits) {
                case 1:
                case 4:
                case 8: {
                    const size_t bit = xi * static_cast<size_t>(bits);
                    const unsigned shift = 8 - static_cast<unsigned>(bits) - bit % 8;
                    const unsigned index =
                        (image[src + bit / 8] >> shift) & ((1u << static_cast<unsigned>(bits)) - 1);
                    px[0] = palette[index][0];
                    px[1] = palette[index][1];
                    px[2] = palette[index][2];
                    break;
                }
                case 16: {
                    const uint16_t v = get_u16(image, src + xi * 2);
                    px[0] = scale_bits((v >> 11) & 0x1F, 0x1F);
                    px[1] = scale_bits((v >> 5) & 0x3F, 0x3F);
                    px[2] = scale_bits(v & 0x1F, 0x1F);
                    break;
                }
                case 24:
                    px[0] = image[src + xi * 3 + 2];
                    px[1] = image[src + xi * 3 + 1];
                    px[2] = image[src + xi * 3];
                    break;
                default:
                    px[0] = image[src + xi * 4 + 2];
                    px[1] = image[src + xi * 4 + 1];
                    px[2] = image[src + xi * 4];
                    px[3] = image[src + xi * 4 + 3];
                    any_alpha = any_alpha || px[3] != 0;
                    break;
            }
        }
    }
    if (bits == 32 && any_alpha) return IconStatus::Success;

    // The AND mask: a set bit is a transparent pixel.
    for (uint64_t row = 0; row < h; ++row) {
        const size_t src = static_cast<size_t>(mask_at + (h - 1 - row) * mask_stride);
        for (uint64_t x = 0; x < w; ++x) {
            const size_t xi = static_cast<size_t>(x);
            const bool transparent = ((image[src + xi / 8] >> (7 - xi % 8)) & 1) != 0;
            out.rgba[static_cast<size_t>((row * w + x) * 4 + 3)] = transparent ? 0 : 255;
        }
    }
    return IconStatus::Success;
}

}  // namespace

IconResult decode_icon(std::span<const uint8_t> data, int wanted_size) {
    IconResult result;
    if (data.empty() || (wanted_size != 16 && wanted_size != 32)) {
        result.status = IconStatus::BadArguments;
        return result;
    }
    if (data.size() < kDirectoryHeaderSize || get_u16(data, 0) != 0 || get_u16(data, 2) != 1) {
        result.status = IconStatus::NotAnIcon;
        return result;
    }
    const size_t count = std::min<size_t>(get_u16(data, 4), kMaxDirectoryEntries);
    if (count == 0) {
        result.status = IconStatus::NoImages;
        return result;
    }

    std::vector<Entry> entries;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kDirectoryHeaderSize + i * kDirectoryEntrySize;
        std::optional<Entry> entry;
        if (at + kDirectoryEntrySize <= data.size()) entry = read_entry(data, at);
        if (!entry) {
            result.status = IconStatus::OutOfRange;
            return result;
        }
        entries.push_back(*entry);
    }

    if (const auto chosen = choose(entries, wanted_size, false)) {
        try {
            result.status = decode_bitmap(data, entries[*chosen], result.image);
        } catch (const std::bad_alloc&) {
            result.status = IconStatus::OutOfRange;
        }
        if (result.status != IconStatus::Success) result.image = {};
        return result;
    }
    // Compressed images are only the last resort, and this decoder cannot expand them.
    result.status =
        choose(entries, wanted_size, true) ? IconStatus::Refused : IconStatus::NoImageOfSize;
    return result;
}

std::optional<std::vector<uint8_t>> read_icon_file(const std::filesystem::path& path,
                                                   IconStatus* why) {
    const auto fail = [why](IconStatus status) {
        if (why) *why = status;
        return std::nullopt;
    };
    if (path.native().size() <= 4) return fail(IconStatus::FileUnreadable);
    File file = File::open(path, FileMode::ReadOnly);
    if (!file.is_open()) return fail(IconStatus::FileUnreadable);
    const std::optional<uint64_t> size = file.size();
    if (!size) return fail(IconStatus::FileUnreadable);
    if (*size > kMaxIconFileSize) return fail(IconStatus::OutOfRange);
    std::vector<uint8_t> data;
    try {
        data.resize(static_cast<size_t>(*size));
    } catch (const std::bad_alloc&) {
        return fail(IconStatus::OutOfRange);
    }
    const IoResult read = file.read_at(0, data);
    if (read.failed() || read.bytes != data.size()) return fail(IconStatus::FileUnreadable);
    return data;
}

IconResult load_icon_file(const std::filesystem::path& path, int wanted_size) {
    IconStatus why = IconStatus::FileUnreadable;
    const auto data = read_icon_file(path, &why);
    if (!data) return IconResult{why, {}};
    return decode_icon(*data, wanted_size);
}

}  // namespace ks
