#include "runtime/qt/desktop_bus.h"

#include <QByteArray>

namespace pellavin::qt_backend {

// The toolkit's accessibility bridge asks for the session bus when the first
// window shows, and its window waits for the answer. Without a session bus
// in the environment, libdbus then launches one (dbus-launch, a new
// dbus-daemon), which takes seconds when it fails and otherwise leaves a bus
// behind. An address of a kind no transport knows makes the request fail
// without a socket or a process; the accessibility bus's own address would
// be taken without asking the session bus, so it goes too.
void prepare_desktop_bus(DesktopBus use)
{
    if (use == DesktopBus::Use) return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
    qunsetenv("AT_SPI_BUS_ADDRESS");
}

}  // namespace pellavin::qt_backend
