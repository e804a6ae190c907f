#include "runner/form1.h"
#include "runtime/screen/full_screen.h"

int main()
{
    using namespace pellavin;
    // One record for every game of the process; no key reaches a framework's window.
    runner::GameSettings settings(!screen::given_a_window());
    return screen::run_full_screen(
        "PellavinRun", [&settings](runtime::Platform& platform, runtime::RandomSequence& random) {
            return std::make_unique<runner::Form1>(platform, random, settings);
        });
}
