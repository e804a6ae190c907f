#include "runner/game_settings.h"

#include "common/settings_location.h"
#include "runtime/core/runtime_error.h"

namespace pellavin::runner {

const SettingsRecord& GameSettings::Load(runtime::Platform& platform)
{
    if (record_) return *record_;
    record_.emplace();
    try {
        *record_ = SettingsFile::locate(platform.app_path()).Load();
    } catch (const runtime::RuntimeError& error) {
        platform.write_error_line(platform.app_title() + ": playing with the default settings: " + error.what());
    }
    if (!keys_reach_game_) record_->NoAutoplay = 0;
    return *record_;
}

}  // namespace pellavin::runner
