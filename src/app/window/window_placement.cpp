#include "app/window/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <algorithm>

namespace qrv::window {

namespace {

constexpr const char* kGeometryKey = "mainWindow/geometry";
constexpr const char* kMaximisedKey = "mainWindow/maximised";

QRect AvailableAround(const QRect& wanted) {
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

QRect FitIntoScreen(const QRect& wanted, const QRect& available, const QSize& minimum,
                    const QMargins& frame) {
    const QRect room = available.marginsRemoved(frame);
    const QSize size = wanted.size().boundedTo(room.size()).expandedTo(minimum);
    QRect fitted(wanted.topLeft(), size);
    if (!room.intersects(fitted)) {
        // Remembered on a screen that is gone: centred on this one.
        fitted.moveCenter(room.center());
    }
    // Partly off: pushed in, as far as its minimum size lets it.
    fitted.moveLeft(std::min(fitted.left(), room.right() - size.width() + 1));
    fitted.moveTop(std::min(fitted.top(), room.bottom() - size.height() + 1));
    fitted.moveLeft(size.width() > room.width() ? available.left()
                                                : std::max(fitted.left(), room.left()));
    fitted.moveTop(size.height() > room.height() ? available.top()
                                                 : std::max(fitted.top(), room.top()));
    return fitted;
}

void WindowPlacement::Restore(QMainWindow& window) const {
    bool maximised = false;
    QRect wanted(QPoint(), preferred_);
    bool remembered = false;
    if (!file_.isEmpty()) {
        const QSettings settings(file_, QSettings::IniFormat);
        const QRect stored = settings.value(kGeometryKey).toRect();
        if (stored.isValid()) {
            wanted = stored;
            remembered = true;
        }
        maximised = settings.value(kMaximisedKey, false).toBool();
    }
    const QRect available = AvailableAround(remembered ? wanted : QRect());
    if (!remembered) {
        wanted.moveCenter(available.center());
    }
    window.setGeometry(FitIntoScreen(wanted, available, window.minimumSize(), kFrameAllowance));
    if (maximised) {
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
}

void WindowPlacement::KeepFrameOnScreen(QMainWindow& window) {
    if (window.isMaximized() || window.isFullScreen()) {
        return;
    }
    const QRect frame = window.frameGeometry();
    const QRect available = AvailableAround(frame);
    if (available.contains(frame)) {
        return;
    }
    const QRect inner = window.geometry();
    const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                           frame.right() - inner.right(), frame.bottom() - inner.bottom());
    window.setGeometry(FitIntoScreen(inner, available, window.minimumSize(), margins));
}

void WindowPlacement::Save(const QMainWindow& window) const {
    if (file_.isEmpty()) {
        return;
    }
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(kGeometryKey, window.normalGeometry());
    settings.setValue(kMaximisedKey, window.isMaximized());
    settings.sync();
}

}  // namespace qrv::window
