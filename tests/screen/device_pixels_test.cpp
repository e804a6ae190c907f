#include "runtime/core/numbers.h"
#include "runtime/screen/device_pixels.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellavin::screen {
namespace {

constexpr double kTwipsPerPixel = 15.0;  // 96 DPI
constexpr float kShapeHeight = 255;

struct ScaleCase {
    double ratio;
    Rect ball;     // the ball's place at the start, 255 twips at (1560, 3360)
    Rect paddle;   // a paddle 2175 by 255 twips at (1200, 0)
};

TEST(DevicePixels, ShapesCoverTheirRoundedEdgesAtEveryScale)
{
    const ScaleCase cases[] = {
        {1.0, Rect{104, 224, 17, 17}, Rect{80, 0, 145, 17}},
        {1.25, Rect{130, 280, 21, 21}, Rect{100, 0, 181, 21}},
        {1.5, Rect{156, 336, 26, 26}, Rect{120, 0, 218, 26}},
        {2.0, Rect{208, 448, 34, 34}, Rect{160, 0, 290, 34}},
    };
    for (const ScaleCase& c : cases) {
        const DevicePixels pixels(kTwipsPerPixel, c.ratio);
        EXPECT_EQ(pixels.rect({1560, 3360, 255, 255}), c.ball) << c.ratio;
        EXPECT_EQ(pixels.rect({1200, 0, 2175, 255}), c.paddle) << c.ratio;
    }
}

TEST(DevicePixels, EdgesThatMeetInTwipsMeetOnTheScreenAndSizesStayWithinAPixel)
{
    for (const double ratio : {1.0, 1.25, 1.5, 1.75, 2.0, 3.0}) {
        const DevicePixels pixels(kTwipsPerPixel, ratio);
        const double exact = 255 / pixels.twips_per_device_pixel();
        // Fractional places, off the screen's left and top edges too.
        for (float left = -3000.0f; left < 3000.0f; left += 47.25f) {
            const Rect a = pixels.rect({left, left, 255, 255});
            const Rect b = pixels.rect({left + 255, left + 255, 255, 255});
            ASSERT_EQ(a.right(), b.x) << ratio << " at " << left;
            ASSERT_EQ(a.bottom(), b.y) << ratio << " at " << left;
            ASSERT_LE(std::abs(a.width - exact), 1.0) << ratio << " at " << left;
        }
    }
}

// The serve puts the bottom paddle on the screen's height in twips, which
// the runner rounds from the screen's logical pixels: its last row must be
// the screen's last row.
TEST(DevicePixels, TheBottomPaddleEndsOnTheScreensLastRow)
{
    struct Screen {
        int device_height;
        double ratio;
    };
    for (const Screen screen : {Screen{1080, 1.0}, Screen{1080, 1.25}, Screen{1080, 1.5}, Screen{1080, 2.0},
             Screen{2160, 2.0}, Screen{1050, 1.5}, Screen{1440, 1.75}, Screen{2160, 3.0}}) {
        // Qt gives a scaled screen whole logical pixels.
        const double logical_height = std::round(screen.device_height / screen.ratio);
        const int32_t screen_height = runtime::round_to_int32(static_cast<float>(logical_height * kTwipsPerPixel));
        const DevicePixels pixels(kTwipsPerPixel, screen.ratio);
        const Rect paddle = pixels.rect({1200, static_cast<float>(screen_height) - kShapeHeight, 2175, kShapeHeight});
        EXPECT_EQ(paddle.bottom(), screen.device_height) << screen.device_height << " at " << screen.ratio;
    }
}

TEST(DevicePixels, UpdatesInLogicalPixelsCoverWhatChangedInDevicePixels)
{
    for (const double ratio : {1.0, 1.25, 1.5, 2.0}) {
        const DevicePixels pixels(kTwipsPerPixel, ratio);
        for (int x = -7; x < 40; ++x) {
            const Rect device{x, 2 * x, 17 + x % 3, 5};
            const Rect logical = pixels.to_logical(device);
            EXPECT_TRUE(pixels.to_device(logical).contains(device)) << ratio << " at " << x;
            // ...and by no more than what one logical pixel spans.
            EXPECT_LE(logical.width * ratio, device.width + 2 * ratio) << ratio << " at " << x;
        }
    }
}

}  // namespace
}  // namespace pellavin::screen
