#pragma once

#include <xcb/screensaver.h>

#include <cstdint>

namespace pellavin::screen {

// Whether the X server's own screen saver (MIT-SCREEN-SAVER) is showing,
// by the state it reports: on, or cycling through its pictures.
inline bool screen_saver_shows(uint8_t state)
{
    return state == XCB_SCREENSAVER_STATE_ON || state == XCB_SCREENSAVER_STATE_CYCLE;
}

}  // namespace pellavin::screen
