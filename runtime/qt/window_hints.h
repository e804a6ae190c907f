#pragma once

class QWidget;

namespace pellavin::qt_backend {

// Tells an X window manager that a fixed dialog can be moved and closed and
// nothing else: no resizing, no maximize or minimize function. Qt always
// offers resizing to the window manager, which keeps maximize alive even
// on a window of fixed size. Does nothing off X.
void offer_only_move_and_close(QWidget& window);

}  // namespace pellavin::qt_backend
