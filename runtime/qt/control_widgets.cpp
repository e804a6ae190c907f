#include "runtime/qt/control_widgets.h"

#include "runtime/core/check_box.h"
#include "runtime/core/command_button.h"
#include "runtime/core/option_button.h"
#include "runtime/core/text_box.h"
#include "runtime/qt/accessibility.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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

bool has_widget(const Control& control)
{
    return control.kind() != ControlKind::Shape && control.kind() != ControlKind::Timer;
}

// Room a caption needs beside its text: a frame's title is inset into its
// border, buttons pad their text.
constexpr int kFrameTitleInset = 16;
constexpr int kButtonTextPadding = 12;
constexpr int kTextBoxFramePadding = 6;

}  // namespace

ControlWidgets::ControlWidgets(runtime::Form& form, QWidget& window, double twips_per_pixel)
    : form_(form)
    , window_(window)
    , twips_per_pixel_(twips_per_pixel)
{
    describe_form_widgets();
    create_shown_widgets();
    order_tabs();
}

void ControlWidgets::set_twips_per_pixel(double value)
{
    twips_per_pixel_ = value;
    sync_all();
}

QRect ControlWidgets::to_pixels(const runtime::Bounds& bounds) const
{
    return QRect(static_cast<int>(std::lround(bounds.left / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.top / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.width / twips_per_pixel_)),
        static_cast<int>(std::lround(bounds.height / twips_per_pixel_)));
}

QWidget* ControlWidgets::widget_for(const Control& control) const
{
    const auto found = widgets_.find(&control);
    return found == widgets_.end() ? nullptr : found->second;
}

void ControlWidgets::control_changed(const Control& control)
{
    if (!has_widget(control)) return;
    if (widget_for(control) == nullptr && control.shown()) {
        create_shown_widgets();
        return;
    }
    sync(control);
}

void ControlWidgets::create_shown_widgets()
{
    // Controls come in creation order, a container before its contents. A
    // control that cannot be seen gets its widget when it first shows: the
    // runner's hidden frame then costs neither memory nor start-up time.
    bool created = false;
    for (Control* control : form_.controls()) {
        if (!has_widget(*control) || widgets_.count(control) != 0 || !control->shown()) continue;
        QWidget* parent = control->container() != nullptr ? widget_for(*control->container()) : &window_;
        QWidget* widget = create_widget(*control, parent != nullptr ? *parent : window_);
        const std::string& name = control->accessible_name().empty() ? caption_of(*control) : control->accessible_name();
        widget->setAccessibleName(text_of(name));
        widget->setObjectName(text_of(control->name()));
        widgets_[control] = widget;
        created = true;
    }
    if (created) sync_all();
}

QWidget* ControlWidgets::create_widget(Control& control, QWidget& parent)
{
    switch (control.kind()) {
    case ControlKind::Frame: return new QGroupBox(&parent);
    case ControlKind::Label: {
        auto* label = new QLabel(&parent);
        label->setTextFormat(Qt::PlainText);  // keeps a caption's leading blank
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::CheckBox: {
        auto& box = static_cast<runtime::CheckBox&>(control);
        auto* widget = new QCheckBox(&parent);
        QObject::connect(widget, &QCheckBox::clicked, widget, [this, &box](bool checked) {
            form_.dispatch([&box, checked] {
                box.set_Value(checked ? runtime::CheckBox::kChecked : runtime::CheckBox::kUnchecked);
            });
            sync(box);
        });
        return widget;
    }
    case ControlKind::OptionButton: {
        auto& option = static_cast<runtime::OptionButton&>(control);
        auto* widget = new QRadioButton(&parent);
        widget->setAutoExclusive(false);  // the controls keep their groups themselves
        QObject::connect(widget, &QRadioButton::clicked, widget, [this, &option] {
            form_.dispatch([&option] { option.choose(); });
            sync(option);
        });
        return widget;
    }
    case ControlKind::TextBox: {
        auto& text_box = static_cast<runtime::TextBox&>(control);
        auto* widget = new QLineEdit(&parent);
        widget->setMaxLength(std::numeric_limits<int>::max());
        // Every change but the control's own (written with signals blocked):
        // typing, and text that assistive technology puts in.
        QObject::connect(widget, &QLineEdit::textChanged, widget, [this, &text_box](const QString& text) {
            const QByteArray utf8 = text.toUtf8();
            form_.dispatch([&text_box, &utf8] { text_box.set_Text(std::string(utf8.constData(), utf8.size())); });
            sync(text_box);
        });
        return widget;
    }
    case ControlKind::CommandButton: {
        auto& button = static_cast<runtime::CommandButton&>(control);
        auto* widget = new QPushButton(&parent);
        // No button answers Enter or Escape unless it has the focus.
        widget->setAutoDefault(false);
        widget->setDefault(false);
        QObject::connect(widget, &QPushButton::clicked, widget, [this, &button] { form_.dispatch([&button] { button.press(); }); });
        return widget;
    }
    default: return new QWidget(&parent);
    }
}

double ControlWidgets::scale_for_captions() const
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

void ControlWidgets::order_tabs()
{
    std::vector<std::pair<int, QWidget*>> stops;
    for (const auto& [control, widget] : widgets_) {
        if (widget->focusPolicy() & Qt::TabFocus) stops.emplace_back(control->TabIndex(), widget);
    }
    std::sort(stops.begin(), stops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
}

void ControlWidgets::sync_all()
{
    for (const auto& [control, widget] : widgets_) sync(*control);
}

void ControlWidgets::sync(const Control& control)
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

}  // namespace pellavin::qt_backend
