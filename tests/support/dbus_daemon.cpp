#include "tests/support/dbus_daemon.h"

#include <chrono>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace pellavin::testing {
namespace {

bool takes_connections(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return connected;
}

}  // namespace

DbusDaemon::DbusDaemon()
{
    using namespace std::chrono_literals;
    const auto patience = std::chrono::steady_clock::now() + 30s;
    while (!(up_ = takes_connections(socket_)) && daemon_.running() && std::chrono::steady_clock::now() < patience) {
        std::this_thread::sleep_for(10ms);
    }
}

}  // namespace pellavin::testing
