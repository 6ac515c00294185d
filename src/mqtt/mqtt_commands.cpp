#include "mqtt/mqtt_commands.h"

namespace qrv::mqtt {

namespace {

using Kind = CommandDecision::Kind;

// Quoted for the log, cut short and with control bytes shown as "?": the
// payload is anyone's who may publish.
std::string Quoted(const std::string& payload) {
    constexpr std::size_t kShown = 40;
    std::string shown;
    for (const char c : payload.substr(0, kShown)) {
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return "\"" + shown + (payload.size() > kShown ? "...\"" : "\"");
}

}  // namespace

CommandDecision DecideCommand(const std::string& name, const std::string& payload, bool retained) {
    if (retained) {
        if (payload.empty()) {
            return {Kind::kNothing, {}};
        }
        return {Kind::kRefused, "command/" + name +
                                    " is a retained message; send commands without retain, and "
                                    "clear it with an empty retained message"};
    }
    if (name == "mute") {
        if (payload.empty() || payload == "ON") {
            return {Kind::kMute, {}};
        }
        if (payload == "OFF") {
            return {Kind::kUnmute, {}};
        }
        return {Kind::kRefused,
                "command/mute takes ON or nothing to mute, or OFF, not " + Quoted(payload)};
    }
    if (name == "test_sms") {
        if (payload.empty()) {
            return {Kind::kTestMessage, {}};
        }
        return {Kind::kRefused, "command/test_sms takes no payload, not " + Quoted(payload)};
    }
    return {Kind::kRefused, "unknown command " + Quoted(name)};
}

}  // namespace qrv::mqtt
