#pragma once

class QWidget;

namespace pellavin::qt_backend {

// Hides the pointer over a window while the system still tracks it and
// delivers its clicks. On Wayland a window's blank cursor only reaches the
// compositor when it is set while the pointer is over the window, so it is
// set again each time the pointer enters.
void hide_pointer(QWidget& window);

}  // namespace pellavin::qt_backend
