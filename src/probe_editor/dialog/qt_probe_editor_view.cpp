#include "probe_editor/dialog/qt_probe_editor_view.h"

#include <QApplication>

#include "qt_values/qt_values.h"

namespace qrv::probe_editor {

QtProbeEditorView::~QtProbeEditorView() {
    DiscardPanel();
}

bool QtProbeEditorView::LoadPanel(ProbeEditor& editor, int taal, bool navigation) {
    DiscardPanel();
    dialog_ = new ProbeEditorDialog(parent_, editor, taal, navigation);
    return true;
}

void QtProbeEditorView::ShowWarning(std::string_view warning) {
    dialog_->ShowWarning(Q(warning));
}

void QtProbeEditorView::ShowMovedLimits(const std::vector<LimitField>& moved,
                                        std::string_view note) {
    dialog_->ShowMovedLimits(moved, Q(note));
}

void QtProbeEditorView::SetNameText(std::string_view name) {
    dialog_->SetNameText(Q(name));
}

void QtProbeEditorView::RunModal() {
    // The installation runs with the wait cursor; the panel wants the user.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog_->exec();
    QApplication::restoreOverrideCursor();
}

void QtProbeEditorView::DiscardPanel() {
    delete dialog_.data();
    dialog_ = nullptr;
}

}  // namespace qrv::probe_editor
