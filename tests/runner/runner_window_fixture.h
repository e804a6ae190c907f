#pragma once

#include "runner/form1.h"
#include "runtime/qt/form_window.h"
#include "runtime/qt/qt_platform.h"
#include "tests/support/directory_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QTest>

#include <optional>
#include <vector>

namespace pellavin::runner {

// The runner's real window on the test's platform, started with the given
// settings in a directory of its own. Ending the program is recorded.
class RunnerWindowFixture : public ::testing::Test {
protected:
    void open(const SettingsRecord& settings)
    {
        real.set_end_action([this](int status) { ends.push_back(status); });
        settings.Store(dir.file("Settings.dat"));
        window.emplace(form);
        form.load();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*window));
    }

    testing::TempDir dir;
    qt_backend::QtPlatform real{"PellavinRun"};
    testing::DirectoryPlatform platform{real, dir.path().string()};
    runtime::ClockSeededRandom random;
    Form1 form{platform, random};
    std::optional<qt_backend::FormWindow> window;
    std::vector<int> ends;
};

}  // namespace pellavin::runner
