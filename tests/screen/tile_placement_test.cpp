#include "runtime/screen/wayland/shape_surfaces.h"

#include <gtest/gtest.h>

namespace pellavin::screen {
namespace {

struct PlacementCase {
    const char* what;
    int scale;
    Rect shape;  // device pixels, in a 1920 x 1080 window
    TilePlacement expected;
};

// The compositor places a surface on whole logical pixels; a shape must
// still land on its very device pixels, and show nothing beyond the
// window's edges, where other outputs are.
TEST(TilePlacement, EachShapeLandsOnItsDevicePixelsAndOnlyInsideTheWindow)
{
    const Rect window{0, 0, 1920, 1080};
    const PlacementCase cases[] = {
        {"a paddle at 100 %", 1, {80, 0, 145, 17}, {0, 0, 0, {0, 0, 145, 17}, 80, 0, {}}},
        {"at 200 %, on an even pixel", 2, {160, 1046, 290, 34}, {0, 0, 0, {0, 0, 290, 34}, 80, 523, {}}},
        {"on an odd one: the second tile, its buffer a pixel wider", 2, {293, 1046, 290, 34},
            {1, 1, 0, {0, 0, 292, 34}, 146, 523, {}}},
        {"odd in both directions", 2, {293, 1047, 17, 17}, {3, 1, 1, {0, 0, 18, 18}, 146, 523, {}}},
        {"partly off the right edge: its part inside", 2, {1760, 1046, 290, 34},
            {0, 0, 0, {0, 0, 290, 34}, 880, 523, {0, 0, 160, 34}}},
        {"from an odd pixel", 2, {1761, 1046, 290, 34}, {1, 1, 0, {0, 0, 292, 34}, 880, 523, {0, 0, 160, 34}}},
        {"partly off the left edge", 2, {-101, 1046, 290, 34}, {1, 1, 0, {0, 0, 292, 34}, 0, 523, {102, 0, 190, 34}}},
        {"the ball falling out below", 1, {104, 1070, 17, 17}, {0, 0, 0, {0, 0, 17, 17}, 104, 1070, {0, 0, 17, 10}}},
        {"off the window: no tile shows", 2, {1920, 1046, 290, 34}, {}},
        {"above it", 1, {80, -17, 145, 17}, {}},
    };
    for (const PlacementCase& c : cases) {
        const TilePlacement placed = place_tile(c.shape, window, c.scale);
        EXPECT_EQ(placed, c.expected) << c.what << ": tile " << placed.tile << " at " << placed.x << "," << placed.y
                                      << ", source " << placed.source.x << "," << placed.source.y << " "
                                      << placed.source.width << "x" << placed.source.height;
        if (placed.tile < 0) continue;
        // What shows of the buffer lies in it, on whole logical pixels.
        const Rect shown = placed.source.empty() ? placed.buffer : placed.source;
        EXPECT_TRUE(placed.buffer.contains(shown)) << c.what;
        EXPECT_EQ(shown.x % c.scale + shown.width % c.scale, 0) << c.what;
        // And the shape's corner lands on its own device pixel.
        EXPECT_EQ(placed.x * c.scale + placed.lead_x - shown.x, c.shape.x) << c.what;
        EXPECT_EQ(placed.y * c.scale + placed.lead_y - shown.y, c.shape.y) << c.what;
    }
}

}  // namespace
}  // namespace pellavin::screen
