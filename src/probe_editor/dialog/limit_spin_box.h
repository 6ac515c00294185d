#pragma once

#include <QSpinBox>

namespace qrv::probe_editor {

// A limit field: whole units only. A decimal separator is kept in the text,
// which then is no value: the field cannot be committed as it stands and goes
// back to its value, so that "22.5" never becomes 225 or 22 unseen.
class LimitSpinBox final : public QSpinBox {
    Q_OBJECT
  public:
    explicit LimitSpinBox(QWidget* parent);

    // Whether text holds a decimal separator ('.' or ',').
    static bool HasDecimalSeparator(const QString& text);
    // The field's value as the field writes it.
    QString ValueText() const { return textFromValue(value()); }

  signals:
    // Every change of the field's text, typed or written back.
    void shownTextChanged(const QString& text);

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    // A decimal is never "fixed" into another number (as "22,5" into 225,
    // reading the comma as a thousands separator).
    void fixup(QString& input) const override;
};

}  // namespace qrv::probe_editor
