#pragma once

#include "idle/bus/bus_call.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pellavin::idle {

// Where the watcher serves the name itself, each hold is handed on to the
// session manager too, with the idle flag, as the desktops' own services do.
struct HandOver {
    const char* name;
    const char* path;
    const char* interface;
    uint32_t flags;
};
extern const HandOver kSessionManagerHandOver;

// Where the watcher serves org.freedesktop.ScreenSaver itself (MATE, a bare
// window manager), each hold it keeps is handed on to the session manager
// as well, where one is on the bus, as the desktops' own services hand
// theirs: so the desktop's own blank and lock wait for the film too. The
// session manager lets go of them by itself when the watcher leaves the bus.
class HoldHandOver {
public:
    HoldHandOver(const BusContext& context, const HandOver& to);
    HoldHandOver(const HoldHandOver&) = delete;
    HoldHandOver& operator=(const HoldHandOver&) = delete;

    void hold(uint32_t ours, const std::string& application, const std::string& why);
    void release(uint32_t ours);

private:
    void let_go(uint32_t theirs);

    BusContext context_;
    const HandOver& to_;
    std::map<uint32_t, std::optional<uint32_t>> theirs_;  // ours to its cookie; none before its answer
};

}  // namespace pellavin::idle
