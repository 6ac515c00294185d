#include "live_station.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>

#include "app/shell/results_table.h"
#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "station/display_timer.h"
#include "station/station_events.h"
#include "station/status_fields.h"
#include "support/sim_probes.h"

namespace qrv::testing {

LiveStation::LiveStation(const std::string& network, LocalDateTime start, bool threaded)
    : clock(start),
      unit(sim::BuildNetwork(nlohmann::json::parse(network))),
      ports(SimulatorOnCom1(), registry.Factory()),
      programLog(StationPaths{dir.path()}.LogFileName(), clock),
      core(StationPaths{dir.path()}, {clock, dialogs, display, programLog, editor, probeEditor},
           {ports, launcher,
            threaded ? static_cast<acquisition::PeriodicTimerPlatform&>(threadTimers) : timers,
            &sessionClock}),
      nextDisplayTick(clock.Timer() + 1.0) {
    registry.Install("simulator:test", unit);
    session.SerialPort = 1;
    state.WantedUserMode = kModeNormal;
    shell::ResumeDisplayTimer(state);
    monitoring.InitAsyncNetworkTimer();
}

int LiveStation::AddProbe(int line, int deviceOnLine, const std::string& name) {
    return AppendSimulatedProbe(*unit, *state.sensors.Lock(), line, deviceOnLine, name);
}

void LiveStation::Install() {
    services.networkTimer.StopNetworkTimer();
    ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk);
    ASSERT_EQ(session.ZoekNodexNumbers(), SessionStatus::kOk);
    state.NetWorkInstalled = 1;
    shell::InitTheResultsTable(state, resultsTable, display);
    services.networkTimer.StartNetworkTimer();
    shell::AnnounceStoreDue(services, "network installed");
}

void LiveStation::RunFor(double seconds) {
    const double end = clock.Timer() + seconds;
    while (true) {
        const double next = std::min(timers.NextDeadline(), nextDisplayTick);
        if (next > end) {
            break;
        }
        if (clock.Timer() < next) {
            clock.Advance(next - clock.Timer());
        }
        timers.RunDue();
        if (clock.Timer() + 5e-7 >= nextDisplayTick) {
            shell::SampleTimer(state, services);
            core.Serve();
            rows.Serve();
            menus.Serve();
            // Like a user-interface timer: a late tick is not repeated.
            nextDisplayTick = std::max(nextDisplayTick + 1.0, std::floor(clock.Timer()) + 1.0);
        }
    }
    if (clock.Timer() < end) {
        clock.Advance(end - clock.Timer());
    }
}

void LiveStation::ConfigureSms() {
    WriteBytes(dir / "sms-program", "");
    SystemSettings configured = state.settings;
    configured.SmSProgramSource = (dir / "sms-program").string();
    configured.SmSDestination = "Kees";
    state.settingsOwner.Replace(configured);
}

void LiveStation::FinishHandOffs() {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!monitoring.Acquisition().Sms().WaitUntilIdle(1ms)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        if (clock.Sleepers() > 0) {
            const int polls = launcher.Polls();
            RunFor(1.0);
            while (launcher.Polls() == polls &&
                   !monitoring.Acquisition().Sms().WaitUntilIdle(1ms) &&
                   std::chrono::steady_clock::now() < deadline) {
            }
        }
    }
}

std::string LiveStation::LogText() const {
    return Cp1252ToUtf8(ReadBytes(state.paths.LogFileName()));
}

std::string LiveStation::AlarmText() const {
    return Cp1252ToUtf8(ReadBytes(state.paths.AlarmFileName()));
}

std::string LiveStation::DayFile(const LocalDateTime& day) const {
    return ReadBytes(state.paths.DataDirectory(kModeNormal) / (FileDate(day) + ".qrd"));
}

}  // namespace qrv::testing
