#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The little of the D-Bus wire protocol the game speaks to the session bus:
// a method call with string arguments, and whatever comes back read safely,
// in either byte order.
namespace pellavin::screen::bus {

enum class MessageType : uint8_t { Invalid = 0, MethodCall = 1, MethodReturn = 2, Error = 3, Signal = 4 };

inline constexpr uint8_t kNoReplyExpected = 0x1;
// A call to a name nobody owns fails, rather than starting its program.
inline constexpr uint8_t kNoAutoStart = 0x2;

struct MethodCall {
    std::string_view destination{};
    std::string_view path{};
    std::string_view interface{};
    std::string_view member{};
    std::vector<std::string_view> arguments{};  // all strings
    uint8_t flags = 0;
};

// The call as it goes on the wire, in little-endian order.
std::string encode_method_call(const MethodCall& call, uint32_t serial);

struct Message {
    MessageType type = MessageType::Invalid;
    uint8_t flags = 0;
    uint32_t serial = 0;
    uint32_t reply_serial = 0;  // 0: not a reply
    std::string path;
    std::string interface;
    std::string member;
    std::string error_name;
    std::string sender;
    std::string signature;
    std::optional<bool> boolean;       // a body of one boolean
    std::vector<std::string> strings;  // a body of strings only
};

// How much of a message the front of a stream holds, which its fixed
// header tells.
struct Frame {
    enum class State { Partial, Whole, Broken };
    State state = State::Partial;
    size_t size = 0;  // the whole message's, once known
};
Frame frame_message(std::string_view bytes);

// `bytes` as exactly one message; nothing for anything malformed.
std::optional<Message> parse_message(std::string_view bytes);

}  // namespace pellavin::screen::bus
