#include "idle/lock/logind_session.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.freedesktop.login1";
constexpr char kManagerPath[] = "/org/freedesktop/login1";
constexpr char kManager[] = "org.freedesktop.login1.Manager";
constexpr char kSession[] = "org.freedesktop.login1.Session";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kUnanswered[] = "a lock it knows of is not known until it answers";
// What logind answers for a process or id outside any session it keeps.
const std::vector<std::string> kNoSession = {"org.freedesktop.login1.NoSessionForPID",
    "org.freedesktop.login1.NoSuchSession"};

// The session this process belongs to by its environment, if it says.
const char* session_id()
{
    const char* id = std::getenv("XDG_SESSION_ID");
    return id && *id ? id : nullptr;
}

LogindSession& session_of(void* data) { return *static_cast<LogindSession*>(data); }

int on_lock(sd_bus_message*, void* data, sd_bus_error*)
{
    session_of(data).lock_asked(true);
    return 0;
}

int on_unlock(sd_bus_message*, void* data, sd_bus_error*)
{
    session_of(data).lock_asked(false);
    return 0;
}

// Before sleep (true) and after it (false).
int on_prepare_for_sleep(sd_bus_message* signal, void* data, sd_bus_error*)
{
    int sleeping = 0;
    if (sd_bus_message_read(signal, "b", &sleeping) >= 0 && sleeping) session_of(data).lock_asked(true);
    return 0;
}

// LockedHint comes with its value, or as invalidated only.
int on_properties_changed(sd_bus_message* signal, void* data, sd_bus_error*)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(signal, "s", &interface) < 0 || std::strcmp(interface, kSession) != 0) return 0;
    if (sd_bus_message_enter_container(signal, 'a', "{sv}") < 0) return 0;
    while (sd_bus_message_enter_container(signal, 'e', "sv") > 0) {
        const char* property = nullptr;
        int locked = 0;
        if (sd_bus_message_read(signal, "s", &property) >= 0 && std::strcmp(property, "LockedHint") == 0
            && sd_bus_message_read(signal, "v", "b", &locked) >= 0) {
            session_of(data).set_locked(locked != 0);
        } else {
            sd_bus_message_skip(signal, "v");
        }
        sd_bus_message_exit_container(signal);
    }
    sd_bus_message_exit_container(signal);
    char** invalidated = nullptr;
    if (sd_bus_message_read_strv(signal, &invalidated) >= 0 && invalidated) {
        for (char** name = invalidated; *name; ++name) {
            if (std::strcmp(*name, "LockedHint") == 0) session_of(data).ask_locked_hint();
        }
    }
    for (char** name = invalidated; name && *name; ++name) std::free(*name);
    std::free(invalidated);
    return 0;
}

}  // namespace

LogindSession::LogindSession(const BusContext& context)
    : context_(context)
    , get_session_(context, {kName, kManagerPath, kManager, session_id() ? "GetSession" : "GetSessionByPID"},
          kUnanswered, kNoSession)
{
    if (!context_.bus()) return;
    if (sd_bus_match_signal_async(context_.bus(), slots_.add(), kName, kManagerPath, kManager, "PrepareForSleep",
            on_prepare_for_sleep, nullptr, this)
        < 0) {
        context_.say(std::string("cannot listen to ") + kName + " on the system bus: the lock before sleep is not known");
    }
    get_session_.ask(
        [this](sd_bus_message* reply) {
            const char* path = nullptr;
            if (!reply_error(reply).empty()) return;  // no logind, or no session of ours: nothing to follow
            if (sd_bus_message_read(reply, "o", &path) < 0) return get_session_.failed("no session in its answer");
            found(path);
        },
        [](sd_bus_message* call) {
            const char* id = session_id();
            return id ? sd_bus_message_append(call, "s", id) : sd_bus_message_append(call, "u", uint32_t(getpid()));
        });
}

void LogindSession::found(const std::string& session_path)
{
    if (!path_.empty()) return;
    path_ = session_path;
    sd_bus* bus = context_.bus();
    int r = sd_bus_match_signal_async(bus, slots_.add(), kName, path_.c_str(), kSession, "Lock", on_lock, nullptr, this);
    if (r >= 0) {
        r = sd_bus_match_signal_async(bus, slots_.add(), kName, path_.c_str(), kSession, "Unlock", on_unlock, nullptr,
            this);
    }
    if (r >= 0) {
        r = sd_bus_match_signal_async(bus, slots_.add(), kName, path_.c_str(), kProperties, "PropertiesChanged",
            on_properties_changed, nullptr, this);
    }
    if (r < 0) {
        context_.say(std::string("cannot listen to ") + kName + " on the system bus (" + errno_text(r)
            + "): a lock it knows of is not known");
        return;
    }
    get_locked_hint_.emplace(context_, BusMethod{kName, path_.c_str(), kProperties, "Get"}, kUnanswered);
    ask_locked_hint();
}

void LogindSession::ask_locked_hint()
{
    if (!get_locked_hint_) return;
    get_locked_hint_->ask(
        [this](sd_bus_message* reply) {
            int locked = 0;
            if (is_no_owner(reply)) return set_locked(false);
            if (sd_bus_message_read(reply, "v", "b", &locked) < 0) {
                return get_locked_hint_->failed("no LockedHint in its answer");
            }
            set_locked(locked != 0);
        },
        [](sd_bus_message* call) { return sd_bus_message_append(call, "ss", kSession, "LockedHint"); });
}

void LogindSession::lock_asked(bool lock)
{
    if (on_lock_asked) on_lock_asked(lock);
}

void LogindSession::set_locked(bool locked)
{
    if (locked == locked_) return;
    locked_ = locked;
    if (on_locked) on_locked(locked);
}

}  // namespace pellavin::idle
