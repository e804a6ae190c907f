#include "idle/watcher.h"

#include "idle/bus_call.h"
#include "idle/idle_rules.h"
#include "idle/runner_process.h"
#include "idle/screensaver_service.h"
#include "idle/session.h"
#include "idle/session_inhibitors.h"
#include "idle/session_lock.h"
#include "idle/settings_watch.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string>
#include <vector>

namespace pellavin::idle {
namespace {

constexpr char kProgram[] = "PellavinIdle";
constexpr char kRunner[] = "PellavinRun";
constexpr Milliseconds kMinute{60'000};
// The panel takes the watcher out of the session when the box is cleared;
// the one running goes as soon as it reads that.
constexpr char kSwitchedOff[] = "\"Enable Screensaver\" is off: no game will start by itself, so this watcher ends";
// Test-only: the length of a minute in milliseconds, so that tests and
// measurements need not wait real minutes.
constexpr char kMinuteKnob[] = "PELLAVIN_IDLE_MINUTE_MS";

void say(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    std::fflush(stderr);
}

Milliseconds minute_length()
{
    const char* text = std::getenv(kMinuteKnob);
    if (!text) return kMinute;
    long milliseconds = 0;
    const char* end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, milliseconds);
    if (error == std::errc{} && at == end && milliseconds > 0) return Milliseconds(milliseconds);
    say(std::string(kMinuteKnob) + " is not a number of milliseconds; a minute is 60000");
    return kMinute;
}

// The real directory of the program, links resolved, as the other two
// programs find theirs.
std::string program_directory() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

// The soonest of the time limits, -1 for none.
int soonest(std::initializer_list<int> timeouts)
{
    int soonest = -1;
    for (int timeout : timeouts) {
        if (timeout >= 0 && (soonest < 0 || timeout < soonest)) soonest = timeout;
    }
    return soonest;
}

// Waits on every descriptor that is open, and on nothing else: only the
// session, the settings, the runner and the bus wake the process (and a
// question on the bus that is not answered in time). Returns once the
// session has gone or "Enable Screensaver" has been switched off.
void run_loop(SessionIdleSource& idle, SettingsWatch& settings, RunnerProcess& runner, ScreenSaverService& bus,
    SessionInhibitors& inhibitors, IdleRules& rules, const SettingsFile& settings_file)
{
    for (;;) {
        idle.flush();
        std::vector<pollfd> fds = {{idle.fd(), idle.events(), 0}, {settings.fd(), POLLIN, 0},
            {runner.fd(), POLLIN, 0}, {bus.fd(), bus.events(), 0}, {inhibitors.fd(), inhibitors.events(), 0}};
        if (poll(fds.data(), fds.size(), soonest({idle.timeout_ms(), bus.timeout_ms(), inhibitors.timeout_ms()})) < 0) {
            if (errno == EINTR) continue;
            say(std::string("waiting failed: ") + std::strerror(errno));
            return;
        }
        if ((fds[0].revents || idle.timeout_ms() == 0) && !idle.dispatch()) return;
        if (fds[1].revents && settings.changed()) {
            load_settings(rules, settings_file);
            if (rules.switched_off()) return;
        }
        if (fds[2].revents) {
            runner.ended();
            rules.runner_ended();
        }
        bus.process();
        inhibitors.process();
    }
}

}  // namespace

int run_watcher()
{
    // Whatever the parent left, these end the watcher at once, and a
    // session that goes away ends it through its connection, not a signal.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);

    Session session;
    try {
        session = connect_session();
    } catch (const SessionError& error) {
        say(error.what());
        return 1;
    }
    const SessionLock lock(session.key);
    if (lock.state() == SessionLock::State::HeldElsewhere) {
        say("another " + std::string(kProgram) + " is watching this session already (" + lock.path() + ")");
        return 1;
    }
    if (lock.state() == SessionLock::State::Failed) {
        say("cannot make sure that no other one watches this session: " + lock.problem());
    }
    if (!session.note.empty()) say(session.note);

    const std::string directory = program_directory();
    const SettingsFile settings_file = SettingsFile::locate(directory);
    RunnerProcess runner(directory + "/" + kRunner);
    IdleRules rules(*session.idle, runner, say, minute_length());
    session.idle->say = say;

    SettingsWatch settings(settings_file.sources());
    if (!settings.problem().empty()) {
        say("cannot watch the settings for changes (" + settings.problem() + "): they take effect at the next start");
    }
    load_settings(rules, settings_file);
    if (rules.switched_off()) {
        say(kSwitchedOff);
        return 0;
    }

    SessionInhibitors inhibitors(say, kBusCallTimeout);
    inhibitors.on_inhibited = [&](bool held) { rules.set_held(IdleRules::Holder::SessionManager, held); };
    session.idle->on_idle = [&] { inhibitors.before_start([&] { rules.idle(); }); };
    ScreenSaverService bus(say);
    bus.on_held = [&](bool held) { rules.set_held(IdleRules::Holder::ScreenSaver, held); };

    run_loop(*session.idle, settings, runner, bus, inhibitors, rules, settings_file);
    say(rules.switched_off() ? kSwitchedOff : "the session has ended");
    return 0;
}

}  // namespace pellavin::idle
