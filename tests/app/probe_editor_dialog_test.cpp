// The probe editor dialog in every language, for each kind of probe: nothing
// clipped, and it fits the smallest screen the station supports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "probe_editor/dialog/qt_probe_editor_view.h"
#include "records/calibration.h"
#include "records/time_alarm.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

struct Layout {
    int taal;
    RomCode rom;
    const char* name;
    // The time alarms' file cannot be read: the section shows why.
    bool timeAlarmsUnreadable = false;
};

// The widest text a widget must show in full.
int NeededWidth(QWidget* widget) {
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->fontMetrics().horizontalAdvance(group->title()) + 16;
    }
    return widget->sizeHint().width();
}

std::vector<std::string> ClippedWidgets(QWidget* dialog) {
    std::vector<std::string> clipped;
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (!widget->isVisible()) {
            continue;
        }
        auto* label = qobject_cast<QLabel*>(widget);
        const bool checked = (label != nullptr && !label->wordWrap()) ||
                             qobject_cast<QCheckBox*>(widget) != nullptr ||
                             qobject_cast<QComboBox*>(widget) != nullptr ||
                             qobject_cast<QPushButton*>(widget) != nullptr ||
                             qobject_cast<QGroupBox*>(widget) != nullptr;
        if (label != nullptr && label->wordWrap() &&
            label->heightForWidth(label->width()) > label->height()) {
            clipped.push_back(label->text().toStdString());
        } else if (checked && widget->width() < NeededWidth(widget)) {
            clipped.push_back(widget->metaObject()->className() + std::string(" ") +
                              widget->objectName().toStdString());
        }
    }
    return clipped;
}

const RomCode kTemperature{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x55};
const RomCode kSwitch{0x12, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x77};

class EditorDialogLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(EditorDialogLayout, NothingIsClippedAndThePanelFitsTheScreen) {
    const Layout& layout = GetParam();
    SensorTable probes;
    const int index = probes.Append1820ToDataStruct(layout.rom, 101);
    probes.DefineSensorTypeAndUnits(index);
    probes.SensorArray[0].Name = layout.name;
    probes.SensorArray[0].Status = kStatusInhibit;
    probes.SensorArray[0].FoundOnNetwork = 1;
    probes.SensorArray[0].RawValue = -19.63;
    probes.SensorArray[0].Value = -20.03;
    SharedSensorTable table(probes);
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    TempDir dir;
    // With a calibration in force, so that its section shows it in full.
    records::SharedCalibrations calibrations;
    records::Calibration calibration = *records::TwoPointCalibration(-20.0, -19.6, 0.0, 0.5);
    calibration.rom = layout.rom;
    calibration.date = "2025-11-02";
    calibration.instrument = "Reference thermometer RT-1";
    calibration.certificate = "CAL-2025/0117";
    calibration.nextDue = "2000-01-02";
    calibration.who = "anna";
    calibrations.Replace(records::CalibrationBook{{calibration}});
    const std::filesystem::path timeAlarms = dir / "QRVTimeAlarms.json";
    if (layout.timeAlarmsUnreadable) {
        WriteBytes(timeAlarms, "{\"time_alarms\": [{\"rom\": \"28\", \"minutes_above\": 1440}]}");
    } else {
        ASSERT_TRUE(records::WriteTimeAlarmFile(timeAlarms, {{{layout.rom, 1439, 1439}}}));
    }
    const ProbeEditorContext context{
        table,
        dialogs,
        clock,
        log,
        dir / "QRVNL.SNS",
        layout.taal,
        false,
        {},
        CalibrationAccess{calibrations, dir / "QRVCalibration.json", "anna", {}},
        TimeAlarmAccess{timeAlarms, {}}};
    probe_editor::QtProbeEditorView view(nullptr);
    ProbeEditor editor(context, view);
    std::vector<std::string> clipped;
    QSize size;
    bool inspected = false;
    bool timeAlarmShown = false;
    QTimer::singleShot(0, [&] {
        probe_editor::ProbeEditorDialog* dialog = view.Dialog();
        dialog->adjustSize();
        QApplication::processEvents();
        clipped = ClippedWidgets(dialog);
        size = dialog->size();
        inspected = true;
        if (const char* shots = std::getenv("QRV_SCREENSHOT_DIR")) {
            dialog->grab().save(QString("%1/probe-editor-%2-%3%4.png")
                                    .arg(shots)
                                    .arg(layout.taal)
                                    .arg(probes.SensorArray[0].SensorType)
                                    .arg(layout.timeAlarmsUnreadable ? "-unreadable" : ""));
        }
        const auto* section = dialog->findChild<QGroupBox*>("timeAlarmGroup");
        timeAlarmShown = section != nullptr && section->isVisible();
        dialog->Finish();
    });
    editor.DoeProbeSettingMenu(0, true, false);

    ASSERT_TRUE(inspected);
    EXPECT_EQ(timeAlarmShown, layout.rom == kTemperature) << "a switch has no time alarm";
    EXPECT_TRUE(clipped.empty()) << clipped.front();
    EXPECT_LE(size.width(), 1280);
    EXPECT_LE(size.height(), 760) << "room for the window frame on a 1280x800 screen";
}

INSTANTIATE_TEST_SUITE_P(
    EveryLanguage, EditorDialogLayout,
    ::testing::Values(
        Layout{0, kTemperature, "Cold room"}, Layout{0, kSwitch, "Back door"},
        Layout{1, kTemperature, "K\u00fchlraum"}, Layout{1, kSwitch, "Hintert\u00fcr"},
        Layout{2, kTemperature, "Chambre froide"}, Layout{2, kSwitch, "Porte"},
        Layout{3, kTemperature, "Koelcel"}, Layout{3, kSwitch, "Achterdeur"},
        Layout{0, kTemperature, "Cold room", true}, Layout{1, kTemperature, "K\u00fchlraum", true},
        Layout{2, kTemperature, "Chambre froide", true}, Layout{3, kTemperature, "Koelcel", true}));

}  // namespace
}  // namespace qrv::testing

namespace qrv::testing {
namespace {

// Types text into a field as the keyboard would, then Enter.
void TypeAndEnter(QWidget* field, const QString& typed) {
    for (const QChar c : typed) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
}

SensorTable Freezer() {
    SensorTable probes;
    const int index = probes.Append1820ToDataStruct(kTemperature, 1);
    probes.DefineSensorTypeAndUnits(index);
    SensorRecord& record = probes.SensorArray[0];
    record.Name = "Freezer";
    record.AlarmLow = -30;
    record.TripLow = -25;
    record.TripHigh = 25;
    record.AlarmHigh = 28;
    return probes;
}

class EditorLimitFields : public ::testing::Test {
  protected:
    // Opens the panel, runs inspect on it and leaves without saving.
    void WithPanel(int taal, const std::function<void(probe_editor::ProbeEditorDialog&)>& inspect) {
        const ProbeEditorContext context{table, dialogs, clock, log, dir / "QRVNL.SNS",
                                         taal,  false,   {}};
        probe_editor::QtProbeEditorView view(nullptr);
        ProbeEditor editor(context, view);
        bool ran = false;
        QTimer::singleShot(0, [&] {
            inspect(*view.Dialog());
            ran = true;
            view.Dialog()->Finish();
        });
        editor.DoeProbeSettingMenu(0, false, true);
        EXPECT_TRUE(ran);
    }

    template <typename W>
    static W* Child(QWidget& dialog, const char* name) {
        W* widget = dialog.findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    SharedSensorTable table{Freezer()};
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    TempDir dir;
};

TEST_F(EditorLimitFields, ADecimalInALimitIsRefusedBesideTheFieldAndTheValueStays) {
    for (const QString& typed : {QString("22.5"), QString("22,5")}) {
        WithPanel(0, [&](probe_editor::ProbeEditorDialog& dialog) {
            dialog.show();
            auto* high = Child<QSpinBox>(dialog, "alarmHigh");
            high->setFocus();
            high->selectAll();
            TypeAndEnter(high, typed);
            EXPECT_EQ(high->value(), 28) << typed.toStdString() << " is no whole number";
            EXPECT_NE(high->text(), "225");
            EXPECT_EQ(dialog.Read().alarmHigh, 28);
            auto* refusal = Child<QLabel>(dialog, "alarmHighWholeUnits");
            EXPECT_TRUE(refusal->isVisible());
            EXPECT_EQ(refusal->text(), "Whole units only: a limit takes no decimals.");
            EXPECT_EQ(Child<QSpinBox>(dialog, "tripHigh")->value(), 25) << "nothing followed";

            high->selectAll();
            TypeAndEnter(high, "30");
            EXPECT_EQ(high->value(), 30);
            EXPECT_FALSE(refusal->isVisible()) << "a whole number was typed after it";
        });
    }
    EXPECT_EQ(table.Lock()->SensorArray[0].AlarmHigh, 28) << "nothing saved";
}

TEST_F(EditorLimitFields, ThePreAlarmMovedByTheAlarmLimitIsMarkedAndNamed) {
    WithPanel(3, [&](probe_editor::ProbeEditorDialog& dialog) {
        dialog.show();
        auto* status = Child<QLabel>(dialog, "editorStatusLine");
        EXPECT_FALSE(status->isVisible());
        auto* high = Child<QSpinBox>(dialog, "alarmHigh");
        auto* tripHigh = Child<QSpinBox>(dialog, "tripHigh");
        high->setFocus();
        high->selectAll();
        TypeAndEnter(high, "32");
        EXPECT_EQ(tripHigh->value(), 32);
        EXPECT_TRUE(status->isVisible());
        EXPECT_EQ(status->text(),
                  "Vooralarm hoog is verschoven naar 32 om Alarm hoog te volgen. Controleer dit "
                  "voor het opslaan.");
        EXPECT_FALSE(tripHigh->styleSheet().isEmpty()) << "the moved field is marked";
        EXPECT_TRUE(high->styleSheet().isEmpty());

        tripHigh->setFocus();
        tripHigh->selectAll();
        TypeAndEnter(tripHigh, "30");
        EXPECT_FALSE(status->isVisible()) << "a change that moves nothing clears the line";
        EXPECT_TRUE(tripHigh->styleSheet().isEmpty());
    });
}

}  // namespace
}  // namespace qrv::testing
