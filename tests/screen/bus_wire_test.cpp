#include "runtime/screen/bus_address.h"
#include "runtime/screen/bus_wire.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pellavin::screen::bus {
namespace {

// Writes what another program's bus library would, in either byte order.
struct Encoder {
    bool big = false;
    std::string out{};

    void u32(uint32_t value)
    {
        out.resize((out.size() + 3) / 4 * 4, '\0');
        for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * (big ? 3 - i : i)));
    }
    void text(const std::string& value)
    {
        u32(static_cast<uint32_t>(value.size()));
        out += value + '\0';
    }
    void signature(const std::string& value) { out += static_cast<char>(value.size()) + value + '\0'; }
    void head(char code, const std::string& type)
    {
        out.resize((out.size() + 7) / 8 * 8, '\0');
        out += code;
        signature(type);
    }
};

// ActiveChanged(true) from ":1.7", serial 7; fields 1 path, 2 interface,
// 3 member, 7 sender, 8 signature.
std::string encode_signal(bool big, const std::function<void(Encoder&)>& more_fields = {})
{
    Encoder fields{big};
    const std::pair<char, const char*> texts[] = {
        {'\1', "/org/gnome/ScreenSaver"}, {'\2', "org.gnome.ScreenSaver"}, {'\3', "ActiveChanged"}, {'\7', ":1.7"}};
    for (const auto& [code, text] : texts) {
        fields.head(code, code == '\1' ? "o" : "s");
        fields.text(text);
    }
    fields.head('\10', "g");
    fields.signature("b");
    if (more_fields) more_fields(fields);
    Encoder message{big, {big ? 'B' : 'l', 4, 0, 1}};
    for (const size_t number : {size_t{4}, size_t{7}, fields.out.size()}) message.u32(static_cast<uint32_t>(number));
    message.out += fields.out;
    message.out.resize((message.out.size() + 7) / 8 * 8, '\0');
    message.u32(1);
    return message.out;
}

// A malformed message is never waited on for more bytes: the shield ends
// the connection at once.
TEST(BusWire, ReadsASignalInEitherByteOrderAndRejectsMalformedOnesWhole)
{
    const std::string little = encode_signal(false);
    const auto edit = [&](size_t at, const std::string& bytes) {
        return std::string(little).replace(at, bytes.size(), bytes);
    };
    const struct {
        const char* what;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"little-endian", little, true},
        {"big-endian", encode_signal(true), true},
        {"an unknown field, skipped", encode_signal(false, [](Encoder& e) {
             e.head('*', "as");
             e.u32(7);
             e.text("ab");
         }), true},
        {"an unknown field's array past its end", encode_signal(false, [](Encoder& e) {
             e.head('*', "as");
             e.u32(99);
         }), false},
        {"variants nested past any depth", encode_signal(false, [](Encoder& e) {
             e.head('*', "v");
             for (int i = 0; i < 100; ++i) e.signature("v");
             e.signature("y");
             e.out += 'x';
         }), false},
        {"an unknown byte order", edit(0, "x"), false},
        {"message type 0", edit(1, std::string(1, '\0')), false},
        {"another protocol version", edit(3, "\2"), false},
        {"a body of 4 GiB", edit(4, "\xff\xff\xff\xff"), false},
        {"serial 0", edit(8, std::string(4, '\0')), false},
        {"header fields of 2 GiB", edit(12, "\xff\xff\xff\x7f"), false},
        {"header fields that end inside the last one", edit(12, "\x6d"), false},
        {"padding that is not zeros", edit(little.find("/org/gnome/ScreenSaver") + 23, "x"), false},
        {"a path typed as a string", edit(little.find("\1\1o"), "\1\1s"), false},
        {"a signal without a member", edit(little.find("\3\1s"), "*"), false},
        {"a boolean of 2", edit(little.size() - 4, "\2"), false},
        {"a body longer than its signature", edit(4, "\10") + std::string(4, '\0'), false},
        {"a byte past the message", little + '\0', false},
    };
    for (const auto& c : cases) {
        EXPECT_NE(frame_message(c.bytes).state, Frame::State::Partial) << c.what;
        const std::optional<Message> message = parse_message(c.bytes);
        ASSERT_EQ(message.has_value(), c.valid) << c.what;
        if (!message) continue;
        EXPECT_EQ(message->type, MessageType::Signal) << c.what;
        EXPECT_EQ(message->serial, 7u) << c.what;
        EXPECT_EQ(message->path + " " + message->interface + " " + message->member + " " + message->sender,
            "/org/gnome/ScreenSaver org.gnome.ScreenSaver ActiveChanged :1.7") << c.what;
        EXPECT_EQ(message->boolean, true) << c.what;
    }
}

TEST(BusWire, WaitsForAMessageUntilItHasAllCome)
{
    const std::string whole = encode_signal(false);
    EXPECT_EQ(frame_message(whole).size, whole.size());
    for (size_t size = 0; size < whole.size(); ++size) {
        EXPECT_EQ(frame_message(whole.substr(0, size)).state, Frame::State::Partial) << size;
        EXPECT_FALSE(parse_message(whole.substr(0, size))) << size;
    }
}

TEST(BusWire, KeepsOnlyTheAddressesOfLocalSockets)
{
    const struct {
        std::string text;
        std::vector<Address> addresses;
    } cases[] = {
        {"unix:path=/run/user/1000/bus", {{"/run/user/1000/bus"}}},
        {"unix:abstract=/tmp/dbus-x,guid=0123", {{"/tmp/dbus-x", true}}},
        {"tcp:host=localhost,port=1;unix:path=/a%20b%2c;unix:abstract=c", {{"/a b,"}, {"c", true}}},
        {"", {}},
        {"unix:path=", {}},
        {"unix:path=/a,abstract=b", {}},
        {"unix:tmpdir=/tmp", {}},
        {"unix:path=/a%2", {}},
        {"unix:path=/a%zz", {}},
        {"unix:path=/a%00", {}},
        {"unixpath=/a", {}},
        {"unix:path=/" + std::string(200, 'a'), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_addresses(c.text), c.addresses) << c.text;
}

}  // namespace
}  // namespace pellavin::screen::bus
