#include "runtime/core/check_box.h"
#include "runtime/core/command_button.h"
#include "runtime/core/form.h"
#include "runtime/core/frame.h"
#include "runtime/core/label.h"
#include "runtime/core/option_button.h"
#include "runtime/core/text_box.h"
#include "runtime/qt/form_window.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace pellavin::qt_backend {
namespace {

using runtime::Bounds;

class WidgetsForm : public runtime::Form {
public:
    WidgetsForm(runtime::Platform& platform, runtime::RandomSequence& random)
        : Form(platform, random, design())
        , Hidden(*this, "Hidden", nullptr, {120, 120, 2000, 1000}, "Hidden frame")
        , Inside(*this, "Inside", &Hidden, {120, 300, 1500, 255}, "Inside label")
        , Box(*this, "Box", nullptr, {120, 1300, 2500, 255}, "A box")
        , First(*this, "First", nullptr, {120, 1700, 2500, 255}, "First")
        , Second(*this, "Second", nullptr, {120, 2000, 2500, 255}, "Second")
        , Text(*this, "Text", nullptr, {120, 2400, 1000, 285}, "15")
        , Button(*this, "Button", nullptr, {120, 2900, 1000, 375}, "Press")
    {
        Hidden.set_Visible(false);
        Box.on_click = [this] {
            ++box_clicks;
            // A handler that writes its own control back: the widget must follow.
            if (veto_box) Box.set_Value(runtime::CheckBox::kUnchecked);
        };
        First.on_click = [this] { ++first_clicks; };
        Text.on_change = [this] { changes.push_back(Text.Text()); };
        Button.on_click = [this] { ++presses; };
    }

    static runtime::FormDesign design()
    {
        runtime::FormDesign d;
        d.caption = "Widgets";
        d.client = {0, 0, 4000, 3600};
        return d;
    }

    runtime::Frame Hidden;
    runtime::Label Inside;
    runtime::CheckBox Box;
    runtime::OptionButton First;
    runtime::OptionButton Second;
    runtime::TextBox Text;
    runtime::CommandButton Button;
    int box_clicks = 0;
    bool veto_box = false;
    int first_clicks = 0;
    int presses = 0;
    std::vector<std::string> changes;
};

class FormWindowTest : public ::testing::Test {
protected:
    FormWindowTest()
    {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Where a user clicks a box or an option: on its indicator.
    static void click_indicator(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(6, w->height() / 2)); }

    template <typename W>
    W* widget(const runtime::Control& control)
    {
        return qobject_cast<W*>(window.widget_for(control));
    }

    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    WidgetsForm form{platform, random};
    FormWindow window{form};
};

TEST_F(FormWindowTest, AUsersClickWritesTheControlOnceAndCodeWritesShowWithoutEvents)
{
    auto* box = widget<QCheckBox>(form.Box);
    ASSERT_NE(box, nullptr);
    click_indicator(box);
    EXPECT_EQ(form.Box.Value(), runtime::CheckBox::kChecked);
    EXPECT_EQ(form.box_clicks, 1);

    form.Box.set_Value(runtime::CheckBox::kUnchecked);  // by code
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(form.box_clicks, 2) << "the code's change raises the handler once, the widget's update none";

    form.veto_box = true;
    click_indicator(box);
    EXPECT_EQ(form.Box.Value(), runtime::CheckBox::kUnchecked);
    EXPECT_FALSE(box->isChecked()) << "the widget shows what the handler left";
}

TEST_F(FormWindowTest, ClickingTheSelectedOptionKeepsItSelectedAndRaisesItsClick)
{
    auto* first = widget<QRadioButton>(form.First);
    auto* second = widget<QRadioButton>(form.Second);
    click_indicator(first);
    click_indicator(first);
    EXPECT_TRUE(first->isChecked());
    EXPECT_TRUE(form.First.Value());
    EXPECT_EQ(form.first_clicks, 2);

    click_indicator(second);
    EXPECT_FALSE(first->isChecked());
    EXPECT_TRUE(second->isChecked());
    EXPECT_FALSE(form.First.Value());
}

TEST_F(FormWindowTest, TypingRaisesAChangeForEveryEdit)
{
    auto* edit = widget<QLineEdit>(form.Text);
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "23");
    EXPECT_EQ(form.changes, (std::vector<std::string>{"1", "12", "123"}));
    form.Text.set_Text("x");
    EXPECT_EQ(edit->text(), "x");
}

TEST_F(FormWindowTest, AButtonPressRaisesItsClick)
{
    QTest::mouseClick(window.widget_for(form.Button), Qt::LeftButton);
    EXPECT_EQ(form.presses, 1);
}

TEST_F(FormWindowTest, AHiddenFrameGetsItsWidgetsWhenItFirstShows)
{
    EXPECT_EQ(window.widget_for(form.Hidden), nullptr);
    EXPECT_EQ(window.widget_for(form.Inside), nullptr);
    form.Hidden.set_Visible(true);
    QWidget* frame = window.widget_for(form.Hidden);
    auto* label = widget<QLabel>(form.Inside);
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->parentWidget(), frame);
    EXPECT_EQ(label->text(), "Inside label");
}

TEST_F(FormWindowTest, ADialogScalesSoThatNoCaptionIsClipped)
{
    for (const runtime::Control* control : {static_cast<const runtime::Control*>(&form.Box), static_cast<const runtime::Control*>(&form.First)}) {
        QWidget* w = window.widget_for(*control);
        EXPECT_GE(w->width(), w->sizeHint().width()) << control->name();
        EXPECT_GE(w->height(), w->sizeHint().height()) << control->name();
    }
    EXPECT_LE(window.twips_per_pixel(), 15.0);
}

}  // namespace
}  // namespace pellavin::qt_backend

namespace pellavin::qt_backend {
namespace {

// Where the compositor leaves decorations to the dialog (GNOME on Wayland):
// its own title bar shows its caption and offers a close and nothing else,
// at the form's fixed width, and its close asks the form, as the window's
// own close box does.
TEST(TitledWindowTest, OffersOnlyCloseAndClosingAsksTheForm)
{
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    WidgetsForm form{platform, random};
    TitledWindow frame;
    FormWindow window{form, &frame};
    form.set_Visible(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(window.window(), &frame);
    EXPECT_EQ(frame.findChild<QLabel*>(QStringLiteral("title"))->text(), "Widgets");
    const auto buttons = frame.findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(frame.width(), window.width());
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize()) << "no resizing";
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_TRUE(form.ended());
}

}  // namespace
}  // namespace pellavin::qt_backend
