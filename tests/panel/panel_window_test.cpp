#include "panel/form1.h"
#include "runtime/qt/form_window.h"
#include "runtime/qt/qt_platform.h"
#include "tests/panel/loaded_panel.h"
#include "tests/support/directory_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <sstream>

namespace pellavin::panel {
namespace {

using testing::read_file;
using testing::write_file;

const QString kClosingNote =
    "Note: You must set your windows screensaver to (None) so that windows doesn't ignore your settings.";

// A directory name that a shell would split, unquote and run commands from.
constexpr const char* kOddDirectory = "it's a \"panel\"; $(touch pwned) `touch pwned`";

std::string bytes(std::initializer_list<unsigned char> values) { return std::string(values.begin(), values.end()); }

// Answers the panel's real message boxes as they open, and notes what each
// said and what the settings file held at that moment.
class MessageBoxAnswerer {
public:
    struct Seen {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        std::string settings;
    };

    explicit MessageBoxAnswerer(std::string settings_path)
        : settings_path_(std::move(settings_path))
    {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(kPollMilliseconds);
    }

    std::vector<Seen> seen;
    std::deque<QMessageBox::StandardButton> answers;  // OK once it runs dry

private:
    static constexpr int kPollMilliseconds = 5;

    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        seen.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons(), read_file(settings_path_)});
        QMessageBox::StandardButton button = QMessageBox::Ok;
        if (!answers.empty()) {
            button = answers.front();
            answers.pop_front();
        }
        box->button(button)->click();
    }

    std::string settings_path_;
    QTimer poll_;
};

// The panel on real widgets, in a directory of its own whose name is hostile
// to shells; the program's end is recorded instead of taken.
class PanelWindowTest : public ::testing::Test {
protected:
    PanelWindowTest()
    {
        std::filesystem::create_directory(app_dir);
        real.set_end_action([this](int status) { ends.push_back(status); });
    }

    // As the program opens it: load, then show.
    void open()
    {
        window.emplace(form);
        form.load();
        form.set_Visible(true);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*window));
    }

    QWidget* widget(const runtime::Control& control) const { return window->widget_for(control); }
    QLineEdit* text_box() const { return static_cast<QLineEdit*>(widget(form.Text1)); }
    bool checked(const runtime::Control& control) const
    {
        return static_cast<QAbstractButton*>(widget(control))->isChecked();
    }

    // Clicks a button near its left end, where a box's indicator is.
    void click(const runtime::Control& control)
    {
        QWidget* target = widget(control);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(8, target->height() / 2));
    }

    void retype(const QString& text)
    {
        text_box()->setFocus();
        text_box()->selectAll();
        QTest::keyClicks(text_box(), text);
    }

    std::string settings() const { return read_file(settings_path); }

    // After "Enable Random Colors" was checked and the dialog closed.
    void expect_stored_then_noted_once()
    {
        const std::string stored = bytes({0, 0, 0, 0, 0, 0, 10, 0, 1, 0, 0, 0});
        ASSERT_EQ(boxes.seen.size(), 1u);
        const MessageBoxAnswerer::Seen& note = boxes.seen[0];
        EXPECT_EQ(note.text, kClosingNote);
        EXPECT_EQ(note.text.size(), 99);
        EXPECT_EQ(note.title, "Pellavin");
        EXPECT_EQ(note.icon, QMessageBox::Information);
        EXPECT_EQ(note.buttons, QMessageBox::Ok);
        EXPECT_EQ(note.settings, stored) << "the note came before the store";
        EXPECT_EQ(ends, std::vector<int>{0});
        EXPECT_EQ(settings(), stored);
    }

    testing::TempDir dir;
    std::filesystem::path app_dir = dir.path() / kOddDirectory;
    std::string settings_path = (app_dir / "Settings.dat").string();
    std::filesystem::path runner = app_dir / "PellavinRun";
    qt_backend::QtPlatform real{"Pellavin"};
    testing::DirectoryPlatform platform{real, app_dir.string()};
    runtime::ClockSeededRandom random;
    FakeScreensaver screensaver;
    Form1 form{platform, random, screensaver};
    MessageBoxAnswerer boxes{settings_path};
    std::optional<qt_backend::FormWindow> window;
    std::vector<int> ends;
};

TEST_F(PanelWindowTest, IsAFixedDialogWithACloseBoxOnly)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Pellavin Control Panel");
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    // Scaled as a whole: the dialog keeps its proportions.
    EXPECT_NEAR(window->width() * window->twips_per_pixel(), 4395, window->twips_per_pixel());
    EXPECT_NEAR(window->height() * window->twips_per_pixel(), 3690, window->twips_per_pixel());
}

TEST_F(PanelWindowTest, NoCaptionIsClipped)
{
    open();
    for (const runtime::Control* control : form.controls()) {
        QWidget* shown = widget(*control);
        if (!control->shown()) continue;
        const QFontMetrics metrics(shown->font());
        int need = 0;
        if (auto* box = qobject_cast<QCheckBox*>(shown)) need = box->sizeHint().width();
        if (auto* option = qobject_cast<QRadioButton*>(shown)) need = option->sizeHint().width();
        if (auto* button = qobject_cast<QPushButton*>(shown)) {
            need = metrics.horizontalAdvance(button->text()) + 2 * shown->style()->pixelMetric(QStyle::PM_ButtonMargin);
        }
        if (auto* frame = qobject_cast<QGroupBox*>(shown)) need = metrics.horizontalAdvance(frame->title());
        if (auto* label = qobject_cast<QLabel*>(shown)) need = metrics.horizontalAdvance(label->text());
        EXPECT_LE(need, shown->width()) << control->name();
        EXPECT_LE(metrics.height(), shown->height()) << control->name();
    }
}

TEST_F(PanelWindowTest, EveryControlHasAnAccessibleName)
{
    open();
    const std::pair<const runtime::Control*, QString> names[] = {{&form.Frame1, "Screensaver"},
        {&form.Option1, "Pong"}, {&form.Frame2, "Screensaver Settings"}, {&form.Check1, "Autoplay"},
        {&form.Check2, "Resume on Mouse Click"}, {&form.Check3, "Enable Random Colors"},
        {&form.Command3, "Preview"}, {&form.Frame3, "Time Delay"}, {&form.Option3, "5 Minutes"},
        {&form.Option4, "10 Minutes"}, {&form.Option5, "30 Minutes"}, {&form.Option6, "Custom"},
        {&form.Text1, "Custom delay in minutes"}, {&form.Label1, " Minutes"}, {&form.Command1, "Close"},
        {&form.Check4, "Enable Screensaver"}, {&form.Command2, "Save"}};
    for (const auto& [control, name] : names) EXPECT_EQ(widget(*control)->accessibleName(), name) << control->name();
    const QWidget* bricks = widget(form.Option2);
    EXPECT_TRUE(bricks == nullptr || !bricks->isVisible());
}

TEST_F(PanelWindowTest, WorksFromTheKeyboardInTheTabOrderAndIgnoresEnterAndEscape)
{
    open();
    widget(form.Option1)->setFocus();
    std::vector<QString> order;
    for (int i = 0; i < 13; ++i) {
        order.push_back(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<QString>{"Option1", "Command1", "Command2", "Option3", "Option4", "Option5",
                         "Option6", "Text1", "Check1", "Check2", "Check3", "Command3", "Check4"}));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Option1") << "the order wraps around";

    widget(form.Option5)->setFocus();
    QTest::keyClick(widget(form.Option5), Qt::Key_Space);
    widget(form.Check1)->setFocus();
    QTest::keyClick(widget(form.Check1), Qt::Key_Space);
    EXPECT_EQ(form.Settings.DelayMinutes, 30);
    EXPECT_EQ(form.Settings.NoAutoplay, -1);

    QWidget* save = widget(form.Command2);
    save->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(save, key);
    QTest::keyClick(text_box(), Qt::Key_Escape);
    EXPECT_EQ(settings(), "") << "Enter pressed a button";
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_TRUE(ends.empty());

    QTest::keyClick(save, Qt::Key_Space);
    EXPECT_EQ(settings(), bytes({0, 0, 0xFF, 0xFF, 0, 0, 30, 0, 0, 0, 0, 0}));
}

TEST_F(PanelWindowTest, SaveWritesExactlyTheTwelveBytesOfTheEdits)
{
    open();
    click(form.Check1);
    click(form.Option5);
    click(form.Command2);
    EXPECT_EQ(settings(), bytes({0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_TRUE(window->isVisible());

    click(form.Check1);
    EXPECT_TRUE(checked(form.Check1));
    EXPECT_EQ(form.Settings.NoAutoplay, 0);
}

TEST_F(PanelWindowTest, TypingSetsTheDelayAtEveryKeystrokeThatConverts)
{
    open();
    text_box()->setFocus();
    QTest::keyClick(text_box(), Qt::Key_End);
    QTest::keyClick(text_box(), Qt::Key_Backspace);
    EXPECT_EQ(form.Text1.Text(), "1");
    EXPECT_EQ(form.Settings.DelayMinutes, 1);
    QTest::keyClick(text_box(), Qt::Key_Backspace);
    EXPECT_EQ(form.Text1.Text(), "");
    EXPECT_EQ(form.Settings.DelayMinutes, 1) << "erasing \"15\" leaves the last value that converted";
    QTest::keyClicks(text_box(), "abc");
    EXPECT_EQ(form.Settings.DelayMinutes, 1);
    retype("13.5");
    EXPECT_EQ(form.Settings.DelayMinutes, 14);
    EXPECT_TRUE(checked(form.Option4)) << "typing leaves the selected option alone";
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(PanelWindowTest, CustomAfterThirtyMinutesTakesTheText)
{
    open();
    click(form.Option5);
    EXPECT_EQ(form.Settings.DelayMinutes, 30);
    click(form.Option6);
    EXPECT_EQ(form.Settings.DelayMinutes, 15);
    EXPECT_TRUE(checked(form.Option6));
    EXPECT_FALSE(checked(form.Option5));
}

TEST_F(PanelWindowTest, TypingWhileFiveMinutesIsSelectedKeepsItSelected)
{
    open();
    click(form.Option3);
    retype("42");
    EXPECT_EQ(form.Settings.DelayMinutes, 42);
    EXPECT_TRUE(checked(form.Option3));
    EXPECT_TRUE(form.Option3.Value());
    EXPECT_FALSE(form.Option6.Value());
}

// Text that cannot be a delay, however much of it and whatever its bytes:
// the box takes it as it is, the dialog stays, and the delay (and what
// Save stores) is the last value that converted.
TEST_F(PanelWindowTest, TheTextBoxTakesAnyTextAndKeepsTheLastDelayThatConverted)
{
    // Every control byte, then malformed UTF-8: a stray continuation byte,
    // a lead byte without its continuation, an encoded surrogate, 0xFF.
    QByteArray binary;
    for (char byte = 0x00; byte < 0x20; ++byte) binary.append(byte);
    binary.append("\x80\xC3\x28\xED\xA0\x80\xFF", 7);
    const auto paste_at_end = [&](const QByteArray& text) {
        auto* pasted = new QMimeData;
        pasted->setData("text/plain", text);
        QApplication::clipboard()->setMimeData(pasted);
        text_box()->setFocus();
        QTest::keyClick(text_box(), Qt::Key_End);
        QTest::keyClick(text_box(), Qt::Key_V, Qt::ControlModifier);
    };
    struct Case {
        const char* name;
        std::function<void()> edit;
        int min_text_length;  // in the box, after the edit: it took the edit
        int16_t delay;
    };
    const Case cases[] = {
        // Typed up to the largest delay, then far past it in one paste (a
        // key at a time takes the toolkit most of a minute).
        {"ten thousand digits", [&] { retype("10000"); paste_at_end(QByteArray(9995, '0')); }, 10000, 10000},
        {"binary pasted after 42", [&] { paste_at_end(binary); }, 2 + 32 + 1, 42},
        {"a minus alone", [&] { retype("-"); }, 1, 42},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        retype("42");
        c.edit();
        EXPECT_GE(text_box()->text().size(), c.min_text_length) << text_box()->text().left(50).toStdString();
        EXPECT_EQ(QString::fromStdString(form.Text1.Text()), text_box()->text()) << "the box and its control differ";
        EXPECT_EQ(form.Settings.DelayMinutes, c.delay);
        click(form.Command2);
        const std::string stored = settings();
        ASSERT_EQ(stored.size(), 12u);
        EXPECT_EQ(static_cast<unsigned char>(stored[6]) | static_cast<unsigned char>(stored[7]) << 8,
            static_cast<uint16_t>(c.delay));
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_TRUE(ends.empty());
}

TEST_F(PanelWindowTest, CustomWithLettersKeepsTheDelayOfTheOptionBefore)
{
    open();
    click(form.Option3);
    retype("abc");
    click(form.Option6);
    EXPECT_TRUE(checked(form.Option6));
    EXPECT_FALSE(checked(form.Option3));
    EXPECT_EQ(form.Settings.DelayMinutes, 5);
}

TEST_F(PanelWindowTest, CloseStoresThenShowsTheNoteOnce)
{
    open();
    click(form.Check3);
    click(form.Command1);
    expect_stored_then_noted_once();
}

TEST_F(PanelWindowTest, TheCloseBoxStoresThenShowsTheNoteOnce)
{
    open();
    click(form.Check3);
    window->close();
    expect_stored_then_noted_once();
}

// What a stand-in runner reported: its arguments and the settings it found.
struct RunnerReport {
    std::vector<std::string> argv;
    std::string settings;
};

RunnerReport read_report(const std::filesystem::path& path)
{
    std::istringstream in(read_file(path.string()));
    int argc = 0;
    in >> argc;
    in.ignore(1);
    RunnerReport report;
    for (int i = 0; i < argc; ++i) std::getline(in, report.argv.emplace_back());
    report.settings.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return report;
}

TEST_F(PanelWindowTest, PreviewStoresThenStartsTheRunnerBesideIt)
{
    std::filesystem::copy_file(FAKE_RUNNER, runner);
    open();
    click(form.Check3);
    click(form.Command3);
    const std::filesystem::path report = app_dir / "ran.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(report); }, 10000));
    const RunnerReport ran = read_report(report);
    EXPECT_EQ(ran.argv, std::vector<std::string>{runner.string()}) << "no arguments";
    EXPECT_EQ(ran.settings, bytes({0, 0, 0, 0, 0, 0, 10, 0, 1, 0, 0, 0})) << "the runner saw stale settings";
    for (const auto& place : {std::filesystem::current_path(), dir.path(), app_dir}) {
        EXPECT_FALSE(std::filesystem::exists(place / "pwned")) << "a shell ran part of the directory name";
    }
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ends.empty());
}

TEST_F(PanelWindowTest, PreviewWithoutARunnableRunnerSaysWhereItLookedAndStaysOpen)
{
    open();
    click(form.Check3);
    click(form.Command3);  // no runner at all
    write_file(runner.string(), "#!/bin/sh\n");
    std::filesystem::permissions(runner, std::filesystem::perms::owner_read);
    click(form.Command3);  // a runner that may not be run

    ASSERT_EQ(boxes.seen.size(), 2u);
    for (const auto& [box, reason] : {std::pair{boxes.seen[0], "No such file"}, std::pair{boxes.seen[1], "denied"}}) {
        EXPECT_TRUE(box.text.contains("could not be started")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromStdString(runner.string()))) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(reason)) << box.text.toStdString();
        EXPECT_EQ(box.settings, bytes({0, 0, 0, 0, 0, 0, 10, 0, 1, 0, 0, 0})) << "stored before the start";
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ends.empty());
}

TEST_F(PanelWindowTest, AFailingStoreOnClosingAsksWhetherToCloseAnyway)
{
    open();
    click(form.Check3);
    std::filesystem::remove(settings_path);
    std::filesystem::create_directory(settings_path);

    boxes.answers = {QMessageBox::No};
    click(form.Command1);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_TRUE(boxes.seen[0].text.contains(QString::fromStdString(settings_path)));
    EXPECT_TRUE(boxes.seen[0].text.contains("Is a directory")) << boxes.seen[0].text.toStdString();
    EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(checked(form.Check3)) << "the edit was lost";
    EXPECT_TRUE(ends.empty());

    boxes.answers = {QMessageBox::Yes};
    window->close();
    ASSERT_EQ(boxes.seen.size(), 3u);
    EXPECT_EQ(boxes.seen[1].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(boxes.seen[2].text, kClosingNote);
    EXPECT_EQ(ends, std::vector<int>{0});
}

}  // namespace
}  // namespace pellavin::panel
