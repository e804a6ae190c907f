#include "runtime/screen/message_box.h"

#include "runtime/core/platform.h"
#include "runtime/core/runtime_error.h"
#include "runtime/core/spawn.h"
#include "runtime/screen/end_signals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// Sleeps until the helper has ended, or an ending signal has come, which
// ends the helper too and then the program.
void wait_for(pid_t helper, EndSignals* signals)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, helper, 0));
    if (pidfd < 0) return;  // waitpid() waits without the signals
    pollfd fds[] = {{pidfd, POLLIN, 0}, {signals != nullptr ? signals->fd() : -1, POLLIN, 0}};
    while (poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    close(pidfd);
    if (fds[1].revents != 0) {
        kill(helper, SIGTERM);
        signals->end();
    }
}

}  // namespace

int show_message_box(const std::string& directory, const std::string& prompt, int style, const std::string& title,
    EndSignals* signals)
{
    const std::string helper = directory + "/" + kMessageBoxProgram;
    pid_t pid = 0;
    try {
        pid = runtime::spawn_program(helper, {std::to_string(style), title, prompt});
    } catch (const runtime::RuntimeError& error) {
        std::fprintf(stderr, "%s: no message box can show: %s\n", title.c_str(), error.what());
        return runtime::msg_box::kOk;
    }
    wait_for(pid, signals);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const int pressed = WIFEXITED(status) ? WEXITSTATUS(status) : runtime::msg_box::kOk;
    return pressed == runtime::msg_box::kYes || pressed == runtime::msg_box::kNo ? pressed : runtime::msg_box::kOk;
}

}  // namespace pellavin::screen
