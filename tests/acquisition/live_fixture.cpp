#include "live_fixture.h"

#include <nlohmann/json.hpp>

#include "runtime/encoding.h"
#include "support/sim_probes.h"

namespace qrv::testing {

LiveFixture::LiveFixture(const std::string& network, LocalDateTime start, bool threaded)
    : clock(start),
      unit(sim::BuildNetwork(nlohmann::json::parse(network))),
      ports(SimulatorOnCom1(), registry.Factory()),
      programLog(dir / "QRVLog.txt", clock),
      session(driver, ports, sessionClock, &dialogs, &programLog),
      live({flags, table, session, clock, display, programLog, settings, launcher,
            threaded ? static_cast<acquisition::PeriodicTimerPlatform&>(threadTimers) : timers,
            dir / "QRVAlarm.txt", lastSampleTime, feed, calibrations}) {
    registry.Install("simulator:test", unit);
    session.SerialPort = 1;
}

void LiveFixture::ConfigureSms() {
    WriteBytes(dir / "sms-program", "");
    SystemSettings configured = settings.Snapshot();
    configured.SmSProgramSource = (dir / "sms-program").string();
    configured.SmSDestination = "Kees";
    settings.Replace(configured);
}

void LiveFixture::StartSession() {
    ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk);
    ASSERT_EQ(session.ZoekNodexNumbers(), SessionStatus::kOk);
}

int LiveFixture::AddProbe(int line, int deviceOnLine, const std::string& name) {
    const int index = AppendSimulatedProbe(*unit, *table.Lock(), line, deviceOnLine, name);
    Probe(index).Value = acquisition::kNoReadingYet;
    return index;
}

void LiveFixture::Start() {
    ASSERT_GT(live.InitAsyncNetworkTimer(), 0);
    live.Cycle().StartNetworkTimer();
}

void LiveFixture::RunFor(double seconds, const std::function<void()>& onTick) {
    const double end = clock.Timer() + seconds;
    for (double next = timers.NextDeadline(); next <= end; next = timers.NextDeadline()) {
        if (clock.Timer() < next) {
            clock.Advance(next - clock.Timer());
        }
        timers.RunDue();
        if (onTick) {
            onTick();
        }
    }
    if (clock.Timer() < end) {
        clock.Advance(end - clock.Timer());
    }
}

std::string LiveFixture::AlarmFileText() const {
    return Cp1252ToUtf8(ReadBytes(dir / "QRVAlarm.txt"));
}

std::string LiveFixture::ProgramLogText() const {
    return Cp1252ToUtf8(ReadBytes(dir / "QRVLog.txt"));
}

}  // namespace qrv::testing
