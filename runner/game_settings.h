#pragma once

#include "common/settings.h"
#include "runtime/core/platform.h"

#include <optional>

namespace pellavin::runner {

// What the runner's form loads its settings from, one for the whole
// process: the file is read at the first game's load and kept for every
// game after it, as a saver plays game after game in one process. Where no
// key can reach the game (a screensaver framework's window), it plays as
// with Autoplay on, whatever the record says.
class GameSettings {
public:
    explicit GameSettings(bool keys_reach_game = true) : keys_reach_game_(keys_reach_game) {}

    // Settings that cannot be read must not keep the game from starting:
    // it plays with the defaults and says once why.
    const SettingsRecord& Load(runtime::Platform& platform);

private:
    bool keys_reach_game_;
    std::optional<SettingsRecord> record_;
};

}  // namespace pellavin::runner
