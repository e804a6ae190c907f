#include "runtime/screen/end_signals.h"

#include <csignal>
#include <initializer_list>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

sigset_t end_signal_set()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
    return set;
}

}  // namespace

EndSignals::EndSignals()
{
    const sigset_t set = end_signal_set();
    // An ignored signal is dropped before it could be blocked: a script
    // that starts the game in the background ignores SIGINT for it.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
    // A window system that goes while a frame is on its way out is an
    // error the connection reports, not a signal that ends the game silently.
    std::signal(SIGPIPE, SIG_IGN);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

EndSignals::~EndSignals()
{
    if (fd_ >= 0) close(fd_);
    const sigset_t set = end_signal_set();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void EndSignals::end()
{
    signalfd_siginfo info{};
    const int signal = read(fd_, &info, sizeof info) == sizeof info ? static_cast<int>(info.ssi_signo) : SIGTERM;
    std::fflush(stderr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    std::signal(signal, SIG_DFL);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);  // delivered here, and the program ends
    _exit(128 + signal);
}

}  // namespace pellavin::screen
