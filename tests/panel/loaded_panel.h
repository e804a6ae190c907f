#pragma once

#include "panel/form1.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::panel {

// Records each turn of the session's screensaver switch, and answers with
// a scripted outcome.
struct FakeScreensaver final : ScreensaverSwitch {
    std::vector<bool> turns;
    SwitchOutcome outcome;

    SwitchOutcome set_enabled(bool enabled) override
    {
        turns.push_back(enabled);
        return outcome;
    }
};

// A control panel standing in `directory`, loaded from the settings file
// there after `stored` was written to it (when there is one).
struct LoadedPanel {
    explicit LoadedPanel(const std::filesystem::path& directory, std::optional<SettingsRecord> stored = std::nullopt)
    {
        platform.path = directory.string();
        if (stored) stored->Store(settings());
        form.load();
    }

    std::string settings() const { return platform.path + "/Settings.dat"; }

    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    FakeScreensaver screensaver;
    Form1 form{platform, random, screensaver};
};

}  // namespace pellavin::panel
