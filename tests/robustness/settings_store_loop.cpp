// Stores the two loop records in turn, second first, into the settings file
// named on the command line until it is killed.
#include "tests/robustness/store_loop_records.h"

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    for (;;) {
        pellavin::testing::kLoopSecond.Store(argv[1]);
        pellavin::testing::kLoopFirst.Store(argv[1]);
    }
}
