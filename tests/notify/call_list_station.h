#pragma once

// What the call list's cases on the simulated station share: contacts, what
// a receiver got, and running on until the notices caught up.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <vector>

#include "app/live_station.h"
#include "config/notify_config.h"
#include "receivers.h"

namespace qrv::testing {

using Lines = std::vector<std::string>;

inline NotifyContact ContactOf(std::string name, NotifyChannel channel, std::string address) {
    NotifyContact contact;
    contact.name = std::move(name);
    contact.channel = channel;
    contact.address = std::move(address);
    return contact;
}

// The "event" of every request, in order.
inline Lines Events(const HttpReceiver& receiver) {
    Lines events;
    for (const HttpReceiver::Request& request : receiver.Requests()) {
        events.push_back(nlohmann::json::parse(request.body)["event"]);
    }
    return events;
}

inline nlohmann::json Body(const HttpReceiver& receiver, std::size_t n) {
    return nlohmann::json::parse(receiver.Requests().at(n).body);
}

// A probe of a cold store: alarm above -15 and below -40 at once, SMS on,
// reading -20 until its network says otherwise.
inline void AddColdStoreProbe(LiveStation& station, int index, const std::string& name) {
    SensorRecord& record = station.Probe(station.AddProbe(1, index, name));
    record.AlarmHigh = -15;
    record.TripHigh = -15;
    record.AlarmLow = -40;
    record.TripLow = -40;
    record.AlarmDelay = 0;
    record.TripDelay = 0;
    record.SmsEnable = 1;
    record.Value = -20.0;
}

// Runs the station on until the notifications have caught up with it;
// an SMS hand-off needs the clock to move while it runs.
inline void Settle(LiveStation& station) {
    ASSERT_TRUE(WaitUntil([&] {
        if (station.monitoring.Notifications()->Idle()) {
            return true;
        }
        if (station.clock.Sleepers() > 0 &&
            !station.monitoring.Acquisition().Sms().WaitUntilIdle(std::chrono::milliseconds(0))) {
            station.RunFor(1.0);
        }
        return false;
    }));
}

}  // namespace qrv::testing
