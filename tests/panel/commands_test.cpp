#include "tests/panel/loaded_panel.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pellavin::panel {
namespace {

namespace msg_box = runtime::msg_box;
using runtime::CheckBox;
using testing::read_file;

const std::string kClosingNote =
    "Note: You must set your windows screensaver to (None) so that windows doesn't ignore your settings.";

TEST(PanelCommands, SaveStoresTheLastDelayThatConvertedNotTheText)
{
    testing::TempDir dir;
    LoadedPanel panel(dir.path());
    panel.form.Option6.choose();
    panel.form.Text1.set_Text("25");
    panel.form.Text1.set_Text("25 minutes");
    panel.form.Command2.press();
    EXPECT_EQ(SettingsRecord::Load(panel.settings()).DelayMinutes, 25);
    EXPECT_TRUE(panel.platform.messages.empty());
}

bool names(const testing::RecordingPlatform::Message& message, const std::string& path, const std::string& reason)
{
    return message.prompt.find(path) != std::string::npos && message.prompt.find(reason) != std::string::npos;
}

// A settings file the user may read but not write: it loads as usual; every
// store says which file failed and why, and the dialog keeps the edits.
TEST(PanelCommands, AStoreThatFailsIsSaidAndKeepsTheDialogWithItsEdits)
{
    testing::TempDir dir;
    const std::string path = dir.file("Settings.dat");
    SettingsRecord{0, -1, 0, 45, 0, 0}.Store(path);
    const std::string stored = read_file(path);
    testing::give_to_unprivileged_user(path);
    chmod(path.c_str(), 0444);
    testing::give_to_unprivileged_user(dir.path().string());

    const int failed_step = testing::as_unprivileged_user([&] {
        LoadedPanel panel(dir.path());
        Form1& form = panel.form;
        testing::RecordingPlatform& platform = panel.platform;
        if (!platform.messages.empty() || form.Settings.DelayMinutes != 45 || form.Check1.Value() != 0) return 1;

        form.Check3.set_Value(CheckBox::kChecked);
        form.Command2.press();
        if (platform.messages.size() != 1 || !names(platform.messages[0], path, "Permission denied")) return 2;

        form.Command3.press();
        if (platform.messages.size() != 2 || !names(platform.messages[1], path, "Permission denied")) return 3;
        if (!platform.started.empty()) return 4;  // a runner would play stale settings
        if (!panel.screensaver.turns.empty()) return 12;  // the session follows what is stored

        platform.answers = {msg_box::kNo};
        form.close();
        if (platform.messages.size() != 3 || !names(platform.messages[2], path, "Permission denied")) return 5;
        if (platform.messages[2].style != (msg_box::kYesNo | msg_box::kExclamation)) return 6;
        if (form.ended() || !platform.ends.empty()) return 7;
        if (form.Check3.Value() != CheckBox::kChecked || form.Settings.RandomColors != 1) return 8;

        platform.answers = {msg_box::kYes};
        form.close();
        if (platform.messages.size() != 5 || platform.messages[4].prompt != kClosingNote) return 9;
        if (platform.messages[4].style != msg_box::kInformation) return 10;
        if (platform.ends != std::vector<int>{0}) return 11;
        return 0;
    });
    EXPECT_EQ(failed_step, 0);
    EXPECT_EQ(read_file(path), stored);
}

// Save, Preview and Close each make the session follow the box as stored.
// What the session cannot do is said with its path; the record is stored
// all the same and each command goes on.
TEST(PanelCommands, EveryStoreMakesTheSessionFollowEnableScreensaver)
{
    testing::TempDir dir;
    LoadedPanel panel(dir.path());
    Form1& form = panel.form;
    form.Command2.press();
    form.Check4.set_Value(CheckBox::kUnchecked);
    form.Command3.press();
    EXPECT_EQ(panel.screensaver.turns, (std::vector<bool>{true, false}));
    EXPECT_EQ(panel.platform.started, std::vector<std::string>{dir.file("PellavinRun")});
    EXPECT_TRUE(panel.platform.messages.empty());

    const std::string entry = "/home/someone/.config/autostart/pellavin-idle.desktop";
    panel.screensaver.outcome.problems = {entry + ": Permission denied"};
    form.Check4.set_Value(CheckBox::kChecked);
    form.close();
    EXPECT_EQ(panel.screensaver.turns, (std::vector<bool>{true, false, true}));
    ASSERT_EQ(panel.platform.messages.size(), 2u);
    const std::string& said = panel.platform.messages[0].prompt;
    EXPECT_NE(said.find("could not be switched on"), std::string::npos) << said;
    EXPECT_TRUE(names(panel.platform.messages[0], entry, "Permission denied")) << said;
    EXPECT_NE(said.find("The settings were saved."), std::string::npos) << said;
    EXPECT_EQ(panel.platform.messages[1].prompt, kClosingNote);
    EXPECT_EQ(panel.platform.ends, std::vector<int>{0});
    EXPECT_EQ(SettingsRecord::Load(panel.settings()), (SettingsRecord{0, 0, 0, 10, 0, 0}));
}

}  // namespace
}  // namespace pellavin::panel
