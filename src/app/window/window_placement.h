#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

namespace qrv::window {

// Room for a window manager's frame while the window has none yet.
inline constexpr QMargins kFrameAllowance{8, 40, 8, 8};

// Where a window of the preferred size goes on a screen whose free area is
// available: at most that area less the frame, at least minimum, centred.
QRect FitIntoScreen(const QRect& wanted, const QRect& available, const QSize& minimum,
                    const QMargins& frame);

// The main window's size, position and maximised state across starts, in a
// settings file of its own (the desktop's, not the station's: another user
// of the same station has another screen). Without a file the window opens
// at its preferred size fitted into the screen and nothing is remembered.
class WindowPlacement {
  public:
    WindowPlacement(QString settingsFile, QSize preferred)
        : file_(std::move(settingsFile)), preferred_(preferred) {}

    // Before the window is first shown.
    void Restore(QMainWindow& window) const;
    // Once it has a frame: moves it inside the screen when the frame that
    // the window manager gave it sticks out.
    static void KeepFrameOnScreen(QMainWindow& window);
    void Save(const QMainWindow& window) const;

  private:
    QString file_;
    QSize preferred_;
};

}  // namespace qrv::window
