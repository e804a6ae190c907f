#include "runtime/screen/pixel_canvas.h"
#include "runtime/screen/wayland/shape_surfaces.h"

#include <gtest/gtest.h>

#include <vector>

namespace pellavin::screen {
namespace {

constexpr uint32_t kNothing = 0;  // transparent: what lies below shows
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;

// A picture as large as a shape's buffer, with a margin around the shape.
struct Picture {
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 40;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight, kNothing);
    PixelCanvas canvas{pixels.data(), kWidth, kHeight};

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * kWidth + x]; }
};

struct Expected {
    int x;
    int y;
    uint32_t value;
    const char* what;
};

// The ball and the paddles as the X server draws them: a white outline on
// the figure's outermost pixels, the fill inside it, and nothing beyond;
// partly off the picture, the part in it.
TEST(PixelCanvas, ShapesCoverTheirPixelsAsTheXServerDrawsThem)
{
    Picture ball;
    ball.canvas.draw_circle({4, 2, 17, 17}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    Picture paddle;
    paddle.canvas.draw_rectangle({4, 2, 145, 17}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    Picture outline;
    outline.canvas.draw_circle({4, 2, 17, 17}, std::nullopt, Rgb{255, 255, 255});
    Picture off;
    off.canvas.draw_rectangle({-10, -5, 200, 20}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    off.canvas.draw_circle({150, 30, 17, 17}, Rgb{255, 255, 255}, Rgb{255, 255, 255});
    const std::pair<const Picture*, Expected> cases[] = {
        {&ball, {12, 10, kRed, "the ball's middle, filled"}},
        {&ball, {4, 10, kWhite, "its leftmost pixel, the outline"}},
        {&ball, {20, 10, kWhite, "its rightmost"}},
        {&ball, {12, 2, kWhite, "its top"}},
        {&ball, {12, 18, kWhite, "its bottom"}},
        {&ball, {5, 10, kRed, "inside the outline"}},
        {&ball, {4, 2, kNothing, "a circle leaves its square's corners"}},
        {&ball, {20, 18, kNothing, "all four of them"}},
        {&ball, {21, 10, kNothing, "nothing right of it"}},
        {&ball, {12, 19, kNothing, "nothing below it"}},
        {&paddle, {4, 2, kWhite, "the paddle's corner"}},
        {&paddle, {148, 18, kWhite, "its last pixel"}},
        {&paddle, {76, 10, kRed, "its middle, filled"}},
        {&paddle, {149, 10, kNothing, "nothing right of it"}},
        {&outline, {12, 10, kNothing, "no fill: only the outline"}},
        {&outline, {4, 10, kWhite, "which stays"}},
        {&off, {0, 0, kRed, "a paddle's outline off the picture"}},
        {&off, {0, 14, kWhite, "its bottom edge on it"}},
        {&off, {Picture::kWidth - 1, 0, kRed, "its fill to the picture's right edge"}},
        {&off, {158, 38, kWhite, "a ball's part in the corner"}},
    };
    for (const auto& [picture, expected] : cases) {
        EXPECT_EQ(picture->at(expected.x, expected.y), expected.value) << expected.what;
    }
}

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
