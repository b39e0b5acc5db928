#include "Core/Control/OscParser.h"

#include <gtest/gtest.h>
#include <lo/lo.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Core::OscOutcome;
using Core::RemoteAction;

/// A message as liblo writes it. types: 'i' int, 'f' float, 's' text, 'T' true.
std::vector<char> Message(const char* path, const char* types, double number = 0, const char* text = "",
                          const char* text2 = "")
{
    lo_message message = lo_message_new();
    int texts = 0;
    for (const char* type = types; *type; ++type) {
        switch (*type) {
        case 'i': lo_message_add_int32(message, static_cast<int>(number)); break;
        case 'f': lo_message_add_float(message, static_cast<float>(number)); break;
        case 's': lo_message_add_string(message, texts++ == 0 ? text : text2); break;
        case 'T': lo_message_add_true(message); break;
        }
    }
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, path, nullptr, &size);
    std::vector<char> result(static_cast<char*>(bytes), static_cast<char*>(bytes) + size);
    free(bytes);
    lo_message_free(message);
    return result;
}

struct Case {
    const char* what;
    std::vector<char> bytes;
    OscOutcome outcome;
    RemoteAction action = RemoteAction::Start;
    double value = 0;
    std::u16string name = {};
};

TEST(OscParser, ReadsCommandsAndRefusesTheRest)
{
    std::vector<char> truncated = Message("/tolvane/tempo", "i", 120);
    truncated.resize(truncated.size() - 4);
    std::vector<char> unterminated = {'/', 't', 'o', 'l', 'v', 'a', 'n', 'e'};
    std::vector<char> badTag = Message("/tolvane/tempo", "i", 120);
    badTag[16] = 'x'; // the type tag's comma
    std::vector<char> bundle = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const std::string longName(400, 'x');
    const Case cases[] = {
        {"start", Message("/tolvane/start", ""), OscOutcome::Command, RemoteAction::Start},
        {"button press", Message("/tolvane/tap", "f", 1), OscOutcome::Command, RemoteAction::Tap, 1},
        {"button release", Message("/tolvane/tap", "f", 0), OscOutcome::Release},
        {"tempo as float", Message("/tolvane/tempo", "f", 133.5), OscOutcome::Command, RemoteAction::Tempo, 133.5},
        {"tempo step", Message("/tolvane/tempo/step", "i", -10), OscOutcome::Command, RemoteAction::TempoStep, -10},
        {"preset by name", Message("/tolvane/preset", "s", 0, "Grübel"), OscOutcome::Command, RemoteAction::Preset, 0,
         u"Grübel"},
        {"preset by number", Message("/tolvane/preset", "i", 3), OscOutcome::Command, RemoteAction::PresetNumber, 3},
        {"practice", Message("/tolvane/practice", "ss", 0, "swing", "66"), OscOutcome::Command, RemoteAction::Practice,
         0, u"swing 66"},
        {"next part", Message("/tolvane/part/next", ""), OscOutcome::Command, RemoteAction::Part, 1},
        {"previous song pressed", Message("/tolvane/song/previous", "i", 1), OscOutcome::Command, RemoteAction::Song, -1},
        {"tempo without argument", Message("/tolvane/tempo", ""), OscOutcome::Malformed},
        {"tempo as text", Message("/tolvane/tempo", "s", 0, "120"), OscOutcome::Malformed},
        {"tempo twice", Message("/tolvane/tempo", "ii", 120), OscOutcome::Malformed},
        {"tempo as boolean", Message("/tolvane/tempo", "T"), OscOutcome::Malformed},
        {"preset number 0", Message("/tolvane/preset", "i", 0), OscOutcome::Malformed},
        {"empty preset name", Message("/tolvane/preset", "s", 0, ""), OscOutcome::Malformed},
        {"preset name too long", Message("/tolvane/preset", "s", 0, longName.c_str()), OscOutcome::Malformed},
        {"practice without value", Message("/tolvane/practice", "s", 0, "swing"), OscOutcome::Malformed},
        {"start with text", Message("/tolvane/start", "s", 0, "now"), OscOutcome::Malformed},
        {"truncated argument", truncated, OscOutcome::Malformed},
        {"unterminated path", unterminated, OscOutcome::Malformed},
        {"bad type tag", badTag, OscOutcome::Malformed},
        {"bundle", bundle, OscOutcome::Malformed},
        {"empty datagram", {}, OscOutcome::Malformed},
        {"other address", Message("/tolvane/tempoo", "i", 1), OscOutcome::Unknown},
        {"address pattern", Message("/tolvane/*", ""), OscOutcome::Unknown},
        {"oversized", std::vector<char>(Core::LongestOscMessage + 1, 0), OscOutcome::Oversized},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Core::OscParse parse = Core::ParseOscMessage(test.bytes.data(), test.bytes.size());
        EXPECT_EQ(parse.outcome, test.outcome);
        if (test.outcome != OscOutcome::Command)
            continue;
        EXPECT_EQ(parse.command.action, test.action);
        EXPECT_DOUBLE_EQ(parse.command.value, test.value);
        EXPECT_EQ(std::u16string(parse.command.name), test.name);
    }
}

} // namespace
