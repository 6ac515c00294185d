#pragma once

#include <string>

namespace qrv::mqtt {

// What a message on BASE/STATION/command/NAME asks for, decided from the
// name, the payload and its retain flag alone.
struct CommandDecision {
    enum class Kind {
        kMute,
        kUnmute,
        kTestMessage,
        // An empty retained message: someone clearing a retained command,
        // which asks for nothing.
        kNothing,
        // Refused with why in the program log.
        kRefused,
    };
    Kind kind = Kind::kRefused;
    std::string why;
};

// The payloads are exact: mute takes "ON" or nothing to mute and "OFF" to
// make the alarm audible again, test_sms takes nothing. A retained command
// is never obeyed: it would act again on every reconnect, and a command
// left on the broker is nobody's present wish. The retain flag must be as
// published (MQTT 5's retain-as-published), or a retained command published
// while the station is connected would arrive looking like a fresh one.
CommandDecision DecideCommand(const std::string& name, const std::string& payload, bool retained);

}  // namespace qrv::mqtt
