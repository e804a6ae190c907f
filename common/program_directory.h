#pragma once

#include <string>

namespace pellavin {

// The real directory of the running program, links resolved: the three
// programs stand in one directory and find each other and their settings
// there, however they were started. "." when the kernel cannot say.
std::string program_directory();

}  // namespace pellavin
