#include "runtime/screen/wayland/covers.h"

namespace pellavin::screen {

WaylandCovers::WaylandCovers(const WaylandGlobals& globals, std::string title)
    : globals_(globals)
    , title_(std::move(title))
{
}

void WaylandCovers::follow(const WaylandOutputs& outputs, const Output* game)
{
    std::map<uint32_t, std::unique_ptr<FullScreenWindow>> kept;
    for (const auto& output : outputs.all()) {
        if (output.get() == game || !output->known) continue;
        auto it = covers_.find(output->global);
        if (it != covers_.end()) {
            kept.insert(covers_.extract(it));
            continue;
        }
        auto cover = std::make_unique<FullScreenWindow>(globals_, title_, output->output, output->geometry(), Rgb{});
        FullScreenWindow* window = cover.get();
        cover->on_configure = [window] { window->commit(); };
        kept[output->global] = std::move(cover);
    }
    covers_ = std::move(kept);
}

std::optional<Rect> WaylandCovers::size_of(const wl_surface* surface) const
{
    for (const auto& [global, cover] : covers_) {
        if (cover->surface() == surface) return cover->size();
    }
    return std::nullopt;
}

}  // namespace pellavin::screen
