#pragma once
// Where the card view draws its background picture: the picture's position setting (1 top
// left to 9 bottom right, 10 tiled) turned into its place in the view's area.
#include <cstdint>

namespace ks {

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct BackgroundPlacement {
    bool tile = false;
    int x = 0;  // the picture's top left corner in the area, when not tiled
    int y = 0;
    bool operator==(const BackgroundPlacement&) const = default;
};

constexpr int32_t kTiledPosition = 10;

// The picture is drawn at its own size. Centring and right or bottom alignment apply only on an
// axis where the picture is smaller than the area; otherwise it starts at 0 there. A position
// outside 1 to 10 is taken as 1.
BackgroundPlacement place_background(int32_t position, PixelSize area, PixelSize picture);

}  // namespace ks
