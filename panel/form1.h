#pragma once

// The dialog's controls keep the names of its design; what each one is:
//   Frame1   "Screensaver": Option1 "Pong", Option2 "Bricks" (GameType)
//   Frame2   "Screensaver Settings": Check1 "Autoplay" (NoAutoplay),
//            Check2 "Resume on Mouse Click" (NoResumeOnClick),
//            Check3 "Enable Random Colors" (RandomColors), Command3 "Preview"
//   Frame3   "Time Delay": Option3 "5 Minutes", Option4 "10 Minutes",
//            Option5 "30 Minutes", Option6 "Custom" with Text1 (its minutes)
//            and Label1 " Minutes" (DelayMinutes)
//   Command1 "Close", Check4 "Enable Screensaver" (NoScreensaver), Command2 "Save"

#include "panel/screensaver_switch.h"
#include "common/settings_location.h"
#include "runtime/core/check_box.h"
#include "runtime/core/command_button.h"
#include "runtime/core/form.h"
#include "runtime/core/frame.h"
#include "runtime/core/label.h"
#include "runtime/core/option_button.h"
#include "runtime/core/text_box.h"

#include <cstdint>

namespace pellavin::panel {

// The control panel's one window: a fixed dialog that shows the settings
// record as option buttons, check boxes and a text box, keeps its copy of
// the record in step with every edit, and stores it on Save, Preview and
// closing; each store also makes the user's session follow "Enable
// Screensaver".
class Form1 final : public runtime::Form {
public:
    Form1(runtime::Platform& platform, runtime::RandomSequence& random, ScreensaverSwitch& screensaver);

    // Controls, in creation order: each container before what it holds.
    runtime::Frame Frame1;
    runtime::OptionButton Option1;
    runtime::OptionButton Option2;
    runtime::Frame Frame2;
    runtime::CheckBox Check1;
    runtime::CheckBox Check2;
    runtime::CheckBox Check3;
    runtime::CommandButton Command3;
    runtime::Frame Frame3;
    runtime::OptionButton Option3;
    runtime::OptionButton Option4;
    runtime::OptionButton Option5;
    runtime::OptionButton Option6;
    runtime::TextBox Text1;
    runtime::Label Label1;
    runtime::CommandButton Command1;
    runtime::CheckBox Check4;
    runtime::CommandButton Command2;

    // Form-level state.
    SettingsRecord Settings;

    // Handlers.
    void Form_Load() override;
    void Check1_Click();
    void Check2_Click();
    void Check3_Click();
    void Check4_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Option5_Click();
    void Option6_Click();
    void Text1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Form_Unload(int16_t& Cancel) override;

private:
    void select_delay_option(runtime::OptionButton& chosen);
    void store();
    bool store_or_say_why();
    void switch_screensaver();

    ScreensaverSwitch& screensaver_;
    bool noted_ = false;  // the switch's note has been said
};

}  // namespace pellavin::panel
