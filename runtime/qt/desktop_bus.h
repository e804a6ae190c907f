#pragma once

namespace pellavin::qt_backend {

// Whether a program talks to the desktop's message bus. The control panel
// does: assistive technology reaches its dialog through it. The game does
// not: nothing may stand between its start and its first frame.
enum class DesktopBus { Use, Avoid };

// Before the toolkit starts: with DesktopBus::Avoid, every request for a
// bus fails at once, with no socket and no process.
void prepare_desktop_bus(DesktopBus use);

}  // namespace pellavin::qt_backend
