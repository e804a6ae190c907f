#include "runtime/core/form.h"
#include "runtime/core/timer.h"
#include "tests/support/recording_platform.h"
#include "tests/support/scripted_random.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellavin::runtime {
namespace {

class DispatchForm : public Form {
public:
    DispatchForm(Platform& platform, RandomSequence& random)
        : Form(platform, random, {})
        , T1(*this, "T1", nullptr, 1)
        , T2(*this, "T2", nullptr, 1)
        , T3(*this, "T3", nullptr, 1)
    {
        for (Timer* timer : {&T1, &T2, &T3}) {
            timer->on_timer = [this, timer] {
                log.push_back(timer->name());
                if (timer == end_in) End();
            };
        }
    }

    Timer T1, T2, T3;
    Timer* end_in = nullptr;
    int16_t cancel_unload = 0;
    std::vector<std::string> log;

    using Form::End;
    using Form::skip_on_error;

protected:
    void Form_Load() override { log.push_back("load"); }
    void Form_Click() override { log.push_back("click"); }
    void Form_Unload(int16_t& Cancel) override
    {
        log.push_back("unload");
        Cancel = cancel_unload;
    }
};

class DispatchTest : public ::testing::Test {
protected:
    testing::RecordingPlatform platform;
    testing::ScriptedRandom random;
    DispatchForm form{platform, random};
};

TEST_F(DispatchTest, ATickFiresEveryEnabledTimerOnceInCreationOrder)
{
    form.T3.set_Enabled(true);
    form.T1.set_Enabled(true);
    form.tick();
    form.tick();
    EXPECT_EQ(form.log, (std::vector<std::string>{"T1", "T3", "T1", "T3"}));
}

TEST_F(DispatchTest, AnUntrappedErrorIsShownAndEndsTheProgram)
{
    platform.title = "PellavinRun";
    form.T1.set_Enabled(true);
    form.dispatch([] { throw RuntimeError(error_number::kFileNotFound, "/x/Settings.dat: No such file or directory"); });

    ASSERT_EQ(platform.messages.size(), 1u);
    const auto& box = platform.messages[0];
    EXPECT_EQ(box.title, "PellavinRun");
    EXPECT_EQ(box.style, msg_box::kCritical);
    EXPECT_NE(box.prompt.find("Run-time error '53'"), std::string::npos) << box.prompt;
    EXPECT_NE(box.prompt.find("File not found"), std::string::npos) << box.prompt;
    EXPECT_NE(box.prompt.find("/x/Settings.dat: No such file or directory"), std::string::npos) << box.prompt;
    ASSERT_EQ(platform.error_lines.size(), 1u);
    EXPECT_EQ(platform.error_lines[0].rfind("PellavinRun: Run-time error '53': File not found", 0), 0u)
        << platform.error_lines[0];
    EXPECT_EQ(platform.ends, (std::vector<int>{Form::kErrorExitStatus}));

    // Nothing runs after the end.
    form.tick();
    EXPECT_FALSE(form.click());
    EXPECT_TRUE(form.log.empty());
    EXPECT_EQ(platform.ends.size(), 1u);
}

TEST_F(DispatchTest, EndAbandonsTheHandlerAndStopsEverythingAfterIt)
{
    bool went_on = false;
    form.dispatch([&] {
        form.End();
        went_on = true;
    });
    EXPECT_FALSE(went_on);
    EXPECT_EQ(platform.ends, (std::vector<int>{0}));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(form.click());
    EXPECT_TRUE(form.log.empty()) << "no unload and no click after the end";
}

TEST_F(DispatchTest, EndInATimerStopsTheRestOfThatTick)
{
    for (Timer* t : {&form.T1, &form.T2, &form.T3}) t->set_Enabled(true);
    form.end_in = &form.T2;
    form.tick();
    form.tick();
    EXPECT_EQ(form.log, (std::vector<std::string>{"T1", "T2"}));
    EXPECT_EQ(platform.ends, (std::vector<int>{0}));
}

TEST_F(DispatchTest, ASkippedStatementLetsTheNextOneRun)
{
    std::vector<int> ran;
    form.dispatch([&] {
        DispatchForm::skip_on_error([&] { throw RuntimeError(error_number::kTypeMismatch); });
        ran.push_back(2);
    });
    EXPECT_EQ(ran, (std::vector<int>{2}));
    EXPECT_TRUE(platform.ends.empty());
}

TEST_F(DispatchTest, AnEventArrivingWhileAHandlerRunsIsDropped)
{
    form.dispatch([&] { EXPECT_FALSE(form.click()); });
    EXPECT_TRUE(form.log.empty());
    EXPECT_TRUE(form.click());
    EXPECT_EQ(form.log, (std::vector<std::string>{"click"}));
}

TEST_F(DispatchTest, ClosingRaisesUnloadAndEndsUnlessCancelled)
{
    form.cancel_unload = -1;
    form.close();
    EXPECT_TRUE(platform.ends.empty());
    EXPECT_FALSE(form.ended());

    form.cancel_unload = 0;
    form.close();
    EXPECT_EQ(form.log, (std::vector<std::string>{"unload", "unload"}));
    EXPECT_EQ(platform.ends, (std::vector<int>{0}));
    EXPECT_TRUE(form.ended());
}

TEST_F(DispatchTest, LoadRunsFormLoad)
{
    form.load();
    EXPECT_EQ(form.log, (std::vector<std::string>{"load"}));
}

}  // namespace
}  // namespace pellavin::runtime
