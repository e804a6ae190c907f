#pragma once

#include "runtime/core/platform.h"

#include <functional>
#include <string>

namespace pellavin::screen {

// The platform of a full-screen program on the window system's own
// libraries. The backend tells it the screen's size; a message box is the
// one thing it needs a toolkit for, and a helper program beside the
// program shows it.
class ScreenPlatform final : public runtime::Platform {
public:
    explicit ScreenPlatform(std::string title);

    std::string app_path() const override { return app_path_; }
    std::string app_title() const override { return title_; }
    float screen_width() const override { return width_twips_; }
    float screen_height() const override { return height_twips_; }
    int show_message(const std::string& prompt, int style, const std::string& title) override;
    void start_program(const std::string& path) override;
    void end(int status) override;

    void set_screen_size(float width_twips, float height_twips);
    // What show_message() does; by default the helper's box. The backend
    // first takes its windows out of the box's way.
    void set_message_action(std::function<int(const std::string&, int, const std::string&)> action);
    // What end() does; by default the process exits at once, without
    // teardown. Tests, and a saver that plays on, replace it.
    void set_end_action(std::function<void(int)> action) { end_action_ = std::move(action); }

private:
    std::string title_;
    std::string app_path_;
    float width_twips_ = 0;
    float height_twips_ = 0;
    std::function<int(const std::string&, int, const std::string&)> message_action_;
    std::function<void(int)> end_action_;
};

}  // namespace pellavin::screen
