#include <gtest/gtest.h>

#include <QChart>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include <fmt/format.h>

#include "reports/pages/daily_sheet_panel.h"
#include "reports/pages/display_dates.h"
#include "reports/pages/report_panel.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "storage/result_file_format.h"
#include "support/panel_fixture.h"
#include "support/pdf_text.h"
#include "support/qt_app.h"
#include "views/current_values.h"
#include "views/history_view.h"
#include "views/panels/current_values_panel.h"
#include "views/panels/history_panel.h"

namespace qrv::testing {
namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The probe table of a station whose generator wrote its files.
void FillTable(SensorTable& table, int count) {
    const std::vector<GeneratedProbe> probes = MakeGeneratedProbes(count);
    for (int i = 0; i < count; ++i) {
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        record.Line = 1;
        record.Rom = probes[static_cast<std::size_t>(i)].rom;
        record.Name = probes[static_cast<std::size_t>(i)].name;
        table.DefineSensorTypeAndUnits(i);
    }
}

class CurrentValuesPanelTest : public ::testing::Test, protected PanelFixture {
  protected:
    CurrentValuesPanelTest() {
        Generate(2026, 1, 5, 1, 13, 10);
        FillTable(*table->Lock(), 14);  // the fourteenth probe has no values today
        table->Lock()->SensorArray[0].Value = -19.5;
        table->Lock()->SensorArray[12].Value = 1.0;
    }

    panels::LiveProbes Live() {
        return {*table, feed, communicationError, viewProbeSensor, viewingGraphActive};
    }
    // Publishes as the station does and lets the event loop deliver it.
    void Publish(const LiveEvent& event) {
        feed.Publish(event);
        QCoreApplication::processEvents();
    }
    void Stored(int hour, int minute) {
        LocalDateTime at = clock.Now();
        at.hour = hour;
        at.minute = minute;
        Publish(StationEvent(LiveEventKind::kStored, at));
    }
    void Read(int index, double value) {
        table->Lock()->SensorArray[static_cast<std::size_t>(index)].Value = value;
        Publish(ProbeEvent(LiveEventKind::kReading, clock.Now(), index,
                           table->Copy().SensorArray[static_cast<std::size_t>(index)]));
    }

    std::unique_ptr<SharedSensorTable> table = std::make_unique<SharedSensorTable>();
    LiveFeed feed;
    std::atomic<int> communicationError{0};
    int viewProbeSensor = 0;
    int viewingGraphActive = 0;
};

TEST_F(CurrentValuesPanelTest, BigViewGraphAndCursorReadout) {
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(0);
    EXPECT_EQ(viewingGraphActive, 1);
    EXPECT_EQ(panel.windowTitle().toStdString(), "Current display");
    EXPECT_EQ(Text(panel, "probeName"), "Freezer 1 °C");
    EXPECT_EQ(Text(panel, "probeType"), "Temperature probe");
    EXPECT_EQ(Text(panel, "bigValue"), " -19.5°C");
    EXPECT_EQ(Text(panel, "stateText"), "Probe is active");
    EXPECT_EQ(panel.Today().ViewArrayMaxIndex, 143);
    ASSERT_EQ(panel.Graph().chart()->series().size(), 1);
    EXPECT_EQ(Text(panel, "cursorTime"), "00:00");

    panel.Graph().SetCursorIndex(60);
    EXPECT_EQ(Text(panel, "cursorTime"), "10:00");
    const double atTen = panel.Today().ViewTemp[60];
    EXPECT_EQ(Text(panel, "cursorValue"), views::CursorValueText(48, atTen, "°C", 0));
    Screenshot(panel, "current-values-en");

    // A failed first reading has its own text, in the lost colour.
    table->Lock()->SensorArray[0].Value = -250.0;
    table->Lock()->SensorArray[0].AlarmState = kPreAlarmHigh;
    panel.UpdateActualBigView();
    EXPECT_EQ(Text(panel, "bigValue"), "????");
    EXPECT_EQ(Text(panel, "stateText"), "Pre-Alarm: temperature high.");

    panel.accept();
    EXPECT_EQ(viewingGraphActive, 0);
}

TEST_F(CurrentValuesPanelTest, SteppingWrapsAndNamesAProbeWithoutValues) {
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(0);
    panel.ViewPrev();
    EXPECT_EQ(viewProbeSensor, 13);
    // No value of this probe today: its own name, no curve.
    EXPECT_EQ(Text(panel, "probeName"), "Fridge 14");
    EXPECT_TRUE(panel.Graph().chart()->series().isEmpty());
    EXPECT_EQ(Text(panel, "maxLine"), "");
    panel.ViewPrev();
    EXPECT_EQ(Text(panel, "probeName"), "Door 13");
    EXPECT_EQ(Text(panel, "bigValue"), "Open  ");
    EXPECT_EQ(Text(panel, "probeType"), "Status sensor");
    panel.ViewNext();
    panel.ViewNext();
    EXPECT_EQ(viewProbeSensor, 0);
    EXPECT_EQ(Text(panel, "probeName"), "Freezer 1 °C");
}

// The texts the graph shows: its axis titles and labels, as drawn.
std::vector<std::string> ShownTexts(panels::GraphView& graph) {
    QCoreApplication::processEvents();
    graph.grab();
    std::vector<std::string> texts;
    for (const QGraphicsItem* item : graph.scene()->items()) {
        const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (text != nullptr && text->isVisible() && !text->toPlainText().isEmpty()) {
            texts.push_back(text->toPlainText().trimmed().toStdString());
        }
    }
    return texts;
}

int Shown(const std::vector<std::string>& texts, const std::string& text) {
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}

TEST_F(CurrentValuesPanelTest, EachProbesGraphHasOnlyItsOwnAxes) {
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(12);
    ASSERT_EQ(Text(panel, "probeName"), "Door 13");
    const std::vector<std::string> door = ShownTexts(panel.Graph());
    ASSERT_EQ(Shown(door, "Switch"), 1);
    ASSERT_EQ(Shown(door, "Open"), 1);
    ASSERT_EQ(Shown(door, "00:00"), 1);

    panel.ViewPrev();
    const std::vector<std::string> temperature = ShownTexts(panel.Graph());
    Screenshot(panel, "current-values-after-door");
    EXPECT_EQ(Shown(temperature, "Temperature \u00B0C"), 1);
    EXPECT_EQ(Shown(temperature, "Switch"), 0);
    EXPECT_EQ(Shown(temperature, "Open"), 0);
    EXPECT_EQ(Shown(temperature, "Closed"), 0);
    EXPECT_EQ(Shown(temperature, "00:00"), 1);
    QChart& chart = *panel.Graph().chart();
    EXPECT_EQ(chart.axes(Qt::Vertical).size(), 1);
    EXPECT_EQ(chart.axes(Qt::Horizontal).size(), 1);

    // And back: the door's graph has no degrees.
    panel.ViewNext();
    const std::vector<std::string> doorAgain = ShownTexts(panel.Graph());
    EXPECT_EQ(Shown(doorAgain, "Switch"), 1);
    EXPECT_EQ(Shown(doorAgain, "Temperature \u00B0C"), 0);
    EXPECT_EQ(Shown(doorAgain, "00:00"), 1);
    EXPECT_EQ(doorAgain.size(), door.size());
}

TEST_F(CurrentValuesPanelTest, TheGraphDrawsTheProbesLimitsInTheColoursOfTheirStates) {
    SensorRecord& freezer = table->Lock()->SensorArray[0];
    freezer.AlarmLow = -30;
    freezer.TripLow = -26;
    freezer.TripHigh = -15;
    freezer.AlarmHigh = -12;
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(0);
    Screenshot(panel, "current-values-limits");
    const QList<QAbstractSeries*> series = panel.Graph().chart()->series();
    ASSERT_EQ(series.size(), 5);
    EXPECT_EQ(static_cast<QLineSeries*>(series[0])->count(), 144) << "the values come first";
    std::vector<std::pair<double, QRgb>> limits;
    for (int i = 1; i < series.size(); ++i) {
        const auto* line = static_cast<QLineSeries*>(series[i]);
        ASSERT_EQ(line->count(), 2);
        EXPECT_EQ(line->at(0).y(), line->at(1).y());
        EXPECT_EQ(line->pen().style(), Qt::DashLine);
        limits.emplace_back(line->at(0).y(), line->pen().color().rgb() & 0xFFFFFF);
    }
    EXPECT_EQ(limits,
              (std::vector<std::pair<double, QRgb>>{
                  {-12.0, 0xFF0000}, {-30.0, 0xFF0000}, {-15.0, 0xFF6600}, {-26.0, 0xFF6600}}));

    const std::filesystem::path pdf = PrintTo("limits-hardcopy.pdf");
    panel.MakeViewHardCopy();
    KeepForLooking(pdf);
    EXPECT_EQ(PdfPages(pdf).size(), 1U);

    panel.ViewPrev();  // a probe without values today: no curve, no limits
    EXPECT_TRUE(panel.Graph().chart()->series().isEmpty());
}

TEST_F(CurrentValuesPanelTest, StoresAppendAndANewDayRereads) {
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(0);
    panel.Graph().SetCursorIndex(60);
    table->Lock()->SensorArray[0].Value = -10.0;
    Stored(14, 5);
    EXPECT_EQ(panel.Today().ViewArrayMaxIndex, 144);
    EXPECT_EQ(panel.Today().ViewTime[144], 14 * 60 + 5);
    EXPECT_EQ(Text(panel, "maxLine"), "Max:  -10.0°C");
    EXPECT_EQ(Text(panel, "cursorTime"), "10:00");  // the cursor keeps its time of day

    // A failed reading is not appended.
    table->Lock()->SensorArray[0].Value = -994.0;
    Stored(14, 10);
    EXPECT_EQ(panel.Today().ViewArrayMaxIndex, 144);

    // After midnight the new day's file (none yet) is read from its start.
    clock.SetNow({2026, 1, 6, 0, 5, 0, 0});
    table->Lock()->SensorArray[0].Value = -18.0;
    Stored(0, 5);
    EXPECT_TRUE(panel.Graph().chart()->series().isEmpty());
    Stored(0, 10);  // the day is read once
    EXPECT_EQ(panel.Today().ViewArrayMaxIndex, 0);
    EXPECT_EQ(panel.Today().ViewTime[0], 10);
    EXPECT_EQ(panel.Graph().chart()->series().size(), 1);
}

TEST_F(CurrentValuesPanelTest, TheShownProbesEventsRefreshTheBigViewOnlyWhileOpen) {
    panels::CurrentValuesPanel panel(Context(), Live());
    EXPECT_EQ(feed.Subscribers(), 0U) << "a closed panel does not subscribe";
    panel.Open(0);
    EXPECT_EQ(feed.Subscribers(), 1U);
    Read(0, -21.0);
    EXPECT_EQ(Text(panel, "bigValue"), " -21.0°C");
    // Another probe's reading leaves the shown one as it was on screen.
    table->Lock()->SensorArray[0].Value = -22.0;
    Read(1, 3.0);
    EXPECT_EQ(Text(panel, "bigValue"), " -21.0°C");

    communicationError = 1;
    Publish(StationEvent(LiveEventKind::kNetworkLost, clock.Now()));
    EXPECT_EQ(Text(panel, "bigValue"), " ");
    communicationError = 0;
    Publish(StationEvent(LiveEventKind::kNetworkBack, clock.Now()));
    EXPECT_EQ(Text(panel, "bigValue"), " -22.0°C");

    // Events that came while the panel was held up are not all there: it
    // reads the day and the value again.
    table->Lock()->SensorArray[0].Value = -23.0;
    for (std::size_t i = 0; i < LiveFeed::kDefaultCapacity + 1; ++i) {
        feed.Publish(StationEvent(LiveEventKind::kAcquisitionPaused, clock.Now()));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(panel, "bigValue"), " -23.0°C");
    EXPECT_EQ(panel.Today().ViewArrayMaxIndex, 143);

    panel.accept();
    EXPECT_EQ(feed.Subscribers(), 0U);
    Read(0, -5.0);
    EXPECT_EQ(Text(panel, "bigValue"), " -23.0°C");
}

TEST_F(CurrentValuesPanelTest, HardCopyPrintsTodaysGraph) {
    panels::CurrentValuesPanel panel(Context(), Live());
    panel.Open(1);
    const std::filesystem::path pdf = PrintTo("hardcopy.pdf");
    panel.MakeViewHardCopy();
    KeepForLooking(pdf);
    ASSERT_EQ(PdfPages(pdf).size(), 1U);
    const std::string text = PdfText(pdf, 1, 1);
    EXPECT_NE(text.find("Current registration"), std::string::npos);
    EXPECT_NE(text.find("Network address: 0000013CA111"), std::string::npos) << text;
    EXPECT_NE(text.find("Probe: Fridge 2"), std::string::npos);
    EXPECT_NE(text.find("Registration date: 05/01/2026"), std::string::npos);
    EXPECT_NE(text.find("Network: Cold store"), std::string::npos);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

class HistoryPanelTest : public ::testing::Test, protected PanelFixture {
  protected:
    HistoryPanelTest() {
        Generate(2026, 1, 1, 1, 2, 60);
        Generate(2026, 1, 3, 3, 4, 30);
        ClearHistoSensorStructure(*day);
    }
    std::string File(int dayOfMonth) const {
        return ResultFilePath(dataDir, 2026, 1, dayOfMonth).string();
    }
    int Index() const { return day->HistoryIndex; }

    std::unique_ptr<HistoryData> day = std::make_unique<HistoryData>();
    int lastViewAction = 0;
};

TEST_F(HistoryPanelTest, SavedDataAndHistoryModes) {
    panels::HistoryPanel panel(Context(), *day, lastViewAction);
    dialogs.QueueText(std::nullopt);
    EXPECT_FALSE(panel.Open(views::kViewSavedData));  // no file chosen: no view

    dialogs.QueueText(File(4));
    ASSERT_TRUE(panel.Open(views::kViewSavedData));
    EXPECT_EQ(Text(panel, "selectDate"), "&Select File");
    EXPECT_TRUE(panel.findChild<QWidget*>("prevDate")->isHidden());
    EXPECT_EQ(Text(panel, "probeName"), "Freezer 1 °C");
    // In the window's form of the date (written as the locale does).
    EXPECT_EQ(Text(panel, "registrationDate"),
              pages::DisplayEuroDate(0, "04/01/2026").toStdString());
    panel.accept();

    // Opened again in the same mode the day is still there, without a question.
    const std::size_t popups = dialogs.Popups().size();
    ASSERT_TRUE(panel.Open(views::kViewSavedData));
    EXPECT_EQ(dialogs.Popups().size(), popups);
    panel.accept();
    // The history view asks for a file although a day is loaded.
    dialogs.QueueText(File(5));
    ASSERT_TRUE(panel.Open(views::kViewHistory));
    EXPECT_EQ(dialogs.Popups().size(), popups + 1);
    EXPECT_FALSE(panel.findChild<QWidget*>("prevDate")->isHidden());
    EXPECT_EQ(Text(panel, "selectDate"), "&Select Day");
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(HistoryPanelTest, F5ReadsTheDayAgainAndCtrlPPrintsIt) {
    panels::HistoryPanel panel(Context(), *day, lastViewAction);
    dialogs.QueueText(File(1));
    ASSERT_TRUE(panel.Open(views::kViewHistory));
    QApplication::setActiveWindow(&panel);  // as the window manager does
    ASSERT_EQ(day->HistoryMaxIndex, 1);
    std::filesystem::remove(File(1));
    Generate(2026, 1, 1, 1, 4, 60);  // the day now holds two probes more

    QTest::keyClick(&panel, Qt::Key_F5);
    EXPECT_EQ(day->HistoryMaxIndex, 3);

    const std::filesystem::path pdf = PrintTo("f5-day.pdf");
    QTest::keyClick(&panel, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(PdfPages(pdf).size(), 1U);
    EXPECT_NE(PdfText(pdf, 1, 1).find("Registration date: 01/01/2026"), std::string::npos)
        << "the printout keeps the files' form of the date";
    panel.accept();
}

TEST_F(HistoryPanelTest, ProbeAndDayStepping) {
    panels::HistoryPanel panel(Context(), *day, lastViewAction);
    dialogs.QueueText(File(4));
    ASSERT_TRUE(panel.Open(views::kViewHistory));
    panel.HistoryPrevSensor();
    EXPECT_EQ(Index(), 3);
    EXPECT_EQ(Text(panel, "probeName"), "Freezer 4 °C");
    panel.HistoryNextSensor();
    EXPECT_EQ(Index(), 0);
    panel.HistoryPrevSensor();

    panel.HistoryPrevDate();  // 3 January: four probes, the position is kept
    EXPECT_EQ(day->HistoryFileName.string(), File(3));
    EXPECT_EQ(Index(), 3);
    panel.HistoryPrevDate();  // 2 January has no file; 1 January two probes
    EXPECT_EQ(day->HistoryFileName.string(), File(1));
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(Text(panel, "registrationDate"),
              pages::DisplayEuroDate(0, "01/01/2026").toStdString());

    panel.HistoryNextDate();
    panel.HistoryNextDate();
    panel.HistoryNextDate();
    EXPECT_EQ(day->HistoryFileName.string(), File(5));
    panel.HistoryNextDate();  // 6 January lies after today
    EXPECT_EQ(day->HistoryFileName.string(), File(5));
    ASSERT_FALSE(dialogs.Popups().empty());
    EXPECT_EQ(dialogs.Popups().back().message, "Sorry, no more data available.");

    panel.Graph().SetCursorIndex(2);
    EXPECT_EQ(Text(panel, "cursorTime"), "01:00");
    Screenshot(panel, "history-en");
}

TEST_F(HistoryPanelTest, GraphStyleAndPrintedDayPage) {
    graphStyle = 0;
    panels::HistoryPanel panel(Context(), *day, lastViewAction);
    dialogs.QueueText(File(3));
    ASSERT_TRUE(panel.Open(views::kViewHistory));
    const auto shownSeries = [&] {
        return qobject_cast<QLineSeries*>(panel.Graph().chart()->series().front());
    };
    ASSERT_EQ(panel.Graph().chart()->series().size(), 1);
    // Bars: up from the bottom of the axis to every value and down again.
    EXPECT_EQ(shownSeries()->count(), 3 * 48);  // 48 values, far more than a pixel apart
    EXPECT_LT(shownSeries()->at(0).y(),
              panel.Graph().chart()->axes(Qt::Vertical)[0]->property("min").toDouble());
    EXPECT_GT(shownSeries()->pen().widthF(), 1.0);
    Screenshot(panel, "history-bars");
    graphStyle = 3;
    panel.HistoryNextSensor();
    Screenshot(panel, "history-dots");
    EXPECT_EQ(shownSeries()->count(), 48);  // dots: marks without a line
    EXPECT_TRUE(shownSeries()->pointsVisible());
    EXPECT_EQ(shownSeries()->pen().style(), Qt::NoPen);

    const std::filesystem::path pdf = PrintTo("day.pdf");
    panel.PrintHistory();
    ASSERT_EQ(PdfPages(pdf).size(), 1U);
    const std::string text = PdfText(pdf, 1, 1);
    EXPECT_NE(text.find("Previous data record"), std::string::npos);
    EXPECT_NE(text.find("Probe: Fridge 2"), std::string::npos);
    EXPECT_NE(text.find("Registration date: 03/01/2026"), std::string::npos);
}

class ReportPanelTest : public ::testing::Test, protected PanelFixture {
  protected:
    ReportPanelTest() {
        clock.SetNow({2026, 2, 3, 9, 0, 0, 0});
        Generate(2026, 1, 30, 3, 5, 60);
        ClearHistoSensorStructure(*day);
    }
    std::vector<std::string> Items(const QWidget& panel, const char* list) {
        std::vector<std::string> items;
        const auto* widget = panel.findChild<QListWidget*>(list);
        for (int i = 0; i < widget->count(); ++i) {
            items.push_back(widget->item(i)->text().toStdString());
        }
        return items;
    }
    std::unique_ptr<HistoryData> day = std::make_unique<HistoryData>();
};

TEST_F(ReportPanelTest, MonthPeriodPrintsOneOrAllProbes) {
    pages::ReportPanel panel(Context(), *day);
    ASSERT_TRUE(panel.Open(ReportPeriod::Month, 2026));
    EXPECT_EQ(Items(panel, "periodList"), (std::vector<std::string>{" 1", " 2"}));
    EXPECT_EQ(Items(panel, "probeList").size(), 5U);
    EXPECT_TRUE(panel.findChild<QWidget*>("dayList")->isHidden());
    Screenshot(panel, "report-panel-en");

    panel.PeriodeSelect(2);
    EXPECT_EQ(panel.Selection().month, 2);
    EXPECT_EQ(panel.Period().PrintFile[1], ResultFilePath(dataDir, 2026, 2, 1).string());

    const std::filesystem::path all = PrintTo("all.pdf");
    panel.PrintAllSensors();
    const std::vector<PdfPage> pages = PdfPages(all);
    ASSERT_EQ(pages.size(), 5U);
    EXPECT_TRUE(pages[4].Landscape());
    EXPECT_NE(PdfText(all, 5, 5).find("Registration month 02-2026"), std::string::npos);
    // The printer dialog proposes what is printed, not print.pdf.
    EXPECT_EQ(dialogs.Popups().back().message, "Quorvanel Monthly report 2026-02");

    auto* probes = panel.findChild<QListWidget*>("probeList");
    const auto hintShown = [&] { return !panel.findChild<QWidget*>("probeHint")->isHidden(); };
    probes->setCurrentRow(-1);
    EXPECT_TRUE(hintShown()) << "no probe chosen";
    probes->setCurrentRow(2);
    EXPECT_FALSE(hintShown()) << "a probe chosen: nothing to ask for";
    const std::filesystem::path one = PrintTo("one.pdf");
    panel.PrintOneSensor();
    ASSERT_EQ(PdfPages(one).size(), 1U);
    EXPECT_NE(PdfText(one, 1, 1).find("Probe: Room 3"), std::string::npos);
    EXPECT_EQ(dialogs.Popups().size(), 2U);  // one printer dialog per command
    EXPECT_EQ(dialogs.Popups().back().message, "Quorvanel Monthly report 2026-02 Room 3");
}

TEST_F(ReportPanelTest, DayPeriodPrintsDayPagesAndTheList) {
    pages::ReportPanel panel(Context(), *day);
    ASSERT_TRUE(panel.Open(ReportPeriod::Day, 2026));
    EXPECT_EQ(Items(panel, "dayList"), (std::vector<std::string>{"30", "31"}));
    EXPECT_EQ(panel.Selection().day, 30);
    panel.DaySelect(31);

    const std::filesystem::path list = PrintTo("list.pdf");
    panel.ListAllSensors();
    ASSERT_EQ(PdfPages(list).size(), 1U);
    EXPECT_NE(PdfText(list, 1, 1).find("Page 1 of 1"), std::string::npos);
    EXPECT_EQ(dialogs.Popups().back().message, "Quorvanel 2026-01-31 list");
    EXPECT_EQ(day->HistoryInitialized, 0);  // the history view asks for a file next

    panel.ProbeBox(1);
    const std::filesystem::path one = PrintTo("day.pdf");
    panel.PrintOneSensor();
    ASSERT_EQ(PdfPages(one).size(), 1U);
    const std::string text = PdfText(one, 1, 1);
    EXPECT_NE(text.find("Probe: Fridge 2"), std::string::npos);
    EXPECT_NE(text.find("Registration date: 31/01/2026"), std::string::npos);
    EXPECT_EQ(dialogs.Popups().back().message, "Quorvanel 2026-01-31 Fridge 2");
    EXPECT_EQ(day->HistoryInitialized, 1);  // the history view shows the printed day
}

TEST_F(ReportPanelTest, F5ListsTheDaysAnewAndKeepsTheChoice) {
    pages::ReportPanel panel(Context(), *day);
    ASSERT_TRUE(panel.Open(ReportPeriod::Day, 2026));
    QApplication::setActiveWindow(&panel);  // as the window manager does
    panel.DaySelect(31);
    Generate(2026, 1, 29, 1, 5, 60);  // a day's file copied in meanwhile
    QTest::keyClick(&panel, Qt::Key_F5);
    EXPECT_EQ(Items(panel, "dayList"), (std::vector<std::string>{"29", "30", "31"}));
    EXPECT_EQ(panel.Selection().day, 31);
    EXPECT_EQ(Items(panel, "probeList").size(), 5U);
    panel.GebruikerWilTerug();
}

TEST_F(ReportPanelTest, LeavingDuringTheReadStopsIt) {
    pages::ReportPanel panel(Context(), *day);
    // The first progress message lets the panel take events: the user leaves.
    QTimer::singleShot(0, &panel, [&panel] { panel.GebruikerWilTerug(); });
    panel.Open(ReportPeriod::Month, 2026);
    EXPECT_TRUE(Items(panel, "probeList").empty());
    // The read stopped at the next file: at most the first day's 24 hours.
    EXPECT_LT(panel.Period().MonthSensor[0].LastIndex, 24);
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(ReportPanelTest, WeeksWithDataOnly) {
    pages::ReportPanel panel(Context(), *day);
    ASSERT_TRUE(panel.Open(ReportPeriod::Week, 2026));
    // 30 January to 1 February lie in week 5.
    EXPECT_EQ(Items(panel, "periodList"), std::vector<std::string>{" 5"});
    EXPECT_EQ(panel.Selection().week, 5);
    EXPECT_EQ(Items(panel, "probeList").size(), 5U);
    EXPECT_FALSE(panel.Open(ReportPeriod::Week, 2025));
}

// Two fridges stored on 3 and 4 March 2026 and one day of May: the minima
// and maxima of each day are known.
class DailySheetPanelTest : public ::testing::Test, protected PanelFixture {
  protected:
    static constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kFreezer{0x28, 0x01, 0x02, 0x03, 0, 0, 0, 0x77};

    DailySheetPanelTest() {
        clock.SetNow({2026, 5, 20, 9, 0, 0, 0});
        for (const auto& [rom, name, high] :
             {std::tuple{kFridge, "Fridge", 8}, std::tuple{kFreezer, "Freezer", -18}}) {
            const int i = table.Append1820ToDataStruct(rom, 1);
            SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
            record.Name = name;
            record.AlarmLow = high - 6;
            record.AlarmHigh = high;
            table.DefineSensorTypeAndUnits(i);
        }
        for (const auto& [month, day] : {std::pair{3, 3}, {3, 4}, {5, 2}}) {
            std::string bytes = FormatResultHeader(fmt::format("2026-{:02}-{:02}", month, day));
            for (int minute = 0; minute < 1440; minute += 30) {
                // The fridge's coldest value of 3 March is 2.7 at 06:30.
                const double fridge = minute == 390 && day == 3 ? 2.7 : 4.0 + 0.1 * day;
                const std::vector<ProbeLineData> probes{
                    {MakeProbeKey(kFridge, kTypeTemperature), fridge, "Fridge"},
                    {MakeProbeKey(kFreezer, kTypeTemperature), -20.0 - day, "Freezer"}};
                AppendSampleBlock(bytes, minute / 60, minute % 60, probes);
            }
            std::filesystem::create_directories(dataDir);
            WriteBytes(ResultFilePath(dataDir, 2026, month, day), bytes);
        }
        WriteBytes(alarmFile,
                   JoinCrLf({"2026-03-03 06:30: Low Alarm:  Fridge     2.7" + Utf8ToCp1252("°C"),
                             "2026-03-03 06:50: Acknowledged by anna: door closed"}));
    }
    std::vector<std::string> Items(const QWidget& panel, const char* list) {
        std::vector<std::string> items;
        const auto* widget = panel.findChild<QListWidget*>(list);
        for (int i = 0; i < widget->count(); ++i) {
            items.push_back(widget->item(i)->text().toStdString());
        }
        return items;
    }

    SensorTable table;
    std::filesystem::path alarmFile = station / "QRVAlarm.txt";
};

TEST_F(DailySheetPanelTest, OffersStoredMonthsAndPrintsOneProbeOrAll) {
    pages::DailySheetPanel panel(Context(), alarmFile, table);
    ASSERT_TRUE(panel.Open(2026));
    EXPECT_EQ(Items(panel, "monthList"), (std::vector<std::string>{" 3", " 5"}));
    EXPECT_EQ(panel.Month(), 5) << "the latest month comes first";
    panel.findChild<QListWidget*>("monthList")->setCurrentRow(0);
    EXPECT_EQ(panel.Month(), 3);
    EXPECT_EQ(Items(panel, "probeList"), (std::vector<std::string>{"Fridge", "Freezer"}));
    Screenshot(panel, "daily-sheet-panel-en");

    const std::filesystem::path one = PrintTo("sheet-one.pdf");
    panel.ProbeSelect(0);
    panel.findChild<QPushButton*>("printOne")->click();
    KeepForLooking(one);
    ASSERT_EQ(PdfPages(one).size(), 1U);
    const std::string fridge = PdfText(one, 1, 1);
    EXPECT_NE(fridge.find("Daily minimum and maximum 03/2026"), std::string::npos) << fridge;
    EXPECT_NE(fridge.find("Page 1 of 1"), std::string::npos);
    EXPECT_NE(fridge.find("Probe: Fridge"), std::string::npos);
    EXPECT_NE(fridge.find(" 3 2.7 06:30 4.3 00:00"), std::string::npos) << "3 March";
    EXPECT_NE(fridge.find(" 4 4.4 00:00 4.4 00:00"), std::string::npos) << "4 March";
    EXPECT_NE(fridge.find("06:30 Low Alarm: 2.7"), std::string::npos);
    EXPECT_NE(fridge.find("ack 06:50 anna: door closed"), std::string::npos);
    EXPECT_EQ(fridge.find("Freezer"), std::string::npos);

    const std::filesystem::path all = PrintTo("sheet-all.pdf");
    panel.PrintAllSheets();
    KeepForLooking(all);
    const std::vector<PdfPage> pages = PdfPages(all);
    ASSERT_EQ(pages.size(), 2U) << "a sheet for each probe of the month";
    EXPECT_TRUE(pages[1].Landscape());
    const std::string freezer = PdfText(all, 2, 2);
    EXPECT_NE(freezer.find("Probe: Freezer"), std::string::npos);
    EXPECT_NE(freezer.find("Page 2 of 2"), std::string::npos);
    EXPECT_NE(freezer.find(" 3 -23.0 00:00 -23.0 00:00"), std::string::npos) << freezer;
    EXPECT_EQ(dialogs.Popups().size(), 2U) << "one printer dialog per command";
}

TEST_F(DailySheetPanelTest, F5ReadsTheMonthAnewAndKeepsTheProbe) {
    pages::DailySheetPanel panel(Context(), alarmFile, table);
    ASSERT_TRUE(panel.Open(2026));
    QApplication::setActiveWindow(&panel);  // as the window manager does
    ASSERT_EQ(panel.Month(), 5);
    panel.findChild<QListWidget*>("probeList")->setCurrentRow(1);
    std::string bytes = FormatResultHeader("2026-05-03");
    const std::vector<ProbeLineData> probes{
        {MakeProbeKey(kFridge, kTypeTemperature), 3.3, "Fridge"},
        {MakeProbeKey(kFreezer, kTypeTemperature), -21.5, "Freezer"}};
    AppendSampleBlock(bytes, 8, 0, probes);
    WriteBytes(ResultFilePath(dataDir, 2026, 5, 3), bytes);

    QTest::keyClick(&panel, Qt::Key_F5);
    EXPECT_EQ(panel.findChild<QListWidget*>("probeList")->currentRow(), 1);
    const std::filesystem::path sheet = PrintTo("sheet-f5.pdf");
    panel.findChild<QPushButton*>("printOne")->click();
    ASSERT_EQ(PdfPages(sheet).size(), 1U);
    const std::string freezer = PdfText(sheet, 1, 1);
    EXPECT_NE(freezer.find("Probe: Freezer"), std::string::npos) << freezer;
    EXPECT_NE(freezer.find(" 3 -21.5 08:00 -21.5 08:00"), std::string::npos) << freezer;
}

TEST_F(DailySheetPanelTest, ACancelledPrinterIsNoFailureAndAYearWithoutValuesIsRefused) {
    pages::DailySheetPanel panel(Context(), alarmFile, table);
    ASSERT_TRUE(panel.Open(2026));
    dialogs.QueuePrinter(std::nullopt);
    panel.PrintAllSheets();
    ASSERT_EQ(dialogs.Popups().size(), 1U) << "the printer dialog, and no error after it";

    pages::DailySheetPanel empty(Context(), alarmFile, table);
    empty.PrintDailySheet(2025);
    EXPECT_FALSE(empty.isVisible());
    ASSERT_EQ(dialogs.Popups().size(), 2U);
    EXPECT_EQ(dialogs.Popups().back().message, "Sorry, no data available.");
    EXPECT_EQ(display.Snapshot().beeps, 1);
}

TEST_F(DailySheetPanelTest, SpeaksTheStationsLanguage) {
    taal = 1;
    pages::DailySheetPanel panel(Context(), alarmFile, table);
    ASSERT_TRUE(panel.Open(2026));
    EXPECT_EQ(panel.windowTitle().toStdString(), "Tägliches Minimum und Maximum");
    EXPECT_EQ(Text(panel, "printAll"), "Alle Fühler &drucken");
    Screenshot(panel, "daily-sheet-panel-de");
    const std::filesystem::path pdf = PrintTo("sheet-de.pdf");
    panel.PrintOneSheet();
    EXPECT_NE(PdfText(pdf, 1, 1).find("Seite 1 von 1"), std::string::npos);
    EXPECT_EQ(dialogs.Popups().back().message, "Quorvanel Tägliches Minimum und Maximum 2026-05")
        << "the file name proposed is in the station's language too";
}

TEST_F(CurrentValuesPanelTest, PanelsSpeakTheStationsLanguage) {
    taal = 2;
    table->Lock()->SensorArray[0].AlarmState = kAlarmHigh;
    panels::CurrentValuesPanel current(Context(), Live());
    current.Open(0);
    EXPECT_EQ(current.windowTitle().toStdString(), "Affichage actuel");
    EXPECT_EQ(Text(current, "stateText"), "Alarme: température trop élevée.");
    Screenshot(current, "current-values-fr");

    auto day = std::make_unique<HistoryData>();
    ClearHistoSensorStructure(*day);
    int lastViewAction = 0;
    panels::HistoryPanel history(Context(), *day, lastViewAction);
    dialogs.QueueText(ResultFilePath(dataDir, 2026, 1, 5).string());
    ASSERT_TRUE(history.Open(views::kViewHistory));
    history.HistoryNextSensor();
    EXPECT_EQ(history.windowTitle().toStdString(), "Affichage des données enregistrées");
    EXPECT_EQ(Text(history, "typeLine"), "Capteur de température");
    Screenshot(history, "history-fr");

    pages::ReportPanel report(Context(), *day);
    ASSERT_TRUE(report.Open(ReportPeriod::Day, 2026));
    EXPECT_EQ(report.windowTitle().toStdString(), "Quorvanel  menu des rapports");
    Screenshot(report, "report-panel-fr");
}

}  // namespace
}  // namespace qrv::testing
