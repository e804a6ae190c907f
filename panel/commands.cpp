#include "panel/form1.h"

namespace pellavin::panel {
namespace {

namespace msg_box = runtime::msg_box;

constexpr const char* kClosingNote =
    "Note: You must set your windows screensaver to (None) so that windows doesn't ignore your settings.";
constexpr const char* kRunnerName = "/PellavinRun";
constexpr int16_t kKeepOpen = -1;

std::string store_failure(const runtime::RuntimeError& error)
{
    return "The settings could not be saved:\n\n" + error.detail();
}

}  // namespace

// The record goes where this user's settings live; then the session follows
// "Enable Screensaver". Raises only when the record could not be stored.
void Form1::store()
{
    SettingsFile::locate(App.Path()).Store(Settings);
    switch_screensaver();
}

// A session that cannot follow is said, and nothing else is lost: the
// record stays stored and the dialog goes on. What is merely worth knowing
// goes to stderr, once, never into a box the user must dismiss.
void Form1::switch_screensaver()
{
    const bool enabled = Settings.NoScreensaver == 0;
    const SwitchOutcome outcome = screensaver_.set_enabled(enabled);
    if (!outcome.note.empty() && !noted_) {
        platform().write_error_line(App.Title() + ": " + outcome.note);
        noted_ = true;
    }
    if (outcome.problems.empty()) return;
    std::string prompt = std::string("The screensaver could not be switched ") + (enabled ? "on" : "off")
        + " for your session:\n";
    for (const std::string& problem : outcome.problems) prompt += "\n" + problem;
    MsgBox(prompt + "\n\nThe settings were saved.", msg_box::kExclamation);
}

// A failed store is said plainly and the dialog stays open with the user's
// edits, so they can free the file and try again.
bool Form1::store_or_say_why()
{
    try {
        store();
        return true;
    } catch (const runtime::RuntimeError& error) {
        MsgBox(store_failure(error), msg_box::kExclamation);
        return false;
    }
}

void Form1::Command2_Click() { store_or_say_why(); }

void Form1::Command3_Click()
{
    // A runner started after a failed store would play stale settings.
    if (!store_or_say_why()) return;
    const std::string runner = App.Path() + kRunnerName;
    try {
        Shell(runner);
    } catch (const runtime::RuntimeError& error) {
        MsgBox("The game could not be started. It was looked for here:\n\n" + error.detail(),
            msg_box::kExclamation);
    }
}

void Form1::Command1_Click() { Unload(); }

void Form1::Form_Unload(int16_t& Cancel)
{
    try {
        store();
    } catch (const runtime::RuntimeError& error) {
        const int answer = MsgBox(store_failure(error) + "\n\nClose anyway, without saving the settings shown?",
            msg_box::kYesNo | msg_box::kExclamation);
        if (answer != msg_box::kYes) {
            Cancel = kKeepOpen;
            return;
        }
    }
    MsgBox(kClosingNote, msg_box::kInformation);
}

}  // namespace pellavin::panel
