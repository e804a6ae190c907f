#include "runtime/qt/screen_covers.h"

#include "runtime/qt/invisible_pointer.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace pellavin::qt_backend {

// One monitor's cover, filled once.
class CoverWindow final : public QWidget {
public:
    CoverWindow(QScreen* screen, const ScreenCovers::Input& input)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
        , input_(input)
    {
        setObjectName(QStringLiteral("cover"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        hide_pointer(*this);
        setScreen(screen);
        setGeometry(screen->geometry());
        connect(screen, &QScreen::geometryChanged, this, [this](const QRect& geometry) { setGeometry(geometry); });
        showFullScreen();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::black); }

    void keyPressEvent(QKeyEvent* event) override { input_.key_pressed(*event); }
    void mousePressEvent(QMouseEvent*) override { pressed_ = true; }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool clicked = pressed_ && rect().contains(event->position().toPoint());
        pressed_ = false;
        if (clicked) input_.clicked();
    }

private:
    const ScreenCovers::Input& input_;
    bool pressed_ = false;
};

ScreenCovers::ScreenCovers(QWidget& owner, Input input)
    : owner_(owner)
    , input_(std::move(input))
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this] { follow_screens(); });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* screen) {
        covers_.erase(screen);
        follow_screens();
    });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { follow_screens(); });
}

ScreenCovers::~ScreenCovers() = default;

void ScreenCovers::show()
{
    shown_ = true;
    follow_screens();
}

void ScreenCovers::hide()
{
    shown_ = false;
    covers_.clear();
}

std::vector<QWidget*> ScreenCovers::windows() const
{
    std::vector<QWidget*> windows;
    for (const auto& [screen, cover] : covers_) windows.push_back(cover.get());
    return windows;
}

void ScreenCovers::follow_screens()
{
    if (!shown_) return;
    QScreen* game = owner_.screen();
    covers_.erase(game);
    bool added = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != game && covers_.count(screen) == 0) {
            add_cover(screen);
            added = true;
        }
    }
    // A monitor may overlap the game's (a mirrored one, or the whole X screen
    // when it has no monitors of its own): the game stays above its cover.
    if (added) owner_.raise();
}

void ScreenCovers::add_cover(QScreen* screen)
{
    covers_[screen] = std::make_unique<CoverWindow>(screen, input_);
}

}  // namespace pellavin::qt_backend
