#pragma once

#include "common/settings.h"

#include <string>
#include <vector>

namespace pellavin {

// The user's configuration directory: XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config.
std::string config_home();

// The system's configuration directories, most important first: the
// absolute ones of XDG_CONFIG_DIRS, or /etc/xdg when it is unset or empty.
std::vector<std::string> config_dirs();

// Makes each missing directory on the way to `directory`, private to the
// user (0700), as their configuration is nobody else's business. Raises
// RuntimeError naming the directory that could not be made.
void make_private_directories(const std::string& directory);

// The Settings.dat that a user's programs read and the panel writes.
//
// The record lives beside the programs, in their real directory, when that
// is the user's: they may write there (or the Settings.dat already there),
// and no other user could replace what is there; never under /usr, where
// the system's programs stand. Otherwise each user has a
// file of their own under their configuration directory; until they first
// store one, an administrator's file stands in for it: the first of the
// system's configuration directories that holds one, else the one beside
// the programs.
class SettingsFile {
public:
    static SettingsFile locate(const std::string& app_path);
    static SettingsFile locate(
        const std::string& app_path, const std::string& config_home, const std::vector<std::string>& config_dirs);

    // The file the panel stores into.
    const std::string& path() const { return path_; }
    // Every file whose change can change what the load reads.
    std::vector<std::string> sources() const;

    // The runner's and the panel's load: in the programs' own directory a
    // missing file is created empty, as it always was; a user's own file is
    // never created by a load, and while it is missing the record is the
    // administrator's, else the defaults.
    SettingsRecord Load() const;
    // The watcher's load, which creates nothing anywhere: a missing file is
    // an error (File not found) naming the file the panel would store into.
    SettingsRecord LoadExisting() const;
    // The panel's store. A user's own file gets its directory, private to
    // them, the first time.
    void Store(const SettingsRecord& record) const;

private:
    SettingsFile(std::string path, std::vector<std::string> defaults);
    SettingsRecord load_own(bool missing_is_error) const;

    std::string path_;
    std::vector<std::string> defaults_;  // the administrator's, in order, when the user has a file of their own
};

}  // namespace pellavin
