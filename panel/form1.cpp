#include "panel/form1.h"

#include "runtime/core/numbers.h"

namespace pellavin::panel {
namespace {

using runtime::CheckBox;

constexpr int16_t kPong = 0;
constexpr int16_t kBricks = 1;

// The delays offered as options; a delay of 0 read from the file means the default.
constexpr int16_t kFiveMinutes = 5;
constexpr int16_t kTenMinutes = 10;
constexpr int16_t kThirtyMinutes = 30;
constexpr int16_t kDefaultDelayMinutes = kTenMinutes;

// How the panel writes its flags: "off" flags as a 16-bit true, the others as 1.
constexpr int16_t kTrue16 = -1;
constexpr int16_t kOn = 1;

runtime::FormDesign dialog_design()
{
    runtime::FormDesign d;
    d.caption = "Pellavin Control Panel";
    d.border_style = runtime::BorderStyle::FixedSingle;
    d.max_button = false;
    d.min_button = false;
    d.start_up_position = runtime::StartUpPosition::WindowsDefault;
    d.client = {0, 0, 4395, 3690};
    return d;
}

int16_t checked_if_zero(int16_t field) { return field == 0 ? CheckBox::kChecked : CheckBox::kUnchecked; }

}  // namespace

Form1::Form1(runtime::Platform& platform, runtime::RandomSequence& random, ScreensaverSwitch& screensaver)
    : Form(platform, random, dialog_design())
    , Frame1(*this, "Frame1", nullptr, {120, 120, 4215, 615}, "Screensaver")
    , Option1(*this, "Option1", &Frame1, {120, 240, 1575, 255}, "Pong")
    , Option2(*this, "Option2", &Frame1, {2400, 240, 1695, 255}, "Bricks")
    , Frame2(*this, "Frame2", nullptr, {120, 840, 2415, 2415}, "Screensaver Settings")
    , Check1(*this, "Check1", &Frame2, {120, 240, 2175, 255}, "Autoplay")
    , Check2(*this, "Check2", &Frame2, {120, 720, 2175, 255}, "Resume on Mouse Click")
    , Check3(*this, "Check3", &Frame2, {120, 1200, 2175, 255}, "Enable Random Colors")
    , Command3(*this, "Command3", &Frame2, {1320, 1920, 975, 375}, "Preview")
    , Frame3(*this, "Frame3", nullptr, {2640, 840, 1695, 2415}, "Time Delay")
    , Option3(*this, "Option3", &Frame3, {120, 240, 1335, 255}, "5 Minutes")
    , Option4(*this, "Option4", &Frame3, {120, 600, 1455, 255}, "10 Minutes")
    , Option5(*this, "Option5", &Frame3, {120, 960, 1455, 255}, "30 Minutes")
    , Option6(*this, "Option6", &Frame3, {120, 1560, 1455, 255}, "Custom")
    , Text1(*this, "Text1", &Frame3, {120, 1920, 735, 285}, "15")
    , Label1(*this, "Label1", &Frame3, {840, 2040, 735, 255}, " Minutes")
    , Command1(*this, "Command1", nullptr, {120, 3360, 1095, 255}, "Close")
    , Check4(*this, "Check4", nullptr, {1320, 3360, 1815, 255}, "Enable Screensaver")
    , Command2(*this, "Command2", nullptr, {3240, 3360, 1095, 255}, "Save")
    , screensaver_(screensaver)
{
    // Design-time states: what a record of zeros shows. No handler is
    // attached yet, so these writes raise nothing.
    Option1.set_Value(true);
    Option2.set_Visible(false);
    Check1.set_Value(CheckBox::kChecked);
    Check2.set_Value(CheckBox::kChecked);
    Option4.set_Value(true);
    Check4.set_Value(CheckBox::kChecked);
    Text1.set_accessible_name("Custom delay in minutes");

    const std::pair<runtime::Control*, int> tab_order[] = {{&Frame1, 0}, {&Option1, 1}, {&Frame2, 2},
        {&Command1, 3}, {&Command2, 4}, {&Frame3, 5}, {&Option3, 6}, {&Option4, 7}, {&Option5, 8}, {&Option6, 9},
        {&Text1, 10}, {&Label1, 11}, {&Check1, 12}, {&Check2, 13}, {&Option2, 14}, {&Check3, 15}, {&Command3, 16},
        {&Check4, 17}};
    for (const auto& [control, index] : tab_order) control->set_TabIndex(index);

    Check1.on_click = [this] { Check1_Click(); };
    Check2.on_click = [this] { Check2_Click(); };
    Check3.on_click = [this] { Check3_Click(); };
    Check4.on_click = [this] { Check4_Click(); };
    Option1.on_click = [this] { Option1_Click(); };
    Option2.on_click = [this] { Option2_Click(); };
    Option3.on_click = [this] { Option3_Click(); };
    Option4.on_click = [this] { Option4_Click(); };
    Option5.on_click = [this] { Option5_Click(); };
    Option6.on_click = [this] { Option6_Click(); };
    Text1.on_change = [this] { Text1_Change(); };
    Command1.on_click = [this] { Command1_Click(); };
    Command2.on_click = [this] { Command2_Click(); };
    Command3.on_click = [this] { Command3_Click(); };
}

void Form1::Form_Load()
{
    try {
        Settings = SettingsFile::locate(App.Path()).Load();
    } catch (const runtime::RuntimeError& error) {
        // The dialog still opens, with the defaults, so the user can fix them.
        MsgBox("The settings file could not be opened:\n\n" + error.detail() + "\n\nThe dialog shows the default settings.",
            runtime::msg_box::kExclamation);
    }
    if (Settings.GameType == kPong) {
        Option1.set_Value(true);
        Option2.set_Value(false);
    }
    Check1.set_Value(checked_if_zero(Settings.NoAutoplay));
    Check2.set_Value(checked_if_zero(Settings.NoResumeOnClick));
    Check3.set_Value(Settings.RandomColors == 0 ? CheckBox::kUnchecked : CheckBox::kChecked);
    Check4.set_Value(checked_if_zero(Settings.NoScreensaver));
    if (Settings.DelayMinutes == 0) Settings.DelayMinutes = kDefaultDelayMinutes;
    if (Settings.DelayMinutes == kFiveMinutes) Option3_Click();
    if (Settings.DelayMinutes == kTenMinutes) Option4_Click();
    if (Settings.DelayMinutes == kThirtyMinutes) Option5_Click();
    const int16_t delay = Settings.DelayMinutes;
    if (delay != kFiveMinutes && delay != kTenMinutes && delay != kThirtyMinutes) {
        Text1.set_Text(runtime::int16_to_text(Settings.DelayMinutes));
        Option6_Click();
    }
}

void Form1::Check1_Click() { Settings.NoAutoplay = Check1.Value() == CheckBox::kChecked ? 0 : kTrue16; }

void Form1::Check2_Click() { Settings.NoResumeOnClick = Check2.Value() == CheckBox::kChecked ? 0 : kTrue16; }

void Form1::Check3_Click() { Settings.RandomColors = Check3.Value() == CheckBox::kChecked ? kOn : 0; }

void Form1::Check4_Click() { Settings.NoScreensaver = Check4.Value() == CheckBox::kChecked ? 0 : kOn; }

void Form1::Option1_Click()
{
    Option2.set_Value(false);
    Settings.GameType = kPong;
}

void Form1::Option2_Click()
{
    Option1.set_Value(false);
    Settings.GameType = kBricks;
}

void Form1::select_delay_option(runtime::OptionButton& chosen)
{
    for (runtime::OptionButton* option : {&Option3, &Option4, &Option5, &Option6}) {
        option->set_Value(option == &chosen);
    }
}

void Form1::Option3_Click()
{
    select_delay_option(Option3);
    Settings.DelayMinutes = kFiveMinutes;
}

void Form1::Option4_Click()
{
    select_delay_option(Option4);
    Settings.DelayMinutes = kTenMinutes;
}

void Form1::Option5_Click()
{
    select_delay_option(Option5);
    Settings.DelayMinutes = kThirtyMinutes;
}

// A custom delay that does not convert (letters, nothing, out of range)
// leaves the delay as it was, without a word.
void Form1::Option6_Click()
{
    skip_on_error([this] { Option3.set_Value(false); });
    skip_on_error([this] { Option4.set_Value(false); });
    skip_on_error([this] { Option5.set_Value(false); });
    skip_on_error([this] { Option6.set_Value(true); });
    skip_on_error([this] { Settings.DelayMinutes = runtime::text_to_int16(Text1.Text()); });
}

void Form1::Text1_Change()
{
    skip_on_error([this] { Settings.DelayMinutes = runtime::text_to_int16(Text1.Text()); });
}

}  // namespace pellavin::panel
