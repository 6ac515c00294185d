#include "probe_editor/dialog/probe_editor_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "qt_values/qt_values.h"
#include "text/texts.h"

namespace qrv::probe_editor {

using text::Key;

namespace {

// Wide enough for any limit a sensor file may hold; the probes themselves
// measure -55..125 °C and 0..100 %RH.
constexpr int kLimitRange = 9999;
constexpr int kMaxDelayMinutes = 9999;
constexpr int kQuarterHours = 96;
// The acquisition reads a probe every two seconds at the most.
constexpr int kReadingRefreshMilliseconds = 2000;

QString Label(Key key, int taal) {
    return Q(text::Plain(key, taal)).trimmed();
}

QString MenuLabel(Key key, int taal) {
    return Q(text::Accel(key, taal)).trimmed();
}

QComboBox* TimeRing(QWidget* parent) {
    auto* ring = new QComboBox(parent);
    for (int quarter = 0; quarter <= kQuarterHours; ++quarter) {
        ring->addItem(Q(QuarterHourText(quarter)));
    }
    ring->setMaxVisibleItems(16);
    return ring;
}

void SetUpNumberField(QSpinBox* field, int minimum, int maximum) {
    field->setRange(minimum, maximum);
    // The corrections run when a value is complete, not on every keystroke.
    field->setKeyboardTracking(false);
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(90);
}

QSpinBox* NumberField(QWidget* parent, int minimum, int maximum) {
    auto* field = new QSpinBox(parent);
    SetUpNumberField(field, minimum, maximum);
    return field;
}

constexpr const char* kMovedStyle = "QSpinBox { background: #FFE08A; font-weight: bold; }";

}  // namespace

ProbeEditorDialog::ProbeEditorDialog(QWidget* parent, ProbeEditor& editor, int taal,
                                     bool navigation)
    : QDialog(parent), editor_(editor), taal_(taal) {
    setObjectName("probeEditor");
    setModal(true);
    auto* columns = new QHBoxLayout(this);
    columns->setSpacing(14);
    columns->setContentsMargins(16, 8, 16, 14);
    BuildMenu(navigation);
    columns->setMenuBar(menuBar_);
    auto* layout = new QVBoxLayout;
    layout->setSpacing(10);
    columns->addLayout(layout, 3);
    // The calibration has a file and a record of its own: a section beside
    // the probe's settings, saved with its own button. The time alarm below
    // it is saved with the settings.
    auto* side = new QVBoxLayout;
    side->setSpacing(10);
    side->addWidget(BuildCalibrationGroup(), 1);
    timeAlarm_ = new TimeAlarmGroup(this, taal_);
    side->addWidget(timeAlarm_);
    columns->addLayout(side, 2);
    layout->addWidget(BuildHeader());

    auto* limits = new QHBoxLayout;
    limits->setSpacing(12);
    limits->addWidget(BuildAlarmGroup(), 1);
    limits->addWidget(BuildTripGroup(), 1);
    layout->addLayout(limits);

    auto* lower = new QHBoxLayout;
    lower->setSpacing(12);
    lower->addWidget(BuildTimesGroup(), 3);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildActionsGroup());
    right->addStretch(1);
    // Kept while stepping through the probes: it goes with what is saved.
    reasonLabel_ = new QLabel(this);
    reason_ = new QLineEdit(this);
    reason_->setObjectName("changeReason");
    reasonLabel_->setBuddy(reason_);
    right->addWidget(reasonLabel_);
    right->addWidget(reason_);
    ok_ = new QPushButton(this);
    ok_->setObjectName("okButton");
    ok_->setMinimumWidth(110);
    // Enter commits the field being typed in, as everywhere on the panel;
    // only a click or Alt+O leaves.
    ok_->setAutoDefault(false);
    ok_->setDefault(false);
    connect(ok_, &QPushButton::clicked, this, [this] { Forward([this] { editor_.Leave(); }); });
    right->addWidget(ok_, 0, Qt::AlignRight);
    lower->addLayout(right, 2);
    layout->addLayout(lower);
    // What the panel changed by itself (a limit moved by another) stays
    // here until the next change of a limit.
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("editorStatusLine");
    statusLine_->setWordWrap(true);
    statusLine_->setStyleSheet("color: #8A4B00; font-weight: bold;");
    statusLine_->hide();
    layout->addWidget(statusLine_);

    Translate();
}

void ProbeEditorDialog::BuildMenu(bool navigation) {
    menuBar_ = new QMenuBar(this);
    editMenu_ = menuBar_->addMenu(QString());
    undo_ = editMenu_->addAction(QString());
    clear_ = editMenu_->addAction(QString());
    delete_ = editMenu_->addAction(QString());
    editMenu_->addSeparator();
    back_ = editMenu_->addAction(QString());
    selectMenu_ = menuBar_->addMenu(QString());
    previous_ = selectMenu_->addAction(QString());
    next_ = selectMenu_->addAction(QString());
    selectMenu_->menuAction()->setEnabled(navigation);
    previous_->setEnabled(navigation);
    next_->setEnabled(navigation);
    delete_->setEnabled(navigation);
    connect(undo_, &QAction::triggered, this, [this] { Forward([this] { editor_.UndoProbe(); }); });
    connect(clear_, &QAction::triggered, this,
            [this] { Forward([this] { editor_.ClearProbe(); }); });
    connect(delete_, &QAction::triggered, this,
            [this] { Forward([this] { editor_.DeleteProbe(); }); });
    connect(back_, &QAction::triggered, this, [this] { Forward([this] { editor_.Leave(); }); });
    connect(previous_, &QAction::triggered, this,
            [this] { Forward([this] { editor_.PrevProbe(); }); });
    connect(next_, &QAction::triggered, this, [this] { Forward([this] { editor_.NextProbe(); }); });
}

QWidget* ProbeEditorDialog::BuildHeader() {
    auto* header = new QWidget(this);
    auto* grid = new QGridLayout(header);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);

    nameLabel_ = new QLabel(header);
    name_ = new QLineEdit(header);
    name_->setObjectName("probeName");
    name_->setMaxLength(kMaxNameLength);
    name_->setMinimumWidth(260);
    nameLabel_->setBuddy(name_);
    connect(name_, &QLineEdit::editingFinished, this,
            [this] { Forward([this] { editor_.NameCommitted(); }); });
    grid->addWidget(nameLabel_, 0, 0);
    grid->addWidget(name_, 0, 1);

    statusLabel_ = new QLabel(header);
    status_ = new QComboBox(header);
    status_->setObjectName("probeStatus");
    statusLabel_->setBuddy(status_);
    connect(status_, &QComboBox::activated, this,
            [this] { Forward([this] { editor_.StatusChanged(); }); });
    grid->addWidget(statusLabel_, 0, 2);
    grid->addWidget(status_, 0, 3);

    typeCaption_ = new QLabel(header);
    type_ = new QLabel(header);
    type_->setObjectName("probeType");
    type_->setStyleSheet("font-weight: 600;");
    addressCaption_ = new QLabel(header);
    address_ = new QLabel(header);
    address_->setObjectName("networkAddress");
    address_->setStyleSheet("font-family: monospace; font-weight: 600;");
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(typeCaption_, 1, 0);
    grid->addWidget(type_, 1, 1);
    grid->addWidget(addressCaption_, 1, 2);
    grid->addWidget(address_, 1, 3);

    newProbe_ = new QLabel(header);
    newProbe_->setObjectName("newProbeLine");
    newProbe_->setStyleSheet("color: #1F5FA8; font-weight: bold;");
    newProbe_->setWordWrap(true);
    grid->addWidget(newProbe_, 2, 0, 1, 4);
    warning_ = new QLabel(header);
    warning_->setObjectName("warningLine");
    warning_->setStyleSheet("color: #C00000; font-weight: bold;");
    warning_->setWordWrap(true);
    grid->addWidget(warning_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return header;
}

ProbeEditorDialog::LimitRow ProbeEditorDialog::AddLimitRow(QGridLayout* grid, int row,
                                                           LimitField field) {
    QWidget* parent = grid->parentWidget();
    auto* value = new LimitSpinBox(parent);
    SetUpNumberField(value, -kLimitRange, kLimitRange);
    LimitRow limit{new QLabel(parent), value, new QLabel(parent), new QLabel(parent)};
    limit.label->setBuddy(limit.value);
    limit.units->setMinimumWidth(28);
    limit.wholeUnits->setStyleSheet("color: #C00000;");
    limit.wholeUnits->setWordWrap(true);
    limit.wholeUnits->setMinimumWidth(120);
    limit.wholeUnits->hide();
    connect(limit.value, &QSpinBox::valueChanged, this,
            [this, field] { Forward([this, field] { editor_.LimitChanged(field); }); });
    connect(value, &LimitSpinBox::shownTextChanged, this,
            [this, field](const QString& text) { ShowDecimalRefusal(*RowOf(field), text); });
    grid->addWidget(limit.label, row, 0);
    grid->addWidget(limit.value, row, 1);
    grid->addWidget(limit.units, row, 2);
    grid->addWidget(limit.wholeUnits, row, 3);
    return limit;
}

QSpinBox* ProbeEditorDialog::AddDelay(QGridLayout* grid, int row, QLabel*& label) {
    QWidget* parent = grid->parentWidget();
    label = new QLabel(parent);
    QSpinBox* delay = NumberField(parent, 0, kMaxDelayMinutes);
    delay->setSuffix(" min");
    label->setBuddy(delay);
    grid->addWidget(label, row, 0);
    grid->addWidget(delay, row, 1);
    return delay;
}

QGroupBox* ProbeEditorDialog::BuildAlarmGroup() {
    alarmGroup_ = new QGroupBox(this);
    auto* grid = new QGridLayout(alarmGroup_);
    grid->setColumnStretch(3, 1);
    alarmHigh_ = AddLimitRow(grid, 0, LimitField::kAlarmHigh);
    alarmHigh_.value->setObjectName("alarmHigh");
    alarmHigh_.wholeUnits->setObjectName("alarmHighWholeUnits");
    alarmLow_ = AddLimitRow(grid, 1, LimitField::kAlarmLow);
    alarmLow_.value->setObjectName("alarmLow");
    alarmLow_.wholeUnits->setObjectName("alarmLowWholeUnits");
    switchLabel_ = new QLabel(alarmGroup_);
    switchState_ = new QComboBox(alarmGroup_);
    switchState_->setObjectName("switchState");
    switchLabel_->setBuddy(switchState_);
    grid->addWidget(switchLabel_, 2, 0);
    grid->addWidget(switchState_, 2, 1, 1, 2);
    alarmDelay_ = AddDelay(grid, 3, alarmDelayLabel_);
    alarmDelay_->setObjectName("alarmDelay");
    return alarmGroup_;
}

QGroupBox* ProbeEditorDialog::BuildTripGroup() {
    tripGroup_ = new QGroupBox(this);
    tripGroup_->setObjectName("tripGroup");
    auto* grid = new QGridLayout(tripGroup_);
    grid->setColumnStretch(3, 1);
    tripHigh_ = AddLimitRow(grid, 0, LimitField::kTripHigh);
    tripHigh_.value->setObjectName("tripHigh");
    tripHigh_.wholeUnits->setObjectName("tripHighWholeUnits");
    tripLow_ = AddLimitRow(grid, 1, LimitField::kTripLow);
    tripLow_.value->setObjectName("tripLow");
    tripLow_.wholeUnits->setObjectName("tripLowWholeUnits");
    tripDelay_ = AddDelay(grid, 2, tripDelayLabel_);
    tripDelay_->setObjectName("tripDelay");
    grid->setRowStretch(3, 1);
    return tripGroup_;
}

QGroupBox* ProbeEditorDialog::BuildTimesGroup() {
    timesGroup_ = new QGroupBox(this);
    auto* grid = new QGridLayout(timesGroup_);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    for (int day = 0; day < 7; ++day) {
        DayRow& row = days_[static_cast<std::size_t>(day)];
        row.label = new QLabel(timesGroup_);
        row.start = TimeRing(timesGroup_);
        row.start->setObjectName(QString("start%1").arg(day));
        row.stop = TimeRing(timesGroup_);
        row.stop->setObjectName(QString("stop%1").arg(day));
        row.label->setBuddy(row.start);
        connect(row.start, &QComboBox::activated, this,
                [this, day] { Forward([this, day] { editor_.WindowStartChanged(day); }); });
        connect(row.stop, &QComboBox::activated, this,
                [this, day] { Forward([this, day] { editor_.WindowStopChanged(day); }); });
        grid->addWidget(row.label, day, 0);
        grid->addWidget(row.start, day, 1);
        grid->addWidget(new QLabel(QString::fromUtf8("\u2013"), timesGroup_), day, 2);
        grid->addWidget(row.stop, day, 3);
    }
    grid->setColumnStretch(4, 1);
    return timesGroup_;
}

CalibrationGroup* ProbeEditorDialog::BuildCalibrationGroup() {
    calibration_ = new CalibrationGroup(this, taal_);
    connect(calibration_, &CalibrationGroup::setRequested, this,
            [this] { Forward([this] { editor_.SetCalibration(); }); });
    connect(calibration_, &CalibrationGroup::clearRequested, this,
            [this] { Forward([this] { editor_.ClearCalibration(); }); });
    connect(calibration_, &CalibrationGroup::takeReadingRequested, this,
            [this](int point) { Forward([this, point] { editor_.TakeRawReading(point); }); });
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this,
            [this] { Forward([this] { editor_.RefreshReadings(); }); });
    refresh->start(kReadingRefreshMilliseconds);
    return calibration_;
}

QGroupBox* ProbeEditorDialog::BuildActionsGroup() {
    actionsGroup_ = new QGroupBox(this);
    auto* layout = new QVBoxLayout(actionsGroup_);
    relay_ = new QCheckBox(actionsGroup_);
    relay_->setObjectName("relay");
    sms_ = new QCheckBox(actionsGroup_);
    sms_->setObjectName("sms");
    layout->addWidget(relay_);
    layout->addWidget(sms_);
    return actionsGroup_;
}

void ProbeEditorDialog::Translate() {
    const int taal = taal_;
    setWindowTitle(Label(Key::TXT_PROBE_SET_MENU_NAME, taal));
    editMenu_->setTitle(MenuLabel(Key::TXT_BAR_EDIT, taal));
    undo_->setText(MenuLabel(Key::TXT_BAR_EDIT_UNDO, taal));
    clear_->setText(MenuLabel(Key::TXT_BAR_EDIT_CLEAR, taal));
    delete_->setText(MenuLabel(Key::TXT_BAR_EXTRA_DELE_PROBE, taal));
    back_->setText(MenuLabel(Key::TXT_BAR_BACK_TO_MAIN, taal));
    selectMenu_->setTitle(MenuLabel(Key::TXT_BAR_EDIT_SEL_PROBE, taal));
    previous_->setText(MenuLabel(Key::TXT_BAR_EDIT_PREV_PROBE, taal));
    next_->setText(MenuLabel(Key::TXT_BAR_EDIT_NEXT_PROBE, taal));

    const auto field = [taal](int item) {
        return Q(text::GroupText(text::Group::ProbeEditorLabels, item, taal)).trimmed();
    };
    nameLabel_->setText(field(0));
    statusLabel_->setText(field(1));
    status_->clear();
    for (Key item : {Key::TXT_PROBE_SET_STATUS_ON, Key::TXT_PROBE_SET_STATUS_OFF,
                     Key::TXT_PROBE_SET_STATUS_INH}) {
        status_->addItem(Label(item, taal));
    }
    newProbe_->setText(Label(Key::TXT_NEW_PROBE_SETUP, taal));
    typeCaption_->setText(Label(Key::TXT_PROBE_TYPE, taal));
    addressCaption_->setText(Label(Key::TXT_NETWORK_ADDRESS, taal));

    alarmGroup_->setTitle(Label(Key::TXT_PROBE_ALARM_SET_LIMIT, taal));
    tripGroup_->setTitle(Label(Key::TXT_PROBE_TRIP_SET_LIMIT, taal));
    for (LimitRow* row : {&alarmHigh_, &tripHigh_}) {
        row->label->setText(field(2));
    }
    for (LimitRow* row : {&alarmLow_, &tripLow_}) {
        row->label->setText(field(3));
    }
    alarmDelayLabel_->setText(field(4));
    tripDelayLabel_->setText(field(4));
    switchLabel_->setText(Label(Key::TXT_SWITCH_LEVEL, taal));
    switchState_->clear();
    switchState_->addItem(Label(Key::TXT_SWITCH_CLOSED, taal));
    switchState_->addItem(Label(Key::TXT_SWITCH_OPEN, taal));

    timesGroup_->setTitle(Label(Key::TXT_PROBE_ALARM_BLOCK_TIMES, taal));
    for (int day = 0; day < 7; ++day) {
        days_[static_cast<std::size_t>(day)].label->setText(
            Q(text::GroupText(text::Group::Weekdays, day, taal)));
    }
    actionsGroup_->setTitle(Label(Key::TXT_PROBE_ACTIONS, taal));
    relay_->setText(Label(Key::TXT_PROBE_ACTION_CLOSE_CONT, taal));
    sms_->setText(Label(Key::TXT_PROBE_ACTION_SMS, taal));
    reasonLabel_->setText(Label(Key::TXT_PROBE_REASON, taal));
    ok_->setText(MenuLabel(Key::ButtonOK, taal));
}

template <typename F>
void ProbeEditorDialog::Forward(F&& callback) {
    if (updating_ || finished_) {
        return;
    }
    callback();
}

void ProbeEditorDialog::ShowNewProbeLine(bool show) {
    newProbe_->setVisible(show);
}

void ProbeEditorDialog::ShowKind(ProbePanelKind kind) {
    if (kind == ProbePanelKind::kUnchanged) {
        return;
    }
    const bool analog = kind == ProbePanelKind::kAnalog;
    for (const LimitRow* row : {&alarmHigh_, &alarmLow_}) {
        row->label->setVisible(analog);
        row->value->setVisible(analog);
        row->units->setVisible(analog);
    }
    tripGroup_->setVisible(analog);
    switchLabel_->setVisible(!analog);
    switchState_->setVisible(!analog);
}

void ProbeEditorDialog::Show(const ProbePanelDisplay& display, const ProbePanelValues& values) {
    updating_ = true;
    ShowKind(display.kind);
    if (display.kind != ProbePanelKind::kUnchanged) {
        type_->setText(Q(display.typeText));
    }
    for (const LimitRow* row : {&alarmHigh_, &alarmLow_, &tripHigh_, &tripLow_}) {
        row->units->setText(Q(display.units));
    }
    address_->setText(Q(display.networkAddress));
    name_->setText(Q(values.name));
    status_->setCurrentIndex(values.status);
    switchState_->setCurrentIndex(values.switchAlarmState);
    alarmDelay_->setValue(values.alarmDelayMinutes);
    tripDelay_->setValue(values.tripDelayMinutes);
    for (int day = 0; day < 7; ++day) {
        const AlarmWindow& window = values.windows[static_cast<std::size_t>(day)];
        days_[static_cast<std::size_t>(day)].start->setCurrentIndex(window.Start);
        days_[static_cast<std::size_t>(day)].stop->setCurrentIndex(window.Stop);
    }
    relay_->setChecked(values.relay);
    sms_->setChecked(values.sms);
    updating_ = false;
    ShowLimits(values);
    // Another probe, or the same one reloaded: nothing has moved on it yet.
    ShowMovedLimits({}, {});
    for (LimitRow* row : {&alarmHigh_, &alarmLow_, &tripHigh_, &tripLow_}) {
        row->wholeUnits->hide();
    }
    ShowWarning(Q(display.warning));
}

void ProbeEditorDialog::ShowLimits(const ProbePanelValues& values) {
    updating_ = true;
    alarmHigh_.value->setValue(values.alarmHigh);
    alarmLow_.value->setValue(values.alarmLow);
    tripHigh_.value->setValue(values.tripHigh);
    tripLow_.value->setValue(values.tripLow);
    updating_ = false;
}

ProbeEditorDialog::LimitRow* ProbeEditorDialog::RowOf(LimitField field) {
    switch (field) {
        case LimitField::kAlarmHigh:
            return &alarmHigh_;
        case LimitField::kAlarmLow:
            return &alarmLow_;
        case LimitField::kTripHigh:
            return &tripHigh_;
        case LimitField::kTripLow:
            break;
    }
    return &tripLow_;
}

void ProbeEditorDialog::ShowDecimalRefusal(LimitRow& row, const QString& text) {
    if (LimitSpinBox::HasDecimalSeparator(text)) {
        row.wholeUnits->setText(Label(Key::TXT_LIMIT_WHOLE_UNITS, taal_));
        row.wholeUnits->show();
    } else if (text != row.value->ValueText()) {
        // New digits typed: the refusal is history. The field going back to
        // its value keeps it, so that the user sees why.
        row.wholeUnits->hide();
    }
}

void ProbeEditorDialog::ShowMovedLimits(const std::vector<LimitField>& moved, const QString& note) {
    for (const LimitField field : {LimitField::kAlarmHigh, LimitField::kAlarmLow,
                                   LimitField::kTripHigh, LimitField::kTripLow}) {
        const bool marked = std::find(moved.begin(), moved.end(), field) != moved.end();
        RowOf(field)->value->setStyleSheet(marked ? kMovedStyle : "");
    }
    statusLine_->setText(note);
    statusLine_->setVisible(!note.isEmpty());
}

void ProbeEditorDialog::ShowWindow(int day, const AlarmWindow& window) {
    updating_ = true;
    days_[static_cast<std::size_t>(day)].start->setCurrentIndex(window.Start);
    days_[static_cast<std::size_t>(day)].stop->setCurrentIndex(window.Stop);
    updating_ = false;
}

void ProbeEditorDialog::ShowWarning(const QString& warning) {
    warning_->setText(warning);
    warning_->setVisible(!warning.isEmpty());
}

void ProbeEditorDialog::SetNameText(const QString& name) {
    updating_ = true;
    name_->setText(name);
    updating_ = false;
}

void ProbeEditorDialog::FocusName() {
    name_->setFocus(Qt::OtherFocusReason);
    name_->selectAll();
}

ProbePanelValues ProbeEditorDialog::Read() const {
    ProbePanelValues values;
    values.name = name_->text().toStdString();
    values.status = status_->currentIndex();
    values.alarmHigh = alarmHigh_.value->value();
    values.alarmLow = alarmLow_.value->value();
    values.tripHigh = tripHigh_.value->value();
    values.tripLow = tripLow_.value->value();
    values.switchAlarmState = switchState_->currentIndex();
    values.alarmDelayMinutes = alarmDelay_->value();
    values.tripDelayMinutes = tripDelay_->value();
    for (int day = 0; day < 7; ++day) {
        const DayRow& row = days_[static_cast<std::size_t>(day)];
        values.windows[static_cast<std::size_t>(day)] = {row.start->currentIndex(),
                                                         row.stop->currentIndex()};
    }
    values.relay = relay_->isChecked();
    values.reason = reason_->text().toStdString();
    values.sms = sms_->isChecked();
    return values;
}

void ProbeEditorDialog::ShowCalibration(const CalibrationPanelDisplay& display,
                                        const CalibrationPanelValues& values) {
    calibration_->Show(display, values);
}

void ProbeEditorDialog::ShowCalibrationReadings(const CalibrationReadings& readings) {
    calibration_->ShowReadings(readings);
}

CalibrationPanelValues ProbeEditorDialog::ReadCalibration() const {
    return calibration_->Read();
}

void ProbeEditorDialog::ShowTimeAlarm(const TimeAlarmPanelDisplay& display,
                                      const TimeAlarmPanelValues& values) {
    timeAlarm_->Show(display, values);
}

TimeAlarmPanelValues ProbeEditorDialog::ReadTimeAlarm() const {
    return timeAlarm_->Read();
}

void ProbeEditorDialog::Finish() {
    finished_ = true;
    done(0);
}

void ProbeEditorDialog::reject() {
    // Escape is the close box: leaving goes through the editor's questions.
    Forward([this] { editor_.Leave(); });
}

void ProbeEditorDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    Forward([this] { editor_.Leave(); });
}

}  // namespace qrv::probe_editor
