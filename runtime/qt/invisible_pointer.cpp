#include "runtime/qt/invisible_pointer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace pellavin::qt_backend {
namespace {

class BlankOnEnter final : public QObject {
public:
    explicit BlankOnEnter(QWidget& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Enter) {
            // Setting the same shape again is ignored: clear it first. Both
            // requests leave together, before the compositor draws again.
            window_.unsetCursor();
            window_.setCursor(Qt::BlankCursor);
        }
        return false;
    }

private:
    QWidget& window_;
};

}  // namespace

void hide_pointer(QWidget& window)
{
    window.setCursor(Qt::BlankCursor);
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        window.installEventFilter(new BlankOnEnter(window));
    }
}

}  // namespace pellavin::qt_backend
