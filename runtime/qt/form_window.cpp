#include "runtime/qt/form_window.h"

#include "runtime/qt/canvas.h"
#include "runtime/qt/invisible_pointer.h"
#include "runtime/qt/keys.h"
#include "runtime/qt/qt_geometry.h"
#include "runtime/qt/qt_platform.h"
#include "runtime/qt/screen_covers.h"
#include "runtime/qt/wayland_surface.h"
#include "runtime/qt/window_hints.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace pellavin::qt_backend {
namespace {

QString text_of(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

}  // namespace

FormWindow::FormWindow(runtime::Form& form)
    : form_(form)
    , clock_([this] { tick(); })
    , widgets_(form, *this, QtPlatform::screen_twips_per_pixel())
    , scene_(form, screen::DevicePixels(QtPlatform::screen_twips_per_pixel(), devicePixelRatioF()))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!is_dialog()) {
        covers_ = std::make_unique<ScreenCovers>(*this, ScreenCovers::Input{
            [this](QKeyEvent& event) { keyPressEvent(&event); },
            [this] {
                form_.click();
                after_event();
            },
        });
    } else {
        widgets_.set_twips_per_pixel(widgets_.twips_per_pixel() / widgets_.scale_for_captions());
        scene_.set_pixels(device_pixels());
    }
    apply_window_design();
    form_.set_view(this);
}

FormWindow::~FormWindow()
{
    form_.set_view(nullptr);
}

// On Wayland each shape is a surface of its own above the window, once the
// window has one to put them on. Qt's image of the window is drawn once, in
// the back colour, and stays below.
void FormWindow::draw_on_wayland_if_possible()
{
    wayland_tried_ = true;
    native_ = WaylandSurface::create(*this);
}

std::vector<QWidget*> FormWindow::covers() const { return covers_ ? covers_->windows() : std::vector<QWidget*>{}; }

QRect FormWindow::device_rect(const runtime::Shape& shape) const { return to_qt(scene_.place_of(shape)); }

screen::DevicePixels FormWindow::device_pixels() const
{
    return screen::DevicePixels(twips_per_pixel(), devicePixelRatioF());
}

screen::Rgb FormWindow::window_color() const { return from_qt(palette().color(QPalette::Window)); }

void FormWindow::apply_window_design()
{
    const runtime::FormDesign& design = form_.design();
    Qt::WindowFlags flags = Qt::Window;
    if (!is_dialog()) {
        flags |= Qt::FramelessWindowHint;
        setFocusPolicy(Qt::StrongFocus);  // the window itself takes every key
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (design.min_button) flags |= Qt::WindowMinimizeButtonHint;
        if (design.max_button) flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(text_of(design.caption));
    if (design.mouse_pointer == runtime::MousePointer::Invisible) hide_pointer(*this);
    if (design.start_up_position == runtime::StartUpPosition::Manual) {
        // A form's own place is measured from the primary monitor's corner.
        QScreen* primary = QGuiApplication::primaryScreen();
        setScreen(primary);
        move(primary->geometry().topLeft() + to_pixels(design.client).topLeft());
    }
    form_changed();
}

void FormWindow::form_changed()
{
    const QRect client = to_pixels({0, 0, form_.Width(), form_.Height()});
    if (!is_dialog()) {
        resize(client.size());
    } else {
        setFixedSize(client.size());
    }
    update();
    if (form_.Visible() && !isVisible()) show_window();
    if (!form_.Visible() && isVisible()) {
        hide();
        if (covers_) covers_->hide();
    }
}

// A borderless window that covers the primary monitor from its top-left
// corner is the game's full-screen window: the window system then keeps
// panels and docks below it, and on Wayland it is the only way to cover a
// monitor.
bool FormWindow::covers_primary_monitor() const
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const runtime::FormDesign& design = form_.design();
    return !is_dialog() && design.start_up_position == runtime::StartUpPosition::Manual
        && pos() == screen.topLeft() && width() >= screen.width() && height() >= screen.height();
}

void FormWindow::show_window()
{
    if (covers_primary_monitor()) {
        showFullScreen();
        covers_->show();
    } else {
        show();
        const runtime::FormDesign& design = form_.design();
        if (!design.min_button && !design.max_button) offer_only_move_and_close(*this);
    }
    raise();
    activateWindow();
}

void FormWindow::control_changed(runtime::Control& control)
{
    if (control.kind() != runtime::ControlKind::Shape) {
        widgets_.control_changed(control);
        return;
    }
    const screen::Region changed = scene_.shape_changed(static_cast<const runtime::Shape&>(control));
    if (in_tick_) {
        moved_.add(changed);
    } else if (native_) {
        // Drawn once the event that moved it is over, with whatever else it moved.
        moved_.add(changed);
        if (!redraw_posted_) {
            redraw_posted_ = true;
            QMetaObject::invokeMethod(this, [this] {
                redraw_posted_ = false;
                draw_moved();
            }, Qt::QueuedConnection);
        }
    } else {
        update(to_qt(scene_.pixels().to_logical(changed)));
    }
}

void FormWindow::timers_changed()
{
    if (form_.any_timer_enabled() && !form_.ended()) {
        clock_.start();
    } else {
        clock_.stop();
    }
}

void FormWindow::tick()
{
    // What the tick moved is drawn as soon as the tick is over, in the same
    // wake-up, rather than posted to a later turn of the event loop.
    in_tick_ = true;
    form_.tick();
    in_tick_ = false;
    if (form_.ended()) {
        after_event();
        return;
    }
    draw_moved();
}

void FormWindow::draw_moved()
{
    if (moved_.empty() || form_.ended()) return;
    if (native_) {
        native_->redraw(scene_, moved_, window_color());
    } else {
        repaint(to_qt(scene_.pixels().to_logical(moved_)));
    }
    moved_.clear();
}

// After the end nothing of the program may show, however the platform ends it.
void FormWindow::after_event()
{
    if (!form_.ended()) return;
    clock_.stop();
    if (covers_) covers_->hide();
}

void FormWindow::paintEvent(QPaintEvent* event)
{
    // A full-screen window that is on the screen takes every key, whatever
    // focus the window manager gives it: the first key must reach the game.
    if (isFullScreen() && !keyboard_grabbed_) {
        grabKeyboard();
        keyboard_grabbed_ = true;
    }
    const bool rescaled = scene_.set_pixels(device_pixels());
    const QRegion logical = rescaled ? QRegion(rect()) : event->region();
    if (!is_dialog() && !wayland_tried_) draw_on_wayland_if_possible();
    QPainter painter(this);
    if (native_) {
        painter.fillRect(event->rect(), to_qt(screen::rgb_of(form_.BackColor(), window_color())));
        if (rescaled || !drawn_natively_) {
            const QSize device = size() * devicePixelRatioF();
            native_->redraw(scene_, screen::Rect{0, 0, device.width(), device.height()}, window_color());
            drawn_natively_ = true;
        }
        return;
    }
    PainterCanvas canvas(painter, scene_.pixels().device_pixel_ratio());
    scene_.draw(canvas, scene_.pixels().to_device(from_qt(logical)), window_color());
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    form_.key_down(virtual_key_code(*event), shift_state(*event));
    after_event();
}

void FormWindow::mousePressEvent(QMouseEvent*) { pressed_ = true; }

void FormWindow::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the window.
    const bool clicked = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (clicked) form_.click();
    after_event();
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    // The form decides: its unload handler may keep it open.
    event->ignore();
    form_.close();
}

}  // namespace pellavin::qt_backend
