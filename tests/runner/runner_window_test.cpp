#include "tests/runner/runner_window_fixture.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

namespace pellavin::runner {
namespace {

class RunnerWindowTest : public RunnerWindowFixture {
protected:
    void SetUp() override
    {
        // The still scene: nothing moves, so every pixel is where it starts.
        SettingsRecord record;
        record.GameType = 1;
        open(record);
    }

    // What the window system shows: the flushed window, not a fresh render.
    QImage shot()
    {
        QApplication::processEvents();
        return window->screen()->grabWindow(window->winId()).toImage();
    }
};

TEST_F(RunnerWindowTest, CoversTheWholeScreenInBlack)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->geometry(), screen);
    EXPECT_EQ(window->twips_per_pixel(), 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInch());
    const QImage image = shot();
    EXPECT_EQ(image.size(), screen.size());
    EXPECT_EQ(image.pixelColor(screen.width() - 1, screen.height() - 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(400, 500), QColor(Qt::black));
}

TEST_F(RunnerWindowTest, DrawsTheBallAndPaddlesAtTheirPlaces)
{
    ASSERT_EQ(window->twips_per_pixel(), 15.0) << "pixel places below assume 96 DPI";
    const QImage image = shot();
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
    form.Ball.set_Left(15 * 300);
    form.Ball.set_FillColor(0x0000FF);  // red
    const QImage image = shot();
    EXPECT_EQ(image.pixelColor(112, 232), QColor(Qt::black)) << "the old place was not cleared";
    EXPECT_EQ(image.pixelColor(308, 232), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(300, 232), QColor(Qt::white)) << "the outline stays white";
}

}  // namespace
}  // namespace pellavin::runner
