#pragma once

#include "panel/screensaver_switch.h"

#include <string>
#include <vector>

namespace pellavin::panel {

// Records each turn of the switch, and answers with scripted problems.
struct FakeScreensaver final : ScreensaverSwitch {
    std::vector<bool> turns;
    std::vector<std::string> problems;

    std::vector<std::string> set_enabled(bool enabled) override
    {
        turns.push_back(enabled);
        return problems;
    }
};

}  // namespace pellavin::panel
