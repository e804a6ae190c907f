#include "runtime/screen/pixel_canvas.h"

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
// the figure's outermost pixels, the fill inside it, and nothing beyond.
TEST(PixelCanvas, ShapesCoverTheirPixelsAsTheXServerDrawsThem)
{
    Picture ball;
    ball.canvas.draw_circle({4, 2, 17, 17}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    Picture paddle;
    paddle.canvas.draw_rectangle({4, 2, 145, 17}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    Picture outline;
    outline.canvas.draw_circle({4, 2, 17, 17}, std::nullopt, Rgb{255, 255, 255});
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
    };
    for (const auto& [picture, expected] : cases) {
        EXPECT_EQ(picture->at(expected.x, expected.y), expected.value) << expected.what;
    }
}

TEST(PixelCanvas, AShapePartlyOffThePictureDrawsItsPartInIt)
{
    Picture picture;
    picture.canvas.draw_rectangle({-10, -5, 200, 20}, Rgb{255, 0, 0}, Rgb{255, 255, 255});
    picture.canvas.draw_circle({150, 30, 17, 17}, Rgb{255, 255, 255}, Rgb{255, 255, 255});
    EXPECT_EQ(picture.at(0, 0), kRed) << "the outline lies off the picture";
    EXPECT_EQ(picture.at(0, 14), kWhite) << "the bottom edge lies on it";
    EXPECT_EQ(picture.at(Picture::kWidth - 1, 0), kRed);
    EXPECT_EQ(picture.at(158, 38), kWhite);
}

}  // namespace
}  // namespace pellavin::screen
