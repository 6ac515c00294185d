#include "station/station_records.h"

#include "records/audit_recorder.h"
#include "records/outside_changes.h"
#include "records/setting_changes.h"
#include "station/live_monitoring.h"
#include "station/outside_changes_audit.h"

namespace qrv::shell {

namespace {

void AuditChanges(StationState& state, const ShellServices& services,
                  const std::vector<records::SettingChange>& changes, std::string_view reason = {},
                  std::string_view who = {}) {
    for (const records::SettingChange& change : changes) {
        AuditEventBy(state, services.clock, services.log, who.empty() ? state.operatorName : who,
                     change.what, change.oldValue, change.newValue, reason);
    }
}

}  // namespace

bool AuditEvent(StationState& state, const Clock& clock, EventLog& log, std::string_view what,
                std::string_view oldValue, std::string_view newValue, std::string_view reason) {
    return AuditEventBy(state, clock, log, state.operatorName, what, oldValue, newValue, reason);
}

std::string GivenBy(const StationState& state, Via via) {
    return via == Via::kWindow ? state.operatorName : WhoVia(state.operatorName, via);
}

bool AuditEventBy(StationState& state, const Clock& clock, EventLog& log, std::string_view who,
                  std::string_view what, std::string_view oldValue, std::string_view newValue,
                  std::string_view reason) {
    return records::AuditRecorder(state.auditTrail, clock, log)
        .Record(who, what, oldValue, newValue, reason);
}

void AuditProbeTable(StationState& state, const ShellServices& services, std::string_view reason,
                     std::string_view who) {
    SensorTable now = state.sensors.Copy();
    AuditChanges(state, services, records::ProbeSettingChanges(state.auditedProbes, now), reason,
                 who);
    state.auditedProbes = std::move(now);
}

void TakeProbeBaseline(StationState& state, const std::filesystem::path& snsFile) {
    state.auditedProbes = state.sensors.Copy();
    state.auditedProbesFile = snsFile;
}

void AuditRereadProbes(StationState& state, const ShellServices& services,
                       const std::filesystem::path& snsFile) {
    if (snsFile == state.auditedProbesFile) {
        AuditOutsideChanges(
            state, services.clock, services.log, snsFile,
            records::ProbeSettingChanges(state.auditedProbes, state.sensors.Copy()));
    }
    TakeProbeBaseline(state, snsFile);
}

void LoadCalibrations(StationState& state, const ShellServices& services) {
    const std::filesystem::path file = state.paths.CurrentDirName / records::kCalibrationFileName;
    state.calibrationStamp = StampOf(file);
    records::CalibrationFileResult read = records::ReadCalibrationFile(file);
    if (!read.error.empty()) {
        services.log.LogMessageToDisk("Calibrations not read, readings uncorrected: " + read.error);
    }
    state.calibrations.Replace(std::move(read.book));
}

void ReloadCalibrationsIfChanged(StationState& state, const ShellServices& services) {
    const std::filesystem::path file = state.paths.CurrentDirName / records::kCalibrationFileName;
    const FileStamp stamp = StampOf(file);
    if (stamp == state.calibrationStamp) {
        return;
    }
    state.calibrationStamp = stamp;
    records::CalibrationFileResult read = records::ReadCalibrationFile(file);
    if (!read.error.empty()) {
        services.log.LogMessageToDisk("Calibrations not reread, the ones in use are kept: " +
                                      read.error);
        return;
    }
    // The window's own changes come back here too: only news is logged.
    const std::shared_ptr<const records::CalibrationBook> inUse = state.calibrations.Get();
    if (read.book != *inUse) {
        services.log.LogMessageToDisk("Calibrations reread from " + file.filename().string());
        AuditOutsideChanges(state, services.clock, services.log, file,
                            records::CalibrationChanges(*inUse, read.book, state.sensors.Copy()));
        state.calibrations.Replace(std::move(read.book));
        services.monitoring.Feed().Publish(
            StationEvent(LiveEventKind::kCalibrationsReread, services.clock.Now()));
    }
}

void AuditSettings(StationState& state, const ShellServices& services, const SystemSettings& before,
                   const SystemSettings& after) {
    AuditChanges(state, services, records::StationSettingChanges(before, after));
}

}  // namespace qrv::shell
