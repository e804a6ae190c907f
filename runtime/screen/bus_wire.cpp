#include "runtime/screen/bus_wire.h"

#include <iterator>

namespace pellavin::screen::bus {
namespace {

constexpr char kLittleEndian = 'l';
constexpr char kBigEndian = 'B';
constexpr uint8_t kProtocolVersion = 1;
// Up to and with the length of the header fields' array.
constexpr size_t kFixedHeaderSize = 16;
constexpr size_t kHeaderFieldsAt = 16;
constexpr size_t kStructAlignment = 8;
constexpr uint32_t kMaxMessageSize = 1u << 27;
constexpr uint32_t kMaxArraySize = 1u << 26;
constexpr int kMaxTypeNesting = 32;  // arrays, and structs apart
constexpr int kMaxValueDepth = 64;   // variants count too
constexpr int kBitsPerByte = 8;

enum class Field : uint8_t {
    Invalid = 0,
    Path = 1,
    Interface = 2,
    Member = 3,
    ErrorName = 4,
    ReplySerial = 5,
    Destination = 6,
    Sender = 7,
    Signature = 8,
    UnixFds = 9,
};
// The type each known field must have, by its code.
constexpr std::string_view kFieldTypes[] = {"", "o", "s", "s", "s", "u", "s", "s", "g", "u"};

constexpr size_t aligned(size_t at, size_t alignment) { return (at + alignment - 1) / alignment * alignment; }

size_t alignment_of(char type)
{
    switch (type) {
    case 'y': case 'g': case 'v': return 1;
    case 'n': case 'q': return 2;
    case 'x': case 't': case 'd': case '(': case '{': return kStructAlignment;
    default: return 4;
    }
}

bool is_basic(char type) { return std::string_view("ybnqiuxtdhsog").find(type) != std::string_view::npos; }

// The length of the one complete type at the front of `types`; 0 when
// none starts there.
size_t complete_type_length(std::string_view types, int arrays = 0, int structs = 0)
{
    if (types.empty()) return 0;
    if (is_basic(types[0]) || types[0] == 'v') return 1;
    if (types[0] == 'a') {
        if (arrays == kMaxTypeNesting) return 0;
        if (types.size() > 1 && types[1] == '{') {
            // A dict entry, only ever an array's element: a basic key and one value.
            if (structs == kMaxTypeNesting || types.size() < 3 || !is_basic(types[2])) return 0;
            const size_t value = complete_type_length(types.substr(3), arrays + 1, structs + 1);
            const size_t close = 3 + value;
            return value != 0 && close < types.size() && types[close] == '}' ? close + 1 : 0;
        }
        const size_t element = complete_type_length(types.substr(1), arrays + 1, structs);
        return element == 0 ? 0 : 1 + element;
    }
    if (types[0] == '(') {
        if (structs == kMaxTypeNesting) return 0;
        size_t at = 1;
        while (at < types.size() && types[at] != ')') {
            const size_t member = complete_type_length(types.substr(at), arrays, structs + 1);
            if (member == 0) return 0;
            at += member;
        }
        return at > 1 && at < types.size() ? at + 1 : 0;
    }
    return 0;
}

bool valid_signature(std::string_view types)
{
    while (!types.empty()) {
        const size_t length = complete_type_length(types);
        if (length == 0) return false;
        types.remove_prefix(length);
    }
    return true;
}

bool single_complete_type(std::string_view types)
{
    return !types.empty() && complete_type_length(types) == types.size();
}

// Reads one message; every read is checked against its end, and padding
// must be zeros.
class Reader {
public:
    explicit Reader(std::string_view bytes)
        : bytes_(bytes)
        , big_(!bytes.empty() && bytes[0] == kBigEndian)
    {
    }

    size_t position() const { return at_; }

    bool align(size_t alignment)
    {
        const size_t next = aligned(at_, alignment);
        if (next > bytes_.size()) return false;
        for (; at_ < next; ++at_) {
            if (bytes_[at_] != '\0') return false;
        }
        return true;
    }
    bool skip(size_t size)
    {
        if (!align(size) || bytes_.size() - at_ < size) return false;
        at_ += size;
        return true;
    }
    bool byte(uint8_t& value)
    {
        if (at_ == bytes_.size()) return false;
        value = static_cast<uint8_t>(bytes_[at_++]);
        return true;
    }
    bool u32(uint32_t& value)
    {
        if (!align(4) || bytes_.size() - at_ < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<uint8_t>(bytes_[at_ + (big_ ? i : 3 - i)]);
            value = value << kBitsPerByte | byte;
        }
        at_ += 4;
        return true;
    }
    // A string or an object path: its length, its bytes, a NUL.
    bool text(std::string_view& value)
    {
        uint32_t size = 0;
        return u32(size) && characters(size, value);
    }
    // A signature: its length in one byte, its bytes, a NUL.
    bool signature(std::string_view& value)
    {
        uint8_t size = 0;
        return byte(size) && characters(size, value);
    }

private:
    bool characters(size_t size, std::string_view& value)
    {
        if (bytes_.size() - at_ <= size || bytes_[at_ + size] != '\0') return false;
        value = bytes_.substr(at_, size);
        if (value.find('\0') != std::string_view::npos) return false;
        at_ += size + 1;
        return true;
    }

    std::string_view bytes_;
    bool big_;
    size_t at_ = 0;
};

// Reads past one value of `type`, a single complete type, checking it.
bool skip_value(Reader& in, std::string_view type, int depth)
{
    if (depth > kMaxValueDepth) return false;
    std::string_view text;
    uint32_t number = 0;
    switch (type[0]) {
    case 'y': return in.skip(1);
    case 'n': case 'q': return in.skip(2);
    case 'i': case 'u': case 'h': return in.skip(4);
    case 'x': case 't': case 'd': return in.skip(8);
    case 'b': return in.u32(number) && number <= 1;
    case 's': case 'o': return in.text(text);
    case 'g': return in.signature(text) && valid_signature(text);
    case 'v': return in.signature(text) && single_complete_type(text) && skip_value(in, text, depth + 1);
    case 'a': {
        const std::string_view element = type.substr(1);
        if (!in.u32(number) || number > kMaxArraySize || !in.align(alignment_of(element[0]))) return false;
        const size_t end = in.position() + number;
        while (in.position() < end) {
            if (!skip_value(in, element, depth + 1)) return false;
        }
        return in.position() == end;
    }
    case '(': case '{': {
        if (!in.align(kStructAlignment)) return false;
        std::string_view members = type.substr(1, type.size() - 2);
        while (!members.empty()) {
            const size_t length = complete_type_length(members);
            if (!skip_value(in, members.substr(0, length), depth + 1)) return false;
            members.remove_prefix(length);
        }
        return true;
    }
    default: return false;
    }
}

// The first bytes of every message, of a size that does not depend on it.
struct FixedHeader {
    uint8_t order = 0;
    uint8_t type = 0;
    uint8_t flags = 0;
    uint8_t version = 0;
    uint32_t body_size = 0;
    uint32_t serial = 0;
    uint32_t fields_size = 0;
};

FixedHeader read_fixed_header(Reader& in)
{
    FixedHeader header;
    for (uint8_t* byte : {&header.order, &header.type, &header.flags, &header.version}) in.byte(*byte);
    for (uint32_t* number : {&header.body_size, &header.serial, &header.fields_size}) in.u32(*number);
    return header;
}

bool take_text(Reader& in, std::string& to)
{
    std::string_view text;
    if (!in.text(text)) return false;
    to = text;
    return true;
}

bool read_field(Reader& in, uint8_t code, std::string_view type, Message& message)
{
    if (code < std::size(kFieldTypes) && type != kFieldTypes[code]) return false;  // the invalid code 0 too
    std::string_view text;
    switch (static_cast<Field>(code)) {
    case Field::Path: return take_text(in, message.path);
    case Field::Interface: return take_text(in, message.interface);
    case Field::Member: return take_text(in, message.member);
    case Field::ErrorName: return take_text(in, message.error_name);
    case Field::Sender: return take_text(in, message.sender);
    case Field::ReplySerial: return in.u32(message.reply_serial) && message.reply_serial != 0;
    case Field::Signature:
        if (!in.signature(text) || !valid_signature(text)) return false;
        message.signature = text;
        return true;
    default: return skip_value(in, type, 1);
    }
}

bool has_required_fields(const Message& m)
{
    switch (m.type) {
    case MessageType::MethodCall: return !m.path.empty() && !m.member.empty();
    case MessageType::MethodReturn: return m.reply_serial != 0;
    case MessageType::Error: return m.reply_serial != 0 && !m.error_name.empty();
    case MessageType::Signal: return !m.path.empty() && !m.interface.empty() && !m.member.empty();
    default: return true;  // a type yet unknown, left to its reader to ignore
    }
}

// The body's values, all checked; kept are a lone boolean, or strings.
bool read_body(Reader& in, Message& message)
{
    std::string_view types = message.signature;
    while (!types.empty()) {
        const std::string_view type = types.substr(0, complete_type_length(types));
        uint32_t number = 0;
        std::string_view text;
        if (type == "b") {
            if (!in.u32(number) || number > 1) return false;
            message.boolean = number == 1;
        } else if (type == "s") {
            if (!in.text(text)) return false;
            message.strings.emplace_back(text);
        } else if (!skip_value(in, type, 1)) {
            return false;
        }
        types.remove_prefix(type.size());
    }
    if (message.signature != "b") message.boolean.reset();
    if (message.signature.find_first_not_of('s') != std::string::npos) message.strings.clear();
    return true;
}

// Writes a message in little-endian order; alignment counts from the
// writer's start, which sits on an 8-byte boundary of the message.
class Writer {
public:
    void pad(size_t alignment) { bytes_.resize(aligned(bytes_.size(), alignment), '\0'); }
    void byte(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
    void u32(uint32_t value)
    {
        pad(4);
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(value >> (i * kBitsPerByte)));
    }
    void text(std::string_view value)
    {
        u32(static_cast<uint32_t>(value.size()));
        raw(value);
        byte(0);
    }
    void signature(std::string_view value)
    {
        byte(static_cast<uint8_t>(value.size()));
        raw(value);
        byte(0);
    }
    void raw(std::string_view value) { bytes_.append(value); }
    void field(Field code, std::string_view type, std::string_view value)
    {
        pad(kStructAlignment);
        byte(static_cast<uint8_t>(code));
        signature(type);
        if (type == "g") {
            signature(value);
        } else {
            text(value);
        }
    }

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace

std::string encode_method_call(const MethodCall& call, uint32_t serial)
{
    Writer body;
    std::string types;
    for (std::string_view argument : call.arguments) {
        body.text(argument);
        types += 's';
    }
    Writer fields;
    fields.field(Field::Path, "o", call.path);
    if (!call.interface.empty()) fields.field(Field::Interface, "s", call.interface);
    fields.field(Field::Member, "s", call.member);
    if (!call.destination.empty()) fields.field(Field::Destination, "s", call.destination);
    if (!types.empty()) fields.field(Field::Signature, "g", types);

    Writer message;
    message.byte(kLittleEndian);
    message.byte(static_cast<uint8_t>(MessageType::MethodCall));
    message.byte(call.flags);
    message.byte(kProtocolVersion);
    message.u32(static_cast<uint32_t>(body.bytes().size()));
    message.u32(serial);
    message.u32(static_cast<uint32_t>(fields.bytes().size()));
    message.raw(fields.bytes());
    message.pad(kStructAlignment);
    message.raw(body.bytes());
    return message.bytes();
}

Frame frame_message(std::string_view bytes)
{
    if (bytes.size() < kFixedHeaderSize) return {};
    Reader in(bytes);
    const FixedHeader header = read_fixed_header(in);
    const bool known_order = header.order == kLittleEndian || header.order == kBigEndian;
    if (!known_order || header.version != kProtocolVersion || header.fields_size > kMaxArraySize
        || header.body_size > kMaxMessageSize) {
        return {Frame::State::Broken};
    }
    const size_t size = aligned(kHeaderFieldsAt + header.fields_size, kStructAlignment) + header.body_size;
    if (size > kMaxMessageSize) return {Frame::State::Broken};
    return {bytes.size() >= size ? Frame::State::Whole : Frame::State::Partial, size};
}

std::optional<Message> parse_message(std::string_view bytes)
{
    const Frame frame = frame_message(bytes);
    if (frame.state != Frame::State::Whole || frame.size != bytes.size()) return std::nullopt;
    Reader in(bytes);
    const FixedHeader header = read_fixed_header(in);
    Message message;
    message.type = static_cast<MessageType>(header.type);
    message.flags = header.flags;
    message.serial = header.serial;
    if (message.type == MessageType::Invalid || message.serial == 0) return std::nullopt;

    const size_t fields_end = kHeaderFieldsAt + header.fields_size;
    while (in.position() < fields_end) {
        uint8_t code = 0;
        std::string_view field_type;
        if (!in.align(kStructAlignment) || in.position() >= fields_end || !in.byte(code)
            || !in.signature(field_type) || !single_complete_type(field_type)
            || !read_field(in, code, field_type, message)) {
            return std::nullopt;
        }
    }
    if (in.position() != fields_end || !in.align(kStructAlignment) || !has_required_fields(message)) {
        return std::nullopt;
    }
    if (message.signature.empty() && header.body_size != 0) return std::nullopt;
    if (!read_body(in, message) || in.position() != bytes.size()) return std::nullopt;
    return message;
}

}  // namespace pellavin::screen::bus
