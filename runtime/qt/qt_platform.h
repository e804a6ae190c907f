#pragma once

#include "runtime/core/platform.h"

#include <functional>
#include <string>

namespace pellavin::qt_backend {

// The platform of a running Qt program.
class QtPlatform final : public runtime::Platform {
public:
    explicit QtPlatform(std::string title);

    std::string app_path() const override;
    std::string app_title() const override { return title_; }
    float screen_width() const override;
    float screen_height() const override;
    int show_message(const std::string& prompt, int style, const std::string& title) override;
    void start_program(const std::string& path) override;
    void end(int status) override;

    // Twips per pixel of the primary screen: 1440 over its logical DPI.
    static double screen_twips_per_pixel();

    // What end() does; by default the process exits at once, without the
    // toolkit's teardown. Tests replace it.
    void set_end_action(std::function<void(int)> action) { end_action_ = std::move(action); }

private:
    std::string title_;
    std::function<void(int)> end_action_;
};

}  // namespace pellavin::qt_backend
