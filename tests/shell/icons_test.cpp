#include "shell/icons.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace ks {
namespace {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// One image of an ICO file as a test describes it. Pixels are given top row first; the
// encoder stores them bottom-up as the format wants.
struct TestImage {
    int size = 16;
    int width = 0;  // 0: as size
    int bits = 24;
    std::vector<Rgb> palette;                // up to 8 bits per pixel
    std::function<int(int, int)> index;      // palette index of a pixel
    std::function<Rgb(int, int)> colour;     // above 8 bits per pixel
    std::function<uint8_t(int, int)> alpha;  // 32 bits per pixel; none: all 0
    std::function<bool(int, int)> masked;    // AND mask bit; none: all clear
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    bool png = false;
};

void put_bits(std::vector<uint8_t>& row, int x, int bits, unsigned value) {
    const int bit = x * bits;
    const int shift = 8 - bits - bit % 8;
    row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(value << shift);
}

std::vector<uint8_t> encode_image(const TestImage& im) {
    const int w = im.width ? im.width : im.size;
    const int h = im.size;
    std::vector<uint8_t> out;
    if (im.png) {
        out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
        for (int v : {w, h}) {
            for (int s : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> s));
        }
        out.insert(out.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
        return out;
    }
    out.resize(40);
    put_u32(out, 0, 40);
    put_i32(out, 4, w);
    put_i32(out, 8, 2 * h);
    put_u16(out, 12, 1);
    put_u16(out, 14, static_cast<uint16_t>(im.bits));
    put_u32(out, 16, im.compression);
    put_u32(out, 32, im.colours_used);
    if (im.bits <= 8) {
        const size_t entries = im.colours_used ? im.colours_used : (size_t{1} << im.bits);
        for (size_t i = 0; i < entries; ++i) {
            const Rgb c = i < im.palette.size() ? im.palette[i] : Rgb{};
            out.insert(out.end(), {c.b, c.g, c.r, 0});
        }
    }
    const size_t stride = static_cast<size_t>((w * im.bits + 31) / 32 * 4);
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < w; ++x) {
            if (im.bits <= 8) {
                put_bits(row, x, im.bits, static_cast<unsigned>(im.index(x, y)));
                continue;
            }
            const Rgb c = im.colour(x, y);
            const size_t at = static_cast<size_t>(x * im.bits / 8);
            if (im.bits == 16) {
                put_u16(row, at,
                        static_cast<uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)));
            } else {
                row[at] = c.b;
                row[at + 1] = c.g;
                row[at + 2] = c.r;
                if (im.bits == 32) row[at + 3] = im.alpha ? im.alpha(x, y) : 0;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    const size_t mask_stride = static_cast<size_t>((w + 31) / 32 * 4);
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(mask_stride, 0);
        for (int x = 0; x < w; ++x) {
            if (im.masked && im.masked(x, y)) put_bits(row, x, 1, 1);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<uint8_t> encode_ico(const std::vector<TestImage>& images) {
    std::vector<uint8_t> out(6 + 16 * images.size(), 0);
    put_u16(out, 2, 1);
    put_u16(out, 4, static_cast<uint16_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const std::vector<uint8_t> image = encode_image(images[i]);
        const size_t entry = 6 + 16 * i;
        out[entry] = static_cast<uint8_t>(images[i].size);
        out[entry + 1] = static_cast<uint8_t>(images[i].size);
        put_u16(out, entry + 4, 1);
        put_u16(out, entry + 6, static_cast<uint16_t>(images[i].bits));
        put_u32(out, entry + 8, static_cast<uint32_t>(image.size()));
        put_u32(out, entry + 12, static_cast<uint32_t>(out.size()));
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}

// The pixels a correct decoder gives for the image.
std::vector<uint8_t> expected_rgba(const TestImage& im) {
    const int n = im.size;
    bool any_alpha = false;
    if (im.bits == 32 && im.alpha) {
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) any_alpha = any_alpha || im.alpha(x, y) != 0;
        }
    }
    std::vector<uint8_t> out;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const Rgb c =
                im.bits <= 8 ? im.palette[static_cast<size_t>(im.index(x, y))] : im.colour(x, y);
            uint8_t a = im.masked && im.masked(x, y) ? 0 : 255;
            if (any_alpha) a = im.alpha(x, y);
            out.insert(out.end(), {c.r, c.g, c.b, a});
        }
    }
    return out;
}

// Colours exact at every depth (components 0 or 255), one per marker number.
Rgb marker(int m) {
    return {static_cast<uint8_t>(m & 1 ? 255 : 0), static_cast<uint8_t>(m & 2 ? 255 : 0),
            static_cast<uint8_t>(m & 4 ? 255 : 0)};
}

// An image filled with one marker colour, so that a test can tell which image was chosen.
TestImage uniform(int size, int bits, int m) {
    TestImage im;
    im.size = size;
    im.bits = bits;
    if (bits <= 8) {
        im.palette = {marker(m)};
        im.index = [](int, int) { return 0; };
    } else {
        im.colour = [m](int, int) { return marker(m); };
    }
    return im;
}

// Rich patterns for each depth: different colours along both axes and a diagonal mask.
TestImage patterned(int size, int bits) {
    TestImage im;
    im.size = size;
    im.bits = bits;
    im.masked = [](int x, int y) { return x == y || x == 3; };
    if (bits <= 8) {
        const int colours = 1 << bits;
        for (int i = 0; i < colours; ++i) {
            im.palette.push_back({static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13),
                                  static_cast<uint8_t>(255 - i)});
        }
        im.index = [colours](int x, int y) { return (x * 3 + y * 5) % colours; };
    } else if (bits == 16) {
        im.colour = [](int x, int y) {
            return Rgb{static_cast<uint8_t>(x % 2 ? 255 : 0), static_cast<uint8_t>(y % 2 ? 255 : 0),
                       static_cast<uint8_t>((x + y) % 3 ? 255 : 0)};
        };
    } else {
        im.colour = [](int x, int y) {
            return Rgb{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 7),
                       static_cast<uint8_t>(x * y)};
        };
    }
    return im;
}

std::optional<int> chosen_marker(const IconResult& r) {
    if (r.status != IconStatus::Success || r.image.rgba.size() < 4) return std::nullopt;
    for (int m = 0; m < 8; ++m) {
        const Rgb c = marker(m);
        if (r.image.rgba[0] == c.r && r.image.rgba[1] == c.g && r.image.rgba[2] == c.b) return m;
    }
    return std::nullopt;
}

TEST(DecodeIcon, EveryDepthAtBothSizes) {
    for (int size : {16, 32}) {
        for (int bits : {1, 4, 8, 16, 24, 32}) {
            const TestImage im = patterned(size, bits);
            // Another size beside it, so that the choice must look at the sizes.
            const std::vector<uint8_t> ico = encode_ico({patterned(48 - size, bits), im});
            const IconResult r = decode_icon(ico, size);
            ASSERT_EQ(r.status, IconStatus::Success) << size << "px " << bits << " bits";
            EXPECT_EQ(r.image.width, size);
            EXPECT_EQ(r.image.height, size);
            EXPECT_EQ(r.image.rgba, expected_rgba(im)) << size << "px " << bits << " bits";
        }
    }
}

TEST(DecodeIcon, RowsRunBottomUpInTheFile) {
    // A hand-made 16 px 24-bit image: the first stored row is the bottom one.
    std::vector<uint8_t> image(40 + 16 * 16 * 3 + 16 * 4, 0);
    put_u32(image, 0, 40);
    put_i32(image, 4, 16);
    put_i32(image, 8, 32);
    put_u16(image, 12, 1);
    put_u16(image, 14, 24);
    image[40] = 0x11;  // bottom-left pixel: blue 0x11, green 0x22, red 0x33
    image[41] = 0x22;
    image[42] = 0x33;
    image[40 + 16 * 16 * 3] = 0x80;  // first mask row, first bit: bottom-left is transparent
    std::vector<uint8_t> ico(6 + 16, 0);
    put_u16(ico, 2, 1);
    put_u16(ico, 4, 1);
    put_u16(ico, 6 + 6, 24);
    put_u32(ico, 6 + 12, 22);
    ico.insert(ico.end(), image.begin(), image.end());
    const IconResult r = decode_icon(ico, 16);
    ASSERT_EQ(r.status, IconStatus::Success);
    const size_t bottom_left = 15 * 16 * 4;
    EXPECT_EQ(r.image.rgba[bottom_left + 0], 0x33);
    EXPECT_EQ(r.image.rgba[bottom_left + 1], 0x22);
    EXPECT_EQ(r.image.rgba[bottom_left + 2], 0x11);
    EXPECT_EQ(r.image.rgba[bottom_left + 3], 0);
    EXPECT_EQ(r.image.rgba[3], 255);  // top-left is opaque black
}

TEST(DecodeIcon, ThirtyTwoBitAlphaWinsOverTheMask) {
    TestImage im = patterned(16, 32);
    im.alpha = [](int x, int) { return static_cast<uint8_t>(x * 16); };
    const IconResult r = decode_icon(encode_ico({im}), 16);
    ASSERT_EQ(r.status, IconStatus::Success);
    EXPECT_EQ(r.image.rgba, expected_rgba(im));
    EXPECT_EQ(r.image.rgba[3], 0);
    EXPECT_EQ(r.image.rgba[4 * 15 + 3], 240);
}

TEST(DecodeIcon, PaletteShorterThanTheDepth) {
    TestImage im = uniform(16, 8, 5);
    im.palette = {marker(1), marker(5), marker(3)};
    im.colours_used = 3;
    im.index = [](int x, int) { return x % 3; };
    const IconResult r = decode_icon(encode_ico({im}), 16);
    ASSERT_EQ(r.status, IconStatus::Success);
    EXPECT_EQ(r.image.rgba, expected_rgba(im));

    // An index past the colours the file holds reads black, not memory beyond the palette.
    im.index = [](int x, int) { return x % 2 ? 200 : 1; };
    const IconResult beyond = decode_icon(encode_ico({im}), 16);
    ASSERT_EQ(beyond.status, IconStatus::Success);
    EXPECT_EQ(beyond.image.rgba[0], 255);  // index 1: marker 5 is red and blue
    EXPECT_EQ(beyond.image.rgba[4], 0);
    EXPECT_EQ(beyond.image.rgba[5], 0);
    EXPECT_EQ(beyond.image.rgba[6], 0);
}

TEST(DecodeIcon, ChoiceAmongImagesOfTheWantedSize) {
    struct Shape {
        int size;
        int bits;
    };
    const struct {
        std::vector<Shape> images;
        int wanted;
        int chosen;  // index into images
    } cases[] = {
        {{{16, 8}, {16, 24}, {16, 32}}, 16, 1},  // 24 bits first of all
        {{{16, 8}, {16, 32}}, 16, 1},            // more bits than the fallback
        {{{16, 4}, {16, 8}, {16, 32}}, 16, 2},   // the highest
        {{{16, 4}, {16, 32}, {16, 8}}, 16, 1},   // 8 is not above 32
        {{{16, 32}, {16, 8}}, 16, 1},            // fewer bits: a new fallback
        {{{16, 32}, {16, 4}, {16, 8}}, 16, 2},   // the choice beats the fallback
        {{{16, 8}, {16, 8}}, 16, 1},             // the same bits again is a choice
        {{{16, 32}}, 16, 0},                     // a lone fallback
        {{{32, 24}, {16, 4}, {32, 8}}, 16, 1},   // other sizes never count
        {{{16, 32}, {32, 24}, {16, 24}, {16, 1}}, 16, 2},
        {{{16, 24}, {32, 4}, {32, 1}}, 32, 2},  // fewer bits replace the fallback
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        const auto& c = cases[n];
        std::vector<TestImage> images;
        for (size_t i = 0; i < c.images.size(); ++i) {
            images.push_back(uniform(c.images[i].size, c.images[i].bits, static_cast<int>(i) + 1));
        }
        const IconResult r = decode_icon(encode_ico(images), c.wanted);
        EXPECT_EQ(r.status, IconStatus::Success) << "case " << n;
        EXPECT_EQ(chosen_marker(r), c.chosen + 1) << "case " << n;
    }
}

TEST(DecodeIcon, OnlyTheFirstTwentyImagesCount) {
    std::vector<TestImage> images(20, uniform(32, 8, 1));
    images.push_back(uniform(16, 8, 2));
    EXPECT_EQ(decode_icon(encode_ico(images), 16).status, IconStatus::NoImageOfSize);
    images.erase(images.begin());
    EXPECT_EQ(decode_icon(encode_ico(images), 16).status, IconStatus::Success);
}

TEST(DecodeIcon, CompressedImagesAreTheLastResort) {
    TestImage png = uniform(16, 32, 1);
    png.png = true;
    EXPECT_EQ(decode_icon(encode_ico({png, uniform(16, 4, 2)}), 16).status, IconStatus::Success);
    EXPECT_EQ(chosen_marker(decode_icon(encode_ico({png, uniform(16, 4, 2)}), 16)), 2);
    EXPECT_EQ(decode_icon(encode_ico({uniform(32, 8, 2), png}), 16).status, IconStatus::Refused);
    EXPECT_EQ(decode_icon(encode_ico({png}), 32).status, IconStatus::NoImageOfSize);
}

TEST(DecodeIcon, StatusCodes) {
    const std::vector<uint8_t> good = encode_ico({uniform(16, 8, 1)});
    auto with = [&good](size_t offset, uint16_t v) {
        std::vector<uint8_t> d = good;
        put_u16(d, offset, v);
        return d;
    };
    auto with32 = [&good](size_t offset, uint32_t v) {
        std::vector<uint8_t> d = good;
        put_u32(d, offset, v);
        return d;
    };
    const size_t image = 22;  // where the only image starts
    TestImage rle = uniform(16, 8, 1);
    rle.compression = 1;
    TestImage wide = uniform(16, 8, 1);
    wide.width = 32;

    const struct {
        const char* what;
        std::vector<uint8_t> data;
        int wanted;
        IconStatus status;
    } cases[] = {
        {"valid", good, 16, IconStatus::Success},
        {"empty", {}, 16, IconStatus::BadArguments},
        {"wanted 24", good, 24, IconStatus::BadArguments},
        {"wanted 0", good, 0, IconStatus::BadArguments},
        {"reserved word not 0", with(0, 1), 16, IconStatus::NotAnIcon},
        {"a cursor", with(2, 2), 16, IconStatus::NotAnIcon},
        {"a bitmap", {'B', 'M', 0, 0, 0, 0, 0, 0}, 16, IconStatus::NotAnIcon},
        {"five bytes", {0, 0, 1, 0, 1}, 16, IconStatus::NotAnIcon},
        {"no images", with(4, 0), 16, IconStatus::NoImages},
        {"header only", {0, 0, 1, 0, 0, 0}, 16, IconStatus::NoImages},
        {"no 32 px image", good, 32, IconStatus::NoImageOfSize},
        {"not square", encode_ico({wide}), 16, IconStatus::NoImageOfSize},
        {"more entries than bytes", with(4, 2), 16, IconStatus::OutOfRange},
        {"image offset at the end", with32(18, static_cast<uint32_t>(good.size())), 16,
         IconStatus::OutOfRange},
        {"image offset huge", with32(18, 0xFFFFFFFF), 16, IconStatus::OutOfRange},
        {"image offset into the header tail", with32(18, static_cast<uint32_t>(good.size() - 39)),
         16, IconStatus::OutOfRange},
        {"huge colour count", with32(image + 32, 0xFFFFFFFF), 16, IconStatus::OutOfRange},
        {"huge header size", with32(image, 0xFFFFFFF0), 16, IconStatus::OutOfRange},
        {"mask cut off", std::vector<uint8_t>(good.begin(), good.end() - 1), 16,
         IconStatus::OutOfRange},
        {"short header", with32(image, 12), 16, IconStatus::Refused},
        {"run-length compressed", encode_ico({rle}), 16, IconStatus::Refused},
        {"two bits per pixel", with(image + 14, 2), 16, IconStatus::Refused},
    };
    for (const auto& c : cases) {
        const IconResult r = decode_icon(c.data, c.wanted);
        EXPECT_EQ(r.status, c.status) << c.what;
        if (r.status != IconStatus::Success) {
            EXPECT_TRUE(r.image.rgba.empty()) << c.what;
        }
    }
}

// Every cut of a valid file and every single-byte change in its headers is either decoded or
// refused with a status; none reads beyond the data (each decode gets an exact-size copy).
TEST(DecodeIcon, TruncatedAndDamagedDataStaysInBounds) {
    const std::vector<uint8_t> good =
        encode_ico({patterned(32, 4), patterned(16, 32), patterned(16, 1)});
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
        const IconResult r = decode_icon(cut, 16);
        if (n < 6 + 16 * 3) {
            EXPECT_NE(r.status, IconStatus::Success) << n;
        }
        if (r.status == IconStatus::Success) {
            EXPECT_EQ(r.image.rgba.size(), 16u * 16 * 4);
        }
    }
    for (size_t at = 0; at < 6 + 16 * 3 + 40; ++at) {
        for (uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::vector<uint8_t> bad = good;
            bad[at] = v;
            const IconResult r = decode_icon(bad, 16);
            if (r.status == IconStatus::Success) {
                EXPECT_EQ(r.image.rgba.size(),
                          static_cast<size_t>(r.image.width) * r.image.height * 4);
            }
        }
    }
}

TEST(LoadIconFile, ReadsTheFileOrSaysWhy) {
    test::TempDir dir;
    const TestImage im = patterned(32, 8);
    test::write_file_bytes(dir / "good.ico", encode_ico({im}));
    test::write_file_bytes(dir / "empty.ico", {});
    std::filesystem::create_directory(dir / "folder.ico");
    {
        File big = File::open(dir / "big.ico", FileMode::CreateNew);
        ASSERT_TRUE(big.is_open());
        ASSERT_TRUE(big.set_size(kMaxIconFileSize + 1));
    }

    const IconResult good = load_icon_file(dir / "good.ico", 32);
    ASSERT_EQ(good.status, IconStatus::Success);
    EXPECT_EQ(good.image.rgba, expected_rgba(im));

    const struct {
        std::filesystem::path path;
        IconStatus status;
    } cases[] = {
        {dir / "missing.ico", IconStatus::FileUnreadable},
        {dir / "folder.ico", IconStatus::FileUnreadable},
        {"a.ic", IconStatus::FileUnreadable},  // four characters are too few for a path
        {dir / "big.ico", IconStatus::OutOfRange},
        {dir / "empty.ico", IconStatus::BadArguments},
    };
    for (const auto& c : cases) EXPECT_EQ(load_icon_file(c.path, 32).status, c.status) << c.path;
    EXPECT_EQ(load_icon_file(dir / "good.ico", 16).status, IconStatus::NoImageOfSize);
}

}  // namespace
}  // namespace ks
