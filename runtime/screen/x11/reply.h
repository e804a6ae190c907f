#pragma once

#include <cstdlib>
#include <memory>

namespace pellavin::screen {

// A reply of the X server, as xcb hands it over: freed when it goes.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

}  // namespace pellavin::screen
