#include "station/station_core.h"

#include <string>
#include <utility>

#include "station/station_commands.h"
#include "station/station_records.h"

namespace qrv::shell {

namespace {

// Enough for hours of readings between two serves: a front end serves on
// its next pass through its loop, so this is never reached while it runs.
constexpr std::size_t kOwnEventsCapacity = 1 << 14;

}  // namespace

StationMachine::StationMachine(Clock& clock, const StationPaths& paths)
    : simulators(clock),
      ports(PortMap::Load(paths.PortsFileName().string()), simulators.Factory()),
      timers(clock) {}

StationCore::StationCore(StationPaths paths, const FrontEndParts& front,
                         const MachineParts& machine)
    : state_(std::move(paths)),
      log_(front.programLog, front.display, state_),
      driver_(machine.ports, machine.sessionClock != nullptr ? *machine.sessionClock : front.clock),
      session_(driver_, machine.ports,
               machine.sessionClock != nullptr ? *machine.sessionClock : front.clock,
               &front.dialogs, &front.programLog),
      monitoring_(state_,
                  {front.clock, front.display, log_, session_, machine.launcher, machine.timers}),
      networkTimer_(monitoring_, front.dialogs),
      services_{
          front.clock, front.dialogs, front.display,     log_,        front.texts, machine.ports,
          session_,    networkTimer_, front.probeEditor, monitoring_, front.bus,   front.via,
          this},
      links_(state_, monitoring_, front.clock, front.programLog, front.dialogs),
      events_(monitoring_.Feed().Subscribe(kOwnEventsCapacity)) {}

std::optional<int> StationCore::Start(const StartupOptions& options) {
    return RunStartup(state_, services_, options);
}

int StationCore::Shutdown() {
    return RunShutdown(state_, services_);
}

void StationCore::StartLinks(const StationConfig& config) {
    links_.Start(config);
    ApplyAcquisitionConfig(config);
}

void StationCore::ApplyAcquisitionConfig(const StationConfig& config) {
    monitoring_.Acquisition().Cycle().SetSimultaneousConversion(
        config.acquisition.simultaneousConversion);
}

StationConfig StationCore::Reload(Via via) {
    // An installation that a signal gave up is made anew below.
    state_.shutdownRequested = false;
    log_.LogMessageToDisk("Settings and probe files reread" + ViaSuffix(via));
    StationConfigRead config = ReadStationConfig(state_.paths.ConfigFileName());
    for (const std::string& problem : config.problems) {
        log_.LogProblem(problem);
    }
    links_.Reload(config.config);
    ApplyAcquisitionConfig(config.config);
    // The installation rereads the settings, probe, calibration and
    // time-alarm files.
    shell::InstallNetwork(state_, services_, via);
    return config.config;
}

void StationCore::InstallNetwork(Via via) {
    shell::InstallNetwork(state_, services_, via);
}

void StationCore::StopNetwork(Via via) {
    shell::StopNetwork(state_, services_, via);
}

int StationCore::SaveProbeSettings(int index, bool isNew, bool allowNavigation, Via via) {
    return shell::SaveProbeSettings(state_, services_, index, isNew, allowNavigation, via);
}

void StationCore::TakeEvents() {
    const FeedBatch batch = events_.Drain();
    if (batch.dropped > 0) {
        probesChanged_ = true;
        log_.LogProblem("Station events lost (" + std::to_string(batch.dropped) +
                        "); a store due among them waits for the next");
    }
    for (const LiveEvent& event : batch.events) {
        if (event.kind == LiveEventKind::kStoreDue) {
            storeDue_ = true;
        } else if (event.kind == LiveEventKind::kProbeSettingsChanged) {
            probesChanged_ = true;
            if (!event.by.empty()) {
                changedBy_ = event.by;
            }
            if (!event.givenReason.empty()) {
                changeReason_ = event.givenReason;
            }
        }
    }
}

void StationCore::AuditPendingChanges() {
    TakeEvents();
    if (probesChanged_) {
        AuditProbeTable(state_, services_, changeReason_, changedBy_);
        probesChanged_ = false;
        changedBy_.clear();
        changeReason_.clear();
    }
}

void StationCore::Serve() {
    AuditPendingChanges();
    // A burst of due stores is one store.
    if (std::exchange(storeDue_, false) && state_.NetWorkInstalled != 0) {
        monitoring_.StoreResultsToDisk();
    }
}

}  // namespace qrv::shell
