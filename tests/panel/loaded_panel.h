#pragma once

#include "panel/form1.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"
#include "tests/support/temp_dir.h"

#include <optional>

namespace pellavin::panel {

// A control panel in a directory of its own, loaded from a settings file
// that holds `stored` (no file at all when there is none).
struct LoadedPanel {
    explicit LoadedPanel(std::optional<SettingsRecord> stored = std::nullopt)
    {
        platform.path = dir.path().string();
        if (stored) stored->Store(settings());
        form.load();
    }

    std::string settings() const { return dir.file("Settings.dat"); }

    testing::TempDir dir;
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    Form1 form{platform, random};
};

}  // namespace pellavin::panel
