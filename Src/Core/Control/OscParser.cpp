#include "Core/Control/OscParser.h"

#include "Platform/Text.h"

#include <lo/lo_lowlevel.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace Core {

namespace {

struct MessageDeleter {
    void operator()(lo_message message) const { lo_message_free(message); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

bool Number(char type, const lo_arg* argument, double& value)
{
    switch (type) {
    case LO_INT32: value = argument->i; break;
    case LO_FLOAT: value = argument->f; break;
    case LO_DOUBLE: value = argument->d; break;
    case LO_INT64: value = static_cast<double>(argument->h); break;
    default: return false;
    }
    return std::isfinite(value);
}

bool Text(std::string_view text, char16_t* destination, std::size_t capacity)
{
    return !text.empty() && Platform::Text::Utf8ToUtf16(text, destination, capacity);
}

struct Address {
    const char* path;
    RemoteAction action;
    enum Arguments { Button, OneNumber, NameOrNumber, TwoTexts } arguments;
    double direction = 0; ///< a button's value when it stands for a direction (next: 1, previous: -1)
};

constexpr Address Addresses[] = {
    {"/tolvane/start", RemoteAction::Start, Address::Button},
    {"/tolvane/stop", RemoteAction::Stop, Address::Button},
    {"/tolvane/startstop", RemoteAction::StartStop, Address::Button},
    {"/tolvane/tap", RemoteAction::Tap, Address::Button},
    {"/tolvane/show", RemoteAction::Show, Address::Button},
    {"/tolvane/tempo", RemoteAction::Tempo, Address::OneNumber},
    {"/tolvane/tempo/step", RemoteAction::TempoStep, Address::OneNumber},
    {"/tolvane/preset", RemoteAction::Preset, Address::NameOrNumber},
    {"/tolvane/practice", RemoteAction::Practice, Address::TwoTexts},
    {"/tolvane/part/next", RemoteAction::Part, Address::Button, 1},
    {"/tolvane/part/previous", RemoteAction::Part, Address::Button, -1},
    {"/tolvane/song/next", RemoteAction::Song, Address::Button, 1},
    {"/tolvane/song/previous", RemoteAction::Song, Address::Button, -1},
};

} // namespace

OscParse ParseOscMessage(const void* data, std::size_t size)
{
    OscParse parse;
    if (size > LongestOscMessage) {
        parse.outcome = OscOutcome::Oversized;
        return parse;
    }
    // liblo checks the whole message (padding, type tags, argument sizes) before decoding it;
    // it takes the bytes as writable, so it gets a copy.
    if (size < 4)
        return parse; // not even an address
    alignas(8) char bytes[LongestOscMessage];
    std::memcpy(bytes, data, size);
    int result = 0;
    const Message message(lo_message_deserialise(bytes, size, &result));
    if (!message)
        return parse; // malformed, or a bundle
    const std::string_view path(bytes, ::strnlen(bytes, size));
    const Address* address = nullptr;
    for (const Address& candidate : Addresses)
        if (path == candidate.path)
            address = &candidate;
    if (!address) {
        parse.outcome = OscOutcome::Unknown;
        return parse;
    }
    const std::string_view types(lo_message_get_types(message.get()));
    lo_arg** argv = lo_message_get_argv(message.get());
    RemoteCommand& command = parse.command;
    command.action = address->action;
    bool valid = false;
    switch (address->arguments) {
    case Address::Button:
        valid = types.empty() || (types.size() == 1 && Number(types[0], argv[0], command.value));
        if (valid && !types.empty() && command.value == 0.0) {
            parse.outcome = OscOutcome::Release;
            return parse;
        }
        if (address->direction != 0)
            command.value = address->direction;
        break;
    case Address::OneNumber:
        valid = types.size() == 1 && Number(types[0], argv[0], command.value);
        break;
    case Address::NameOrNumber:
        if (types == "s") {
            valid = Text(&argv[0]->s, command.name, Configuration::NameCapacity);
        } else if (types.size() == 1 && Number(types[0], argv[0], command.value)) {
            command.action = RemoteAction::PresetNumber;
            valid = command.value >= 1.0 && command.value == std::floor(command.value);
        }
        break;
    case Address::TwoTexts: {
        if (types != "ss")
            break;
        const std::string option = std::string(&argv[0]->s) + ' ' + &argv[1]->s;
        valid = std::strlen(&argv[0]->s) > 0 && std::strlen(&argv[1]->s) > 0
                && Text(option, command.name, std::size(command.name));
        break;
    }
    }
    parse.outcome = valid ? OscOutcome::Command : OscOutcome::Malformed;
    return parse;
}

} // namespace Core
