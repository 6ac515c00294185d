#include "app/window/qt_status_display.h"

#include <QApplication>
#include <QDateTime>
#include <QMenuBar>
#include <QMetaObject>
#include <QThread>

#include "qt_values/qt_values.h"

namespace qrv::window {

namespace {

// Runs change on the object's thread: at once when already there, queued
// otherwise. The object may be gone by the time a queued change runs.
template <typename T>
void RunOn(QPointer<T> target, std::function<void(T&)> change) {
    if (!target) {
        return;
    }
    if (QThread::currentThread() == target->thread()) {
        change(*target);
        return;
    }
    QMetaObject::invokeMethod(
        target.data(),
        [target, change = std::move(change)] {
            if (target) {
                change(*target);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace

void QtStatusDisplay::OnPanel(std::function<void(MainPanel&)> change) {
    RunOn(panel_, std::move(change));
}

void QtStatusDisplay::OnWindow(std::function<void(QMainWindow&)> change) {
    RunOn(window_, std::move(change));
}

void QtStatusDisplay::SetStatusLine(std::string_view text, std::uint32_t rgb) {
    OnPanel([text = Q(text), rgb](MainPanel& panel) { panel.SetStatusLine(text, FromRgb(rgb)); });
}

void QtStatusDisplay::ProcessDrawEvents() {
    // Only the GUI thread can draw; posted changes are drawn when they run.
    if (panel_ && QThread::currentThread() == panel_->thread()) {
        panel_->RepaintStatusLine();
    }
}

void QtStatusDisplay::SetDateTime(const LocalDateTime& now) {
    OnPanel([now](MainPanel& panel) {
        panel.SetDateTime(QDateTime(QDate(now.year, now.month, now.day),
                                    QTime(now.hour, now.minute, now.second)));
    });
}

void QtStatusDisplay::ShowAlarmBanner(bool show, std::string_view text) {
    OnPanel([show, text = Q(text)](MainPanel& panel) { panel.ShowAlarmBanner(show, text); });
}

void QtStatusDisplay::ColorAlarmBanner(int phase) {
    OnPanel([phase](MainPanel& panel) { panel.ColorAlarmBanner(phase); });
}

void QtStatusDisplay::ShowAlarmButton(bool show) {
    OnPanel([show](MainPanel& panel) { panel.ShowAlarmButton(show); });
}

void QtStatusDisplay::SetAlarmButton(int value) {
    OnPanel([value](MainPanel& panel) { panel.SetAlarmButton(value); });
}

void QtStatusDisplay::ShowInstallNotice(bool show, std::string_view text) {
    OnPanel([show, text = Q(text)](MainPanel& panel) { panel.ShowInstallNotice(show, text); });
}

void QtStatusDisplay::ShowStoreProblem(bool show, std::string_view text) {
    OnPanel([show, text = Q(text)](MainPanel& panel) { panel.ShowStoreProblem(show, text); });
}

void QtStatusDisplay::ShowNoticeProblem(std::string_view text) {
    OnPanel([text = Q(text)](MainPanel& panel) { panel.ShowNoticeProblem(text); });
}

void QtStatusDisplay::ShowMonitoringState(std::string_view text) {
    OnPanel([text = Q(text)](MainPanel& panel) { panel.ShowMonitoringState(text); });
}

void QtStatusDisplay::ShowLogo(bool show) {
    OnPanel([show](MainPanel& panel) { panel.ShowLogo(show); });
}

void QtStatusDisplay::ShowModeText(bool show) {
    OnPanel([show](MainPanel& panel) { panel.ShowModeText(show); });
}

void QtStatusDisplay::SetModeText(std::string_view text) {
    OnPanel([text = Q(text)](MainPanel& panel) { panel.SetModeText(text); });
}

void QtStatusDisplay::ShowDealerText(bool show, std::string_view text) {
    OnPanel([show, text = Q(text)](MainPanel& panel) { panel.ShowDealerText(show, text); });
}

void QtStatusDisplay::SetAcquisitionIndicator(std::uint32_t rgb) {
    OnPanel([rgb](MainPanel& panel) { panel.SetAcquisitionIndicator(FromRgb(rgb)); });
}

void QtStatusDisplay::SetMenuBarDimmed(bool dimmed) {
    OnWindow([dimmed](QMainWindow& window) { window.menuBar()->setEnabled(!dimmed); });
}

void QtStatusDisplay::SetWaitCursor(bool on) {
    OnWindow([this, on](QMainWindow&) {
        if (on == waitCursor_) {
            return;
        }
        waitCursor_ = on;
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
}

void QtStatusDisplay::Beep() {
    OnWindow([](QMainWindow&) { QApplication::beep(); });
}

void QtStatusDisplay::BringToFront() {
    OnWindow([](QMainWindow& window) {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.show();
        window.raise();
        window.activateWindow();
    });
}

}  // namespace qrv::window
