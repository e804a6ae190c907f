#include "idle/bus/bus_connection.h"

#include "idle/bus/bus_call.h"

#include <systemd/sd-bus.h>

namespace pellavin::idle {

BusConnection::BusConnection(Kind kind)
{
    const int r = kind == Kind::Session ? sd_bus_open_user(&bus_) : sd_bus_open_system(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        problem_ = std::string(kind == Kind::Session ? "no session bus" : "no system bus") + " (" + errno_text(r) + ")";
    }
}

BusConnection::~BusConnection()
{
    if (bus_) sd_bus_flush_close_unref(bus_);
}

std::string BusConnection::unique_name() const
{
    const char* name = nullptr;
    if (!bus_ || sd_bus_get_unique_name(bus_, &name) < 0 || !name) return "";
    return name;
}

int BusConnection::fd() const { return bus_ ? sd_bus_get_fd(bus_) : -1; }

short BusConnection::events() const { return bus_events(bus_); }

int BusConnection::timeout_ms() const { return bus_timeout_ms(bus_); }

bool BusConnection::process()
{
    if (!bus_) return true;
    int r = 0;
    while ((r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r >= 0) return true;
    problem_ = errno_text(r);
    sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
    return false;
}

}  // namespace pellavin::idle
