#pragma once

#include "runtime/status_display.h"

namespace qrv {

// Status fields that nobody sees: every step does nothing. A station without a
// display overrides the one or two fields it reports elsewhere.
class SilentStatusDisplay : public StatusDisplay {
  public:
    void SetStatusLine(std::string_view, std::uint32_t) override {}
    void ProcessDrawEvents() override {}
    void SetDateTime(const LocalDateTime&) override {}
    void ShowAlarmBanner(bool, std::string_view) override {}
    void ColorAlarmBanner(int) override {}
    void ShowAlarmButton(bool) override {}
    void SetAlarmButton(int) override {}
    void ShowInstallNotice(bool, std::string_view) override {}
    void ShowStoreProblem(bool, std::string_view) override {}
    void ShowMonitoringState(std::string_view) override {}
    void ShowNoticeProblem(std::string_view) override {}
    void ShowLogo(bool) override {}
    void ShowModeText(bool) override {}
    void SetModeText(std::string_view) override {}
    void ShowDealerText(bool, std::string_view) override {}
    void SetAcquisitionIndicator(std::uint32_t) override {}
    void SetMenuBarDimmed(bool) override {}
    void SetWaitCursor(bool) override {}
    void Beep() override {}
    void BringToFront() override {}
};

}  // namespace qrv
