#include "tests/runner/runner_window_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace pellavin::runner {
namespace {

// Real key and mouse events on the runner's real window.
class RunnerInputTest : public RunnerWindowFixture {
protected:
    static SettingsRecord waiting_ball()
    {
        SettingsRecord settings;
        settings.NoAutoplay = -1;
        return settings;
    }
};

TEST_F(RunnerInputTest, ArrowKeysMoveTheBottomPaddleAndAutoRepeatsCount)
{
    open(waiting_ball());
    QTest::keyClick(&*window, Qt::Key_Right);
    EXPECT_EQ(form.BottomPaddle.Left(), 2200.0f);
    // An arrow while Shift is held (QTest would press Shift itself first,
    // and that key alone ends the game).
    QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Left, Qt::ShiftModifier);
    QApplication::sendEvent(&*window, &shifted);
    EXPECT_EQ(form.BottomPaddle.Left(), 1200.0f);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), /*autorep=*/true);
        QApplication::sendEvent(&*window, &repeat);
    }
    EXPECT_EQ(form.BottomPaddle.Left(), -1800.0f);
    EXPECT_TRUE(form.BallMovement.Enabled());
    EXPECT_TRUE(ends.empty());
}

TEST_F(RunnerInputTest, AnyOtherKeyEndsTheRunnerTabAndModifiersIncluded)
{
    open({});
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Shift, Qt::Key_Escape, Qt::Key_Space}) {
        ends.clear();
        Form1 fresh(platform, random);
        qt_backend::FormWindow fresh_window(fresh);
        fresh.load();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh_window));
        QTest::keyClick(&fresh_window, key);
        EXPECT_EQ(ends, (std::vector<int>{0})) << key;
        EXPECT_TRUE(fresh.ended());
    }
}

TEST_F(RunnerInputTest, AClickEndsTheRunner)
{
    open({});
    QTest::mouseClick(&*window, Qt::LeftButton, Qt::NoModifier, QPoint(500, 300));
    EXPECT_EQ(ends, (std::vector<int>{0}));
}

TEST_F(RunnerInputTest, ClicksAndMouseMovesAreIgnoredWhenClicksAreOff)
{
    SettingsRecord settings;
    settings.NoResumeOnClick = -1;
    open(settings);
    QTest::mouseMove(&*window, QPoint(10, 10));
    QTest::mouseMove(&*window, QPoint(600, 400));
    QTest::mouseClick(&*window, Qt::LeftButton, Qt::NoModifier, QPoint(500, 300));
    QTest::mouseClick(&*window, Qt::RightButton, Qt::NoModifier, QPoint(500, 300));
    EXPECT_TRUE(ends.empty());
    EXPECT_FALSE(form.ended());
}

TEST_F(RunnerInputTest, TheBallMovesOnTheTickClock)
{
    open({});
    const float start_left = form.Ball.Left();
    QTest::qWait(200);  // about a dozen ticks at 64 Hz
    EXPECT_LT(form.Ball.Left(), start_left);
    EXPECT_GT(window->clock().ticks(), 0u);
}

}  // namespace
}  // namespace pellavin::runner
