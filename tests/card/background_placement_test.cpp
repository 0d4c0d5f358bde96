#include <gtest/gtest.h>

#include "card/rules/background_placement.h"

namespace ks {
namespace {

TEST(BackgroundPlacementTest, PlacesBySettingAndOnlyMovesASmallerPicture) {
    constexpr PixelSize kArea{200, 100};
    constexpr PixelSize kSmall{50, 20};
    constexpr PixelSize kLarge{300, 150};
    constexpr PixelSize kWide{300, 20};  // larger across, smaller down
    struct Case {
        int32_t position;
        PixelSize picture;
        BackgroundPlacement placed;
    };
    const Case cases[] = {
        {1, kSmall, {false, 0, 0}},    {2, kSmall, {false, 75, 0}},
        {3, kSmall, {false, 150, 0}},  {4, kSmall, {false, 0, 40}},
        {5, kSmall, {false, 75, 40}},  {6, kSmall, {false, 150, 40}},
        {7, kSmall, {false, 0, 80}},   {8, kSmall, {false, 75, 80}},
        {9, kSmall, {false, 150, 80}}, {10, kSmall, {true, 0, 0}},
        {5, kLarge, {false, 0, 0}},    {9, kLarge, {false, 0, 0}},
        {10, kLarge, {true, 0, 0}},    {9, kWide, {false, 0, 80}},
        {5, kArea, {false, 0, 0}},  // exactly the area's size: nothing to move
        {0, kSmall, {false, 0, 0}},    {11, kSmall, {false, 0, 0}},
        {-3, kSmall, {false, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(place_background(c.position, kArea, c.picture), c.placed)
            << "position " << c.position << ", picture " << c.picture.width << "x"
            << c.picture.height;
    }
}

}  // namespace
}  // namespace ks
