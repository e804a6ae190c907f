#include "runtime/qt/invisible_pointer.h"

#include <QBitmap>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace pellavin::qt_backend {
namespace {

class BlankOnEnter final : public QObject {
public:
    explicit BlankOnEnter(QWidget& window)
        : QObject(&window)
        , window_(window)
        , transparent_(transparent_image(), transparent_image())
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Enter) {
            // Setting the same shape again is ignored: go through another
            // cursor that cannot be seen either, so no arrow ever shows.
            window_.setCursor(transparent_);
            window_.setCursor(Qt::BlankCursor);
        }
        return false;
    }

private:
    static QBitmap transparent_image()
    {
        QBitmap bitmap(1, 1);
        bitmap.clear();
        return bitmap;
    }

    QWidget& window_;
    QCursor transparent_;
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
