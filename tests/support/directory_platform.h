#pragma once

#include "runtime/core/platform.h"

#include <string>

namespace pellavin::testing {

// A real platform whose programs live in another directory, so that tests
// can give a program a settings file of their own.
class DirectoryPlatform final : public runtime::Platform {
public:
    DirectoryPlatform(runtime::Platform& inner, std::string directory)
        : inner_(inner)
        , directory_(std::move(directory))
    {
    }

    std::string app_path() const override { return directory_; }
    std::string app_title() const override { return inner_.app_title(); }
    float screen_width() const override { return inner_.screen_width(); }
    float screen_height() const override { return inner_.screen_height(); }
    int show_message(const std::string& prompt, int style, const std::string& title) override
    {
        return inner_.show_message(prompt, style, title);
    }
    void start_program(const std::string& path) override { inner_.start_program(path); }
    void write_error_line(const std::string& line) override { inner_.write_error_line(line); }
    void end(int status) override { inner_.end(status); }

private:
    runtime::Platform& inner_;
    std::string directory_;
};

}  // namespace pellavin::testing
