#include "tests/panel/loaded_panel.h"

#include <gtest/gtest.h>

namespace pellavin::panel {
namespace {

// One change of the custom text (a paste, or a keystroke that makes it so)
// sets the delay when the text converts, and leaves it alone otherwise.
TEST(PanelEditing, CustomTextSetsTheDelayWhenItConverts)
{
    struct Case {
        const char* text;
        int16_t delay;
    };
    constexpr int16_t kUnchanged = 10;  // "10 Minutes", the default
    const Case cases[] = {
        {"12.5", 12}, {"13.5", 14}, {"-7", -7}, {"32767", 32767}, {"-32768", -32768}, {" 8 ", 8}, {"0", 0},
        {"32768", kUnchanged}, {"-32769", kUnchanged}, {"abc", kUnchanged}, {"", kUnchanged}, {"1x", kUnchanged},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        LoadedPanel panel(dir.path());
        Form1& form = panel.form;
        form.Text1.set_Text(c.text);
        EXPECT_EQ(form.Settings.DelayMinutes, c.delay) << '"' << c.text << '"';
        EXPECT_TRUE(form.Option4.Value()) << "typing never changes the selected option";
        EXPECT_FALSE(form.ended());
        EXPECT_TRUE(panel.platform.messages.empty()) << "a text that does not convert is ignored silently";
    }
}

TEST(PanelEditing, ACustomDelayOfZeroComesBackAsTenMinutes)
{
    testing::TempDir dir;
    LoadedPanel first(dir.path());
    first.form.Option6.choose();
    first.form.Text1.set_Text("0");
    EXPECT_EQ(first.form.Settings.DelayMinutes, 0);
    first.form.Command2.press();

    const LoadedPanel again(dir.path());
    EXPECT_TRUE(again.form.Option4.Value());
    EXPECT_FALSE(again.form.Option6.Value());
    EXPECT_EQ(again.form.Settings.DelayMinutes, 10);
}

}  // namespace
}  // namespace pellavin::panel
