#include "tests/panel/loaded_panel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pellavin::panel {
namespace {

using runtime::CheckBox;

const runtime::OptionButton* selected_delay(const Form1& form)
{
    for (const runtime::OptionButton* option : {&form.Option3, &form.Option4, &form.Option5, &form.Option6}) {
        if (option->Value()) return option;
    }
    return nullptr;
}

struct DelayCase {
    int16_t stored;
    const char* selected;
    const char* text;
    int16_t delay;
};

TEST(PanelLoad, ShowsTheStoredDelay)
{
    const DelayCase cases[] = {
        {0, "Option4", "15", 10},
        {5, "Option3", "15", 5},
        {10, "Option4", "15", 10},
        {30, "Option5", "15", 30},
        {45, "Option6", "45", 45},
        {15, "Option6", "15", 15},
        {-3, "Option6", "-3", -3},
        {-32768, "Option6", "-32768", -32768},
    };
    for (const DelayCase& c : cases) {
        SettingsRecord stored;
        stored.DelayMinutes = c.stored;
        testing::TempDir dir;
        const LoadedPanel panel(dir.path(), stored);
        const Form1& form = panel.form;
        const runtime::OptionButton* selected = selected_delay(form);
        ASSERT_NE(selected, nullptr) << c.stored;
        EXPECT_EQ(selected->name(), c.selected) << c.stored;
        EXPECT_EQ(form.Text1.Text(), c.text) << c.stored;
        EXPECT_EQ(form.Settings.DelayMinutes, c.delay) << c.stored;
        EXPECT_TRUE(panel.platform.messages.empty()) << c.stored;
    }
}

TEST(PanelLoad, NoFileShowsTheDefaultsAndLeavesAnEmptyFile)
{
    testing::TempDir dir;
    const LoadedPanel panel(dir.path());
    const Form1& form = panel.form;
    EXPECT_TRUE(form.Option1.Value());
    EXPECT_FALSE(form.Option2.Value());
    EXPECT_FALSE(form.Option2.Visible());
    EXPECT_EQ(form.Check1.Value(), CheckBox::kChecked);
    EXPECT_EQ(form.Check2.Value(), CheckBox::kChecked);
    EXPECT_EQ(form.Check3.Value(), CheckBox::kUnchecked);
    EXPECT_EQ(form.Check4.Value(), CheckBox::kChecked);
    SettingsRecord expected;
    expected.DelayMinutes = 10;
    EXPECT_EQ(form.Settings, expected);
    EXPECT_EQ(testing::read_file(panel.settings()), "") << "loading only reads";
}

// Flags tell zero from nonzero only, and the panel writes them back in its own encoding.
TEST(PanelLoad, NormalisesOddFlags)
{
    struct Case {
        SettingsRecord stored;
        int16_t check1, check2, check3, check4;
        SettingsRecord loaded;
    };
    const Case cases[] = {
        {{0, 5, 2, 30, -1, -1}, 0, 0, 1, 0, {0, -1, -1, 30, 1, 1}},
        {{0, -1, -1, 30, 1, 1}, 0, 0, 1, 0, {0, -1, -1, 30, 1, 1}},
        {{0, 1, -32768, 30, 2, 7}, 0, 0, 1, 0, {0, -1, -1, 30, 1, 1}},
        {{0, 0, 0, 30, 0, 0}, 1, 1, 0, 1, {0, 0, 0, 30, 0, 0}},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        const LoadedPanel panel(dir.path(), c.stored);
        const Form1& form = panel.form;
        EXPECT_EQ(form.Check1.Value(), c.check1);
        EXPECT_EQ(form.Check2.Value(), c.check2);
        EXPECT_EQ(form.Check3.Value(), c.check3);
        EXPECT_EQ(form.Check4.Value(), c.check4);
        EXPECT_EQ(form.Settings, c.loaded) << "NoAutoplay " << c.stored.NoAutoplay;
    }
}

TEST(PanelLoad, AnotherGameTypeShowsPongButIsKept)
{
    SettingsRecord stored;
    stored.GameType = 1;
    testing::TempDir dir;
    LoadedPanel panel(dir.path(), stored);
    Form1& form = panel.form;
    EXPECT_TRUE(form.Option1.Value());
    EXPECT_FALSE(form.Option2.Value());
    EXPECT_FALSE(form.Option2.shown());
    EXPECT_EQ(form.Settings.GameType, 1);
    form.Option1.choose();  // the user clicks the selected "Pong"
    EXPECT_EQ(form.Settings.GameType, 0);
}

// A settings file that cannot be opened never keeps the dialog from showing:
// the user is told which file and why, and sees the defaults.
TEST(PanelLoad, AFileThatCannotBeOpenedGivesAMessageAndTheDefaults)
{
    struct Case {
        const char* name;
        bool directory_in_its_place;
        std::optional<mode_t> file_mode;  // none: no file
        mode_t dir_mode;
        const char* reason;
        // The user's configuration directory, under one they cannot search.
        const char* config = nullptr;
    };
    const Case cases[] = {
        {"no access to the file", false, 0000, 0755, "Permission denied"},
        {"missing file in a read-only directory, the user's own out of reach", false, std::nullopt, 0555,
            "Permission denied", "locked/config"},
        {"a directory in its place", true, std::nullopt, 0755, "directory"},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        const std::string config = c.config ? dir.file(c.config) : "";
        const std::string path = c.config ? config + "/pellavin/Settings.dat" : dir.file("Settings.dat");
        if (c.config) {
            std::filesystem::create_directories(config);
            chmod(dir.file("locked").c_str(), 0000);
        }
        if (c.directory_in_its_place) {
            std::filesystem::create_directory(path);
            testing::give_to_unprivileged_user(path);  // another user's would not be the user's file at all
        }
        if (c.file_mode) {
            SettingsRecord{1, -1, -1, 45, 1, 1}.Store(path);
            testing::give_to_unprivileged_user(path);
            chmod(path.c_str(), *c.file_mode);
        }
        testing::give_to_unprivileged_user(dir.path().string());
        chmod(dir.path().c_str(), c.dir_mode);
        const int failed_step = testing::as_unprivileged_user([&] {
            if (c.config) setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            const LoadedPanel panel(dir.path());
            const Form1& form = panel.form;
            const testing::RecordingPlatform& platform = panel.platform;
            if (form.ended() || !platform.ends.empty()) return 1;
            if (platform.messages.size() != 1) return 2;
            const std::string& prompt = platform.messages[0].prompt;
            if (prompt.find(path) == std::string::npos || prompt.find(c.reason) == std::string::npos) return 3;
            if (form.Settings != SettingsRecord{0, 0, 0, 10, 0, 0}) return 4;
            if (!form.Option4.Value() || form.Text1.Text() != "15" || form.Check1.Value() != CheckBox::kChecked) {
                return 5;
            }
            return 0;
        });
        EXPECT_EQ(failed_step, 0) << c.name;
        chmod(dir.path().c_str(), 0700);
        if (c.config) chmod(dir.file("locked").c_str(), 0700);
    }
}

}  // namespace
}  // namespace pellavin::panel
