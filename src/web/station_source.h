#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "feed/live_feed.h"
#include "feed/notice_tally.h"
#include "onewire/bus_errors.h"
#include "sensors/sensor_record.h"
#include "web/live_state.h"

namespace qrv::web {

// How a test message went when it was asked for.
struct TestSmsAnswer {
    enum class Outcome { kHandedOff, kNoSuchContact, kNotSent };
    Outcome outcome = Outcome::kHandedOff;
    // Why it was not sent.
    std::string reason;
};

// A probe as the window's big single-probe view shows it: its state in words
// ("Probe is active", an alarm text ...), its value and their colour.
struct ProbeViewTexts {
    std::string state;
    std::string value;
    std::uint32_t colour = 0;
};

// What the server may know of the station and do to it. The station's side
// implements it from copies of the probe table and its flags; every call may
// come from any of the server's threads and returns without waiting for the
// acquisition.
class StationSource {
  public:
    virtual ~StationSource() = default;

    virtual LiveFeed& Feed() = 0;
    // The live table in language taal (0..3); lastRead is left empty.
    virtual LiveSnapshot Snapshot(int taal) = 0;
    virtual std::optional<SensorRecord> Probe(const RomCode& rom) = 0;
    // The big view of that record in language taal.
    virtual ProbeViewTexts ProbeView(const SensorRecord& record, int taal) = 0;
    // Where today's and the stored days' result files are.
    virtual std::filesystem::path DataDirectory() = 0;
    virtual std::filesystem::path StationDirectory() = 0;
    virtual LocalDateTime Now() = 0;
    // The network's failures since the station started, by kind.
    virtual BusErrorCounts BusErrors() = 0;
    // What became of the call list's notices since the station started.
    virtual NoticeTotals Notices() = 0;

    // What the alarm button does, with who and why in the alarm file and
    // the program log.
    virtual void Mute(const std::string& who, const std::string& comment) = 0;
    virtual void Unmute(const std::string& who) = 0;
    // The call list's names; empty without one.
    virtual std::vector<std::string> Contacts() = 0;
    // A test message to contact (an index into Contacts()), or without a
    // call list to the SMS program's destination; nothing is sent to a
    // contact that does not exist, or without a program to hand it to.
    virtual TestSmsAnswer SendTestSms(std::optional<int> contact, const std::string& who) = 0;
};

}  // namespace qrv::web
