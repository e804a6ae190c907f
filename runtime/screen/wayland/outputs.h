#pragma once

#include "runtime/screen/geometry.h"
#include "runtime/screen/wayland/connection.h"

#include <functional>
#include <memory>
#include <vector>

struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace pellavin::screen {

class WaylandOutputs;

// One of the compositor's outputs: where it stands in the layout and how
// large, in logical pixels, and how many device pixels a logical one has.
struct Output {
    WaylandOutputs* outputs = nullptr;
    uint32_t global = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdg_output = nullptr;
    int scale = 1;
    // From xdg-output; without it, from the mode (device pixels) and the scale.
    Rect logical;
    int mode_width = 0;
    int mode_height = 0;
    bool turned = false;  // a quarter turn: the mode's width is the layout's height
    bool known = false;   // its facts are complete

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output();
    Rect geometry() const;
};

// The outputs as they come and go. The first is the game's: the one the
// compositor names first, as a desktop's first screen.
class WaylandOutputs {
public:
    explicit WaylandOutputs(const WaylandConnection& wayland);
    ~WaylandOutputs();
    WaylandOutputs(const WaylandOutputs&) = delete;
    WaylandOutputs& operator=(const WaylandOutputs&) = delete;

    // A global that came or went; false for one that is no output.
    bool added(const WaylandConnection::Global& global);
    bool removed(uint32_t global);

    const std::vector<std::unique_ptr<Output>>& all() const { return outputs_; }
    // The first whose facts are complete.
    const Output* first() const;

    // An output has come, gone or changed.
    std::function<void()> on_change;

    // Called by the outputs' listeners.
    void changed() const;

private:
    const WaylandConnection& wayland_;
    zxdg_output_manager_v1* xdg_outputs_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
};

}  // namespace pellavin::screen
