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
    void ShowWindow(int day, const AlarmWindow& window);
    void ShowWarning(const QString& warning);
    void SetNameText(const QString& name);
    void FocusName();
    ProbePanelValues Read() const;
    // Ends the panel's event loop; later signals of its controls are ignored.
    void Finish();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct LimitRow {
        QLabel* label;
        QSpinBox* value;
        QLabel* units;
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
    void BuildMenu(bool navigation);
    void Translate();
    LimitRow AddLimitRow(QGridLayout* grid, int row, LimitField field);
    QSpinBox* AddDelay(QGridLayout* grid, int row, QLabel*& label);
    void ShowKind(ProbePanelKind kind);
    // Runs an editor callback unless the panel is being filled or has ended.
    template <typename F>
    void Forward(F&& callback);

    ProbeEditor& editor_;
    int taal_;
    bool updating_ = false;
    bool finished_ = false;

    QLabel* nameLabel_;
    QLineEdit* name_;
    QLabel* statusLabel_;
    QComboBox* status_;
    QLabel* newProbe_;
    QLabel* warning_;
    QLabel* typeCaption_;
    QLabel* type_;
    QLabel* addressCaption_;
    QLabel* address_;
    QGroupBox* alarmGroup_;
    LimitRow alarmHigh_{};
    LimitRow alarmLow_{};
    QLabel* switchLabel_;
    QComboBox* switchState_;
    QLabel* alarmDelayLabel_;
    QSpinBox* alarmDelay_;
    QGroupBox* tripGroup_;
    LimitRow tripHigh_{};
    LimitRow tripLow_{};
    QLabel* tripDelayLabel_;
    QSpinBox* tripDelay_;
    QGroupBox* timesGroup_;
    std::array<DayRow, 7> days_{};
    QGroupBox* actionsGroup_;
    QCheckBox* relay_;
    QCheckBox* sms_;
    QPushButton* ok_;
    QMenuBar* menuBar_;
    QMenu* editMenu_;
    QMenu* selectMenu_;
    QAction* undo_;
    QAction* clear_;
    QAction* delete_;
    QAction* back_;
    QAction* previous_;
    QAction* next_;
};

}  // namespace qrv::probe_editor
