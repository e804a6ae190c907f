#pragma once

#include "runtime/screen/wayland/full_screen_window.h"
#include "runtime/screen/wayland/outputs.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pellavin::screen {

// Black windows, full screen on every output but the game's. They belong
// to the game's window: a key or a click on a cover is the game's own,
// they follow outputs as they are added and removed, and they go when it
// goes. A single black pixel each, stretched by the compositor: they cost
// no drawing at all.
class WaylandCovers {
public:
    WaylandCovers(const WaylandGlobals& globals, std::string title);

    // Covers every output of `outputs` but `game`.
    void follow(const WaylandOutputs& outputs, const Output* game);
    void clear() { covers_.clear(); }
    // A cover's size, logical pixels at (0, 0); nothing for another surface.
    std::optional<Rect> size_of(const wl_surface* surface) const;

private:
    const WaylandGlobals& globals_;
    std::string title_;
    std::map<uint32_t, std::unique_ptr<FullScreenWindow>> covers_;  // by the output's global name
};

}  // namespace pellavin::screen
