#pragma once

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "probe_editor/probe_editor_view.h"

namespace qrv::probe_editor {

// The probe editor's calibration section: the calibration in force with the
// probe's raw and corrected readings, and the fields of a new one. It only
// shows and reads back; its buttons are signals for the editor.
class CalibrationGroup final : public QGroupBox {
    Q_OBJECT
  public:
    CalibrationGroup(QWidget* parent, int taal);

    void Show(const CalibrationPanelDisplay& display, const CalibrationPanelValues& values);
    void ShowReadings(const CalibrationReadings& readings);
    CalibrationPanelValues Read() const;

  signals:
    void setRequested();
    void clearRequested();
    void takeReadingRequested(int point);

  private:
    void Translate(int taal);
    void ShowMode(bool twoPoint);

    QLabel* current_ = nullptr;
    QLabel* due_ = nullptr;
    QLabel* rawCaption_ = nullptr;
    QLabel* raw_ = nullptr;
    QLabel* correctedCaption_ = nullptr;
    QLabel* corrected_ = nullptr;
    QRadioButton* offsetMode_ = nullptr;
    QRadioButton* pointsMode_ = nullptr;
    QDoubleSpinBox* offset_ = nullptr;
    QLabel* referenceCaption_ = nullptr;
    QLabel* readingCaption_ = nullptr;
    std::array<QDoubleSpinBox*, 4> points_{};
    std::array<QPushButton*, 2> take_{};
    QLabel* dateCaption_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLabel* instrumentCaption_ = nullptr;
    QLineEdit* instrument_ = nullptr;
    QLabel* certificateCaption_ = nullptr;
    QLineEdit* certificate_ = nullptr;
    QLabel* nextDueCaption_ = nullptr;
    QLineEdit* nextDue_ = nullptr;
    QPushButton* set_ = nullptr;
    QPushButton* clear_ = nullptr;
};

}  // namespace qrv::probe_editor
