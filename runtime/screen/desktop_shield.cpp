#include "runtime/screen/desktop_shield.h"

#include <cstdlib>
#include <dlfcn.h>
#include <systemd/sd-bus.h>

namespace pellavin::screen {
namespace {

constexpr const char* kShellName = "org.gnome.Shell.ScreenShield";
constexpr const char* kShieldPath = "/org/gnome/ScreenSaver";
constexpr const char* kShieldInterface = "org.gnome.ScreenSaver";
// The bus itself checks that the sender holds the shell's name.
constexpr const char* kShieldRule = "type='signal',sender='org.gnome.Shell.ScreenShield',"
                                    "path='/org/gnome/ScreenSaver',interface='org.gnome.ScreenSaver',"
                                    "member='ActiveChanged'";
constexpr const char* kOwnerRule = "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                                   "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                   "arg0='org.gnome.Shell.ScreenShield'";
constexpr uint64_t kDefaultTimeout = 0;

// libsystemd's bus, mapped at the first shield the game makes; nullptr
// where the library or one of its functions is missing.
struct SdBus {
    decltype(&sd_bus_new) new_bus;
    decltype(&sd_bus_set_address) set_address;
    decltype(&sd_bus_set_bus_client) set_bus_client;
    decltype(&sd_bus_start) start;
    decltype(&sd_bus_close_unref) close_unref;
    decltype(&sd_bus_get_fd) get_fd;
    decltype(&sd_bus_get_events) get_events;
    decltype(&sd_bus_process) process;
    decltype(&sd_bus_add_match_async) add_match_async;
    decltype(&sd_bus_message_new_method_call) new_method_call;
    decltype(&sd_bus_message_set_auto_start) set_auto_start;
    decltype(&sd_bus_call_async) call_async;
    decltype(&sd_bus_message_unref) message_unref;
    decltype(&sd_bus_message_is_method_error) is_method_error;
    decltype(&sd_bus_message_read) read;
    decltype(&sd_bus_message_get_sender) get_sender;
    decltype(&sd_bus_slot_unref) slot_unref;

    static const SdBus* load();
};

template <typename Function>
bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

const SdBus* SdBus::load()
{
    static const SdBus* const loaded = [] () -> const SdBus* {
        void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        static SdBus bus;
        const bool whole = resolve(library, "sd_bus_new", bus.new_bus)
            && resolve(library, "sd_bus_set_address", bus.set_address)
            && resolve(library, "sd_bus_set_bus_client", bus.set_bus_client)
            && resolve(library, "sd_bus_start", bus.start)
            && resolve(library, "sd_bus_close_unref", bus.close_unref)
            && resolve(library, "sd_bus_get_fd", bus.get_fd)
            && resolve(library, "sd_bus_get_events", bus.get_events)
            && resolve(library, "sd_bus_process", bus.process)
            && resolve(library, "sd_bus_add_match_async", bus.add_match_async)
            && resolve(library, "sd_bus_message_new_method_call", bus.new_method_call)
            && resolve(library, "sd_bus_message_set_auto_start", bus.set_auto_start)
            && resolve(library, "sd_bus_call_async", bus.call_async)
            && resolve(library, "sd_bus_message_unref", bus.message_unref)
            && resolve(library, "sd_bus_message_is_method_error", bus.is_method_error)
            && resolve(library, "sd_bus_message_read", bus.read)
            && resolve(library, "sd_bus_message_get_sender", bus.get_sender)
            && resolve(library, "sd_bus_slot_unref", bus.slot_unref);
        return whole ? &bus : nullptr;
    }();
    return loaded;
}

// The session bus is a local socket, which connects at once or not at all:
// the other kinds of address a list may hold are left out.
std::string local_addresses(std::string_view addresses)
{
    std::string local;
    while (!addresses.empty()) {
        const size_t end = addresses.find(';');
        const std::string_view address = addresses.substr(0, end);
        if (address.starts_with("unix:")) local.append(local.empty() ? "" : ";").append(address);
        addresses.remove_prefix(end == std::string_view::npos ? addresses.size() : end + 1);
    }
    return local;
}

std::string_view session_bus_address()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address ? address : "";
}

}  // namespace

struct ShieldCalls {
    static int on_answer(sd_bus_message* message, void* self, sd_bus_error* error);
    static int on_active_changed(sd_bus_message* message, void* self, sd_bus_error* error);
    static int on_owner_changed(sd_bus_message* message, void* self, sd_bus_error* error);
};

DesktopShield::DesktopShield()
    : DesktopShield(session_bus_address())
{
}

DesktopShield::DesktopShield(std::string_view bus_address)
{
    const std::string address = local_addresses(bus_address);
    const SdBus* sd = address.empty() ? nullptr : SdBus::load();
    if (!sd || sd->new_bus(&bus_) < 0) return;
    if (sd->set_address(bus_, address.c_str()) < 0 || sd->set_bus_client(bus_, 1) < 0 || sd->start(bus_) < 0
        || sd->add_match_async(bus_, nullptr, kShieldRule, &ShieldCalls::on_active_changed, nullptr, this) < 0
        || sd->add_match_async(bus_, nullptr, kOwnerRule, &ShieldCalls::on_owner_changed, nullptr, this) < 0) {
        bus_ = sd->close_unref(bus_);
        return;
    }
    ask_shield();
}

DesktopShield::~DesktopShield()
{
    if (!bus_) return;
    const SdBus& sd = *SdBus::load();
    sd.slot_unref(asking_);
    sd.close_unref(bus_);
}

int DesktopShield::fd() const { return bus_ ? SdBus::load()->get_fd(bus_) : -1; }

short DesktopShield::events() const
{
    if (!bus_) return 0;
    const int events = SdBus::load()->get_events(bus_);
    return events < 0 ? short{0} : static_cast<short>(events);
}

void DesktopShield::dispatch()
{
    more_ = false;
    for (int handled = 0; bus_ && handled < kMostMessages; ++handled) {
        const int done = SdBus::load()->process(bus_, nullptr);
        if (done < 0) return end();
        if (done == 0) return;
    }
    more_ = bus_ != nullptr;
}

// Not auto-started: with no shell, there is no shield.
void DesktopShield::ask_shield()
{
    const SdBus& sd = *SdBus::load();
    asking_ = sd.slot_unref(asking_);  // only the latest question's answer counts
    sd_bus_message* call = nullptr;
    // A question that cannot go (the bus is closing) leaves the shield as it
    // is: the bus's end, which comes next, says the rest.
    if (sd.new_method_call(bus_, &call, kShellName, kShieldPath, kShieldInterface, "GetActive") < 0) return;
    if (sd.set_auto_start(call, 0) >= 0) sd.call_async(bus_, &asking_, call, &ShieldCalls::on_answer, this, kDefaultTimeout);
    sd.message_unref(call);
}

// The bus answers for a name nobody holds (ServiceUnknown): no shield. A
// shell answers from its own unique name, whose word alone counts after.
int ShieldCalls::on_answer(sd_bus_message* message, void* self, sd_bus_error*)
{
    const SdBus& sd = *SdBus::load();
    auto& shield = *static_cast<DesktopShield*>(self);
    int active = 0;
    const bool answered = !sd.is_method_error(message, nullptr) && sd.read(message, "b", &active) > 0;
    if (const char* sender = sd.get_sender(message); answered && sender) shield.owner_ = sender;
    shield.set_active(answered && active != 0);
    return 0;
}

// A signal sent to the game alone passes the bus's rule, which only names
// the shell's well-known name: the sender must be the shell itself.
int ShieldCalls::on_active_changed(sd_bus_message* message, void* self, sd_bus_error*)
{
    const SdBus& sd = *SdBus::load();
    auto& shield = *static_cast<DesktopShield*>(self);
    const char* sender = sd.get_sender(message);
    int active = 0;
    if (sender && !shield.owner_.empty() && shield.owner_ == sender && sd.read(message, "b", &active) > 0) {
        shield.set_active(active != 0);
    }
    return 0;
}

int ShieldCalls::on_owner_changed(sd_bus_message* message, void* self, sd_bus_error*)
{
    const SdBus& sd = *SdBus::load();
    auto& shield = *static_cast<DesktopShield*>(self);
    const char* sender = sd.get_sender(message);
    const char* name = nullptr;
    const char* old_owner = nullptr;
    const char* new_owner = nullptr;
    // Only the bus itself says who owns a name.
    if (!sender || std::string_view(sender) != "org.freedesktop.DBus") return 0;
    if (sd.read(message, "sss", &name, &old_owner, &new_owner) <= 0) return 0;
    shield.owner_ = new_owner;
    if (shield.owner_.empty()) {
        shield.set_active(false);  // a shell that has gone shields nothing
    } else {
        shield.ask_shield();
    }
    return 0;
}

void DesktopShield::end()
{
    const SdBus& sd = *SdBus::load();
    asking_ = sd.slot_unref(asking_);
    bus_ = sd.close_unref(bus_);
    more_ = false;
    owner_.clear();
    set_active(false);
}

void DesktopShield::set_active(bool active)
{
    if (active == active_) return;
    active_ = active;
    if (on_change) on_change(active);
}

}  // namespace pellavin::screen
