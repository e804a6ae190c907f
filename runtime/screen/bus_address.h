#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where the session bus listens, as its address tells the game.
namespace pellavin::screen::bus {

// A local socket a bus listens on: a path, or a name in the abstract
// namespace (without its leading NUL).
struct Address {
    std::string path;
    bool abstract = false;

    bool operator==(const Address&) const = default;
};

// The addresses in `text` (DBUS_SESSION_BUS_ADDRESS) that a client can
// connect to, in their order; any other kind is left out.
std::vector<Address> parse_addresses(std::string_view text);

}  // namespace pellavin::screen::bus
