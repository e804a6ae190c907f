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

// The same start for a program that is to outlive this one, with the
// given environment ("NAME=value" each): it runs in a session of its own,
// so that nothing aimed at this process's terminal or group reaches it, and
// as no child of this process, which never has to reap it. Raises
// RuntimeError when it cannot be started.
void spawn_detached(const std::string& path, const std::vector<std::string>& environment);

// This process's environment as it stands now, "NAME=value" each.
std::vector<std::string> current_environment();

}  // namespace pellavin::runtime
