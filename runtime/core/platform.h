#pragma once

#include <cstdio>
#include <string>

namespace pellavin::runtime {

// Message box styles and results, as the programs pass and read them.
namespace msg_box {
inline constexpr int kOkOnly = 0;
inline constexpr int kYesNo = 4;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
inline constexpr int kButtonsMask = 0x0F;
inline constexpr int kIconMask = 0xF0;

inline constexpr int kOk = 1;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msg_box

// What a program needs from the world outside it. The Qt backend implements
// it for real; a recording fake implements it for the unit tests.
class Platform {
public:
    virtual ~Platform() = default;

    // The directory that holds the running program.
    virtual std::string app_path() const = 0;
    // The program's name, the title of its message boxes.
    virtual std::string app_title() const = 0;

    // The screen's size in twips.
    virtual float screen_width() const = 0;
    virtual float screen_height() const = 0;

    // A modal message box; returns the button pressed (msg_box::kOk, ...).
    virtual int show_message(const std::string& prompt, int style, const std::string& title) = 0;

    // Starts the program at `path` with no arguments, without a shell, and
    // returns at once; raises RuntimeError when it cannot be started.
    virtual void start_program(const std::string& path) = 0;

    // One line on the standard error stream, out at once.
    virtual void write_error_line(const std::string& line)
    {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }

    // Ends the program now with `status`.
    virtual void end(int status) = 0;
};

}  // namespace pellavin::runtime
