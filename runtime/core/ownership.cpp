#include "runtime/core/ownership.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pellavin::runtime {

std::string open_to_others(const std::string& path)
{
    std::vector<std::filesystem::path> steps;
    std::filesystem::path step;
    for (const std::filesystem::path& part : std::filesystem::path(path).lexically_normal()) {
        if (part.empty()) continue;  // a trailing slash
        step /= part;
        steps.push_back(step);
    }
    const uid_t user = getuid();
    for (size_t at = 0; at < steps.size(); ++at) {
        const std::string name = steps[at].string();
        const bool last = at + 1 == steps.size();
        struct stat info {};
        if (::lstat(name.c_str(), &info) != 0) {
            if (errno == ENOENT && last) return {};
            return name + ": " + std::strerror(errno);
        }
        if (S_ISLNK(info.st_mode)) return name + ": a link";
        if (info.st_uid != user && info.st_uid != 0) return name + ": another user's";
        // Others may add to a sticky directory but replace only their own
        // entries in it: it is safe on the way, not as the item's own directory.
        const bool shields = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) && at + 2 < steps.size();
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) && !shields) return name + ": others may write it";
    }
    return {};
}

bool owned_by_user(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && info.st_uid == getuid();
}

}  // namespace pellavin::runtime
