#pragma once

#include <string>
#include <sys/types.h>

namespace pellavin::runtime {

// Starts the program at `path` with its path as its only argument, without
// a shell, and returns its process id at once. The program starts with the
// usual signal dispositions and no signal blocked, whatever this process
// has set for itself. Raises RuntimeError when it cannot be started.
pid_t spawn_program(const std::string& path);

}  // namespace pellavin::runtime
