#pragma once

#include "runner/form1.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace pellavin::runner {

// A runner on a 1920 by 1080 screen at 15 twips a pixel (28800 by 16200
// twips), started with the given settings and a scripted random sequence.
class GameTest : public ::testing::Test {
protected:
    static constexpr float kScreenWidth = 28800.0f;
    static constexpr int32_t kScreenHeight = 16200;

    GameTest()
    {
        platform.path = dir.path().string();
        platform.width_twips = kScreenWidth;
        platform.height_twips = static_cast<float>(kScreenHeight);
    }

    // Loads the runner; the serve, when there is one, draws `serve`.
    Form1& start(SettingsRecord settings = {}, std::initializer_list<float> serve = {0.5f, 0.5f})
    {
        settings.Store(dir.file("Settings.dat"));
        random.then(serve);
        stored = GameSettings();  // each start is a process of its own
        form.emplace(platform, random, stored);
        form->load();
        return *form;
    }

    // Runs a handler as the platform does, through the dispatcher.
    void run(void (Form1::*handler)()) { form->dispatch([this, handler] { (form.value().*handler)(); }); }

    void place_ball(float left, float top)
    {
        form->Ball.set_Left(left);
        form->Ball.set_Top(top);
    }

    bool ended() const { return !platform.ends.empty(); }

    testing::TempDir dir;
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    GameSettings stored;
    std::optional<Form1> form;
};

inline float next_up(float value) { return std::nextafter(value, INFINITY); }
inline float next_down(float value) { return std::nextafter(value, -INFINITY); }

}  // namespace pellavin::runner
