#pragma once

#include <string>

namespace pellavin::runtime {

// Why a user other than this one could change what the absolute `path`
// names, or put something else in its place; empty when only this user and
// root could. Taken as it stands, from the root down: a link on the way,
// anything another user owns, or anything others (group or world) may write
// is such a reason, except that a sticky directory (as /tmp) shields what
// lies further below it than its own entries. A missing last part is fine:
// only the directory it would go in decides who could put it there.
std::string open_to_others(const std::string& path);

// Whether this user owns what `path` names itself, not a link to it.
bool owned_by_user(const std::string& path);

}  // namespace pellavin::runtime
