#pragma once

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>

namespace qrv::testing {

// The item of a menu bar with this (Qt) text, searched through every submenu.
inline QAction* FindMenuAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            return action;
        }
        if (action->menu() != nullptr) {
            if (QAction* found = FindMenuAction(action->menu(), text)) {
                return found;
            }
        }
    }
    return nullptr;
}

inline QAction* FindMenuAction(QMenuBar* bar, const QString& text) {
    for (QAction* top : bar->actions()) {
        if (QAction* found = FindMenuAction(top->menu(), text)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace qrv::testing
