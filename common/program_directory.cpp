#include "common/program_directory.h"

#include <climits>
#include <unistd.h>

namespace pellavin {

std::string program_directory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string exe(path, static_cast<size_t>(length));
    const size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

}  // namespace pellavin
