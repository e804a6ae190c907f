#include "runner/form1.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pellavin::runner {
namespace {

using testing::read_file;
using testing::write_file;

std::string record_bytes(const SettingsRecord& record)
{
    const auto bytes = record.to_bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class FormLoadTest : public ::testing::Test {
protected:
    FormLoadTest() { platform.path = dir.path().string(); }

    // Still-scene settings, so that the serve draws nothing.
    void store(SettingsRecord record) { write_file(dir.file("Settings.dat"), record_bytes(record)); }

    testing::TempDir dir;
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random{0.5f, 0.5f};
    GameSettings stored;
};

TEST_F(FormLoadTest, NoSettingsFileMeansDefaultsAndLeavesAnEmptyFile)
{
    Form1 form(platform, random, stored);
    form.load();
    EXPECT_EQ(form.Settings, SettingsRecord{});
    EXPECT_EQ(read_file(dir.file("Settings.dat")), "");
    EXPECT_TRUE(std::filesystem::exists(dir.file("Settings.dat")));
    EXPECT_TRUE(form.Visible());
    EXPECT_FALSE(form.ended());
}

TEST_F(FormLoadTest, StretchesABlackWindowOverTheScreen)
{
    platform.width_twips = 1920 * 15.0f;
    platform.height_twips = 1080 * 15.0f;
    Form1 form(platform, random, stored);
    EXPECT_NE(form.BackColor(), runtime::kBlack);
    form.load();
    EXPECT_EQ(form.BackColor(), runtime::kBlack);
    EXPECT_EQ(form.ScreenWidth, 28800.0f);
    EXPECT_EQ(form.ScreenHeight, 16200);
    EXPECT_EQ(form.Width(), 28800.0f);
    EXPECT_EQ(form.Height(), 16200.0f);
    EXPECT_EQ(form.Left(), 0.0f);
    EXPECT_EQ(form.Top(), 0.0f);
    EXPECT_EQ(random.reseeds, 1);
}

TEST_F(FormLoadTest, ScreenHeightRoundsHalvesToEvenAndScreenWidthKeepsItsFraction)
{
    struct Case {
        float height;
        int32_t expected;
    };
    for (const Case c : {Case{16200.5f, 16200}, Case{16201.5f, 16202}, Case{16200.25f, 16200}, Case{16200.75f, 16201}}) {
        platform.height_twips = c.height;
        platform.width_twips = 28800.5f;
        testing::ScriptedRandom draws{0.5f, 0.5f};
        Form1 form(platform, draws, stored);
        form.load();
        EXPECT_EQ(form.ScreenHeight, c.expected) << c.height;
        EXPECT_EQ(form.Height(), static_cast<float>(c.expected)) << c.height;
        EXPECT_EQ(form.ScreenWidth, 28800.5f);
    }
}

TEST_F(FormLoadTest, ATallScreenPlays)
{
    platform.height_twips = 2400 * 15.0f;  // 36000 twips: beyond 16 bits
    Form1 form(platform, random, stored);
    form.load();
    EXPECT_FALSE(form.ended());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(form.ScreenHeight, 36000);
    EXPECT_EQ(form.Height(), 36000.0f);
}

TEST_F(FormLoadTest, ManualPlayCopiesNoAutoplayUnchanged)
{
    for (int16_t no_autoplay : {int16_t{0}, int16_t{-1}, int16_t{5}}) {
        SettingsRecord record;
        record.GameType = 1;
        record.NoAutoplay = no_autoplay;
        store(record);
        GameSettings process_settings;
        Form1 form(platform, random, process_settings);
        form.load();
        EXPECT_EQ(form.ManualPlay, no_autoplay);
    }
}

TEST_F(FormLoadTest, AnotherGameTypeShowsTheStillScene)
{
    SettingsRecord record;
    record.GameType = 1;
    store(record);
    Form1 form(platform, random, stored);
    form.load();
    EXPECT_TRUE(form.Visible());
    EXPECT_FALSE(form.any_timer_enabled());
    EXPECT_EQ(random.draws, 0);
    EXPECT_EQ(form.BallDY, 0);
    EXPECT_EQ(form.BallDX, 0.0f);
    EXPECT_EQ(form.Ball.Left(), 1560.0f);
    EXPECT_EQ(form.Ball.Top(), 3360.0f);
    EXPECT_EQ(form.BottomPaddle.Top(), 4680.0f);
    EXPECT_EQ(form.TopPaddle.Top(), 0.0f);
}

TEST_F(FormLoadTest, UnreadableSettingsStartWithDefaultsAndSayWhyOnce)
{
    std::filesystem::create_directory(dir.file("Settings.dat"));
    Form1 form(platform, random, stored);
    form.load();
    EXPECT_FALSE(form.ended());
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.Settings, SettingsRecord{});
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_EQ(platform.error_lines.size(), 1u);
    EXPECT_NE(platform.error_lines[0].find(dir.file("Settings.dat")), std::string::npos) << platform.error_lines[0];
}

TEST_F(FormLoadTest, TheFrameAndItsLabelsNeverShow)
{
    Form1 form(platform, random, stored);
    form.load();
    for (const runtime::Control* control : {static_cast<runtime::Control*>(&form.Frame1), static_cast<runtime::Control*>(&form.Label2),
             static_cast<runtime::Control*>(&form.Label3), static_cast<runtime::Control*>(&form.Label4)}) {
        EXPECT_FALSE(control->shown()) << control->name();
    }
}

}  // namespace
}  // namespace pellavin::runner
