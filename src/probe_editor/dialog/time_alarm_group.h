#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "probe_editor/probe_editor_view.h"

namespace qrv::probe_editor {

// The probe editor's section for the alarm on the minutes out of range in
// the last 24 hours: two fields, saved with the probe's other settings. It
// only shows and reads back; the editor judges what was typed.
class TimeAlarmGroup final : public QGroupBox {
    Q_OBJECT
  public:
    TimeAlarmGroup(QWidget* parent, int taal);

    void Show(const TimeAlarmPanelDisplay& display, const TimeAlarmPanelValues& values);
    TimeAlarmPanelValues Read() const;

  private:
    QLabel* hint_ = nullptr;
    QLabel* aboveCaption_ = nullptr;
    QLineEdit* above_ = nullptr;
    QLabel* belowCaption_ = nullptr;
    QLineEdit* below_ = nullptr;
    QLabel* problem_ = nullptr;
};

}  // namespace qrv::probe_editor
