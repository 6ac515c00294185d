#include "probe_editor/dialog/time_alarm_group.h"

#include <QGridLayout>

#include "qt_values/qt_values.h"
#include "text/texts.h"

namespace qrv::probe_editor {

using text::Key;

namespace {

// Room for four digits and a stray character the editor then refuses.
constexpr int kFieldLength = 6;

QLineEdit* MinutesField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setMaxLength(kFieldLength);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(70);
    field->setPlaceholderText("min");
    return field;
}

}  // namespace

TimeAlarmGroup::TimeAlarmGroup(QWidget* parent, int taal) : QGroupBox(parent) {
    setObjectName("timeAlarmGroup");
    const auto plain = [taal](Key key) { return Q(text::Plain(key, taal)).trimmed(); };
    setTitle(plain(Key::TXT_TIME_ALARM_SECTION));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    hint_ = new QLabel(plain(Key::TXT_TIME_ALARM_HINT), this);
    hint_->setWordWrap(true);
    grid->addWidget(hint_, 0, 0, 1, 2);
    above_ = MinutesField(this, "minutesAbove");
    below_ = MinutesField(this, "minutesBelow");
    aboveCaption_ = new QLabel(plain(Key::TXT_TIME_ALARM_ABOVE), this);
    aboveCaption_->setBuddy(above_);
    belowCaption_ = new QLabel(plain(Key::TXT_TIME_ALARM_BELOW), this);
    belowCaption_->setBuddy(below_);
    grid->addWidget(aboveCaption_, 1, 0);
    grid->addWidget(above_, 1, 1);
    grid->addWidget(belowCaption_, 2, 0);
    grid->addWidget(below_, 2, 1);
    problem_ = new QLabel(this);
    problem_->setObjectName("timeAlarmProblem");
    problem_->setStyleSheet("color: #C00000; font-weight: bold;");
    problem_->setWordWrap(true);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(problem_, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
}

void TimeAlarmGroup::Show(const TimeAlarmPanelDisplay& display,
                          const TimeAlarmPanelValues& values) {
    setVisible(display.shown);
    above_->setText(Q(values.minutesAbove));
    below_->setText(Q(values.minutesBelow));
    above_->setEnabled(display.editable);
    below_->setEnabled(display.editable);
    problem_->setText(Q(display.problem));
    problem_->setVisible(!display.problem.empty());
}

TimeAlarmPanelValues TimeAlarmGroup::Read() const {
    return {above_->text().toStdString(), below_->text().toStdString()};
}

}  // namespace qrv::probe_editor
