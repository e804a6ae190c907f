#include "tests/runner/runner_window_fixture.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

namespace pellavin::runner {
namespace {

// What the window system shows: the flushed window, not a fresh render. The
// offscreen platform grabs only a scaled screen's logical pixels: there,
// the window draws its device pixels afresh.
QImage shot(QWidget& window)
{
    QApplication::processEvents();
    if (QGuiApplication::platformName() == QLatin1String("offscreen") && window.devicePixelRatioF() != 1.0) {
        return window.grab().toImage();
    }
    return window.screen()->grabWindow(window.winId()).toImage();
}

class RunnerWindowTest : public RunnerWindowFixture {
protected:
    void SetUp() override
    {
        // The still scene: nothing moves, so every pixel is where it starts.
        SettingsRecord record;
        record.GameType = 1;
        open(record);
    }

};

TEST_F(RunnerWindowTest, CoversTheWholeScreenInBlack)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->geometry(), screen);
    EXPECT_EQ(window->twips_per_pixel(), 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInch());
    const QImage image = shot(*window);
    const QSize device = screen.size() * window->devicePixelRatioF();
    EXPECT_EQ(image.size(), device);
    EXPECT_EQ(image.pixelColor(device.width() - 1, device.height() - 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(400, 500), QColor(Qt::black));
}

TEST_F(RunnerWindowTest, DrawsTheBallAndPaddlesAtTheirPlaces)
{
    if (window->devicePixelRatioF() != 1.0) GTEST_SKIP() << "pixel places below assume 96 DPI";
    ASSERT_EQ(window->twips_per_pixel(), 15.0) << "pixel places below assume 96 DPI";
    const QImage image = shot(*window);
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    // Paddles: 145 by 17, corners included.
    for (const QPoint origin : {QPoint(80, 0), QPoint(80, 312)}) {
        for (const QPoint corner : {QPoint(0, 0), QPoint(144, 0), QPoint(0, 16), QPoint(144, 16)}) {
            EXPECT_EQ(image.pixelColor(origin + corner), white) << origin.x() << "," << origin.y() << " + " << corner.x() << "," << corner.y();
        }
        EXPECT_EQ(image.pixelColor(origin + QPoint(145, 8)), black);
        EXPECT_EQ(image.pixelColor(origin + QPoint(-1, 8)), black);
    }
    EXPECT_EQ(image.pixelColor(80, 17), black);
    // The ball: a 17-pixel circle in the square at (104, 224).
    EXPECT_EQ(image.pixelColor(112, 232), white);
    EXPECT_EQ(image.pixelColor(104, 232), white);
    EXPECT_EQ(image.pixelColor(120, 232), white);
    EXPECT_EQ(image.pixelColor(112, 224), white);
    EXPECT_EQ(image.pixelColor(112, 240), white);
    EXPECT_EQ(image.pixelColor(104, 224), black) << "a circle leaves its square's corners";
    EXPECT_EQ(image.pixelColor(121, 232), black);
    EXPECT_EQ(image.pixelColor(112, 241), black);
}

// What is not black in `area` of the image, as one bounding box.
QRect lit_box(const QImage& image, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != QColor(Qt::black)) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

struct ScaledScene {
    double ratio;
    QRect top_paddle;
    QRect ball;
    QRect bottom_paddle;
};

// Run at the platform's scale (QT_SCALE_FACTOR, or Xft.dpi on an X server):
// every edge lands on the device pixel its twips round to.
TEST_F(RunnerWindowTest, TheStillSceneIsExactAtTheScreensScale)
{
    const ScaledScene scenes[] = {
        {1.0, QRect(80, 0, 145, 17), QRect(104, 224, 17, 17), QRect(80, 312, 145, 17)},
        {1.5, QRect(120, 0, 218, 26), QRect(156, 336, 26, 26), QRect(120, 468, 218, 26)},
        {2.0, QRect(160, 0, 290, 34), QRect(208, 448, 34, 34), QRect(160, 624, 290, 34)},
    };
    const double ratio = window->devicePixelRatioF();
    const ScaledScene* scene = nullptr;
    for (const ScaledScene& each : scenes) {
        if (each.ratio == ratio) scene = &each;
    }
    ASSERT_NE(scene, nullptr) << "no scene for the ratio " << ratio;
    const QImage image = shot(*window);
    const QSize device = QGuiApplication::primaryScreen()->geometry().size() * ratio;
    ASSERT_EQ(image.size(), device);
    const int ball_rows = scene->bottom_paddle.top() - scene->top_paddle.bottom() - 1;
    EXPECT_EQ(lit_box(image, QRect(0, 0, device.width(), scene->top_paddle.bottom() + 1)), scene->top_paddle);
    EXPECT_EQ(lit_box(image, QRect(0, scene->top_paddle.bottom() + 1, device.width(), ball_rows)), scene->ball);
    EXPECT_EQ(lit_box(image, QRect(0, scene->bottom_paddle.top(), device.width(), device.height() - scene->bottom_paddle.top())),
        scene->bottom_paddle);
}

TEST_F(RunnerWindowTest, HidesThePointerAndTheFrame)
{
    EXPECT_EQ(window->cursor().shape(), Qt::BlankCursor);
    QWidget* frame = window->widget_for(form.Frame1);
    EXPECT_TRUE(frame == nullptr || !frame->isVisible());
    // Nothing on the window can take the keyboard from it.
    for (QWidget* child : window->findChildren<QWidget*>()) {
        EXPECT_FALSE(child->isVisible() && (child->focusPolicy() & Qt::TabFocus)) << child->objectName().toStdString();
    }
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(RunnerWindowTest, RepaintsWhatMoved)
{
    if (window->devicePixelRatioF() != 1.0) GTEST_SKIP() << "pixel places below assume 96 DPI";
    form.Ball.set_Left(15 * 300);
    form.Ball.set_FillColor(0x0000FF);  // red
    const QImage image = shot(*window);
    EXPECT_EQ(image.pixelColor(112, 232), QColor(Qt::black)) << "the old place was not cleared";
    EXPECT_EQ(image.pixelColor(308, 232), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(300, 232), QColor(Qt::white)) << "the outline stays white";
}

class ServedRunnerWindowTest : public RunnerWindowFixture {
protected:
    void SetUp() override
    {
        // The serve puts the bottom paddle on the screen's bottom edge; the
        // ball waits for an arrow key, so the paddle stays where it was put.
        SettingsRecord record;
        record.NoAutoplay = -1;
        open(record);
    }
};

TEST_F(ServedRunnerWindowTest, TheBottomPaddleEndsOnTheScreensLastRow)
{
    const QImage image = shot(*window);
    const QRect paddle = window->device_rect(form.BottomPaddle);
    EXPECT_EQ(paddle.bottom(), image.height() - 1);
    EXPECT_EQ(lit_box(image, QRect(0, paddle.top() - 1, image.width(), image.height() - paddle.top() + 1)), paddle);
}

}  // namespace
}  // namespace pellavin::runner
