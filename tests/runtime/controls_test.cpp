#include "runtime/core/check_box.h"
#include "runtime/core/form.h"
#include "runtime/core/frame.h"
#include "runtime/core/option_button.h"
#include "runtime/core/shape.h"
#include "runtime/core/text_box.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellavin::runtime {
namespace {

class ControlsForm : public Form {
public:
    ControlsForm(Platform& platform, RandomSequence& random)
        : Form(platform, random, {})
        , FrameA(*this, "FrameA", nullptr, {}, "A")
        , A1(*this, "A1", &FrameA, {}, "a1")
        , A2(*this, "A2", &FrameA, {}, "a2")
        , A3(*this, "A3", &FrameA, {}, "a3")
        , FrameB(*this, "FrameB", nullptr, {}, "B")
        , B1(*this, "B1", &FrameB, {}, "b1")
        , OnForm(*this, "OnForm", nullptr, {}, "form")
        , Box(*this, "Box", nullptr, {}, "box")
        , Text(*this, "Text", nullptr, {}, "15")
        , Ball(*this, "Ball", {0, 0, 255, 255}, ShapeKind::Circle)
    {
        for (OptionButton* option : {&A1, &A2, &A3, &B1, &OnForm}) {
            option->on_click = [this, option] { log.push_back("click " + option->name()); };
        }
        Box.on_click = [this] { log.push_back("click Box " + std::to_string(Box.Value())); };
        Text.on_change = [this] { log.push_back("change " + Text.Text()); };
    }

    Frame FrameA;
    OptionButton A1, A2, A3;
    Frame FrameB;
    OptionButton B1;
    OptionButton OnForm;
    CheckBox Box;
    TextBox Text;
    Shape Ball;
    std::vector<std::string> log;
};

class RecordingView : public FormView {
public:
    void form_changed() override { ++form_changes; }
    void control_changed(Control& control) override { changed.push_back(control.name()); }
    void timers_changed() override {}
    int form_changes = 0;
    std::vector<std::string> changed;
};

class ControlsTest : public ::testing::Test {
protected:
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    ControlsForm form{platform, random};
    std::vector<std::string>& log = form.log;
};

TEST_F(ControlsTest, AChangingWriteRaisesTheHandlerInsideTheWriter)
{
    form.dispatch([&] {
        log.push_back("before");
        form.Box.set_Value(CheckBox::kChecked);
        log.push_back("after");
        form.Text.set_Text("45");
        log.push_back("end");
    });
    EXPECT_EQ(log, (std::vector<std::string>{"before", "click Box 1", "after", "change 45", "end"}));
}

TEST_F(ControlsTest, AWriteThatChangesNothingRaisesNothing)
{
    form.Box.set_Value(CheckBox::kUnchecked);
    form.Text.set_Text("15");
    form.B1.set_Value(false);
    EXPECT_TRUE(log.empty());

    form.B1.set_Value(true);
    log.clear();
    form.B1.set_Value(true);
    EXPECT_TRUE(log.empty());
}

TEST_F(ControlsTest, OptionButtonsExcludeEachOtherWithinTheirContainerOnly)
{
    form.B1.set_Value(true);
    form.OnForm.set_Value(true);
    form.A1.set_Value(true);
    log.clear();

    form.A2.set_Value(true);
    EXPECT_FALSE(form.A1.Value());
    EXPECT_TRUE(form.A2.Value());
    EXPECT_FALSE(form.A3.Value());
    EXPECT_TRUE(form.B1.Value()) << "another frame's group was touched";
    EXPECT_TRUE(form.OnForm.Value()) << "the form's own group was touched";
    // The cleared button raises nothing; the selected one raises its click.
    EXPECT_EQ(log, (std::vector<std::string>{"click A2"}));
}

TEST_F(ControlsTest, ClearingAnOptionRaisesNothing)
{
    form.A1.set_Value(true);
    log.clear();
    form.A1.set_Value(false);
    EXPECT_FALSE(form.A1.Value());
    EXPECT_TRUE(log.empty());
}

TEST_F(ControlsTest, AHandlerThatSelectsItsOwnButtonRunsOnceMoreNested)
{
    int depth = 0;
    int runs = 0;
    form.A3.on_click = [&] {
        ++runs;
        ++depth;
        log.push_back("enter " + std::to_string(depth));
        form.A1.set_Value(false);
        form.A3.set_Value(true);
        log.push_back("leave " + std::to_string(depth));
        --depth;
    };
    form.A3.on_click();  // called directly, as a form calls its own handler
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"enter 1", "enter 2", "leave 2", "leave 1"}));
}

TEST_F(ControlsTest, ChoosingBySelectionRaisesTheClickEvenWhenAlreadySelected)
{
    form.A1.choose();
    form.A1.choose();
    EXPECT_EQ(log, (std::vector<std::string>{"click A1", "click A1"}));
}

TEST_F(ControlsTest, ViewHearsOfEveryChangeAndNothingElse)
{
    RecordingView view;
    form.set_view(&view);
    form.Ball.set_Left(100);
    form.Ball.set_Left(100);
    form.Ball.set_FillColor(0x0000FF);
    form.Box.set_Value(CheckBox::kChecked);
    form.A1.set_Value(true);
    form.A2.set_Value(true);  // clears A1: both change
    form.set_BackColor(kBlack);
    form.set_BackColor(kBlack);
    EXPECT_EQ(view.changed, (std::vector<std::string>{"Ball", "Ball", "Box", "A1", "A1", "A2"}));
    EXPECT_EQ(view.form_changes, 1);
    form.set_view(nullptr);
}

TEST_F(ControlsTest, ShownOnlyWhenEveryContainerIsVisible)
{
    EXPECT_TRUE(form.A1.shown());
    form.FrameA.set_Visible(false);
    EXPECT_TRUE(form.A1.Visible());
    EXPECT_FALSE(form.A1.shown());
}

}  // namespace
}  // namespace pellavin::runtime
