#include "probe_editor/dialog/qt_probe_editor_view.h"

#include <QApplication>

namespace qrv::probe_editor {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

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
