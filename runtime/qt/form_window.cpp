#include "runtime/qt/form_window.h"

#include "runtime/qt/canvas.h"
#include "runtime/qt/qt_geometry.h"
#include "runtime/qt/qt_platform.h"
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

FormWindow::FormWindow(runtime::Form& form, TitledWindow* frame)
    : form_(form)
    , widgets_(form, *this, QtPlatform::screen_twips_per_pixel())
    , scene_(form, screen::DevicePixels(QtPlatform::screen_twips_per_pixel(), devicePixelRatioF()))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (frame) frame->hold(*this);
    widgets_.set_twips_per_pixel(widgets_.twips_per_pixel() / widgets_.scale_for_captions());
    scene_.set_pixels(device_pixels());
    apply_window_design();
    form_.set_view(this);
}

FormWindow::~FormWindow()
{
    form_.set_view(nullptr);
}

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
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (design.min_button) flags |= Qt::WindowMinimizeButtonHint;
        if (design.max_button) flags |= Qt::WindowMaximizeButtonHint;
    }
    if (isWindow()) setWindowFlags(flags);
    window()->setWindowTitle(text_of(design.caption));
    if (design.mouse_pointer == runtime::MousePointer::Invisible) setCursor(Qt::BlankCursor);
    if (design.start_up_position == runtime::StartUpPosition::Manual) {
        // A form's own place is measured from the primary monitor's corner.
        QScreen* primary = QGuiApplication::primaryScreen();
        window()->setScreen(primary);
        window()->move(primary->geometry().topLeft() + to_pixels(design.client).topLeft());
    }
    form_changed();
}

void FormWindow::form_changed()
{
    setFixedSize(to_pixels({0, 0, form_.Width(), form_.Height()}).size());
    update();
    if (form_.Visible() && !isVisible()) show_window();
    if (!form_.Visible() && isVisible()) window()->hide();
}

void FormWindow::show_window()
{
    window()->show();
    const runtime::FormDesign& design = form_.design();
    if (!design.min_button && !design.max_button) offer_only_move_and_close(*window());
    window()->raise();
    window()->activateWindow();
}

void FormWindow::control_changed(runtime::Control& control)
{
    if (control.kind() != runtime::ControlKind::Shape) {
        widgets_.control_changed(control);
        return;
    }
    const screen::Region changed = scene_.shape_changed(static_cast<const runtime::Shape&>(control));
    update(to_qt(scene_.pixels().to_logical(changed)));
}

void FormWindow::paintEvent(QPaintEvent* event)
{
    const bool rescaled = scene_.set_pixels(device_pixels());
    const QRegion logical = rescaled ? QRegion(rect()) : event->region();
    QPainter painter(this);
    PainterCanvas canvas(painter, scene_.pixels().device_pixel_ratio());
    scene_.draw(canvas, scene_.pixels().to_device(from_qt(logical)), window_color());
}

void FormWindow::mousePressEvent(QMouseEvent*) { pressed_ = true; }

void FormWindow::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the window.
    const bool clicked = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (clicked) form_.click();
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    // The form decides: its unload handler may keep it open.
    event->ignore();
    form_.close();
}

}  // namespace pellavin::qt_backend
