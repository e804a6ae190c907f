#include "runner/form1.h"
#include "runtime/screen/full_screen.h"
#include "runtime/screen/screen_platform.h"

#include <cstdio>
#include <dlfcn.h>

namespace {

constexpr char kTitle[] = "PellavinRun";
// Until the runner has a Wayland backend of its own, a Wayland session
// plays on Qt, in a module beside the program that only then is loaded.
constexpr char kQtModule[] = "PellavinRunQt.so";
constexpr char kQtEntry[] = "pellavin_run_on_qt";

int play_through_qt(int argc, char** argv)
{
    const std::string path = pellavin::screen::program_directory() + "/" + kQtModule;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto* run = module != nullptr ? reinterpret_cast<int (*)(int, char**)>(dlsym(module, kQtEntry)) : nullptr;
    if (run == nullptr) {
        std::fprintf(stderr, "%s: cannot play in a Wayland session: %s\n", kTitle, dlerror());
        return 1;
    }
    return run(argc, argv);
}

}  // namespace

int main(int argc, char** argv)
{
    return pellavin::screen::run_full_screen(
        kTitle,
        [](pellavin::runtime::Platform& platform, pellavin::runtime::RandomSequence& random) {
            return std::make_unique<pellavin::runner::Form1>(platform, random);
        },
        [argc, argv] { return play_through_qt(argc, argv); });
}
