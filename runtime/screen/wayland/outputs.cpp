#include "runtime/screen/wayland/outputs.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cstring>

namespace pellavin::screen {
namespace {

constexpr uint32_t kOutputVersion = 2;     // scale and done
constexpr uint32_t kXdgOutputVersion = 3;  // its facts end with the output's own done

Output& output_of(void* data) { return *static_cast<Output*>(data); }

void done(void* data)
{
    Output& output = output_of(data);
    output.known = true;
    output.outputs->changed();
}

const wl_output_listener kOutputListener = {
    [](void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
        int32_t transform) {
        output_of(data).turned = transform % 2 == 1;  // 90 and 270 degrees, flipped or not
    },
    [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
        output_of(data).mode_width = width;
        output_of(data).mode_height = height;
    },
    [](void* data, wl_output*) { done(data); },
    [](void* data, wl_output*, int32_t factor) { output_of(data).scale = std::max(1, static_cast<int>(factor)); },
    nullptr,  // name and description: not at version 2
    nullptr,
};

const zxdg_output_v1_listener kXdgOutputListener = {
    [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        output_of(data).logical.x = x;
        output_of(data).logical.y = y;
    },
    [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        output_of(data).logical.width = width;
        output_of(data).logical.height = height;
    },
    [](void* data, zxdg_output_v1*) { done(data); },  // before version 3
    [](void*, zxdg_output_v1*, const char*) {},
    [](void*, zxdg_output_v1*, const char*) {},
};

}  // namespace

Output::~Output()
{
    if (xdg_output != nullptr) zxdg_output_v1_destroy(xdg_output);
    if (output != nullptr) wl_output_destroy(output);
}

Rect Output::geometry() const
{
    if (!logical.empty()) return logical;
    const int width = turned ? mode_height : mode_width;
    const int height = turned ? mode_width : mode_height;
    return {logical.x, logical.y, width / scale, height / scale};
}

WaylandOutputs::WaylandOutputs(const WaylandConnection& wayland)
    : wayland_(wayland)
    , xdg_outputs_(wayland.bind<zxdg_output_manager_v1>(zxdg_output_manager_v1_interface, kXdgOutputVersion))
{
    for (const WaylandConnection::Global& global : wayland.globals()) added(global);
}

WaylandOutputs::~WaylandOutputs()
{
    outputs_.clear();
    if (xdg_outputs_ != nullptr) zxdg_output_manager_v1_destroy(xdg_outputs_);
}

bool WaylandOutputs::added(const WaylandConnection::Global& global)
{
    if (global.interface != wl_output_interface.name || global.version < kOutputVersion) return false;
    auto output = std::make_unique<Output>();
    output->outputs = this;
    output->global = global.name;
    output->output = static_cast<wl_output*>(wayland_.bind(global, wl_output_interface, kOutputVersion));
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    if (xdg_outputs_ != nullptr) {
        output->xdg_output = zxdg_output_manager_v1_get_xdg_output(xdg_outputs_, output->output);
        zxdg_output_v1_add_listener(output->xdg_output, &kXdgOutputListener, output.get());
    }
    outputs_.push_back(std::move(output));
    return true;
}

bool WaylandOutputs::removed(uint32_t global)
{
    const auto gone = std::erase_if(outputs_, [global](const auto& output) { return output->global == global; });
    if (gone != 0) changed();
    return gone != 0;
}

const Output* WaylandOutputs::first() const
{
    for (const auto& output : outputs_) {
        if (output->known) return output.get();
    }
    return nullptr;
}

void WaylandOutputs::changed() const
{
    if (on_change) on_change();
}

}  // namespace pellavin::screen
