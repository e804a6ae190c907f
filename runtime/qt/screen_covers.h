#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QKeyEvent;
class QScreen;
class QWidget;

namespace pellavin::qt_backend {

class CoverWindow;

// Plain black windows over every monitor but the one the game's window
// covers, with the pointer hidden. They belong to that window: a key pressed
// or a click made on a cover is the window's own, they follow monitors as
// they are added and removed, and they go when it ends.
class ScreenCovers final : public QObject {
public:
    struct Input {
        std::function<void(QKeyEvent&)> key_pressed;
        std::function<void()> clicked;
    };

    ScreenCovers(QWidget& owner, Input input);
    ~ScreenCovers() override;

    // Covers every monitor but the owner's, now and as monitors change.
    void show();
    // Takes every cover away, for good.
    void hide();

    std::vector<QWidget*> windows() const;

private:
    void follow_screens();
    void add_cover(QScreen* screen);

    QWidget& owner_;
    Input input_;
    bool shown_ = false;
    std::map<QScreen*, std::unique_ptr<CoverWindow>> covers_;
};

}  // namespace pellavin::qt_backend
