#pragma once
// Decoding of imported icons: the 16- or 32-pixel image of an ICO file, as plain RGBA pixels.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace ks {

enum class IconStatus : int {
    Success = 0,
    FileUnreadable = 1,  // load_icon_file only: the file could not be opened or read
    OutOfRange = 2,      // memory ran out, or an image lies (partly) beyond the data
    NoImageOfSize = 3,   // no image of the wanted size
    BadArguments = 4,    // no data, or a wanted size other than 16 or 32
    NotAnIcon = 5,       // the first two 16-bit words are not 0 and 1
    NoImages = 6,        // the directory lists no images
    Refused = 7,         // an image this decoder cannot turn into pixels (PNG, compression)
};

// Pixels top row first, four bytes each: red, green, blue, alpha (0 transparent, 255 opaque).
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

struct IconResult {
    IconStatus status = IconStatus::BadArguments;
    IconImage image;  // filled only on success
};

// The image of `wanted_size` pixels (16 or 32) from ICO file data. Among the directory's first
// 20 images of that size: the first with 24 bits per pixel; otherwise, in directory order, an
// image with fewer bits than every earlier one becomes the fallback and any other with more bits
// than the best so far the choice; the choice wins, else the fallback. Images with 1, 4, 8, 16,
// 24 and 32 bits per pixel are decoded; their AND mask makes pixels transparent, and 32-bit
// images with any alpha use their alpha instead.
IconResult decode_icon(std::span<const uint8_t> data, int wanted_size);

// Reads a whole .ico file (at most kMaxIconFileSize bytes) and decodes it as above.
constexpr uint64_t kMaxIconFileSize = 16 * 1024 * 1024;
IconResult load_icon_file(const std::filesystem::path& path, int wanted_size);
// The bytes of an icon file (at most kMaxIconFileSize); nothing, with the reason in `why`, when
// it cannot be read.
std::optional<std::vector<uint8_t>> read_icon_file(const std::filesystem::path& path,
                                                   IconStatus* why = nullptr);

}  // namespace ks
