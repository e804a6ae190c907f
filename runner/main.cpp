#include "runner/form1.h"
#include "runtime/screen/full_screen.h"

int main()
{
    return pellavin::screen::run_full_screen("PellavinRun",
        [](pellavin::runtime::Platform& platform, pellavin::runtime::RandomSequence& random) {
            return std::make_unique<pellavin::runner::Form1>(platform, random);
        });
}
