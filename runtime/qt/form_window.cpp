#include "runtime/qt/form_window.h"

#include "runtime/core/check_box.h"
#include "runtime/core/command_button.h"
#include "runtime/core/option_button.h"
#include "runtime/core/text_box.h"
#include "runtime/qt/accessibility.h"
#include "runtime/qt/canvas.h"
#include "runtime/qt/keys.h"
#include "runtime/qt/qt_platform.h"
#include "runtime/qt/x11_canvas.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <limits>

namespace pellavin::qt_backend {
namespace {

using runtime::Control;
using runtime::ControlKind;

QString text_of(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

const std::string& caption_of(const Control& control)
{
    static const std::string none;
    switch (control.kind()) {
    case ControlKind::Frame:
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::CommandButton: return static_cast<const runtime::CaptionedControl&>(control).Caption();
    default: return none;
    }
}

// Room a caption needs beside its text: a frame's title is inset into its
// border, buttons pad their text.
constexpr int kFrameTitleInset = 16;
constexpr int kButtonTextPadding = 12;
constexpr int kTextBoxFramePadding = 6;

}  // namespace

FormWindow::FormWindow(runtime::Form& form)
    : form_(form)
    , twips_per_pixel_(QtPlatform::screen_twips_per_pixel())
    , clock_([this] { tick(); })
{
    describe_form_widgets();
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (form_.design().border_style == runtime::BorderStyle::None) draw_natively_if_possible();
    for (Control* control : form_.controls()) {
        if (control->kind() == ControlKind::Shape) shapes_.push_back(static_cast<const runtime::Shape*>(control));
    }
    create_widgets();
    for (const auto& [control, widget] : widgets_) sync_widget(*control);
    if (form_.design().border_style != runtime::BorderStyle::None) {
        twips_per_pixel_ /= scale_for_captions();
        for (const auto& [control, widget] : widgets_) sync_widget(*control);
    }
    for (const runtime::Shape* shape : shapes_) painted_[shape] = shape->shown() ? shape_rect(*shape) : QRect();
    order_tabs();
    apply_window_design();
    form_.set_view(this);
}

FormWindow::~FormWindow()
{
    form_.set_view(nullptr);
}

// A borderless game window on an X server draws its shapes with the
// server's own requests instead of Qt's full-window image: the image of a
// full screen is 8 MB to keep and to send, where a moving ball needs two
// small fills.
void FormWindow::draw_natively_if_possible()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    x11_ = X11Canvas::create(*this);
    if (!x11_) setAttribute(Qt::WA_PaintOnScreen, false);
}

QPaintEngine* FormWindow::paintEngine() const { return x11_ ? nullptr : QWidget::paintEngine(); }

QRect FormWindow::to_pixels(const runtime::Bounds& bounds) const
{
    return QRect(static_cast<int>(std::lround(bounds.left / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.top / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.width / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.height / twips_per_pixel_)));
}

QWidget* FormWindow::widget_for(const Control& control) const
{
    const auto found = widgets_.find(&control);
    return found == widgets_.end() ? nullptr : found->second;
}

void FormWindow::create_widgets()
{
    // Controls come in creation order, a container before its contents. A
    // control that cannot be seen gets its widget when it first shows: the
    // runner's hidden frame then costs neither memory nor start-up time.
    for (Control* control : form_.controls()) {
        if (control->kind() == ControlKind::Shape || control->kind() == ControlKind::Timer) continue;
        if (widgets_.count(control) != 0 || !control->shown()) continue;
        QWidget* parent = control->container() != nullptr ? widget_for(*control->container()) : this;
        QWidget* widget = create_widget(*control, parent != nullptr ? parent : this);
        const std::string& name = control->accessible_name().empty() ? caption_of(*control) : control->accessible_name();
        widget->setAccessibleName(text_of(name));
        widget->setObjectName(text_of(control->name()));
        widgets_[control] = widget;
    }
}

QWidget* FormWindow::create_widget(Control& control, QWidget* parent)
{
    switch (control.kind()) {
    case ControlKind::Frame: return new QGroupBox(parent);
    case ControlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);  // keeps a caption's leading blank
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::CheckBox: {
        auto& box = static_cast<runtime::CheckBox&>(control);
        auto* widget = new QCheckBox(parent);
        connect(widget, &QCheckBox::clicked, this, [this, &box](bool checked) {
            form_.dispatch([&box, checked] {
                box.set_Value(checked ? runtime::CheckBox::kChecked : runtime::CheckBox::kUnchecked);
            });
            sync_widget(box);
        });
        return widget;
    }
    case ControlKind::OptionButton: {
        auto& option = static_cast<runtime::OptionButton&>(control);
        auto* widget = new QRadioButton(parent);
        widget->setAutoExclusive(false);  // the controls keep their groups themselves
        connect(widget, &QRadioButton::clicked, this, [this, &option] {
            form_.dispatch([&option] { option.choose(); });
            sync_widget(option);
        });
        return widget;
    }
    case ControlKind::TextBox: {
        auto& text_box = static_cast<runtime::TextBox&>(control);
        auto* widget = new QLineEdit(parent);
        widget->setMaxLength(std::numeric_limits<int>::max());
        // Every change but the control's own (written with signals blocked):
        // typing, and text that assistive technology puts in.
        connect(widget, &QLineEdit::textChanged, this, [this, &text_box](const QString& text) {
            const QByteArray utf8 = text.toUtf8();
            form_.dispatch([&text_box, &utf8] { text_box.set_Text(std::string(utf8.constData(), utf8.size())); });
            sync_widget(text_box);
        });
        return widget;
    }
    case ControlKind::CommandButton: {
        auto& button = static_cast<runtime::CommandButton&>(control);
        auto* widget = new QPushButton(parent);
        // No button answers Enter or Escape unless it has the focus.
        widget->setAutoDefault(false);
        widget->setDefault(false);
        connect(widget, &QPushButton::clicked, this, [this, &button] { form_.dispatch([&button] { button.press(); }); });
        return widget;
    }
    default: return new QWidget(parent);
    }
}

double FormWindow::scale_for_captions() const
{
    double scale = 1.0;
    for (const auto& [control, widget] : widgets_) {
        const QFontMetrics metrics(widget->font());
        const QString caption = text_of(caption_of(*control));
        int need_width = metrics.horizontalAdvance(caption);
        int need_height = metrics.height();
        switch (control->kind()) {
        case ControlKind::Frame: need_width += kFrameTitleInset; break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton: {
            const QSize hint = widget->sizeHint();
            need_width = hint.width();
            need_height = hint.height();
            break;
        }
        case ControlKind::CommandButton: need_width += kButtonTextPadding; need_height += kTextBoxFramePadding; break;
        case ControlKind::TextBox: need_width = 0; need_height += kTextBoxFramePadding; break;
        default: break;
        }
        const QRect have = to_pixels(control->bounds());
        if (have.width() > 0) scale = std::max(scale, static_cast<double>(need_width) / have.width());
        if (have.height() > 0 && control->kind() != ControlKind::Frame) {
            scale = std::max(scale, static_cast<double>(need_height) / have.height());
        }
    }
    return scale;
}

void FormWindow::apply_window_design()
{
    const runtime::FormDesign& design = form_.design();
    Qt::WindowFlags flags = Qt::Window;
    if (design.border_style == runtime::BorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
        setFocusPolicy(Qt::StrongFocus);  // the window itself takes every key
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (design.min_button) flags |= Qt::WindowMinimizeButtonHint;
        if (design.max_button) flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(text_of(design.caption));
    if (design.mouse_pointer == runtime::MousePointer::Invisible) setCursor(Qt::BlankCursor);
    if (design.start_up_position == runtime::StartUpPosition::Manual) {
        move(to_pixels(form_.design().client).topLeft());
    }
    form_changed();
}

void FormWindow::order_tabs()
{
    std::vector<std::pair<int, QWidget*>> stops;
    for (const auto& [control, widget] : widgets_) {
        if (widget->focusPolicy() & Qt::TabFocus) stops.emplace_back(control->TabIndex(), widget);
    }
    std::sort(stops.begin(), stops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1].second, stops[i].second);
}

void FormWindow::sync_widget(const Control& control)
{
    QWidget* widget = widget_for(control);
    if (widget == nullptr) return;
    const QSignalBlocker blocker(widget);
    widget->setGeometry(to_pixels(control.bounds()));
    widget->setVisible(control.Visible());
    const QString caption = text_of(caption_of(control));
    switch (control.kind()) {
    case ControlKind::Frame: static_cast<QGroupBox*>(widget)->setTitle(caption); break;
    case ControlKind::Label: static_cast<QLabel*>(widget)->setText(caption); break;
    case ControlKind::CommandButton: static_cast<QPushButton*>(widget)->setText(caption); break;
    case ControlKind::CheckBox: {
        auto* box = static_cast<QCheckBox*>(widget);
        box->setText(caption);
        box->setChecked(static_cast<const runtime::CheckBox&>(control).Value() == runtime::CheckBox::kChecked);
        break;
    }
    case ControlKind::OptionButton: {
        auto* option = static_cast<QRadioButton*>(widget);
        option->setText(caption);
        option->setChecked(static_cast<const runtime::OptionButton&>(control).Value());
        break;
    }
    case ControlKind::TextBox: {
        auto* edit = static_cast<QLineEdit*>(widget);
        const QString text = text_of(static_cast<const runtime::TextBox&>(control).Text());
        if (edit->text() != text) edit->setText(text);  // leaves the cursor alone while typing
        break;
    }
    default: break;
    }
}

void FormWindow::form_changed()
{
    if (x11_) x11_->set_background(color(form_.BackColor()));
    const QRect client = to_pixels({0, 0, form_.Width(), form_.Height()});
    if (form_.design().border_style == runtime::BorderStyle::None) {
        resize(client.size());
    } else {
        setFixedSize(client.size());
    }
    update();
    if (form_.Visible() && !isVisible()) show_window();
    if (!form_.Visible() && isVisible()) hide();
}

void FormWindow::show_window()
{
    // A borderless window that covers the screen from its top-left corner is
    // a full-screen window: the window system then keeps panels and docks
    // below it, and on Wayland it is the only way to cover the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const runtime::FormDesign& design = form_.design();
    const bool covers_screen = design.border_style == runtime::BorderStyle::None
        && design.start_up_position == runtime::StartUpPosition::Manual && pos() == screen.topLeft()
        && width() >= screen.width() && height() >= screen.height();
    if (covers_screen) {
        showFullScreen();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void FormWindow::control_changed(Control& control)
{
    if (control.kind() == ControlKind::Shape) {
        shape_moved(static_cast<const runtime::Shape&>(control));
        return;
    }
    if (widget_for(control) == nullptr && control.shown()) {
        create_widgets();
        for (const auto& [each, widget] : widgets_) sync_widget(*each);
        return;
    }
    sync_widget(control);
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
    // What the tick moved is painted as soon as the tick is over, in the
    // same wake-up, rather than posted to a later turn of the event loop.
    in_tick_ = true;
    form_.tick();
    in_tick_ = false;
    if (form_.ended()) {
        clock_.stop();
        return;
    }
    if (moved_.isEmpty()) return;
    if (x11_) {
        draw(*x11_, moved_);
        x11_->flush();
    } else {
        repaint(moved_);
    }
    moved_ = QRegion();
}

QRect FormWindow::shape_rect(const runtime::Shape& shape) const { return to_pixels(shape.bounds()); }

void FormWindow::shape_moved(const runtime::Shape& shape)
{
    const QRect now = shape.shown() ? shape_rect(shape) : QRect();
    QRect& before = painted_[&shape];
    QRegion changed = now;
    if (before != now) changed += before;
    before = now;
    if (in_tick_) {
        moved_ += changed;
    } else {
        update(changed);
    }
}

QColor FormWindow::color(runtime::Color value) const
{
    if (value == runtime::kSystemButtonFace) return palette().color(QPalette::Window);
    return QColor(runtime::red_of(value), runtime::green_of(value), runtime::blue_of(value));
}

void FormWindow::paintEvent(QPaintEvent* event)
{
    // A full-screen window that is on the screen takes every key, whatever
    // focus the window manager gives it: the first key must reach the game.
    if (isFullScreen() && !keyboard_grabbed_) {
        grabKeyboard();
        keyboard_grabbed_ = true;
    }
    if (x11_) {
        draw(*x11_, event->region());
        x11_->flush();
        return;
    }
    QPainter painter(this);
    PainterCanvas canvas(painter);
    draw(canvas, event->region());
}

void FormWindow::draw(Canvas& canvas, const QRegion& region) const
{
    const QColor back = color(form_.BackColor());
    for (const QRect& rect : region) canvas.fill(rect, back);
    for (const runtime::Shape* shape : shapes_) {
        const QRect rect = shape_rect(*shape);
        if (!shape->shown() || rect.width() <= 0 || rect.height() <= 0 || !region.intersects(rect)) continue;
        const std::optional<QColor> fill = shape->fill_style() == runtime::FillStyle::Solid
            ? std::optional<QColor>(color(shape->FillColor()))
            : std::nullopt;
        if (shape->figure() == runtime::ShapeKind::Circle) {
            const int diameter = std::min(rect.width(), rect.height());
            const QRect square(rect.left() + (rect.width() - diameter) / 2, rect.top() + (rect.height() - diameter) / 2,
                diameter, diameter);
            canvas.draw_circle(square, fill, color(shape->BorderColor()));
        } else {
            canvas.draw_rectangle(rect, fill, color(shape->BorderColor()));
        }
    }
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    form_.key_down(virtual_key_code(*event), shift_state(*event));
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
