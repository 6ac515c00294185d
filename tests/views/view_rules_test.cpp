#include <gtest/gtest.h>

#include <memory>

#include "support/day_builder.h"
#include "views/current_values.h"
#include "views/history_view.h"

namespace qrv::views {
namespace {

using testing::AddDayProbe;
using testing::AddDayValue;

TEST(BigView, StateTextsAndColours) {
    ProbeState probe{kStatusActive, kAlarmNone, 4.5, kTypeTemperature, "°C"};
    BigViewTexts view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.stateText, "Probe is active");
    EXPECT_EQ(view.valueText, "   4.5°C");
    EXPECT_EQ(view.valueColour, kBlack);

    probe.alarmState = kAlarmHigh;
    view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.stateText, "Alarm: temperature too high.");
    EXPECT_EQ(view.valueColour, kAlarmRed);

    probe.sensorType = kTypeHumidity;
    probe.alarmState = kPreAlarmLow;
    view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.stateText, "Pre-Alarm: humidity too low!");
    EXPECT_EQ(view.valueColour, kPreAlarmOrange);

    // A switch has no low or pre-alarm text.
    probe.sensorType = kTypeSwitch;
    probe.value = 1.0;
    view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.stateText, "Probe is active");
    EXPECT_EQ(view.valueText, "Open  ");
    probe.alarmState = kAlarmHigh;
    EXPECT_EQ(MakeBigView(probe, false, 0).stateText, "Alarm: Alarm status sensor");
    probe.value = 3.0;
    EXPECT_EQ(MakeBigView(probe, false, 0).valueText, " - - - - ");

    probe.alarmState = kAlarmLost;
    EXPECT_EQ(MakeBigView(probe, false, 0).stateText, "Alarm: connection with probe lost.");

    probe.status = kStatusInhibit;
    EXPECT_EQ(MakeBigView(probe, false, 0).stateText, "Probe is active, alarm is inhibited");
    probe.status = kStatusOff;
    view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.stateText, "Probe is OFF");
    EXPECT_EQ(view.valueText, "-----");

    const BigViewTexts lostLink = MakeBigView(probe, true, 0);
    EXPECT_EQ(lostLink.stateText, " ");
    EXPECT_EQ(lostLink.valueText, " ");
}

TEST(BigView, ARawReadingThatACalibrationChangedShowsUnderTheValue) {
    ProbeState probe{kStatusActive, kAlarmNone, 4.0, kTypeTemperature, "°C", 4.43};
    EXPECT_EQ(MakeBigView(probe, false, 0).rawText, "Raw reading: 4.4°C");
    EXPECT_EQ(MakeBigView(probe, false, 3).rawText, "Ruwe meting: 4.4°C");
    probe.rawValue = 4.0;
    EXPECT_EQ(MakeBigView(probe, false, 0).rawText, "") << "uncorrected: nothing to add";
    probe.rawValue.reset();
    EXPECT_EQ(MakeBigView(probe, false, 0).rawText, "");
    probe.rawValue = -999.0;
    EXPECT_EQ(MakeBigView(probe, false, 0).rawText, "");
    probe = {kStatusOff, kAlarmNone, 4.0, kTypeTemperature, "°C", 4.43};
    EXPECT_EQ(MakeBigView(probe, false, 0).rawText, "") << "an off probe shows no value at all";
}

TEST(BigView, FailedFirstReadingHasADefinedText) {
    const ProbeState probe{kStatusActive, kAlarmNone, -250.0, kTypeTemperature, "°C"};
    const BigViewTexts view = MakeBigView(probe, false, 0);
    EXPECT_EQ(view.valueText, "????");
    EXPECT_EQ(view.valueColour, kAlarmRed);
    EXPECT_EQ(view.stateText, "Probe is active");
}

TEST(Stepping, WrapsRoundBothWays) {
    EXPECT_EQ(StepIndex(4, 4, true), 0);
    EXPECT_EQ(StepIndex(0, 4, false), 4);
    EXPECT_EQ(StepIndex(2, 4, true), 3);
    EXPECT_EQ(StepIndex(2, 4, false), 1);
    EXPECT_EQ(StepIndex(0, 0, true), 0);
    EXPECT_EQ(StepIndex(0, 0, false), 0);
    // Another day with fewer probes shows the first; with enough, the same.
    EXPECT_EQ(ProbeIndexAfterLoad(5, 9), 5);
    EXPECT_EQ(ProbeIndexAfterLoad(5, 4), 0);
    EXPECT_EQ(ProbeIndexAfterLoad(0, -1), 0);
}

TEST(Cursor, StaysAtTheSameTimeOfDayAcrossRedraws) {
    const std::vector<std::int32_t> minutes{0, 10, 20, 30};
    EXPECT_EQ(CursorIndexForTime(minutes, 0), 0);
    EXPECT_EQ(CursorIndexForTime(minutes, 15), 2);
    EXPECT_EQ(CursorIndexForTime(minutes, 20), 2);
    EXPECT_EQ(CursorIndexForTime(minutes, 45), 3);
    EXPECT_EQ(CursorIndexForTime({}, 5), -1);
    EXPECT_EQ(CursorTimeText(605), "10:05");
}

TEST(HistoryOpening, ModesDoNotShareALoadedDay) {
    auto day = std::make_unique<HistoryData>();
    ClearHistoSensorStructure(*day);
    int lastViewAction = 0;
    EXPECT_FALSE(ReuseLoadedDay(*day, lastViewAction, kViewHistory));
    EXPECT_EQ(lastViewAction, kViewHistory);
    day->HistoryInitialized = 1;  // a file was loaded and shown
    day->HistoryIndex = 3;
    EXPECT_TRUE(ReuseLoadedDay(*day, lastViewAction, kViewHistory));
    EXPECT_EQ(day->HistoryIndex, 3);
    // The saved-data view asks for a file although a day is loaded.
    EXPECT_FALSE(ReuseLoadedDay(*day, lastViewAction, kViewSavedData));
    EXPECT_EQ(day->HistoryInitialized, 0);
    EXPECT_EQ(lastViewAction, kViewSavedData);
    // And once nothing is loaded the probe position starts over.
    EXPECT_FALSE(ReuseLoadedDay(*day, lastViewAction, kViewSavedData));
    EXPECT_EQ(day->HistoryIndex, 0);
}

TEST(HistoryScreen, ProbeTextsGraphAndReadout) {
    auto day = std::make_unique<HistoryData>();
    ClearHistoSensorStructure(*day);
    day->EuroHistoryDatum = "05/01/2026";
    const int fridge = AddDayProbe(*day, "Fridge", '0');
    AddDayValue(*day, fridge, 0, 3.5);
    AddDayValue(*day, fridge, 10, -55.0);
    const int single = AddDayProbe(*day, "Cellar", '1');
    AddDayValue(*day, single, 30, 61.0);

    std::optional<HistoryScreen> screen = MakeHistoryScreen(*day, 0, 0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->probeName, "Fridge");
    EXPECT_EQ(screen->maxLine, "Max:    3.5°C");
    EXPECT_EQ(screen->minLine, "Min:  -55.0°C");
    EXPECT_EQ(screen->registrationDate, "05/01/2026");
    EXPECT_EQ(screen->graph.xs, (std::vector<double>{0, 10}));
    EXPECT_EQ(screen->graph.style.look, PlotLook::Bar);
    // -55.0 is drawn but reads as the dash text.
    EXPECT_EQ(screen->graph.y.lo, -60.0);
    const std::optional<Readout> readout = HistoryReadout(*day, 1, 0);
    ASSERT_TRUE(readout);
    EXPECT_EQ(readout->time, "00:10");
    EXPECT_EQ(readout->value, " - - - - ");
    EXPECT_FALSE(HistoryReadout(*day, 2, 0));

    day->HistoryIndex = StepIndex(day->HistoryIndex, day->HistoryMaxIndex, true);
    screen = MakeHistoryScreen(*day, 1, 0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->typeLine, "Humidity probe");
    EXPECT_EQ(screen->graph.yTitle, "Humidity  %");
    EXPECT_TRUE(screen->graph.xs.empty());  // a single value: texts and axis, no curve
    EXPECT_EQ(screen->graph.y, (ValueAxis{55.0, 65.0, 2}));

    day->HistoryIndex = -1;
    EXPECT_FALSE(MakeHistoryScreen(*day, 1, 0));
}

}  // namespace
}  // namespace qrv::views
