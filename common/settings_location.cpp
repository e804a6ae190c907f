#include "common/settings_location.h"

#include "runtime/core/ownership.h"
#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin {
namespace {

namespace fs = std::filesystem;

constexpr char kOwnDirectory[] = "/pellavin";
constexpr char kSystemConfig[] = "/etc/xdg";
constexpr mode_t kPrivateDirectory = 0700;

bool absolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string home_directory()
{
    const char* home = std::getenv("HOME");
    if (absolute(home)) return home;
    const passwd* user = getpwuid(getuid());
    return user && absolute(user->pw_dir) ? user->pw_dir : "";
}

// Links resolved as far as the path exists, so that every message names
// the file itself; as given when even that cannot be found out.
std::string real_path(const std::string& path)
{
    std::error_code error;
    const fs::path real = fs::weakly_canonical(path, error);
    return error || real.empty() ? path : real.string();
}

bool may_write(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

bool present(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The file beside the programs is the user's to keep when they may write
// there and nobody else could replace it: not a link, not another user's,
// in a directory that only they (or root) may change.
bool users_own(const std::string& directory, const std::string& beside)
{
    if (!may_write(directory) && !may_write(beside)) return false;
    if (present(beside) && !runtime::owned_by_user(beside)) return false;
    return runtime::open_to_others(beside).empty();
}

// Programs installed under /usr (by a package, or into /usr/local) are the
// system's: nothing is written there at run time, not even by root, whose
// settings are its own as every user's are.
bool system_installation(const std::string& directory)
{
    return directory == "/usr" || directory.rfind("/usr/", 0) == 0;
}

}  // namespace

void make_private_directories(const std::string& directory)
{
    fs::path path;
    for (const fs::path& part : fs::path(directory)) {
        path /= part;
        if (::mkdir(path.c_str(), kPrivateDirectory) != 0 && errno != EEXIST) {
            throw runtime::os_error(path.string(), errno);
        }
    }
}

std::string config_home()
{
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    return absolute(configured) ? configured : home_directory() + "/.config";
}

std::vector<std::string> config_dirs()
{
    const char* configured = std::getenv("XDG_CONFIG_DIRS");
    if (configured == nullptr || *configured == '\0') return {kSystemConfig};
    std::vector<std::string> directories;
    std::istringstream list(configured);
    for (std::string directory; std::getline(list, directory, ':');) {
        if (absolute(directory.c_str())) directories.push_back(directory);
    }
    return directories;
}

SettingsFile SettingsFile::locate(const std::string& app_path)
{
    return locate(app_path, config_home(), config_dirs());
}

SettingsFile SettingsFile::locate(
    const std::string& app_path, const std::string& config_home, const std::vector<std::string>& config_dirs)
{
    const std::string directory = real_path(app_path);
    const std::string beside = settings_path(directory);
    if (!system_installation(directory) && users_own(directory, beside)) return SettingsFile(beside, {});
    std::vector<std::string> defaults;
    for (const std::string& system : config_dirs) defaults.push_back(system + kOwnDirectory + "/Settings.dat");
    defaults.push_back(beside);
    return SettingsFile(real_path(config_home + kOwnDirectory + "/Settings.dat"), std::move(defaults));
}

SettingsFile::SettingsFile(std::string path, std::vector<std::string> defaults)
    : path_(std::move(path))
    , defaults_(std::move(defaults))
{
}

std::vector<std::string> SettingsFile::sources() const
{
    std::vector<std::string> files = {path_};
    files.insert(files.end(), defaults_.begin(), defaults_.end());
    return files;
}

SettingsRecord SettingsFile::Load() const
{
    return defaults_.empty() ? SettingsRecord::Load(path_) : load_own(false);
}

SettingsRecord SettingsFile::LoadExisting() const
{
    return defaults_.empty() ? SettingsRecord::LoadExisting(path_) : load_own(true);
}

SettingsRecord SettingsFile::load_own(bool missing_is_error) const
{
    try {
        return SettingsRecord::LoadExisting(path_);
    } catch (const runtime::RuntimeError& own) {
        // A file of the user's that cannot be read is said, never hidden
        // behind someone else's settings.
        if (present(path_)) throw;
        // Defaults that another user could have put there are nobody's.
        for (const std::string& administrators : defaults_) {
            if (!runtime::open_to_others(administrators).empty()) continue;
            try {
                return SettingsRecord::LoadExisting(administrators);
            } catch (const runtime::RuntimeError&) {
            }
        }
        // No administrator's file either: a user who has never stored
        // plays the defaults. One whose own directory cannot even be
        // searched is told, as the panel's store will fail too.
        if (own.number() == runtime::error_number::kFileNotFound && !missing_is_error) return {};
        throw own;
    }
}

void SettingsFile::Store(const SettingsRecord& record) const
{
    if (!defaults_.empty()) make_private_directories(fs::path(path_).parent_path().string());
    record.Store(path_);
}

}  // namespace pellavin
