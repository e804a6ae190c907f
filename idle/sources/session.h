#pragma once

#include "idle/rules/idle_source.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellavin::idle {

// The session cannot give what the watcher needs; the message says which
// session it is and what is missing.
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The session is there, but its display server keeps no idle time that the
// watcher can use.
class NoIdleTime : public SessionError {
public:
    using SessionError::SessionError;
};

// The display server that the environment names does not answer.
class NoServer : public SessionError {
public:
    using SessionError::SessionError;
};

struct BusContext;

// The session this process runs in, as its environment names it.
struct Session {
    std::unique_ptr<SessionIdleSource> idle;
    std::string note;  // what it cannot do, to say once
};

// What names the sessions that the environment names among the user's
// sessions ("wayland-wayland-1", "x11-:1"), from the environment alone:
// one watcher to each, found before anything is connected.
std::vector<std::string> session_keys();

// A Wayland session (WAYLAND_DISPLAY) before an X11 one (DISPLAY): an X
// server inside a Wayland session sees only the input of its own clients.
// A WAYLAND_DISPLAY that names no compositor that answers (left over from
// another session) gives way to DISPLAY. Where the display server keeps no
// idle time, GNOME's idle monitor on the session bus stands in (mutter
// offers no Wayland idle protocol).
Session connect_session(const BusContext& bus);

}  // namespace pellavin::idle
