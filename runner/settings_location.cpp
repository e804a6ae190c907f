#include "runner/settings_location.h"

#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin {
namespace {

namespace fs = std::filesystem;

constexpr char kOwnDirectory[] = "/pellavin";
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

SettingsFile SettingsFile::locate(const std::string& app_path) { return locate(app_path, config_home()); }

SettingsFile SettingsFile::locate(const std::string& app_path, const std::string& config_home)
{
    const std::string directory = real_path(app_path);
    const std::string beside = settings_path(directory);
    if (may_write(directory) || may_write(beside)) return SettingsFile(beside, std::nullopt);
    return SettingsFile(real_path(config_home + kOwnDirectory + "/Settings.dat"), beside);
}

SettingsFile::SettingsFile(std::string path, std::optional<std::string> shared)
    : path_(std::move(path))
    , shared_(std::move(shared))
{
}

std::vector<std::string> SettingsFile::sources() const
{
    if (!shared_) return {path_};
    return {path_, *shared_};
}

SettingsRecord SettingsFile::Load() const
{
    return shared_ ? load_own(false) : SettingsRecord::Load(path_);
}

SettingsRecord SettingsFile::LoadExisting() const
{
    return shared_ ? load_own(true) : SettingsRecord::LoadExisting(path_);
}

SettingsRecord SettingsFile::load_own(bool missing_is_error) const
{
    try {
        return SettingsRecord::LoadExisting(path_);
    } catch (const runtime::RuntimeError& own) {
        // A file of the user's that cannot be read is said, never hidden
        // behind someone else's settings.
        if (present(path_)) throw;
        try {
            return SettingsRecord::LoadExisting(*shared_);
        } catch (const runtime::RuntimeError&) {
            // No administrator's file either: a user who has never stored
            // plays the defaults. One whose own directory cannot even be
            // searched is told, as the panel's store will fail too.
            if (own.number() == runtime::error_number::kFileNotFound && !missing_is_error) return {};
            throw own;
        }
    }
}

void SettingsFile::Store(const SettingsRecord& record) const
{
    if (shared_) make_private_directories(fs::path(path_).parent_path().string());
    record.Store(path_);
}

}  // namespace pellavin
