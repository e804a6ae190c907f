#include "runtime/qt/title_bar.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace pellavin::qt_backend {
namespace {

// The compositor's offer of server-side decorations (KWin, sway); mutter
// has none.
constexpr char kServerDecorations[] = "zxdg_decoration_manager_v1";
constexpr char kNoToolkitDecorations[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
constexpr int kTitlePadding = 6;

bool own_title_bar = false;

void note_global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    if (std::strcmp(interface, kServerDecorations) == 0) *static_cast<bool*>(data) = true;
}

const wl_registry_listener kRegistryListener = {note_global, [](void*, wl_registry*, uint32_t) {}};

// Whether the compositor WAYLAND_DISPLAY names decorates windows itself;
// true where none answers, as there is nothing to do then.
bool compositor_decorates()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return true;
    bool decorates = false;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &decorates);
    if (wl_display_roundtrip(display) < 0) decorates = true;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return decorates;
}

// Dragged, it moves the window.
class TitleBar final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && window()->windowHandle()) window()->windowHandle()->startSystemMove();
    }
};

}  // namespace

void prepare_title_bar()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool wayland = platform ? std::strncmp(platform, "wayland", 7) == 0 : false;
    if (!wayland || std::getenv(kNoToolkitDecorations) || compositor_decorates()) return;
    setenv(kNoToolkitDecorations, "1", 1);
    own_title_bar = true;
}

bool draws_own_title_bar() { return own_title_bar && QGuiApplication::platformName() == QLatin1String("wayland"); }

TitledWindow::TitledWindow()
    : layout_(new QVBoxLayout(this))
    , title_bar_(new QWidget(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    auto* row = new QHBoxLayout(title_bar_);
    row->setContentsMargins(kTitlePadding, kTitlePadding / 2, kTitlePadding / 2, kTitlePadding / 2);
    auto* title = new TitleBar(title_bar_);
    title->setAlignment(Qt::AlignCenter);
    title->setTextFormat(Qt::PlainText);
    title->setObjectName(QStringLiteral("title"));
    auto* close = new QToolButton(title_bar_);
    close->setText(QStringLiteral("\u2715"));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setAccessibleName(QStringLiteral("Close"));
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    row->addWidget(title, 1);
    row->addWidget(close);
    layout_->addWidget(title_bar_);
}

void TitledWindow::hold(QWidget& form_window)
{
    form_window_ = &form_window;
    form_window.setParent(this);
    layout_->addWidget(&form_window);
}

void TitledWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowTitleChange) {
        title_bar_->findChild<QLabel*>(QStringLiteral("title"))->setText(windowTitle());
    }
    QWidget::changeEvent(event);
}

// The form decides, as for the window's own close box.
void TitledWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (form_window_) form_window_->close();
}

}  // namespace pellavin::qt_backend
