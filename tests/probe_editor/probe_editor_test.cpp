// The probe editor's rules, driven through a scripted panel.
#include "probe_editor/probe_editor.h"
#include "probe_editor/limit_moves.h"

#include <gtest/gtest.h>

#include "sensors/sensor_file.h"
#include "support/popup_answers.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/station_file_text.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using View = ScriptedProbeEditorView;
constexpr int kOk = 1;
constexpr int kIgnore = 2;

class ProbeEditorTest : public ::testing::Test {
  protected:
    ProbeEditorTest() {
        Add({0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x55}, 2, "Freezer", kStatusActive);
        Add({0x26, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x66}, 1, "Office", kStatusActive);
        SensorRecord& door = Add({0x12, 1, 2, 3, 4, 5, 6, 0x77}, 3, "Door", kStatusActive);
        door.AlarmHigh = 5;
        Add({0x10, 9, 8, 7, 6, 8, 0, 0x88}, 1, "Spare", kStatusOff);
        SensorRecord& freezer = table.Lock()->SensorArray[0];
        freezer.AlarmLow = -30;
        freezer.TripLow = -25;
        freezer.TripHigh = 25;
        freezer.AlarmHigh = 28;
        freezer.AlarmDelay = 150;
        freezer.TripDelay = 120;
    }

    SensorRecord& Add(RomCode rom, int line, const char* name, int status) {
        const int index = table.Lock()->Append1820ToDataStruct(rom, line);
        table.Lock()->DefineSensorTypeAndUnits(index);
        SensorRecord& record = table.Lock()->SensorArray[static_cast<std::size_t>(index)];
        record.Name = name;
        record.Status = status;
        record.SmsEnable = 1;
        record.RelayEnable = 0;
        return record;
    }

    int Open(int index, bool isNew, bool navigation, std::vector<View::Action> script) {
        view.QueueOpening(std::move(script));
        const ProbeEditorContext context{
            table, dialogs, clock, log, dir / "QRVNL.SNS", 0, demoMode, [this] { ++timerStops; }};
        ProbeEditor editor(context, view);
        const int result = editor.DoeProbeSettingMenu(index, isNew, navigation);
        EXPECT_EQ(view.unfinished, 0) << "the panel was still open when the script ended";
        return result;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const auto& popup : dialogs.Popups()) {
            messages.push_back(popup.message);
        }
        return messages;
    }
    bool SensorFileWritten() const { return std::filesystem::exists(dir / "QRVNL.SNS"); }

    static View::Action Leave() { return View::Press(&ProbeEditor::Leave); }
    static View::Action Next() { return View::Press(&ProbeEditor::NextProbe); }
    static View::Action Prev() { return View::Press(&ProbeEditor::PrevProbe); }
    static View::Action Limit(LimitField field, std::function<void(ProbePanelValues&)> change) {
        return [field, change](View& panel, ProbeEditor& editor) {
            change(panel.screen);
            editor.LimitChanged(field);
        };
    }
    // Checks what the panel shows at this point of the script.
    static View::Action Expect(std::function<void(const View&, const ProbeEditor&)> check) {
        return [check](View& panel, ProbeEditor& editor) { check(panel, editor); };
    }

    TempDir dir;
    SharedSensorTable table;
    VirtualClock clock{{2026, 4, 14, 9, 15, 0, 0}};
    ScriptedDialogs dialogs;
    RecordingLog log;
    View view;
    bool demoMode = false;
    int timerStops = 0;
};

TEST_F(ProbeEditorTest, TheNameLosesTrailingBlanksAndMayDifferFromAnotherOnlyInCase) {
    dialogs.QueueButton(kOk);
    EXPECT_EQ(Open(0, false, false, {View::Type("OFFICE   "), Leave()}), kEditorSaved);
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "OFFICE");
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Do you want to save the new settings?"}));
    EXPECT_EQ(dialogs.Popups()[0].buttons,
              (std::vector<std::string>{"__OK", "__Ignore", "__Cancel"}));
    EXPECT_EQ(dialogs.Popups()[0].enterChoice, kOk);
    EXPECT_EQ(dialogs.Popups()[0].escapeChoice, kCancel);
    EXPECT_TRUE(SensorFileWritten());
}

TEST_F(ProbeEditorTest, EmptyDuplicateAndUnstorableNamesKeepThePanelOpen) {
    dialogs.QueueButton(kOk);
    const int result =
        Open(0, false, false,
             {View::Change([](ProbePanelValues& v) { v.sms = false; }), View::Type("   "), Leave(),
              Expect([](const View& panel, const ProbeEditor&) {
                  EXPECT_EQ(panel.screen.name, "");
                  EXPECT_FALSE(panel.screen.sms) << "a refused name costs no other input";
              }),
              View::Type("Office  "), Leave(), Expect([](const View& panel, const ProbeEditor&) {
                  EXPECT_EQ(panel.screen.name, "Office");
              }),
              View::Type("K\u00fchl\tzelle"), Leave(), View::Type("Sonde \u2713"), Leave(),
              View::Type("K\u00fchlzelle \u20ac"), Leave()});

    EXPECT_EQ(result, kEditorSaved);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{
                  "Please enter a name fot this probe.", "Probe name already exists, select other.",
                  "This name cannot be stored: use letters, digits and signs of Western European "
                  "text only, without control characters.",
                  "These characters cannot be stored in the station's files: \u2713\nPlease "
                  "replace them.",
                  "Do you want to save the new settings?"}));
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "K\u00fchlzelle \u20ac")
        << "the euro sign is Windows-1252";
    EXPECT_EQ(table.Lock()->SensorArray[0].SmsEnable, 0);
    EXPECT_GE(view.nameFocuses, 4);
}

TEST_F(ProbeEditorTest, AnUnchangedProbeLeavesAtOnceWithNothingWritten) {
    EXPECT_EQ(Open(1, false, true, {Leave()}), kEditorNothingSaved);
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_FALSE(SensorFileWritten());
}

TEST_F(ProbeEditorTest, IgnoreLeavesWithoutSavingAndCancelStays) {
    dialogs.QueueButton(kCancel);
    dialogs.QueueButton(kIgnore);
    EXPECT_EQ(
        Open(0, false, false,
             {View::Change([](ProbePanelValues& v) { v.relay = true; }), Leave(),
              Expect([](const View& panel, const ProbeEditor&) { EXPECT_TRUE(panel.IsOpen()); }),
              Leave()}),
        kEditorNothingSaved);
    EXPECT_EQ(table.Lock()->SensorArray[0].RelayEnable, 0);
    EXPECT_FALSE(SensorFileWritten());
}

TEST_F(ProbeEditorTest, ANewProbeCannotBeLeftWithUnsavedChanges) {
    table.Lock()->SensorArray[0].Name = " ";
    dialogs.QueueButton(2);  // Cancel: stay
    dialogs.QueueButton(kOk);
    EXPECT_EQ(Open(0, true, false,
                   {Expect([](const View& panel, const ProbeEditor&) {
                        EXPECT_TRUE(panel.newProbeLine);
                        EXPECT_EQ(panel.screen.name, "") << "the blank placeholder is no name";
                    }),
                    Leave(), View::Type("Cold room"), Leave(), Leave()}),
              kEditorSaved);
    ASSERT_EQ(dialogs.Popups().size(), 3u);
    EXPECT_EQ(dialogs.Popups()[0].message, "Please enter a name fot this probe.");
    EXPECT_EQ(dialogs.Popups()[1].buttons, (std::vector<std::string>{"__OK", "__Cancel"}));
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Cold room");
}

TEST_F(ProbeEditorTest, LimitCorrectionsKeepTheOrderOfTheFourLimits) {
    int alarmLow = 0;
    int alarmHigh = 20;
    int tripLow = 5;
    int tripHigh = 25;
    alarmHigh = 30;
    CorrectLimits(LimitField::kAlarmHigh, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(tripHigh, 30) << "the pre-alarm high follows the alarm high, always";
    alarmHigh = -5;
    CorrectLimits(LimitField::kAlarmHigh, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(alarmHigh, 0) << "raised to the alarm low";
    EXPECT_EQ(tripHigh, 0);

    alarmLow = -10;
    alarmHigh = 30;
    tripLow = -20;
    tripHigh = 20;
    CorrectLimits(LimitField::kTripLow, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(tripLow, -10) << "raised to the alarm low";
    tripHigh = 40;
    CorrectLimits(LimitField::kTripHigh, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(tripHigh, 30) << "lowered to the alarm high";
    tripHigh = -15;
    CorrectLimits(LimitField::kTripHigh, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(tripHigh, -10) << "raised to the pre-alarm low";
    alarmLow = 50;
    CorrectLimits(LimitField::kAlarmLow, alarmLow, alarmHigh, tripLow, tripHigh);
    EXPECT_EQ(alarmLow, 30) << "lowered to the alarm high";
    EXPECT_EQ(tripLow, 30);

    // Through the panel: the corrected values are shown and kept.
    dialogs.QueueButton(kOk);
    Open(0, false, false,
         {Limit(LimitField::kAlarmHigh, [](ProbePanelValues& v) { v.alarmHigh = 30; }),
          Expect([](const View& panel, const ProbeEditor& editor) {
              EXPECT_EQ(panel.screen.tripHigh, 30);
              EXPECT_EQ(editor.EditRecord().TripHigh, 30);
          }),
          Limit(LimitField::kTripLow, [](ProbePanelValues& v) { v.tripLow = -40; }),
          Expect(
              [](const View& panel, const ProbeEditor&) { EXPECT_EQ(panel.screen.tripLow, -30); }),
          Leave()});
    EXPECT_EQ(table.Lock()->SensorArray[0].TripHigh, 30);
    EXPECT_EQ(table.Lock()->SensorArray[0].TripLow, -30);
}

TEST_F(ProbeEditorTest, ALimitMovedByTheRulesIsMarkedAndNamedUntilTheNextChange) {
    // Freezer: alarm -30..28, pre-alarm -25..25.
    dialogs.QueueButton(kOk);
    Open(0, false, false,
         {Limit(LimitField::kAlarmHigh, [](ProbePanelValues& v) { v.alarmHigh = 30; }),
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.movedLimits, std::vector<LimitField>{LimitField::kTripHigh});
              EXPECT_EQ(panel.limitNote,
                        "Pre-alarm high moved to 30 to follow Alarm high. Check it before "
                        "saving.");
          }),
          // Typed below the alarm low: the alarm high itself goes up to it,
          // and the pre-alarm high with it.
          Limit(LimitField::kAlarmHigh, [](ProbePanelValues& v) { v.alarmHigh = -40; }),
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.movedLimits,
                        (std::vector<LimitField>{LimitField::kAlarmHigh, LimitField::kTripHigh}));
              EXPECT_NE(panel.limitNote.find("Alarm high moved to -30 to follow Alarm low."),
                        std::string::npos)
                  << panel.limitNote;
          }),
          Limit(LimitField::kAlarmHigh,
                [](ProbePanelValues& v) {
                    v.alarmHigh = 20;
                    v.tripHigh = 20;
                }),
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_TRUE(panel.movedLimits.empty()) << "nothing else moved: the mark goes";
              EXPECT_EQ(panel.limitNote, "");
          }),
          Limit(LimitField::kTripLow, [](ProbePanelValues& v) { v.tripLow = 25; }),
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.movedLimits, std::vector<LimitField>{LimitField::kTripLow});
              EXPECT_EQ(panel.limitNote,
                        "Pre-alarm low moved to 20 to follow Pre-alarm high. Check it before "
                        "saving.");
          }),
          Leave()});
    EXPECT_EQ(table.Lock()->SensorArray[0].TripLow, 20);
    EXPECT_EQ(MovedLimitsNote({{LimitField::kTripHigh, 30, LimitField::kAlarmHigh}}, 1),
              "Voralarm hoch wurde passend zu Alarmgrenze hoch auf 30 gesetzt. Vor dem "
              "Speichern prüfen.");
}

TEST_F(ProbeEditorTest, WeekdayWindowsAndDelaysAreShownInTheirUnits) {
    dialogs.QueueButton(kOk);
    Open(0, false, false,
         {Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.screen.alarmDelayMinutes, 2) << "150 s shows as 2 minutes";
              EXPECT_EQ(panel.display.units, "\u00B0C");
              EXPECT_EQ(panel.display.typeText, "Temperature probe");
              EXPECT_EQ(panel.display.networkAddress, "0000000A1B2C");
              EXPECT_EQ(panel.display.kind, ProbePanelKind::kAnalog);
          }),
          [](View& panel, ProbeEditor& editor) {
              panel.screen.windows[0] = {72, 40};
              editor.WindowStartChanged(0);
              panel.screen.windows[6] = {48, 20};
              editor.WindowStopChanged(6);
          },
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.screen.windows[0], (AlarmWindow{40, 40})) << "start lowered to stop";
              EXPECT_EQ(panel.screen.windows[6], (AlarmWindow{48, 48})) << "stop raised to start";
          }),
          View::Change([](ProbePanelValues& v) { v.tripDelayMinutes = 3; }), Leave()});
    const SensorRecord& freezer = table.Lock()->SensorArray[0];
    EXPECT_EQ(freezer.AlarmTimes[0], (AlarmWindow{40, 40}));
    EXPECT_EQ(freezer.AlarmDelay, 120) << "2 minutes are stored as 120 s";
    EXPECT_EQ(freezer.TripDelay, 180);
    EXPECT_EQ(QuarterHourText(0), "00:00");
    EXPECT_EQ(QuarterHourText(72), "18:00");
    EXPECT_EQ(QuarterHourText(41), "10:15");
    EXPECT_EQ(QuarterHourText(96), "24:00");
}

TEST_F(ProbeEditorTest, ASwitchShowsItsRingAndAStoredFiveCountsAsOpen) {
    dialogs.QueueButton(kOk);
    EXPECT_EQ(Open(2, false, false,
                   {Expect([](const View& panel, const ProbeEditor& editor) {
                        EXPECT_EQ(panel.display.kind, ProbePanelKind::kSwitch);
                        EXPECT_EQ(panel.display.typeText, "Status sensor");
                        EXPECT_EQ(panel.screen.switchAlarmState, 1);
                        EXPECT_EQ(editor.EditRecord().AlarmHigh, 1);
                    }),
                    Leave()}),
              kEditorSaved)
        << "5 became 1, which is a change to save";
    EXPECT_EQ(table.Lock()->SensorArray[2].AlarmHigh, 1);
}

TEST_F(ProbeEditorTest, TheWarningLineFollowsTheStatus) {
    Open(3, false, false,
         {Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.warning, "WARNING: No alarm settings for this probe!!");
          }),
          [](View& panel, ProbeEditor& editor) {
              panel.screen.status = kStatusInhibit;
              editor.StatusChanged();
          },
          Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.warning,
                        "The alarm function of this probe is temporarily disabled!!");
          }),
          [](View& panel, ProbeEditor& editor) {
              panel.screen.status = kStatusOff;
              editor.StatusChanged();
          },
          Leave()});
    EXPECT_TRUE(dialogs.Popups().empty()) << "back at the stored status: nothing changed";
}

TEST_F(ProbeEditorTest, SteppingIsCyclicAndAsksAboutChanges) {
    // Values the panel shows as stored, so that stepping over them is no change.
    table.Lock()->SensorArray[0].AlarmDelay = 120;
    table.Lock()->SensorArray[2].AlarmHigh = 1;
    dialogs.QueueButton(kCancel);  // stay on Freezer
    dialogs.QueueButton(kIgnore);  // drop the change
    const auto at = [](int index) {
        return Expect([index](const View&, const ProbeEditor& editor) {
            EXPECT_EQ(editor.EditIndex(), index);
        });
    };
    EXPECT_EQ(Open(0, false, true,
                   {Prev(), at(3), Next(), at(0), View::Type("Changed"), Next(), at(0), Next(),
                    at(1), Next(), Next(), at(3), Next(), at(0), Leave()}),
              kEditorNothingSaved);
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Freezer");
    EXPECT_EQ(dialogs.Popups()[0].message, "Do you want to keep these new probe settings?");
    EXPECT_EQ(dialogs.Popups()[0].enterChoice, kIgnore);
}

TEST_F(ProbeEditorTest, ChangesKeptWhileSteppingAreWrittenWhenLeaving) {
    dialogs.QueueButton(kOk);
    EXPECT_EQ(Open(0, false, true, {View::Type("Deep freezer"), Next(), Leave()}), kEditorSaved);
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Deep freezer");
    SensorTable stored;
    ASSERT_EQ(ReadSensorFile(dir / "QRVNL.SNS", stored), 0);
    EXPECT_EQ(stored.SensorArray[0].Name, "Deep freezer");
}

TEST_F(ProbeEditorTest, ClearAndUndo) {
    dialogs.QueueButton(kIgnore);
    Open(0, false, false,
         {View::Press(&ProbeEditor::ClearProbe),
          Expect([](const View& panel, const ProbeEditor& editor) {
              EXPECT_EQ(panel.screen.name, "");
              EXPECT_EQ(panel.screen.alarmHigh, 0);
              EXPECT_EQ(panel.screen.windows[3], (AlarmWindow{0, 96}));
              EXPECT_TRUE(panel.screen.sms);
              EXPECT_TRUE(panel.screen.relay);
              EXPECT_EQ(panel.display.units, "");
              EXPECT_EQ(editor.EditRecord().Status, kStatusActive);
          }),
          View::Press(&ProbeEditor::UndoProbe), Expect([](const View& panel, const ProbeEditor&) {
              EXPECT_EQ(panel.screen.name, "Freezer");
              EXPECT_EQ(panel.screen.alarmHigh, 28);
          }),
          View::Change([](ProbePanelValues& v) { v.sms = false; }), Leave()});
}

TEST_F(ProbeEditorTest, DeleteStopsAcquisitionRemovesTheProbeAndWritesTheFile) {
    dialogs.QueueButton(2);  // No
    dialogs.QueueButton(kYes);
    EXPECT_EQ(
        Open(1, false, true,
             {View::Press(&ProbeEditor::DeleteProbe), View::Press(&ProbeEditor::DeleteProbe)}),
        kEditorDeleted);
    EXPECT_EQ(dialogs.Popups()[0].message, "Delete probe(s) ?\nAll probe data will be lost!");
    EXPECT_EQ(dialogs.Popups()[0].enterChoice, 2);
    EXPECT_EQ(timerStops, 1);
    EXPECT_EQ(table.Lock()->GetMax1820Index(), 2);
    EXPECT_EQ(table.Lock()->SensorArray[1].Name, "Door");
    SensorTable stored;
    ASSERT_EQ(ReadSensorFile(dir / "QRVNL.SNS", stored), 0);
    EXPECT_EQ(stored.GetMax1820Index(), 2);

    demoMode = true;
    Open(2, false, true, {View::Press(&ProbeEditor::DeleteProbe), Leave()});
    EXPECT_EQ(dialogs.Popups().back().message,
              "This action is not possible in the current mode.\n");
    EXPECT_EQ(table.Lock()->GetMax1820Index(), 2);
}

TEST_F(ProbeEditorTest, TheSensorFileAfterAnEditIsByteExact) {
    table.Lock()->ClearDataBase();
    table.Lock()->NetworkName = "Koelcel";
    Add({0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x55}, 102, " ", kStatusActive);
    dialogs.QueueButton(kOk);
    Open(0, true, false,
         {View::Type("Vriezer \u00e9\u00e9n"),
          Limit(LimitField::kAlarmLow, [](ProbePanelValues& v) { v.alarmLow = -25; }),
          Limit(LimitField::kAlarmHigh, [](ProbePanelValues& v) { v.alarmHigh = -10; }),
          View::Change([](ProbePanelValues& v) {
              v.alarmDelayMinutes = 5;
              v.tripDelayMinutes = 2;
              v.status = kStatusInhibit;
              v.windows[5] = {32, 72};
              v.relay = true;
          }),
          Leave()});

    std::string expected;
    for (const std::string& line :
         {std::string(61, '='), std::string("QRVNL SNS FILE Vs 1.10"), kNotice,
          std::string("Date/time stamp=2026-04-14 09:15:00"), std::string("Networkname=Koelcel"),
          std::string("5=0000000005"), std::string("6=0000000006"), std::string("7=0000000007"),
          std::string("8=0000000008"), std::string("9=0000000009")}) {
        expected += line + "\r\n";
    }
    for (int i = 0; i < 10; ++i) {
        expected += "sns\r\n";
    }
    expected += "maxindex\r\n0\r\n" + std::string(35, '=') + "\r\n0\r\n2\r\n";
    expected += "40\r\n44\r\n27\r\n10\r\n0\r\n0\r\n0\r\n85\r\n";
    expected += "Vriezer \xE9\xE9n\r\n0.000000\r\n-25\r\n-10\r\n300\r\n-25\r\n-10\r\n120\r\n";
    expected += "0\r\n2\r\n1\r\n0\r\n";
    for (int day = 0; day < 7; ++day) {
        expected += day == 5 ? "32\r\n72\r\n" : "0\r\n96\r\n";
    }
    expected += "1\r\n1\r\n";
    for (int i = 0; i < 10; ++i) {
        expected += "sp\r\n";
    }
    EXPECT_EQ(ReadBytes(dir / "QRVNL.SNS"), expected);
}

TEST_F(ProbeEditorTest, SettingAllProbesAsksWithTheStatusTextAndPausesFirst) {
    int pauses = 0;
    dialogs.QueueButton(2);
    EXPECT_EQ(DoneAllSensorsSettings(table, dialogs, 0, kStatusInhibit, [&] { ++pauses; }), 0);
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(table.Lock()->SensorArray[0].Status, kStatusActive);
    EXPECT_EQ(dialogs.Popups()[0].message, "Are you sure to set all probes to:   On, no alarm");
    EXPECT_EQ(dialogs.Popups()[0].buttons, (std::vector<std::string>{"__Yes", "__No"}));
    EXPECT_EQ(dialogs.Popups()[0].escapeChoice, 2);

    dialogs.QueueButton(kYes);
    EXPECT_EQ(DoneAllSensorsSettings(table, dialogs, 1, kStatusOff, [&] { ++pauses; }), 1);
    EXPECT_EQ(pauses, 1);
    EXPECT_NE(dialogs.Popups()[1].message.find("   "), std::string::npos);
    for (int index = 0; index <= table.Lock()->GetMax1820Index(); ++index) {
        EXPECT_EQ(table.Lock()->SensorArray[static_cast<std::size_t>(index)].Status, kStatusOff);
    }
    EXPECT_EQ(table.Lock()->SensorArray[4].Status, kStatusActive) << "free slots are left alone";
}

TEST_F(ProbeEditorTest, APanelThatCannotLoadReportsMinusOne) {
    view.panelMissing = true;
    const ProbeEditorContext context{table, dialogs, clock, log, dir / "QRVNL.SNS", 0, false, {}};
    ProbeEditor editor(context, view);
    EXPECT_EQ(editor.DoeProbeSettingMenu(0, false, false), kEditorPanelMissing);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "File QRVProbMenu.UIR could not be read, call your local dealer.\n");
}

}  // namespace
}  // namespace qrv::testing
