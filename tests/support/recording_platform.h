#pragma once

#include "runtime/core/platform.h"
#include "runtime/core/runtime_error.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::testing {

// A platform that records what the program asked of it, for unit tests of
// rules. Message boxes answer from a script (OK when it runs dry).
class RecordingPlatform final : public runtime::Platform {
public:
    struct Message {
        std::string prompt;
        int style;
        std::string title;
    };

    std::string path = "/nonexistent";
    std::string title = "Program";
    float width_twips = 1920 * 15.0f;
    float height_twips = 1080 * 15.0f;
    std::optional<runtime::RuntimeError> start_failure;

    std::vector<Message> messages;
    std::deque<int> answers;
    std::vector<std::string> started;
    std::vector<std::string> error_lines;
    std::vector<int> ends;

    std::string app_path() const override { return path; }
    std::string app_title() const override { return title; }
    float screen_width() const override { return width_twips; }
    float screen_height() const override { return height_twips; }

    int show_message(const std::string& prompt, int style, const std::string& box_title) override
    {
        messages.push_back({prompt, style, box_title});
        if (answers.empty()) return runtime::msg_box::kOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void start_program(const std::string& program) override
    {
        if (start_failure) throw *start_failure;
        started.push_back(program);
    }

    void write_error_line(const std::string& line) override { error_lines.push_back(line); }
    void end(int status) override { ends.push_back(status); }
};

}  // namespace pellavin::testing
