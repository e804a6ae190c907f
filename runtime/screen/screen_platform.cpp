#include "runtime/screen/screen_platform.h"

#include "common/program_directory.h"
#include "runtime/core/spawn.h"
#include "runtime/screen/message_box.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace pellavin::screen {

ScreenPlatform::ScreenPlatform(std::string title)
    : title_(std::move(title))
    , app_path_(program_directory())
    , message_action_([this](const std::string& prompt, int style, const std::string& box_title) {
        return show_message_box(app_path_, prompt, style, box_title, nullptr);
    })
    , end_action_([](int status) { _exit(status); })
{
}

void ScreenPlatform::set_screen_size(float width_twips, float height_twips)
{
    width_twips_ = width_twips;
    height_twips_ = height_twips;
}

void ScreenPlatform::set_message_action(std::function<int(const std::string&, int, const std::string&)> action)
{
    message_action_ = std::move(action);
}

int ScreenPlatform::show_message(const std::string& prompt, int style, const std::string& title)
{
    return message_action_(prompt, style, title);
}

void ScreenPlatform::start_program(const std::string& path) { runtime::spawn_program(path); }

void ScreenPlatform::end(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    end_action_(status);
}

}  // namespace pellavin::screen
