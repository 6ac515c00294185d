#include "probe_editor/time_alarm_section.h"

#include <charconv>

#include <fmt/format.h>

#include "records/calibration_text.h"
#include "records/file_restore_point.h"
#include "records/setting_changes.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string FieldText(const std::optional<int>& minutes) {
    return minutes ? std::to_string(*minutes) : std::string();
}

}  // namespace

ThresholdField ParseThresholdField(std::string_view text) {
    const std::string_view typed = Trimmed(text);
    if (typed.empty()) {
        return {true, std::nullopt};
    }
    int minutes = 0;
    const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), minutes);
    if (error != std::errc{} || end != typed.data() + typed.size() ||
        !records::TimeAlarmThresholdProblem(minutes).empty()) {
        return {};
    }
    return {true, minutes};
}

void TimeAlarmSection::ShowFor(const SensorRecord& probe) {
    rom_ = probe.Rom;
    stored_.reset();
    display_ = {};
    TimeAlarmPanelValues values;
    if (access_ != nullptr && records::IsCalibratable(probe)) {
        display_.shown = true;
        const records::TimeAlarmFileResult read = records::ReadTimeAlarmFile(access_->file);
        if (read.error.empty()) {
            display_.editable = true;
            if (const records::TimeAlarm* alarm = read.book.Find(rom_)) {
                stored_ = *alarm;
                values = {FieldText(alarm->minutesAbove), FieldText(alarm->minutesBelow)};
            }
        } else {
            // Shown rather than emptied: fields that looked like "no alarm"
            // would invite a save that loses the thresholds the file holds.
            display_.problem =
                text::Plain(Key::TXT_TIME_ALARM_UNREADABLE, taal_) + "\n" + read.error;
        }
    }
    wanted_ = stored_;
    view_.ShowTimeAlarm(display_, values);
}

void TimeAlarmSection::ClearFields() {
    if (display_.editable) {
        view_.ShowTimeAlarm(display_, {});
    }
}

bool TimeAlarmSection::ReadScreen() {
    if (!display_.editable) {
        return true;
    }
    const TimeAlarmPanelValues values = view_.ReadTimeAlarm();
    records::TimeAlarm wanted{rom_, std::nullopt, std::nullopt};
    const std::pair<Key, const std::string*> fields[] = {
        {Key::TXT_TIME_ALARM_ABOVE, &values.minutesAbove},
        {Key::TXT_TIME_ALARM_BELOW, &values.minutesBelow}};
    for (const auto& [caption, typed] : fields) {
        const ThresholdField field = ParseThresholdField(*typed);
        if (!field.sound) {
            Popup(fmt::format(fmt::runtime(text::Raw(Key::TXT_TIME_ALARM_BAD_VALUE, taal_)),
                              text::Plain(caption, taal_), Trimmed(*typed),
                              records::kTimeAlarmWindowMinutes - 1));
            return false;
        }
        (caption == Key::TXT_TIME_ALARM_ABOVE ? wanted.minutesAbove : wanted.minutesBelow) =
            field.minutes;
    }
    wanted_.reset();
    if (wanted.minutesAbove || wanted.minutesBelow) {
        wanted_ = wanted;
    }
    return true;
}

bool TimeAlarmSection::Changed() const {
    return display_.editable && wanted_ != stored_;
}

bool TimeAlarmSection::Save(const SensorRecord& probe, std::string_view reason) {
    if (!Changed()) {
        return true;
    }
    const records::FileRestorePoint before(access_->file);
    const records::TimeAlarmUpdate update =
        records::UpdateTimeAlarmFile(access_->file, rom_, wanted_);
    if (!update.error.empty()) {
        Popup(text::Plain(Key::TXT_TIME_ALARM_NOT_WRITTEN, taal_) + "\n" + update.error);
        return false;
    }
    // The sides as they were in the file just now, so that a change made
    // meanwhile from the command line shows as the old value.
    if (update.changed && access_->audit) {
        for (const records::SettingChange& change :
             records::TimeAlarmChanges(probe, update.before, update.after)) {
            if (!access_->audit(change.what, change.oldValue, change.newValue, reason)) {
                before.Restore();
                Popup(text::Plain(Key::TXT_TIME_ALARM_NOT_WRITTEN, taal_) + "\n" +
                      records::TrailNotWrittenReason());
                return false;
            }
        }
    }
    stored_ = update.after;
    wanted_ = stored_;
    return true;
}

void TimeAlarmSection::Popup(std::string_view message) {
    dialogs_.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal_), message);
}

}  // namespace qrv
