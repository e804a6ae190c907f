#include "runner/form1.h"
#include "runtime/screen/full_screen.h"
#include "runtime/screen/screen_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr char kTitle[] = "PellavinRun";
// Until the runner has a Wayland backend of its own, a Wayland session
// plays on the Qt runner beside it, in this same process.
constexpr char kQtRunner[] = "PellavinRunQt";

int play_through_qt(char** argv)
{
    const std::string path = pellavin::screen::program_directory() + "/" + kQtRunner;
    execv(path.c_str(), argv);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", kTitle, path.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace

int main(int, char** argv)
{
    return pellavin::screen::run_full_screen(
        kTitle,
        [](pellavin::runtime::Platform& platform, pellavin::runtime::RandomSequence& random) {
            return std::make_unique<pellavin::runner::Form1>(platform, random);
        },
        [argv] { return play_through_qt(argv); });
}
