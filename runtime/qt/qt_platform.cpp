#include "runtime/qt/qt_platform.h"

#include "common/program_directory.h"
#include "runtime/core/runtime_error.h"
#include "runtime/core/spawn.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace pellavin::qt_backend {
namespace {

constexpr double kTwipsPerInch = 1440.0;

QMessageBox::Icon icon_for(int style)
{
    switch (style & runtime::msg_box::kIconMask) {
    case runtime::msg_box::kCritical: return QMessageBox::Critical;
    case runtime::msg_box::kQuestion: return QMessageBox::Question;
    case runtime::msg_box::kExclamation: return QMessageBox::Warning;
    case runtime::msg_box::kInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Started programs are never waited for: let the system reap them, so that
// no finished runner lingers as a zombie beside the panel.
void never_wait_for_children()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    action.sa_flags = SA_NOCLDWAIT;
    sigemptyset(&action.sa_mask);
    sigaction(SIGCHLD, &action, nullptr);
}

}  // namespace

QtPlatform::QtPlatform(std::string title)
    : title_(std::move(title))
    , end_action_([](int status) { std::_Exit(status); })
{
}

std::string QtPlatform::app_path() const
{
    return program_directory();
}

double QtPlatform::screen_twips_per_pixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return kTwipsPerInch / screen->logicalDotsPerInch();
}

float QtPlatform::screen_width() const
{
    return static_cast<float>(QGuiApplication::primaryScreen()->geometry().width() * screen_twips_per_pixel());
}

float QtPlatform::screen_height() const
{
    return static_cast<float>(QGuiApplication::primaryScreen()->geometry().height() * screen_twips_per_pixel());
}

int QtPlatform::show_message(const std::string& prompt, int style, const std::string& title)
{
    const bool yes_no = (style & runtime::msg_box::kButtonsMask) == runtime::msg_box::kYesNo;
    QMessageBox box(icon_for(style), QString::fromStdString(title), QString::fromStdString(prompt),
        yes_no ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    const int pressed = box.exec();
    if (!yes_no) return runtime::msg_box::kOk;
    return pressed == QMessageBox::Yes ? runtime::msg_box::kYes : runtime::msg_box::kNo;
}

void QtPlatform::start_program(const std::string& path)
{
    never_wait_for_children();
    runtime::spawn_program(path);
}

void QtPlatform::end(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    end_action_(status);
}

}  // namespace pellavin::qt_backend
