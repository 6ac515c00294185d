#pragma once

// The contacts and the freezer the call-list engine's tests tell about.
#include <functional>
#include <string>
#include <vector>

#include "notify/escalation.h"
#include "sensors/sensor_record.h"

namespace qrv::notify::facts {

// The facts as the alarm's last change left them.
inline const std::function<void(AlarmFacts&)> kAsTold = [](AlarmFacts&) {};

inline NotifyContact Contact(std::string name, std::vector<std::string> probes = {},
                             std::vector<std::string> logins = {}) {
    NotifyContact contact;
    contact.name = std::move(name);
    contact.channel = NotifyChannel::kWebhook;
    contact.address = "http://127.0.0.1/";
    contact.probes = std::move(probes);
    contact.logins = std::move(logins);
    return contact;
}

inline AlarmFacts Freezer(int state, double value = -12.0) {
    AlarmFacts facts;
    facts.rom = {0x28, 1, 2, 3, 4, 5, 6, 0x7A};
    facts.name = "Freezer";
    facts.sensorType = kTypeTemperature;
    facts.units = "°C";
    facts.value = value;
    facts.state = state;
    facts.alarmHigh = -15;
    facts.tripHigh = -18;
    facts.alarmLow = -30;
    facts.tripLow = -28;
    return facts;
}

// Who got which kind of notice, in order: "0 alarm", "1 escalation", ...
inline std::vector<std::string> Told(const std::vector<Notice>& notices) {
    std::vector<std::string> told;
    for (const Notice& n : notices) {
        told.push_back(std::to_string(n.contact) + " " + std::string(NoticeKindName(n.kind)));
    }
    return told;
}

using Lines = std::vector<std::string>;

}  // namespace qrv::notify::facts
