#include "probe_editor/dialog/limit_spin_box.h"

#include <QLineEdit>

namespace qrv::probe_editor {

LimitSpinBox::LimitSpinBox(QWidget* parent) : QSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textChanged, this, &LimitSpinBox::shownTextChanged);
}

bool LimitSpinBox::HasDecimalSeparator(const QString& text) {
    return text.contains('.') || text.contains(',');
}

QValidator::State LimitSpinBox::validate(QString& input, int& pos) const {
    if (HasDecimalSeparator(input)) {
        return QValidator::Intermediate;
    }
    return QSpinBox::validate(input, pos);
}

void LimitSpinBox::fixup(QString& input) const {
    if (!HasDecimalSeparator(input)) {
        QSpinBox::fixup(input);
    }
}

}  // namespace qrv::probe_editor
