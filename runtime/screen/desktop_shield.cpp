#include "runtime/screen/desktop_shield.h"

#include "runtime/screen/bus_address.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

constexpr std::string_view kBusName = "org.freedesktop.DBus";
constexpr std::string_view kBusPath = "/org/freedesktop/DBus";
constexpr std::string_view kShellName = "org.gnome.Shell.ScreenShield";
constexpr std::string_view kShieldPath = "/org/gnome/ScreenSaver";
constexpr std::string_view kShieldInterface = "org.gnome.ScreenSaver";
constexpr std::string_view kActiveChanged = "ActiveChanged";
constexpr std::string_view kNameOwnerChanged = "NameOwnerChanged";
// The bus itself checks that the sender holds the shell's name.
constexpr std::string_view kShieldRule = "type='signal',sender='org.gnome.Shell.ScreenShield',"
                                         "path='/org/gnome/ScreenSaver',interface='org.gnome.ScreenSaver',"
                                         "member='ActiveChanged'";
constexpr std::string_view kOwnerRule = "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                                        "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                        "arg0='org.gnome.Shell.ScreenShield'";
// NameOwnerChanged's arguments: the name, its old owner, its new one.
constexpr size_t kOwnerChangeArguments = 3;
constexpr size_t kNewOwner = 2;

// The bus's answer to the login, "OK <its guid>"; anything else (REJECTED,
// ERROR) is a bus we cannot use, and so is a line longer than any answer.
constexpr std::string_view kAuthAccepted = "OK ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kMaxAuthLine = 512;
constexpr size_t kReadChunk = 4096;
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xf;

// SASL EXTERNAL: the kernel vouches for our uid, which we name as its
// decimal text in hex. BEGIN follows at once, and so do the first calls;
// the bus reads them once it has said OK.
std::string login()
{
    std::string uid_hex;
    for (const char digit : std::to_string(getuid())) {
        const auto byte = static_cast<unsigned char>(digit);
        uid_hex += kHexDigits[byte >> kNibbleBits];
        uid_hex += kHexDigits[byte & kNibbleMask];
    }
    return std::string(1, '\0') + "AUTH EXTERNAL " + uid_hex + "\r\nBEGIN\r\n";
}

int connect_to(const bus::Address& address)
{
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const size_t name_at = address.abstract ? 1 : 0;  // an abstract name starts with a NUL
    std::memcpy(where.sun_path + name_at, address.path.data(), address.path.size());
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name_at + address.path.size()
        + (address.abstract ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A local socket connects at once, or not at all.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&where), size) == 0) return fd;
    close(fd);
    return -1;
}

std::string_view session_bus_address()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address ? address : "";
}

}  // namespace

DesktopShield::DesktopShield()
    : DesktopShield(session_bus_address())
{
}

DesktopShield::DesktopShield(std::string_view bus_address)
{
    for (const bus::Address& address : bus::parse_addresses(bus_address)) {
        fd_ = connect_to(address);
        if (fd_ >= 0) break;
    }
    if (fd_ < 0) return;
    out_ = login();
    call({.destination = kBusName, .path = kBusPath, .interface = kBusName, .member = "Hello"});
    for (const std::string_view rule : {kShieldRule, kOwnerRule}) {
        call({.destination = kBusName, .path = kBusPath, .interface = kBusName, .member = "AddMatch",
            .arguments = {rule}});
    }
    ask_shield();
    if (!send_pending()) end();
}

DesktopShield::~DesktopShield()
{
    if (fd_ >= 0) close(fd_);
}

short DesktopShield::events() const
{
    if (fd_ < 0) return 0;
    return out_.empty() ? POLLIN : POLLIN | POLLOUT;
}

void DesktopShield::dispatch()
{
    if (fd_ < 0) return;
    if (!receive() || !take_input() || !send_pending()) end();
}

uint32_t DesktopShield::call(const bus::MethodCall& call)
{
    if (++last_serial_ == 0) last_serial_ = 1;
    out_ += bus::encode_method_call(call, last_serial_);
    return last_serial_;
}

// Not auto-started: with no shell, there is no shield.
void DesktopShield::ask_shield()
{
    asked_serial_ = call({.destination = kShellName, .path = kShieldPath, .interface = kShieldInterface,
        .member = "GetActive", .flags = bus::kNoAutoStart});
}

bool DesktopShield::receive()
{
    char chunk[kReadChunk];
    while (true) {
        const ssize_t size = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (size > 0) {
            in_.append(chunk, static_cast<size_t>(size));
        } else if (size == 0) {
            return false;
        } else if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
}

bool DesktopShield::take_input()
{
    if (!authenticated_) {
        const size_t line_end = in_.find(kLineEnd);
        if (line_end == std::string::npos) return in_.size() <= kMaxAuthLine;
        if (line_end > kMaxAuthLine || !in_.starts_with(kAuthAccepted)) return false;
        in_.erase(0, line_end + kLineEnd.size());
        authenticated_ = true;
    }
    size_t used = 0;
    while (true) {
        const std::string_view rest = std::string_view(in_).substr(used);
        const bus::Frame frame = bus::frame_message(rest);
        if (frame.state == bus::Frame::State::Broken) return false;
        if (frame.state == bus::Frame::State::Partial) break;
        const std::optional<bus::Message> message = bus::parse_message(rest.substr(0, frame.size));
        if (!message) return false;
        used += frame.size;
        handle(*message);
    }
    in_.erase(0, used);
    return true;
}

void DesktopShield::handle(const bus::Message& message)
{
    using bus::MessageType;
    const bool reply = message.type == MessageType::MethodReturn || message.type == MessageType::Error;
    if (reply && asked_serial_ != 0 && message.reply_serial == asked_serial_) {
        asked_serial_ = 0;
        // The bus answers for a name nobody holds (ServiceUnknown); a shell, from its own unique name.
        if (message.sender.starts_with(':')) owner_ = message.sender;
        set_active(message.type == MessageType::MethodReturn && message.boolean.value_or(false));
        return;
    }
    if (message.type != MessageType::Signal) return;
    if (!owner_.empty() && message.sender == owner_ && message.path == kShieldPath
        && message.interface == kShieldInterface && message.member == kActiveChanged && message.boolean) {
        set_active(*message.boolean);
    } else if (message.sender == kBusName && message.interface == kBusName && message.member == kNameOwnerChanged
               && message.strings.size() == kOwnerChangeArguments && message.strings[0] == kShellName) {
        owner_ = message.strings[kNewOwner];
        if (owner_.empty()) {
            set_active(false);  // a shell that has gone shields nothing
        } else {
            ask_shield();
        }
    }
}

bool DesktopShield::send_pending()
{
    while (!out_.empty()) {
        const ssize_t sent = send(fd_, out_.data(), out_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0) {
            out_.erase(0, static_cast<size_t>(sent));
        } else if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
    return true;
}

void DesktopShield::end()
{
    close(fd_);
    fd_ = -1;
    in_.clear();
    out_.clear();
    owner_.clear();
    asked_serial_ = 0;
    set_active(false);
}

void DesktopShield::set_active(bool active)
{
    if (active == active_) return;
    active_ = active;
    if (on_change) on_change(active);
}

}  // namespace pellavin::screen
