#include "probe_editor/probe_editor.h"

#include <algorithm>

#include <fmt/format.h>

#include "probe_editor/limit_moves.h"
#include "probe_editor/probe_name.h"
#include "records/clean_text.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kQuarterHoursPerDay = 96;
constexpr std::string_view kPanelMissing =
    "File QRVProbMenu.UIR could not be read, call your local dealer.\n";

bool IsAnalog(int sensorType) {
    return sensorType == kTypeTemperature || sensorType == kTypeHumidity;
}

// The settings the editor changes: what the change detection compares and
// what a save writes back. Line, ROM, type, units, the reading and the alarm
// counters belong to the scan and the acquisition.
bool SameSettings(const SensorRecord& a, const SensorRecord& b) {
    return a.Name == b.Name && a.AlarmLow == b.AlarmLow && a.AlarmHigh == b.AlarmHigh &&
           a.AlarmDelay == b.AlarmDelay && a.TripLow == b.TripLow && a.TripHigh == b.TripHigh &&
           a.TripDelay == b.TripDelay && a.AlarmTimes == b.AlarmTimes &&
           a.SmsEnable == b.SmsEnable && a.RelayEnable == b.RelayEnable && a.Status == b.Status &&
           a.FoundOnNetwork == b.FoundOnNetwork;
}

}  // namespace

void CorrectLimits(LimitField field, int& alarmLow, int& alarmHigh, int& tripLow, int& tripHigh) {
    switch (field) {
        case LimitField::kAlarmHigh:
            alarmHigh = std::max(alarmHigh, alarmLow);
            tripHigh = alarmHigh;
            break;
        case LimitField::kAlarmLow:
            alarmLow = std::min(alarmLow, alarmHigh);
            tripLow = alarmLow;
            break;
        case LimitField::kTripHigh:
            tripHigh = std::max(tripHigh, tripLow);
            tripHigh = std::min(tripHigh, alarmHigh);
            break;
        case LimitField::kTripLow:
            tripLow = std::min(tripLow, tripHigh);
            tripLow = std::max(tripLow, alarmLow);
            break;
    }
}

std::string QuarterHourText(int quarterHour) {
    const int minutes = std::clamp(quarterHour, 0, kQuarterHoursPerDay) * 15;
    return fmt::format("{:02}:{:02}", minutes / 60, minutes % 60);
}

int DoneAllSensorsSettings(SharedSensorTable& table, Dialogs& dialogs, int taal, int status,
                           const std::function<void()>& pauseAcquisition) {
    static constexpr std::array kStatusTexts{Key::TXT_PROBE_STATUS_ON, Key::TXT_PROBE_STATUS_OFF,
                                             Key::TXT_PROBE_STATUS_INH};
    const Key statusText = kStatusTexts[static_cast<std::size_t>(std::clamp(status, 0, 2))];
    const std::string question =
        text::Plain(Key::TXT_SURE_TO_CHANGE_ACTIVITY, taal) + "   " + text::Plain(statusText, taal);
    const int answer = dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), question,
        {std::string(text::Raw(Key::ButtonYes, taal)), std::string(text::Raw(Key::ButtonNo, taal))},
        2, 2);
    if (answer != 1) {
        return 0;
    }
    pauseAcquisition();
    const auto locked = table.Lock();
    for (int index = 0; index <= locked->GetMax1820Index(); ++index) {
        locked->SensorArray[static_cast<std::size_t>(index)].Status = status;
    }
    return 1;
}

int ProbeEditor::DoeProbeSettingMenu(int index, bool isNew, bool allowNavigation) {
    if (!view_.LoadPanel(*this, context_.taal, allowNavigation)) {
        Popup(kPanelMissing);
        return kEditorPanelMissing;
    }
    isNew_ = isNew;
    navigation_ = allowNavigation;
    saved_ = false;
    deleted_ = false;
    keptInTable_ = false;
    editIndex_ = index;
    GetDataFromStruct();
    InitDataToScreen();
    view_.RunModal();
    view_.DiscardPanel();
    if (deleted_) {
        return kEditorDeleted;
    }
    return saved_ ? kEditorSaved : kEditorNothingSaved;
}

void ProbeEditor::Popup(std::string_view message) {
    context_.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, context_.taal), message);
}

void ProbeEditor::GetDataFromStruct() {
    {
        const auto table = context_.table.Lock();
        const int last = table->GetMax1820Index();
        if (last >= 0 && editIndex_ >= 0 && editIndex_ <= last) {
            edit_ = table->SensorArray[static_cast<std::size_t>(editIndex_)];
            nameEmpty_ = false;
            return;
        }
    }
    Popup(text::Plain(Key::TXT_NO_PROBE_TO_EDIT, context_.taal));
}

void ProbeEditor::PutSensorDataToStruct() {
    const auto table = context_.table.Lock();
    SensorRecord& record = table->SensorArray[static_cast<std::size_t>(editIndex_)];
    record.Name = edit_.Name;
    record.Status = edit_.Status;
    record.AlarmLow = edit_.AlarmLow;
    record.AlarmHigh = edit_.AlarmHigh;
    // The sensor file raises a shorter delay when it is read back; the table
    // holds what the file will give, so a reload changes no alarm.
    record.AlarmDelay = std::max(edit_.AlarmDelay, kMinimumAlarmDelaySeconds);
    record.TripLow = edit_.TripLow;
    record.TripHigh = edit_.TripHigh;
    record.TripDelay = std::max(edit_.TripDelay, kMinimumAlarmDelaySeconds);
    record.AlarmTimes = edit_.AlarmTimes;
    record.SmsEnable = edit_.SmsEnable;
    record.RelayEnable = edit_.RelayEnable;
}

int ProbeEditor::ProbeDataChanged() {
    const auto table = context_.table.Lock();
    if (editIndex_ < 0 || editIndex_ > table->GetMax1820Index()) {
        return 0;
    }
    return SameSettings(edit_, table->SensorArray[static_cast<std::size_t>(editIndex_)]) ? 0 : 1;
}

bool ProbeEditor::CheckIfNameAlreadyExists(const std::string& name) const {
    const auto table = context_.table.Lock();
    const int last = table->GetMax1820Index();
    for (int index = 0; index <= last; ++index) {
        if (index != editIndex_ &&
            table->SensorArray[static_cast<std::size_t>(index)].Name == name) {
            return true;
        }
    }
    return false;
}

std::string ProbeEditor::WarningFor(int status) const {
    if (status == kStatusOff) {
        return text::Plain(Key::TXT_ALARM_NO_SET, context_.taal);
    }
    if (status == kStatusInhibit) {
        return text::Plain(Key::TXT_ALARM_TEMP_NO_SET, context_.taal);
    }
    return {};
}

ProbePanelDisplay ProbeEditor::DisplayOfCopy() const {
    ProbePanelDisplay display;
    const int taal = context_.taal;
    switch (edit_.SensorType) {
        case kTypeTemperature:
            display.typeText = text::Plain(Key::TXT_PROBE_TEMPERATURE, taal);
            break;
        case kTypeHumidity:
            display.typeText = text::Plain(Key::TXT_PROBE_HUMIDITY, taal);
            break;
        case kTypeSwitch:
            display.kind = ProbePanelKind::kSwitch;
            display.typeText = text::Plain(Key::TXT_PROBE_SWITCH, taal);
            break;
        default:
            display.kind = ProbePanelKind::kUnchanged;
            break;
    }
    display.units = edit_.Units;
    display.networkAddress = SerialNumberHex(edit_.Rom);
    display.warning = WarningFor(edit_.Status);
    return display;
}

ProbePanelValues ProbeEditor::ValuesOfCopy() {
    if (edit_.SensorType == kTypeSwitch) {
        // A switch has two states: anything stored beyond them counts as open.
        edit_.AlarmHigh = std::clamp<std::int32_t>(edit_.AlarmHigh, 0, 1);
    }
    ProbePanelValues values;
    // A name of blanks only (what a new probe starts with) shows as an empty
    // box, so that typing starts at the first column.
    values.name = nameEmpty_ || CleanProbeName(edit_.Name).empty() ? std::string() : edit_.Name;
    values.status = edit_.Status;
    values.alarmLow = edit_.AlarmLow;
    values.alarmHigh = edit_.AlarmHigh;
    values.tripLow = edit_.TripLow;
    values.tripHigh = edit_.TripHigh;
    values.switchAlarmState = edit_.AlarmHigh;
    values.alarmDelayMinutes = edit_.AlarmDelay / kSecondsPerMinute;
    values.tripDelayMinutes = edit_.TripDelay / kSecondsPerMinute;
    values.windows = edit_.AlarmTimes;
    values.sms = edit_.SmsEnable != 0;
    values.relay = edit_.RelayEnable != 0;
    return values;
}

void ProbeEditor::SetDataToScreen(bool focusName) {
    view_.Show(DisplayOfCopy(), ValuesOfCopy());
    if (focusName || nameEmpty_) {
        view_.FocusName();
    }
}

void ProbeEditor::InitDataToScreen() {
    SetDataToScreen(true);
    calibration_.ShowFor(editIndex_);
    timeAlarm_.ShowFor(edit_);
    view_.ShowNewProbeLine(isNew_);
    view_.FocusName();
}

void ProbeEditor::ReadFieldsIntoCopy(const ProbePanelValues& values) {
    if (IsAnalog(edit_.SensorType)) {
        edit_.AlarmLow = values.alarmLow;
        edit_.AlarmHigh = values.alarmHigh;
        edit_.TripLow = values.tripLow;
        edit_.TripHigh = values.tripHigh;
    } else if (edit_.SensorType == kTypeSwitch) {
        edit_.AlarmHigh = values.switchAlarmState;
    }
    edit_.AlarmDelay = values.alarmDelayMinutes * kSecondsPerMinute;
    edit_.TripDelay = values.tripDelayMinutes * kSecondsPerMinute;
    edit_.AlarmTimes = values.windows;
    edit_.SmsEnable = values.sms ? 1 : 0;
    edit_.RelayEnable = values.relay ? 1 : 0;
    edit_.Status = values.status;
}

int ProbeEditor::GetDataFromScreen() {
    const ProbePanelValues values = view_.Read();
    // The other fields are taken even when the name is refused, so that
    // correcting the name never costs the user what else was typed.
    ReadFieldsIntoCopy(values);
    const std::string name = CleanProbeName(values.name);
    const int taal = context_.taal;
    switch (CheckStoredName(name, kMaxNameLength)) {
        case NameCheck::kEmpty:
            nameEmpty_ = true;
            view_.SetNameText({});
            Popup(text::Plain(Key::TXT_PROBE_NO_NAME, taal));
            view_.FocusName();
            return kScreenNoName;
        case NameCheck::kNotStorable:
            nameEmpty_ = false;
            view_.SetNameText(name);
            Popup(NotStorableMessage(name, taal));
            view_.FocusName();
            return kScreenNameNotStorable;
        case NameCheck::kOk:
            break;
    }
    nameEmpty_ = false;
    if (CheckIfNameAlreadyExists(name)) {
        view_.SetNameText(name);
        Popup(text::Plain(Key::TXT_PROBE_NAME_ALREADY_EXIST, taal));
        view_.FocusName();
        return kScreenNameExists;
    }
    edit_.Name = name;
    return 0;
}

bool ProbeEditor::TakeReason() {
    const std::string typed = view_.Read().reason;
    // The trail keeps one line per field: a line break or tab in the reason
    // would make one entry look like two.
    if (records::HasControlCharacter(typed)) {
        Popup(text::Plain(Key::TXT_PROBE_REASON_CONTROL, context_.taal));
        return false;
    }
    const std::size_t first = typed.find_first_not_of(' ');
    reason_ = first == std::string::npos
                  ? std::string()
                  : typed.substr(first, typed.find_last_not_of(' ') + 1 - first);
    return true;
}

bool ProbeEditor::WriteSensorFile() {
    return qrv::WriteSensorFile(context_.snsFile, context_.table.Copy(), context_.clock,
                                context_.dialogs, context_.log, context_.taal) == 0;
}

void ProbeEditor::EndPanel() {
    view_.EndModal();
}

void ProbeEditor::Leave() {
    if (GetDataFromScreen() < 0 || !timeAlarm_.ReadScreen()) {
        return;
    }
    SetDataToScreen(false);
    const int taal = context_.taal;
    const bool settingsChanged = ProbeDataChanged() != 0;
    if (!settingsChanged && !timeAlarm_.Changed()) {
        // Changes kept while stepping are in the table only; leaving writes
        // them, or the next installation (which reloads the file) would
        // lose them.
        if (keptInTable_ && !TakeReason()) {
            return;
        }
        saved_ = keptInTable_;
        if (keptInTable_) {
            WriteSensorFile();
        }
        EndPanel();
        return;
    }
    const std::string title(text::Raw(Key::QRVNL_TEXT, taal));
    const std::string question = text::Plain(Key::TXT_DO_YOU_WANT_SAVE, taal);
    const std::string ok(text::Raw(Key::ButtonOK, taal));
    const std::string cancel(text::Raw(Key::ButtonCancel, taal));
    int answer = 0;
    if (isNew_) {
        // A new probe cannot be left with unsaved changes: Cancel stays.
        answer =
            context_.dialogs.GenericMessagePopup(title, question, {ok, cancel}, 1, 2) == 1 ? 1 : 3;
    } else {
        answer = context_.dialogs.GenericMessagePopup(
            title, question, {ok, std::string(text::Raw(Key::ButtonDiscard, taal)), cancel}, 1, 3);
    }
    if (answer == 1) {
        // The thresholds first: when their file refuses, the panel stays
        // open with everything typed, and nothing is half saved.
        if (!TakeReason() || !timeAlarm_.Save(edit_, reason_)) {
            return;
        }
        PutSensorDataToStruct();
        if (settingsChanged || keptInTable_) {
            WriteSensorFile();
        }
        saved_ = true;
        EndPanel();
    } else if (answer == 2) {
        if (keptInTable_ && !TakeReason()) {
            return;
        }
        saved_ = keptInTable_;
        if (keptInTable_) {
            WriteSensorFile();
        }
        EndPanel();
    }
}

void ProbeEditor::Step(int direction) {
    if (!navigation_ || GetDataFromScreen() < 0 || !timeAlarm_.ReadScreen()) {
        return;
    }
    SetDataToScreen(false);
    const bool settingsChanged = ProbeDataChanged() != 0;
    if (settingsChanged || timeAlarm_.Changed()) {
        const int taal = context_.taal;
        const int answer = context_.dialogs.GenericMessagePopup(
            text::Raw(Key::QRVNL_TEXT, taal), text::Plain(Key::TXT_KEEP_SETTINGS, taal),
            {std::string(text::Raw(Key::ButtonOK, taal)),
             std::string(text::Raw(Key::ButtonDiscard, taal)),
             std::string(text::Raw(Key::ButtonCancel, taal))},
            2, 3);
        if (answer == 3) {
            return;
        }
        if (answer == 1) {
            // Kept thresholds go to their file at once: they have no table
            // to wait in until the panel is left.
            if (!TakeReason() || !timeAlarm_.Save(edit_, reason_)) {
                return;
            }
            PutSensorDataToStruct();
            saved_ = true;
            keptInTable_ = keptInTable_ || settingsChanged;
        }
    }
    const int last = context_.table.Lock()->GetMax1820Index();
    if (last >= 0) {
        editIndex_ = direction > 0 ? (editIndex_ >= last ? 0 : editIndex_ + 1)
                                   : (editIndex_ <= 0 ? last : editIndex_ - 1);
    }
    GetDataFromStruct();
    SetDataToScreen(true);
    calibration_.ShowFor(editIndex_);
    timeAlarm_.ShowFor(edit_);
}

void ProbeEditor::NextProbe() {
    Step(1);
}

void ProbeEditor::PrevProbe() {
    Step(-1);
}

void ProbeEditor::UndoProbe() {
    GetDataFromStruct();
    InitDataToScreen();
}

void ProbeEditor::ClearProbe() {
    edit_.Name.clear();
    edit_.Units.clear();
    edit_.AlarmLow = 0;
    edit_.AlarmHigh = 0;
    edit_.AlarmDelay = 0;
    edit_.TripLow = 0;
    edit_.TripHigh = 0;
    edit_.TripDelay = 0;
    edit_.AlarmTimes.fill(AlarmWindow{});
    edit_.SmsEnable = 1;
    edit_.RelayEnable = 1;
    edit_.Status = kStatusActive;
    SetDataToScreen(true);
    timeAlarm_.ClearFields();
}

void ProbeEditor::DeleteProbe() {
    const int taal = context_.taal;
    if (!navigation_) {
        return;
    }
    if (context_.demoMode) {
        Popup(text::Plain(Key::Not_Poss_In_This_Mode, taal));
        return;
    }
    const int answer = context_.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), text::Plain(Key::TXT_REALLY_DELETE_PROBES, taal),
        {std::string(text::Raw(Key::ButtonYes, taal)), std::string(text::Raw(Key::ButtonNo, taal))},
        2, 2);
    if (answer != 1) {
        return;
    }
    if (context_.stopNetworkTimer) {
        context_.stopNetworkTimer();
    }
    context_.table.Lock()->DeleteSensorFromDataBase(editIndex_);
    WriteSensorFile();
    deleted_ = true;
    EndPanel();
}

void ProbeEditor::NameCommitted() {
    GetDataFromScreen();
}

void ProbeEditor::StatusChanged() {
    edit_.Status = view_.Read().status;
    view_.ShowWarning(WarningFor(edit_.Status));
}

void ProbeEditor::LimitChanged(LimitField field) {
    const ProbePanelValues values = view_.Read();
    int alarmLow = values.alarmLow;
    int alarmHigh = values.alarmHigh;
    int tripLow = values.tripLow;
    int tripHigh = values.tripHigh;
    CorrectLimits(field, alarmLow, alarmHigh, tripLow, tripHigh);
    edit_.AlarmLow = alarmLow;
    edit_.AlarmHigh = alarmHigh;
    edit_.TripLow = tripLow;
    edit_.TripHigh = tripHigh;
    view_.ShowLimits(ValuesOfCopy());
    // A limit is never changed behind the user's back: the panel shows which
    // one the rules moved before anything is saved.
    const std::vector<MovedLimit> moved =
        MovedLimits(field, {values.alarmLow, values.alarmHigh, values.tripLow, values.tripHigh},
                    {alarmLow, alarmHigh, tripLow, tripHigh});
    std::vector<LimitField> fields;
    for (const MovedLimit& limit : moved) {
        fields.push_back(limit.field);
    }
    view_.ShowMovedLimits(fields, MovedLimitsNote(moved, context_.taal));
}

void ProbeEditor::WindowStartChanged(int day) {
    const auto slot = static_cast<std::size_t>(std::clamp(day, 0, 6));
    AlarmWindow window = view_.Read().windows[slot];
    window.Start = std::min(window.Start, window.Stop);
    edit_.AlarmTimes[slot] = window;
    view_.ShowWindow(static_cast<int>(slot), window);
}

void ProbeEditor::WindowStopChanged(int day) {
    const auto slot = static_cast<std::size_t>(std::clamp(day, 0, 6));
    AlarmWindow window = view_.Read().windows[slot];
    window.Stop = std::max(window.Stop, window.Start);
    edit_.AlarmTimes[slot] = window;
    view_.ShowWindow(static_cast<int>(slot), window);
}

}  // namespace qrv
