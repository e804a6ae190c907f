#pragma once

#include <QWidget>

class QVBoxLayout;

namespace pellavin::qt_backend {

// Before the toolkit starts: on a Wayland compositor that leaves window
// decorations to its clients (GNOME's mutter offers no server-side ones),
// the toolkit's own would offer maximize, minimize and resizing on a fixed
// dialog, which do nothing there; they are switched off, and the dialog
// draws its own title bar instead (draws_own_title_bar()).
void prepare_title_bar();
// After: whether a dialog needs its own title bar.
bool draws_own_title_bar();

// A dialog's window on such a compositor: its title, with a close button
// and nothing else, over the form's window, which it holds. Dragging the
// title moves the window, as a title bar does.
class TitledWindow final : public QWidget {
public:
    TitledWindow();

    // The form's window, a child from now on; closing asks it to close.
    void hold(QWidget& form_window);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QVBoxLayout* layout_;
    QWidget* title_bar_;
    QWidget* form_window_ = nullptr;
};

}  // namespace pellavin::qt_backend
