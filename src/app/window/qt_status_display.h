#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "app/window/main_panel.h"
#include "runtime/status_display.h"

namespace qrv::window {

// The status fields as the station's threads see them. Calls from the GUI
// thread act at once; calls from any other thread are posted to the GUI
// thread, so the acquisition thread never touches a widget.
class QtStatusDisplay final : public StatusDisplay {
  public:
    QtStatusDisplay(MainPanel* panel, QMainWindow* window) : panel_(panel), window_(window) {}

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
    void OnPanel(std::function<void(MainPanel&)> change);
    void OnWindow(std::function<void(QMainWindow&)> change);

    QPointer<MainPanel> panel_;
    QPointer<QMainWindow> window_;
    // Touched on the window's thread only: Qt's override cursors stack, so
    // each one set is restored exactly once.
    bool waitCursor_ = false;
};

}  // namespace qrv::window
