#include "idle/session_inhibitors.h"

#include "idle/bus_call.h"

namespace pellavin::idle {
namespace {

constexpr char kName[] = "org.gnome.SessionManager";
constexpr char kPath[] = "/org/gnome/SessionManager";
constexpr char kInterface[] = "org.gnome.SessionManager";
constexpr uint32_t kInhibitIdle = 8;  // the session manager's flag for idleness

int on_inhibitors_changed(sd_bus_message*, void* data, sd_bus_error*)
{
    static_cast<SessionInhibitors*>(data)->ask();
    return 0;
}

}  // namespace

SessionInhibitors::SessionInhibitors(Say say, Milliseconds timeout)
    : say_(std::move(say))
    , timeout_(timeout)
{
    // Without a session bus there is no session manager either; the
    // screensaver service says that the bus is missing.
    if (sd_bus_open_user(&bus_) < 0) {
        bus_ = nullptr;
        return;
    }
    int r = 0;
    for (const char* member : {"InhibitorAdded", "InhibitorRemoved"}) {
        if (r >= 0) {
            r = sd_bus_match_signal_async(bus_, nullptr, nullptr, kPath, kInterface, member, on_inhibitors_changed,
                nullptr, this);
        }
    }
    if (r >= 0) r = watch_name_owner(bus_, kName, [this](const std::string& owner) { owner_changed(owner); });
    if (r < 0) {
        say_(std::string("cannot listen to ") + kName + " on the session bus (" + errno_text(r)
            + "): its inhibitors cannot hold the game off");
        sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
        return;
    }
    ask();
}

SessionInhibitors::~SessionInhibitors()
{
    if (bus_) sd_bus_flush_close_unref(bus_);
}

int SessionInhibitors::fd() const { return bus_ ? sd_bus_get_fd(bus_) : -1; }

short SessionInhibitors::events() const { return bus_events(bus_); }

int SessionInhibitors::timeout_ms() const { return bus_timeout_ms(bus_); }

void SessionInhibitors::process()
{
    int r = 0;
    while (bus_ && (r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r >= 0) return;
    if (present_) say_("the session bus has gone (" + errno_text(r) + "): " + kName + " holds nothing off any more");
    sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
    present_ = false;
    set_inhibited(false);
}

void SessionInhibitors::before_start(std::function<void()> start)
{
    if (bus_ && present_) ask(std::move(start));
    else if (!inhibited_) start();
}

void SessionInhibitors::ask(std::function<void()> then)
{
    const auto answer = [this, then](sd_bus_message* reply) {
        int inhibited = 0;
        const std::string error = reply_error(reply);
        if (is_no_owner(reply)) {
            present_ = false;
            set_inhibited(false);
        } else if (!error.empty() || sd_bus_message_read(reply, "b", &inhibited) < 0) {
            const std::string line = std::string(kName) + " failed IsInhibited ("
                + (error.empty() ? "no yes or no in its answer" : error) + "): going on as if it had not been asked";
            if (line != said_) say_(line);
            said_ = line;
        } else {
            said_.clear();
            set_inhibited(inhibited != 0);
        }
        if (then && !inhibited_) then();
    };
    const int r = call_async(bus_, {kName, kPath, kInterface, "IsInhibited"}, timeout_, answer, "u", kInhibitIdle);
    if (r < 0 && then && !inhibited_) then();
}

void SessionInhibitors::owner_changed(const std::string& owner)
{
    present_ = !owner.empty();
    // Its inhibitors went with it; a new one is asked afresh.
    if (present_) ask();
    else set_inhibited(false);
}

void SessionInhibitors::set_inhibited(bool inhibited)
{
    if (inhibited == inhibited_) return;
    inhibited_ = inhibited;
    if (on_inhibited) on_inhibited(inhibited);
}

}  // namespace pellavin::idle
