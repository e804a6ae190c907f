#include "idle/lock/desktop_notice.h"

#include <systemd/sd-bus.h>

namespace pellavin::idle {
namespace {

constexpr char kApplication[] = "Pellavin";
// The icon and the menu entry of the installed programs, by name.
constexpr char kIcon[] = "pellavin";
constexpr char kDesktopEntry[] = "pellavin";
constexpr int32_t kServersOwnTimeout = -1;
constexpr uint8_t kNormalUrgency = 1;

int append_notice(sd_bus_message* call, const std::string& summary, const std::string& body)
{
    int r = sd_bus_message_append(call, "susss", kApplication, uint32_t{0}, kIcon, summary.c_str(), body.c_str());
    if (r >= 0) r = sd_bus_message_append(call, "as", 0);
    if (r >= 0) {
        r = sd_bus_message_append(call, "a{sv}", 2, "desktop-entry", "s", kDesktopEntry, "urgency", "y",
            kNormalUrgency);
    }
    if (r >= 0) r = sd_bus_message_append(call, "i", kServersOwnTimeout);
    return r;
}

}  // namespace

DesktopNotice::DesktopNotice(const BusContext& context)
    : context_(context)
{
}

void DesktopNotice::hold(std::string summary, std::string body)
{
    if (!shown_) held_ = Notice{std::move(summary), std::move(body)};
}

void DesktopNotice::show_held()
{
    sd_bus* bus = context_.bus();
    if (!held_ || shown_ || !bus) return;
    shown_ = true;
    sd_bus_message* call = nullptr;
    // A notification service the desktop starts on demand (dunst, mako) may start for it.
    int r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify");
    if (r >= 0) r = append_notice(call, held_->summary, held_->body);
    // Its answer changes nothing: the line on stderr was said either way.
    if (r >= 0) call_async(bus, call, context_.timeout, [](sd_bus_message*) {});
    sd_bus_message_unref(call);
    held_.reset();
}

}  // namespace pellavin::idle
