#include "runtime/screen/bus_address.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sys/un.h>

namespace pellavin::screen::bus {
namespace {

constexpr size_t kMaxSocketPath = sizeof(sockaddr_un{}.sun_path) - 1;
constexpr int kHexBase = 16;
constexpr size_t kEscapeSize = 3;  // %XX

// An address value with its %XX escapes undone; nothing when one is broken.
std::optional<std::string> unescape(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out += value[i];
            continue;
        }
        const char* digits = value.data() + i + 1;
        unsigned byte = 0;
        if (value.size() - i < kEscapeSize
            || std::from_chars(digits, digits + 2, byte, kHexBase).ptr != digits + 2) {
            return std::nullopt;
        }
        out += static_cast<char>(byte);
        i += kEscapeSize - 1;
    }
    return out;
}

// One `unix:key=value,...` address with exactly one socket to connect to.
std::optional<Address> parse_address(std::string_view text)
{
    constexpr std::string_view kUnix = "unix:";
    if (!text.starts_with(kUnix)) return std::nullopt;
    text.remove_prefix(kUnix.size());
    Address address;
    int sockets = 0;
    while (!text.empty()) {
        const std::string_view pair = text.substr(0, text.find(','));
        text.remove_prefix(std::min(text.size(), pair.size() + 1));
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = pair.substr(0, equals);
        const std::optional<std::string> value = unescape(pair.substr(equals + 1));
        if (!value) return std::nullopt;
        if (key == "path" || key == "abstract") {
            ++sockets;
            address = {*value, key == "abstract"};
        }
    }
    const bool fits = !address.path.empty() && address.path.size() <= kMaxSocketPath
        && address.path.find('\0') == std::string::npos;
    if (sockets != 1 || !fits) return std::nullopt;
    return address;
}

}  // namespace

std::vector<Address> parse_addresses(std::string_view text)
{
    std::vector<Address> addresses;
    while (!text.empty()) {
        const std::string_view one = text.substr(0, text.find(';'));
        text.remove_prefix(std::min(text.size(), one.size() + 1));
        if (auto address = parse_address(one)) addresses.push_back(std::move(*address));
    }
    return addresses;
}

}  // namespace pellavin::screen::bus
