#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/clock.h"

namespace qrv {

// Colours of the main panel's fields, as 0xRRGGBB.
namespace colors {
inline constexpr std::uint32_t kProgressBlue = 0x0066CC;
inline constexpr std::uint32_t kAlarmRed = 0xFF0000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
}  // namespace colors

// The fixed status fields of the main panel. Every call may come from the
// acquisition thread as well as from the user-interface thread; the Qt
// implementation posts to the GUI thread, tests record the calls.
class StatusDisplay {
  public:
    virtual ~StatusDisplay() = default;

    virtual void SetStatusLine(std::string_view text, std::uint32_t rgb) = 0;
    // Makes pending drawing visible at once (progress during long work).
    virtual void ProcessDrawEvents() = 0;

    // The clock of the header; each display writes it in its own form.
    virtual void SetDateTime(const LocalDateTime& now) = 0;

    virtual void ShowAlarmBanner(bool show, std::string_view text) = 0;
    // Phase 1: red box, white text; phase 0: white box, red text.
    virtual void ColorAlarmBanner(int phase) = 0;
    virtual void ShowAlarmButton(bool show) = 0;
    virtual void SetAlarmButton(int value) = 0;

    virtual void ShowInstallNotice(bool show, std::string_view text) = 0;
    // A lasting sign in the header that the day's results could not be
    // stored, shown until a store succeeds again (the status line is
    // overwritten every second).
    virtual void ShowStoreProblem(bool show, std::string_view text) = 0;
    // A lasting sign in the header, beside the clock, that the station does
    // not watch as it normally does (a stopped network, disabled alarms);
    // empty hides it.
    virtual void ShowMonitoringState(std::string_view text) = 0;
    // A lasting sign in the header that a notice of the call list was given
    // up, until that contact is reached again; empty hides it.
    virtual void ShowNoticeProblem(std::string_view text) = 0;
    virtual void ShowLogo(bool show) = 0;
    virtual void ShowModeText(bool show) = 0;
    virtual void SetModeText(std::string_view text) = 0;
    virtual void ShowDealerText(bool show, std::string_view text) = 0;

    virtual void SetAcquisitionIndicator(std::uint32_t rgb) = 0;
    virtual void SetMenuBarDimmed(bool dimmed) = 0;
    // The busy cursor over the window during work that holds the user interface.
    virtual void SetWaitCursor(bool on) = 0;
    virtual void Beep() = 0;
    virtual void BringToFront() = 0;
};

}  // namespace qrv
