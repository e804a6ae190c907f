#pragma once

#include "runtime/core/form.h"
#include "runtime/core/random.h"
#include "runtime/qt/qt_platform.h"

#include <QApplication>

#include <string>

namespace pellavin::qt_backend {

// What both programs' main() share: the Qt application, the platform, the
// program's one random sequence, and the running of its start-up form.
class Application {
public:
    Application(int& argc, char** argv, const std::string& program_name);

    QtPlatform& platform() { return platform_; }
    runtime::RandomSequence& random() { return random_; }

    // Loads the form, shows it unless its load ended the program, and runs
    // the event loop until the program ends.
    int run(runtime::Form& form);

private:
    QApplication app_;
    QtPlatform platform_;
    runtime::ClockSeededRandom random_;
};

}  // namespace pellavin::qt_backend
