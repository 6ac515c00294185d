#include "support/recording_status_display.h"

#include <fmt/format.h>

#include "runtime/date_strings.h"

namespace qrv {

RecordingStatusDisplay::State RecordingStatusDisplay::Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::vector<std::string> RecordingStatusDisplay::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void RecordingStatusDisplay::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void RecordingStatusDisplay::Record(std::string call) {
    calls_.push_back(std::move(call));
}

void RecordingStatusDisplay::SetStatusLine(std::string_view text, std::uint32_t rgb) {
    std::lock_guard lock(mutex_);
    state_.statusLine = text;
    state_.statusColor = rgb;
    Record(fmt::format("StatusLine({}, #{:06X})", text, rgb));
}

void RecordingStatusDisplay::ProcessDrawEvents() {
    std::lock_guard lock(mutex_);
    Record("ProcessDrawEvents");
}

void RecordingStatusDisplay::SetDateTime(const LocalDateTime& now) {
    std::lock_guard lock(mutex_);
    state_.dateTime = EuroDate(now) + "   " + TimeText(now);
}

void RecordingStatusDisplay::ShowAlarmBanner(bool show, std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.alarmBannerShown = show;
    state_.alarmBannerText = text;
    Record(fmt::format("AlarmBanner({}, {})", show, text));
}

void RecordingStatusDisplay::ColorAlarmBanner(int phase) {
    std::lock_guard lock(mutex_);
    state_.alarmBannerPhase = phase;
}

void RecordingStatusDisplay::ShowAlarmButton(bool show) {
    std::lock_guard lock(mutex_);
    state_.alarmButtonShown = show;
    Record(fmt::format("AlarmButton({})", show));
}

void RecordingStatusDisplay::SetAlarmButton(int value) {
    std::lock_guard lock(mutex_);
    state_.alarmButtonValue = value;
}

void RecordingStatusDisplay::ShowInstallNotice(bool show, std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.installNoticeShown = show;
    Record(fmt::format("InstallNotice({}, {})", show, text));
}

void RecordingStatusDisplay::ShowMonitoringState(std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.monitoringState = text;
}

void RecordingStatusDisplay::ShowNoticeProblem(std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.noticeProblem = text;
}

void RecordingStatusDisplay::ShowStoreProblem(bool show, std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.storeProblemShown = show;
    state_.storeProblemText = text;
    Record(fmt::format("StoreProblem({}, {})", show, text));
}

void RecordingStatusDisplay::ShowLogo(bool show) {
    std::lock_guard lock(mutex_);
    state_.logoShown = show;
}

void RecordingStatusDisplay::ShowModeText(bool show) {
    std::lock_guard lock(mutex_);
    state_.modeTextShown = show;
}

void RecordingStatusDisplay::SetModeText(std::string_view text) {
    std::lock_guard lock(mutex_);
    state_.modeText = text;
}

void RecordingStatusDisplay::ShowDealerText(bool show, std::string_view) {
    std::lock_guard lock(mutex_);
    state_.dealerTextShown = show;
}

void RecordingStatusDisplay::SetAcquisitionIndicator(std::uint32_t rgb) {
    std::lock_guard lock(mutex_);
    state_.acquisitionColor = rgb;
}

void RecordingStatusDisplay::SetMenuBarDimmed(bool dimmed) {
    std::lock_guard lock(mutex_);
    state_.menuBarDimmed = dimmed;
}

void RecordingStatusDisplay::SetWaitCursor(bool on) {
    std::lock_guard lock(mutex_);
    state_.waitCursor = on;
}

void RecordingStatusDisplay::Beep() {
    std::lock_guard lock(mutex_);
    ++state_.beeps;
}

void RecordingStatusDisplay::BringToFront() {
    std::lock_guard lock(mutex_);
    ++state_.raises;
}

}  // namespace qrv
