#include "probe_editor/dialog/calibration_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "qt_values/qt_values.h"
#include "text/texts.h"

namespace qrv::probe_editor {

using text::Key;

namespace {

// The largest correction the station accepts, as the command line does.
constexpr double kLargestCalibrationValue = 1000.0;

QDoubleSpinBox* CalibrationValueField(QWidget* parent, int decimals) {
    auto* field = new QDoubleSpinBox(parent);
    field->setRange(-kLargestCalibrationValue, kLargestCalibrationValue);
    field->setDecimals(decimals);
    field->setSingleStep(0.1);
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(90);
    return field;
}

QLineEdit* DateField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText("YYYY-MM-DD");
    field->setMaxLength(10);
    field->setMinimumWidth(100);
    return field;
}

}  // namespace

CalibrationGroup::CalibrationGroup(QWidget* parent, int taal) : QGroupBox(parent) {
    setObjectName("calibrationGroup");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(6);

    current_ = new QLabel(this);
    current_->setObjectName("calibrationCurrent");
    current_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(current_);
    due_ = new QLabel(this);
    due_->setObjectName("calibrationDue");
    due_->setStyleSheet("color: #C00000; font-weight: bold;");
    layout->addWidget(due_);

    auto* readings = new QGridLayout;
    rawCaption_ = new QLabel(this);
    raw_ = new QLabel(this);
    raw_->setObjectName("rawReading");
    correctedCaption_ = new QLabel(this);
    corrected_ = new QLabel(this);
    corrected_->setObjectName("correctedReading");
    for (QLabel* value : {raw_, corrected_}) {
        value->setStyleSheet("font-weight: 600;");
        value->setMinimumWidth(80);
    }
    readings->addWidget(rawCaption_, 0, 0);
    readings->addWidget(raw_, 0, 1);
    readings->addWidget(correctedCaption_, 1, 0);
    readings->addWidget(corrected_, 1, 1);
    readings->setColumnStretch(2, 1);
    layout->addLayout(readings);

    auto* entry = new QGridLayout;
    entry->setHorizontalSpacing(8);
    offsetMode_ = new QRadioButton(this);
    offsetMode_->setObjectName("offsetMode");
    pointsMode_ = new QRadioButton(this);
    pointsMode_->setObjectName("pointsMode");
    auto* modes = new QButtonGroup(this);
    modes->addButton(offsetMode_);
    modes->addButton(pointsMode_);
    offset_ = CalibrationValueField(this, 2);
    offset_->setObjectName("calibrationOffset");
    entry->addWidget(offsetMode_, 0, 0);
    entry->addWidget(offset_, 0, 1);
    entry->addWidget(pointsMode_, 1, 0);
    referenceCaption_ = new QLabel(this);
    readingCaption_ = new QLabel(this);
    entry->addWidget(referenceCaption_, 1, 1);
    entry->addWidget(readingCaption_, 1, 2);
    for (int point = 0; point < 2; ++point) {
        const auto at = static_cast<std::size_t>(2 * point);
        points_[at] = CalibrationValueField(this, 3);
        points_[at]->setObjectName(QString("reference%1").arg(point));
        points_[at + 1] = CalibrationValueField(this, 3);
        points_[at + 1]->setObjectName(QString("reading%1").arg(point));
        take_[static_cast<std::size_t>(point)] = new QPushButton(this);
        take_[static_cast<std::size_t>(point)]->setObjectName(QString("takeReading%1").arg(point));
        take_[static_cast<std::size_t>(point)]->setAutoDefault(false);
        connect(take_[static_cast<std::size_t>(point)], &QPushButton::clicked, this,
                [this, point] { emit takeReadingRequested(point); });
        entry->addWidget(new QLabel(QString("%1.").arg(point + 1), this), 2 + point, 0,
                         Qt::AlignRight);
        entry->addWidget(points_[at], 2 + point, 1);
        entry->addWidget(points_[at + 1], 2 + point, 2);
        entry->addWidget(take_[static_cast<std::size_t>(point)], 2 + point, 3);
    }
    connect(offsetMode_, &QRadioButton::toggled, this,
            [this] { ShowMode(pointsMode_->isChecked()); });

    const auto addText = [this, entry](int row, QLabel*& caption, QLineEdit* field) {
        caption = new QLabel(this);
        caption->setBuddy(field);
        entry->addWidget(caption, row, 0);
        entry->addWidget(field, row, 1, 1, 3);
    };
    date_ = DateField(this);
    date_->setObjectName("calibrationDate");
    instrument_ = new QLineEdit(this);
    instrument_->setObjectName("calibrationInstrument");
    certificate_ = new QLineEdit(this);
    certificate_->setObjectName("calibrationCertificate");
    nextDue_ = DateField(this);
    nextDue_->setObjectName("calibrationNextDue");
    addText(4, dateCaption_, date_);
    addText(5, instrumentCaption_, instrument_);
    addText(6, certificateCaption_, certificate_);
    addText(7, nextDueCaption_, nextDue_);
    layout->addLayout(entry);

    auto* buttons = new QHBoxLayout;
    set_ = new QPushButton(this);
    set_->setObjectName("setCalibration");
    clear_ = new QPushButton(this);
    clear_->setObjectName("clearCalibration");
    for (QPushButton* button : {set_, clear_}) {
        // Enter commits the field being typed in, as on the rest of the panel.
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    connect(set_, &QPushButton::clicked, this, &CalibrationGroup::setRequested);
    connect(clear_, &QPushButton::clicked, this, &CalibrationGroup::clearRequested);
    layout->addLayout(buttons);
    layout->addStretch(1);
    Translate(taal);
    offsetMode_->setChecked(true);
    ShowMode(false);
}

void CalibrationGroup::Translate(int taal) {
    const auto plain = [taal](Key key) { return Q(text::Plain(key, taal)).trimmed(); };
    setTitle(plain(Key::TXT_CALIB_SECTION));
    rawCaption_->setText(plain(Key::TXT_CALIB_RAW));
    correctedCaption_->setText(plain(Key::TXT_CALIB_CORRECTED));
    offsetMode_->setText(plain(Key::TXT_CALIB_OFFSET));
    pointsMode_->setText(plain(Key::TXT_CALIB_TWO_POINTS));
    referenceCaption_->setText(plain(Key::TXT_CALIB_REFERENCE));
    readingCaption_->setText(plain(Key::TXT_CALIB_READING));
    for (QPushButton* take : take_) {
        take->setText(plain(Key::TXT_CALIB_TAKE_READING));
    }
    dateCaption_->setText(plain(Key::TXT_CALIB_DATE));
    instrumentCaption_->setText(plain(Key::TXT_CALIB_INSTRUMENT));
    certificateCaption_->setText(plain(Key::TXT_CALIB_CERTIFICATE));
    nextDueCaption_->setText(plain(Key::TXT_CALIB_NEXT_DUE));
    set_->setText(Q(text::Accel(Key::TXT_CALIB_SET, taal)));
    clear_->setText(Q(text::Accel(Key::TXT_CALIB_CLEAR, taal)));
}

void CalibrationGroup::ShowMode(bool twoPoint) {
    offset_->setEnabled(!twoPoint);
    for (QDoubleSpinBox* field : points_) {
        field->setEnabled(twoPoint);
    }
    for (QPushButton* take : take_) {
        take->setEnabled(twoPoint);
    }
}

void CalibrationGroup::Show(const CalibrationPanelDisplay& display,
                            const CalibrationPanelValues& values) {
    setVisible(display.shown);
    current_->setText(Q(display.current));
    due_->setText(Q(display.due));
    due_->setVisible(!display.due.empty());
    clear_->setEnabled(display.canClear);
    (values.twoPoint ? pointsMode_ : offsetMode_)->setChecked(true);
    ShowMode(values.twoPoint);
    offset_->setValue(values.offset);
    for (std::size_t i = 0; i < points_.size(); ++i) {
        points_[i]->setValue(values.points[i]);
    }
    date_->setText(Q(values.date));
    instrument_->setText(Q(values.instrument));
    certificate_->setText(Q(values.certificate));
    nextDue_->setText(Q(values.nextDue));
}

void CalibrationGroup::ShowReadings(const CalibrationReadings& readings) {
    raw_->setText(Q(readings.raw));
    corrected_->setText(Q(readings.corrected));
}

CalibrationPanelValues CalibrationGroup::Read() const {
    CalibrationPanelValues values;
    values.twoPoint = pointsMode_->isChecked();
    values.offset = offset_->value();
    for (std::size_t i = 0; i < points_.size(); ++i) {
        values.points[i] = points_[i]->value();
    }
    values.date = date_->text().trimmed().toStdString();
    values.instrument = instrument_->text().trimmed().toStdString();
    values.certificate = certificate_->text().trimmed().toStdString();
    values.nextDue = nextDue_->text().trimmed().toStdString();
    return values;
}

}  // namespace qrv::probe_editor
