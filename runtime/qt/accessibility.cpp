#include "runtime/qt/accessibility.h"

#include "runtime/qt/form_window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QRadioButton>

namespace pellavin::qt_backend {
namespace {

// A check box or an option button bound to its control. The toolkit reads
// a checkable button whose exclusivity it does not keep as a check box,
// and its toggle action flips the widget behind the control's back; here
// the role is the control's own and every action is a click, which the
// control hears.
class BoundButton final : public QAccessibleWidget {
public:
    BoundButton(QAbstractButton* button, QAccessible::Role role)
        : QAccessibleWidget(button, role)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled()) {
            names << toggleAction();
            if (role() == QAccessible::CheckBox) names << pressAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name != toggleAction() && name != pressAction()) {
            QAccessibleWidget::doAction(name);
        } else if (button()->isEnabled()) {
            button()->click();
        }
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* describe(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String("QRadioButton")) {
        return new BoundButton(static_cast<QRadioButton*>(object), QAccessible::RadioButton);
    }
    if (class_name == QLatin1String("QCheckBox")) {
        return new BoundButton(static_cast<QCheckBox*>(object), QAccessible::CheckBox);
    }
    // The window has no class of its own in the toolkit's eyes: it is
    // asked about as a plain widget. Where the dialog draws its own title
    // bar, the window that holds both is the dialog.
    if (class_name == QLatin1String("QWidget")) {
        auto* window = dynamic_cast<FormWindow*>(object);
        if (window != nullptr && window->is_dialog() && window->isWindow()) {
            return new QAccessibleWidget(window, QAccessible::Dialog);
        }
        if (auto* frame = dynamic_cast<TitledWindow*>(object)) return new QAccessibleWidget(frame, QAccessible::Dialog);
    }
    return nullptr;
}

}  // namespace

void describe_form_widgets()
{
    QAccessible::installFactory(describe);
}

}  // namespace pellavin::qt_backend
