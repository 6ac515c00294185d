#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <array>
#include <vector>

#include "probe_editor/dialog/calibration_group.h"
#include "probe_editor/dialog/limit_spin_box.h"
#include "probe_editor/dialog/time_alarm_group.h"
#include "probe_editor/probe_editor.h"

namespace qrv::probe_editor {

// The probe settings panel: every control of the editor, labelled in the
// station's language. It only shows values and reads them back; each user
// action is handed to the ProbeEditor, which decides.
class ProbeEditorDialog final : public QDialog {
    Q_OBJECT
  public:
    ProbeEditorDialog(QWidget* parent, ProbeEditor& editor, int taal, bool navigation);

    void ShowNewProbeLine(bool show);
    void Show(const ProbePanelDisplay& display, const ProbePanelValues& values);
    void ShowLimits(const ProbePanelValues& values);
    void ShowMovedLimits(const std::vector<LimitField>& moved, const QString& note);
    void ShowWindow(int day, const AlarmWindow& window);
    void ShowWarning(const QString& warning);
    void SetNameText(const QString& name);
    void FocusName();
    ProbePanelValues Read() const;
    void ShowCalibration(const CalibrationPanelDisplay& display,
                         const CalibrationPanelValues& values);
    void ShowCalibrationReadings(const CalibrationReadings& readings);
    CalibrationPanelValues ReadCalibration() const;
    void ShowTimeAlarm(const TimeAlarmPanelDisplay& display, const TimeAlarmPanelValues& values);
    TimeAlarmPanelValues ReadTimeAlarm() const;
    // Ends the panel's event loop; later signals of its controls are ignored.
    void Finish();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct LimitRow {
        QLabel* label;
        LimitSpinBox* value;
        QLabel* units;
        // Beside the field while it holds a decimal separator, and after
        // the field went back to its value for it.
        QLabel* wholeUnits;
    };
    struct DayRow {
        QLabel* label;
        QComboBox* start;
        QComboBox* stop;
    };

    QWidget* BuildHeader();
    QGroupBox* BuildAlarmGroup();
    QGroupBox* BuildTripGroup();
    QGroupBox* BuildTimesGroup();
    QGroupBox* BuildActionsGroup();
    CalibrationGroup* BuildCalibrationGroup();
    void BuildMenu(bool navigation);
    void Translate();
    LimitRow AddLimitRow(QGridLayout* grid, int row, LimitField field);
    QSpinBox* AddDelay(QGridLayout* grid, int row, QLabel*& label);
    void ShowKind(ProbePanelKind kind);
    LimitRow* RowOf(LimitField field);
    void ShowDecimalRefusal(LimitRow& row, const QString& text);
    // Runs an editor callback unless the panel is being filled or has ended.
    template <typename F>
    void Forward(F&& callback);

    ProbeEditor& editor_;
    int taal_;
    bool updating_ = false;
    bool finished_ = false;

    QLabel* nameLabel_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QComboBox* status_ = nullptr;
    QLabel* newProbe_ = nullptr;
    QLabel* warning_ = nullptr;
    QLabel* typeCaption_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* addressCaption_ = nullptr;
    QLabel* address_ = nullptr;
    QGroupBox* alarmGroup_ = nullptr;
    LimitRow alarmHigh_{};
    LimitRow alarmLow_{};
    QLabel* switchLabel_ = nullptr;
    QComboBox* switchState_ = nullptr;
    QLabel* alarmDelayLabel_ = nullptr;
    QSpinBox* alarmDelay_ = nullptr;
    QGroupBox* tripGroup_ = nullptr;
    LimitRow tripHigh_{};
    LimitRow tripLow_{};
    QLabel* tripDelayLabel_ = nullptr;
    QSpinBox* tripDelay_ = nullptr;
    QGroupBox* timesGroup_ = nullptr;
    std::array<DayRow, 7> days_{};
    QGroupBox* actionsGroup_ = nullptr;
    QCheckBox* relay_ = nullptr;
    QCheckBox* sms_ = nullptr;
    QLabel* reasonLabel_ = nullptr;
    QLineEdit* reason_ = nullptr;
    CalibrationGroup* calibration_ = nullptr;
    TimeAlarmGroup* timeAlarm_ = nullptr;
    QPushButton* ok_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* selectMenu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* clear_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* back_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* next_ = nullptr;
};

}  // namespace qrv::probe_editor
