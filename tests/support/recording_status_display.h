#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "runtime/status_display.h"

namespace qrv {

// A StatusDisplay that keeps the state of every field and a log of the calls,
// for tests and benchmarks. Safe from any thread.
class RecordingStatusDisplay final : public StatusDisplay {
  public:
    struct State {
        std::string statusLine;
        std::uint32_t statusColor = 0;
        std::string dateTime;  // DD/MM/YYYY   HH:MM:SS
        bool alarmBannerShown = false;
        std::string alarmBannerText;
        int alarmBannerPhase = 0;
        bool alarmButtonShown = false;
        int alarmButtonValue = 1;
        bool installNoticeShown = false;
        bool storeProblemShown = false;
        std::string storeProblemText;
        std::string monitoringState;
        std::string noticeProblem;
        bool logoShown = false;
        bool modeTextShown = false;
        std::string modeText;
        bool dealerTextShown = false;
        std::uint32_t acquisitionColor = 0;
        bool menuBarDimmed = false;
        bool waitCursor = false;
        int beeps = 0;
        int raises = 0;
    };

    State Snapshot() const;
    std::vector<std::string> Calls() const;
    void ClearCalls();

    void SetStatusLine(std::string_view text, std::uint32_t rgb) override;
    void ProcessDrawEvents() override;
    void SetDateTime(const LocalDateTime& now) override;
    void ShowAlarmBanner(bool show, std::string_view text) override;
    void ColorAlarmBanner(int phase) override;
    void ShowAlarmButton(bool show) override;
    void SetAlarmButton(int value) override;
    void ShowInstallNotice(bool show, std::string_view text) override;
    void ShowStoreProblem(bool show, std::string_view text) override;
    void ShowMonitoringState(std::string_view text) override;
    void ShowNoticeProblem(std::string_view text) override;
    void ShowLogo(bool show) override;
    void ShowModeText(bool show) override;
    void SetModeText(std::string_view text) override;
    void ShowDealerText(bool show, std::string_view text) override;
    void SetAcquisitionIndicator(std::uint32_t rgb) override;
    void SetMenuBarDimmed(bool dimmed) override;
    void SetWaitCursor(bool on) override;
    void Beep() override;
    void BringToFront() override;

  private:
    void Record(std::string call);

    mutable std::mutex mutex_;
    State state_;
    std::vector<std::string> calls_;
};

}  // namespace qrv
