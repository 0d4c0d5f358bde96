#include "card/rules/background_placement.h"

namespace ks {

namespace {

enum class Align { Start, Centre, End };

// The offset on one axis: only a picture smaller than the area is moved off the start.
int offset(Align align, int area, int picture) {
    if (picture >= area) return 0;
    switch (align) {
        case Align::Centre:
            return (area - picture) / 2;
        case Align::End:
            return area - picture;
        case Align::Start:
            break;
    }
    return 0;
}

}  // namespace

BackgroundPlacement place_background(int32_t position, PixelSize area, PixelSize picture) {
    if (position == kTiledPosition) return {true, 0, 0};
    if (position < 1 || position > kTiledPosition) position = 1;
    // Positions 1-9 read as a 3 x 3 grid, row by row.
    constexpr Align kAligns[] = {Align::Start, Align::Centre, Align::End};
    const int index = position - 1;
    return {false, offset(kAligns[index % 3], area.width, picture.width),
            offset(kAligns[index / 3], area.height, picture.height)};
}

}  // namespace ks
