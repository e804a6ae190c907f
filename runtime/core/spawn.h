#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace pellavin::runtime {

// Starts the program at `path` with its path as its first argument and
// then `arguments`, without a shell, and returns its process id at once.
// The program starts with the usual signal dispositions and no signal
// blocked, whatever this process has set for itself. Raises RuntimeError
// when it cannot be started.
pid_t spawn_program(const std::string& path, const std::vector<std::string>& arguments = {});

}  // namespace pellavin::runtime
