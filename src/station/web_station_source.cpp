#include "station/web_station_source.h"

#include "acquisition/sms_handoff.h"
#include "station/results_row.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "text/texts.h"
#include "views/current_values.h"

namespace qrv::shell {

namespace {

// The dashboard's note of a probe's calibration coming due.
std::optional<web::LiveCalibration> CalibrationNote(const records::CalibrationBook& book,
                                                    const RomCode& rom,
                                                    const LocalDateTime& today) {
    const records::Calibration* calibration = book.Find(rom);
    if (calibration == nullptr) {
        return std::nullopt;
    }
    static constexpr std::array<std::string_view, 3> kDue{"", "soon", "overdue"};
    return web::LiveCalibration{
        calibration->nextDue,
        std::string(kDue[static_cast<std::size_t>(records::DueState(*calibration, today))])};
}

}  // namespace

web::LiveSnapshot WebStationSource::Snapshot(int taal) {
    const SensorTable table = state_.sensors.Copy();
    const int alarmEnable = state_.settingsOwner.GeneralAlarmEnable();
    web::LiveSnapshot snapshot;
    snapshot.time = clock_.Now();
    web::LiveStation& station = snapshot.station;
    station.networkName = table.NetworkName;
    station.networkLost = state_.CommunicationErrorAlarm != 0;
    station.acquisition = state_.NetworkAsyncTimerEnabled != 0;
    station.alarmsEnabled = alarmEnable != 0;
    station.muted = state_.AlarmUserStatus == 0;
    station.alarm = state_.SensorAlarm != 0 || station.networkLost;
    if (station.alarm) {
        station.banner = std::string(
            text::GroupText(text::Group::AlarmBanner, station.networkLost ? 0 : 1, taal));
    }
    station.noticeProblem = NoticeProblemText(monitoring_.Notices(), taal);
    station.headers = BuildResultsHeaders(table.NetworkName, taal, alarmEnable).titles;
    const auto calibrations = state_.calibrations.Get();
    const StandingTimeAlarms timeAlarms =
        monitoring_.Acquisition().Alarms().TimeAlarms().Standing();
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        web::LiveRow row = web::RowFromRecord(record, i);
        row.calibration = CalibrationNote(*calibrations, record.Rom, snapshot.time);
        if (const auto standing = timeAlarms.find(record.Rom); standing != timeAlarms.end()) {
            row.timeAlarm = web::TimeAlarmNote(standing->second);
        }
        const ResultsRow shown = BuildResultsRow(record, taal);
        row.cells = shown.cells;
        row.background = shown.background;
        row.color = shown.text;
        station.probesLost += row.lost ? 1 : 0;
        snapshot.probes.push_back(std::move(row));
    }
    return snapshot;
}

std::optional<SensorRecord> WebStationSource::Probe(const RomCode& rom) {
    const auto table = state_.sensors.Lock();
    for (int i = 0; i <= table->GetMax1820Index(); ++i) {
        if (table->SensorArray[static_cast<std::size_t>(i)].Rom == rom) {
            return table->SensorArray[static_cast<std::size_t>(i)];
        }
    }
    return std::nullopt;
}

web::ProbeViewTexts WebStationSource::ProbeView(const SensorRecord& record, int taal) {
    const views::ProbeState probe{record.Status, record.AlarmState, record.Value, record.SensorType,
                                  record.Units};
    const views::BigViewTexts shown =
        views::MakeBigView(probe, state_.CommunicationErrorAlarm != 0, taal);
    return {shown.stateText, shown.valueText, shown.valueColour};
}

NoticeTotals WebStationSource::Notices() {
    return monitoring_.Notices();
}

BusErrorCounts WebStationSource::BusErrors() {
    return monitoring_.Acquisition().Cycle().BusErrors().Totals();
}

std::filesystem::path WebStationSource::DataDirectory() {
    return state_.paths.DataDirectory(state_.WantedUserMode);
}

void WebStationSource::Mute(const std::string& who, const std::string& comment) {
    monitoring_.Mute(who, comment, Via::kWeb);
}

void WebStationSource::Unmute(const std::string& who) {
    monitoring_.Unmute(who, Via::kWeb);
}

std::vector<std::string> WebStationSource::Contacts() {
    std::vector<std::string> names;
    if (notify::Notifier* notifier = monitoring_.Notifications()) {
        for (const NotifyContact& contact : notifier->Contacts()) {
            names.push_back(contact.name);
        }
    }
    return names;
}

web::TestSmsAnswer WebStationSource::SendTestSms(std::optional<int> contact,
                                                 const std::string& who) {
    using Outcome = web::TestSmsAnswer::Outcome;
    // Without a call list the message goes to the linked program, whose
    // hand-off happens later on its own thread: a program that is not there
    // is known now and said now, rather than answered as sent.
    if (monitoring_.Notifications() == nullptr && !contact) {
        const SystemSettings settings = state_.settingsOwner.Snapshot();
        if (!acquisition::CheckIfSmsServerIsAavailable(settings)) {
            const std::string problem = acquisition::LinkedSmsProgramProblem(settings);
            return {Outcome::kNotSent,
                    problem.empty() ? "no SMS program or destination is set up" : problem};
        }
    }
    if (!monitoring_.SendTestMessage(contact, who, Via::kWeb)) {
        return {Outcome::kNoSuchContact, {}};
    }
    return {Outcome::kHandedOff, {}};
}

}  // namespace qrv::shell
