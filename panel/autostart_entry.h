#pragma once

#include <optional>
#include <string>

namespace pellavin::panel {

// The user's autostart entry for the idle watcher: a desktop entry, UTF-8
// lines of keys in groups. It is the user's file: they and their desktop
// may add to it (Hidden=true, a desktop's own keys, comments, translations),
// and the panel changes only the keys it writes itself.

// `current` with the panel's keys set in its [Desktop Entry] group to start
// `watcher`, and every other line as it was. Raises RuntimeError for a path
// that is not UTF-8, which a desktop entry cannot hold.
std::string entry_starting(const std::string& current, const std::string& watcher);

// Whether the entry's Exec starts `watcher`.
bool starts_watcher(const std::string& entry, const std::string& watcher);

// The entry's text; nothing when there is none. Raises RuntimeError naming
// the path when it cannot be read or is too large to be an entry.
std::optional<std::string> read_entry(const std::string& path);

// Writes the entry beside and renames it into place, once it is on the
// disk: a login never reads half an entry, nor an empty one after a crash.
void write_entry(const std::string& path, const std::string& text);

}  // namespace pellavin::panel
