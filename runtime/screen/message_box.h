#pragma once

#include <string>

namespace pellavin::screen {

class EndSignals;

// The name of the helper program, beside the programs, that shows a
// message box: the one part of a full-screen program that needs a toolkit,
// in a process of its own so that the program itself maps none.
inline constexpr char kMessageBoxProgram[] = "PellavinMessageBox";

// Shows a modal message box with the helper in `directory` and returns the
// button pressed (runtime::msg_box::kOk, ...), once the box has closed.
// An ending signal that comes meanwhile takes the box with the program.
// When the helper cannot be started, says so on stderr and returns kOk.
int show_message_box(const std::string& directory, const std::string& prompt, int style, const std::string& title,
    EndSignals* signals);

}  // namespace pellavin::screen
