#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstdio>
#include <memory>
#include <numeric>
#include <regex>
#include <sstream>

#include "records/audit_trail.h"
#include "records/time_alarm.h"
#include "report_command.h"
#include "reports/pages/page_output.h"
#include "reports/pages/print_job.h"
#include "reports/printouts/day_pages.h"
#include "reports/printouts/settings_pages.h"
#include "runtime/clock.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"
#include "storage/result_file_format.h"
#include "support/pdf_text.h"
#include "support/probe_file_with_limits.h"
#include "support/qt_app.h"
#include "support/recording_log.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs one subcommand of quorvanel-report with the page layer, as main() does.
Outcome RunTool(const std::filesystem::path& station, std::vector<std::string_view> args) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    const report::ToolOutput output{
        out, [](const std::string& path) { return pages::OpenPdfOutput(path); }};
    Outcome outcome;
    for (const report::Command& command : report::Commands()) {
        if (command.name == args.front()) {
            outcome.status = command.run(station, std::span(args).subspan(1), output);
        }
    }
    std::fclose(out);
    outcome.out.assign(buffer, size);
    std::free(buffer);
    return outcome;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ReportPdfTest : public ::testing::Test {
  protected:
    void Generate(const std::string& from, int days, int probes, int interval) {
        ASSERT_EQ(RunTool(station.path(),
                          {"generate", "--from", from, "--days", std::to_string(days), "--probes",
                           std::to_string(probes), "--interval", std::to_string(interval)})
                      .status,
                  0);
    }
    std::filesystem::path Pdf(const std::string& name) const { return station / name; }

    TempDir station;
};

TEST_F(ReportPdfTest, MonthPagesCarryHeadingsAndTheStatisticsOfEveryProbe) {
    Generate("2026-01-30", 3, 13, 30);  // two days of January, one of February
    const std::string pdf = Pdf("month.pdf").string();
    ASSERT_EQ(RunTool(station.path(), {"month", "2026", "01", "--pdf", pdf}).status, 0);
    const std::vector<PdfPage> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 13U);
    for (const PdfPage& page : pages) {
        EXPECT_TRUE(page.Landscape());
    }
    // The statistics the text report prints for each probe stand on its page.
    const std::vector<std::string> text =
        Lines(RunTool(station.path(), {"month", "2026", "01"}).out);
    int page = 0;
    std::string pageText;
    for (const std::string& line : text) {
        if (line.starts_with("probe: ")) {
            ++page;
            pageText = PdfText(pdf, page, page);
            EXPECT_NE(pageText.find("Monthly report"), std::string::npos);
            EXPECT_NE(pageText.find("Registration month 01-2026"), std::string::npos);
            EXPECT_NE(pageText.find("Network address: " + line.substr(7, 12)), std::string::npos);
            EXPECT_NE(pageText.find("Probe: " + line.substr(20)), std::string::npos) << line;
        } else if (line.find(" : ") != std::string::npos || line == "Statistical data") {
            // pdftotext drops the blanks a line ends with (a switch has blank units).
            const std::string expected = Squeezed(line.substr(0, line.find_last_not_of(' ') + 1));
            EXPECT_NE(pageText.find(expected), std::string::npos)
                << "page " << page << ": " << line;
        }
    }
    EXPECT_EQ(page, 13);
    // The thirteenth probe is a door contact: its axis reads Closed and Open.
    const std::string door = PdfText(pdf, 13, 13);
    EXPECT_NE(door.find("Status sensor"), std::string::npos);
    EXPECT_NE(door.find("Closed"), std::string::npos);
    EXPECT_NE(door.find("Open"), std::string::npos);
    EXPECT_EQ(door.find("Max:"), std::string::npos);
    // The month axis numbers the days.
    EXPECT_NE(PdfText(pdf, 1, 1).find("29 30 31"), std::string::npos);
}

TEST_F(ReportPdfTest, AMonthOfAHundredProbesGivesAHundredLandscapePages) {
    Generate("2026-03-10", 1, 100, 60);
    const std::string pdf = Pdf("month.pdf").string();
    const Outcome outcome = RunTool(station.path(), {"month", "2026", "3", "--pdf", pdf});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "wrote 100 pages to " + pdf + "\n");
    const std::vector<PdfPage> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 100U);
    EXPECT_TRUE(pages.front().Landscape());
    EXPECT_TRUE(pages.back().Landscape());
    EXPECT_NE(PdfText(pdf, 100, 100).find("Probe: Humidity 100"), std::string::npos);
}

TEST_F(ReportPdfTest, DayPagesShowTheValueLinesOfTheDay) {
    Generate("2026-01-05", 1, 3, 10);
    const std::string pdf = Pdf("day.pdf").string();
    ASSERT_EQ(RunTool(station.path(), {"day", "2026-01-05", "--pdf", pdf}).status, 0);
    const std::vector<PdfPage> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 3U);
    EXPECT_FALSE(pages[0].Landscape());

    // The lines the page must show, from the day as the history reader sees it.
    auto day = std::make_unique<HistoryData>();
    RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> installed{1};
    StatusMessages status(display, taal, installed);
    SilentProgress progress;
    ClearHistoSensorStructure(*day);
    day->HistoryFileName =
        StationPaths{station.path()}.DataDirectory(kModeNormal) / "2026-01-05.qrd";
    ReadHistoryFromDisk(*day, status, progress);
    const std::vector<std::string> lines = DayValueLines(SeriesOf(day->HistoSensor[1]), 0);
    ASSERT_EQ(lines.size(), 29U);  // 144 values, five a line

    const std::string second = PdfText(pdf, 2, 2);
    EXPECT_NE(second.find("Previous data record"), std::string::npos);
    EXPECT_NE(second.find("Registration date: 05/01/2026"), std::string::npos);
    EXPECT_NE(second.find("2026-01-05.qrd"), std::string::npos);
    EXPECT_NE(second.find("Probe: Fridge 2"), std::string::npos);
    for (const std::string& line : lines) {
        EXPECT_NE(second.find(Squeezed(line)), std::string::npos) << line;
    }
    EXPECT_NE(second.find("12:00"), std::string::npos);  // the time axis
}

// A record's name has 27 characters; the PDFs the dashboard gives showed 24.
TEST_F(ReportPdfTest, DayAndMonthPagesNameTheProbeWhole) {
    Generate("2026-01-05", 1, 2, 60);
    const std::filesystem::path day =
        StationPaths{station.path()}.DataDirectory(kModeNormal) / "2026-01-05.qrd";
    std::string text = ReadBytes(day);
    const std::string longName = "Vriescel achterwand links 7";
    std::size_t at = 0;
    int renamed = 0;
    while ((at = text.find("  Fridge 2\r\n", at)) != std::string::npos) {
        text.replace(at + 2, 8, longName);
        ++renamed;
    }
    ASSERT_GT(renamed, 0);
    WriteBytes(day, text);
    for (const auto& [name, args] :
         {std::pair{"day.pdf", std::vector<std::string_view>{"day", "2026-01-05"}},
          std::pair{"month.pdf", std::vector<std::string_view>{"month", "2026", "1"}}}) {
        const std::string pdf = Pdf(name).string();
        std::vector<std::string_view> command = args;
        command.insert(command.end(), {"--pdf", pdf});
        ASSERT_EQ(RunTool(station.path(), command).status, 0) << name;
        const auto pages = static_cast<int>(PdfPages(pdf).size());
        EXPECT_NE(PdfText(pdf, 1, pages).find("Probe: " + longName), std::string::npos) << name;
    }
}

TEST_F(ReportPdfTest, DailyListOfTwentyProbesGivesThreePagesOfEight) {
    Generate("2026-01-05", 1, 20, 30);
    const std::string pdf = Pdf("list.pdf").string();
    ASSERT_EQ(RunTool(station.path(), {"day", "2026-01-05", "--list", "--pdf", pdf}).status, 0);
    ASSERT_EQ(PdfPages(pdf).size(), 3U);
    const std::string first = PdfText(pdf, 1, 1);
    EXPECT_NE(first.find("Page 1 of 3"), std::string::npos);
    EXPECT_NE(first.find("Freezer 1 Fridge 2 Room 3"), std::string::npos);
    EXPECT_NE(first.find("00:00"), std::string::npos);
    EXPECT_NE(first.find("23:30"), std::string::npos);
    const std::string last = PdfText(pdf, 3, 3);
    EXPECT_NE(last.find("Page 3 of 3"), std::string::npos);
    EXPECT_NE(last.find("Fridge 17 Room 18 Freezer 1 Humidity"), std::string::npos);
    EXPECT_EQ(last.find("Room 15"), std::string::npos);
}

// A month of "Fridge" at 10-minute sampling: on the 5th ten alarms and their
// acknowledgements, on the 7th nothing stored from 08:00 to 12:00.
class SheetPdfTest : public ReportPdfTest {
  protected:
    static constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kStore{0x28, 0x01, 0x02, 0x03, 0, 0, 0, 0x77};

    SheetPdfTest() {
        testing::WriteProbeFileWithLimits(station.path(), {{kFridge, "Fridge"}, {kStore, "Store"}});
        std::filesystem::create_directories(station / "QRVDATA");
        for (int day = 1; day <= 31; ++day) {
            const std::string date = fmt::format("2026-03-{:02}", day);
            std::string bytes = FormatResultHeader(date);
            for (int minute = 0; minute < 1440; minute += 10) {
                if (day == 7 && minute >= 480 && minute < 720) {
                    continue;
                }
                const std::vector<ProbeLineData> probes{
                    {MakeProbeKey(kFridge, kTypeTemperature), day == 5 ? 9.0 : 5.0, "Fridge"},
                    {MakeProbeKey(kStore, kTypeTemperature), 4.0, "Store"}};
                AppendSampleBlock(bytes, minute / 60, minute % 60, probes);
            }
            WriteBytes(station / "QRVDATA" / (date + ".qrd"), bytes);
        }
        std::vector<std::string> alarms;
        for (int i = 0; i < 10; ++i) {
            alarms.push_back(
                fmt::format("2026-03-05 {:02}:10: High Alarm:  Fridge     9.0", 8 + i) +
                Utf8ToCp1252("°C"));
            alarms.push_back(
                fmt::format("2026-03-05 {:02}:40: Acknowledged by anna: door shut, "
                            "stock moved to the spare room",
                            8 + i));
        }
        // A line that does not parse adds a heading line: the fullest page head.
        alarms.push_back("2026-03-32 10:00: High Alarm:  Fridge     9.0");
        WriteBytes(station / "QRVAlarm.txt", JoinCrLf(alarms));
    }

    // The days whose figures start a row of the page, in the order printed.
    static std::vector<int> DaysOnPage(const std::filesystem::path& pdf, int page) {
        const std::string text =
            RunForOutput("pdftotext -layout -enc UTF-8 -f " + std::to_string(page) + " -l " +
                         std::to_string(page) + " '" + pdf.string() + "' -");
        std::vector<int> days;
        const std::regex row(R"((?:^|\n) *(\d{1,2}) +-?\d+\.\d +\d\d:\d\d)");
        for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
            days.push_back(std::stoi((*it)[1]));
        }
        return days;
    }
};

TEST_F(SheetPdfTest, ADayOfTenAlarmsContinuesOnPagesOfTheSameFontAndLosesNoDay) {
    const std::string pdf = Pdf("sheet.pdf").string();
    const Outcome outcome =
        RunTool(station.path(), {"sheet", "2026", "03", "--probe", "Fridge", "--pdf", pdf});
    ASSERT_EQ(outcome.status, 0) << outcome.out;
    const int pageCount = static_cast<int>(PdfPages(pdf).size());
    ASSERT_GE(pageCount, 2) << "ten alarms and their acknowledgements do not fit one page";
    EXPECT_EQ(outcome.out, fmt::format("wrote {} pages to {}\n", pageCount, pdf));

    std::vector<int> days;
    for (int page = 1; page <= pageCount; ++page) {
        SCOPED_TRACE(page);
        const std::string text = PdfText(pdf, page, page);
        EXPECT_NE(text.find("Probe: Fridge"), std::string::npos);
        EXPECT_NE(text.find("03/2026"), std::string::npos);
        EXPECT_NE(text.find(fmt::format("Page {} of {}", page, pageCount)), std::string::npos);
        const std::vector<int> onPage = DaysOnPage(pdf, page);
        EXPECT_FALSE(onPage.empty());
        days.insert(days.end(), onPage.begin(), onPage.end());
    }
    std::vector<int> month(31);
    std::iota(month.begin(), month.end(), 1);
    EXPECT_EQ(days, month) << "every day once, in order";
    const std::string all = PdfText(pdf, 1, pageCount);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NE(all.find(fmt::format("{:02}:10 High Alarm: 9.0°C", 8 + i)), std::string::npos);
        EXPECT_NE(all.find(fmt::format("ack {:02}:40 anna: door shut,", 8 + i)), std::string::npos);
    }

    // The font of a quiet month's single page, on every page of the long one.
    const std::string quiet = Pdf("quiet.pdf").string();
    ASSERT_EQ(
        RunTool(station.path(), {"sheet", "2026", "03", "--probe", "Store", "--pdf", quiet}).status,
        0);
    const auto quietHeights = PdfWordHeights(quiet, "______");
    ASSERT_EQ(quietHeights.size(), 1U) << "a month without notes fits one page";
    ASSERT_EQ(quietHeights[0].size(), 31U);
    const double rowHeight = quietHeights[0][0];
    EXPECT_GT(rowHeight, 9.0) << "readable: at least an 8-point font under the fullest head";
    const auto heights = PdfWordHeights(pdf, "______");
    ASSERT_EQ(static_cast<int>(heights.size()), pageCount);
    std::size_t rows = 0;
    for (const std::vector<double>& page : heights) {
        for (const double height : page) {
            EXPECT_NEAR(height, rowHeight, 0.01);
        }
        rows += page.size();
    }
    EXPECT_EQ(rows, 31U) << "a row for the initials of every day";
}

TEST_F(SheetPdfTest, ADayWithAGapShowsTheTimeItCovers) {
    const std::string pdf = Pdf("gap.pdf").string();
    ASSERT_EQ(
        RunTool(station.path(), {"sheet", "2026", "03", "--probe", "Store", "--pdf", pdf}).status,
        0);
    const std::string text = PdfText(pdf, 1, 1);
    EXPECT_NE(text.find("stored 20 h 0 min"), std::string::npos) << text;
    EXPECT_EQ(text.find("stored 24 h"), std::string::npos) << "a whole day says nothing";
    EXPECT_EQ(text.find("stored", text.find("stored") + 1), std::string::npos)
        << "only the day with the gap";
}

TEST_F(ReportPdfTest, SettingsPrintouts) {
    const StationPaths paths{station.path()};
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    SystemSettings settings;
    settings.KeuzeSampleTime = 10;
    ASSERT_EQ(WriteIniFile(paths.IniFileName(), settings, clock, dialogs, log), 0);
    auto table = std::make_unique<SensorTable>();
    // Ligatures would make "ffi" one glyph that neither pdftotext nor a search finds.
    table->NetworkName = "Dairy Office";
    for (int i = 0; i < 51; ++i) {
        SensorRecord& record = table->SensorArray[static_cast<std::size_t>(i)];
        record.Line = 1;
        record.Rom = {0x28, static_cast<std::int16_t>(i + 1), 0, 0, 0, 0, 0, 0};
        record.Name = "Tank " + std::to_string(i + 1);
        table->DefineSensorTypeAndUnits(i);
        record.AlarmHigh = 8;
        record.AlarmDelay = 150;
    }
    table->SensorArray[50].Status = kStatusInhibit;
    ASSERT_EQ(WriteSensorFile(paths.SnsFileName(kModeNormal), *table, clock, dialogs, log, 0), 0);

    const std::string probes = Pdf("probes.pdf").string();
    ASSERT_EQ(RunTool(station.path(), {"probes", "--pdf", probes}).status, 0);
    // Three rows a probe, sixteen probes a page.
    ASSERT_EQ(PdfPages(probes).size(), 4U);
    const std::string first = PdfText(probes, 1, 1);
    EXPECT_NE(first.find("Probes Settings Report."), std::string::npos);
    EXPECT_NE(first.find("Network: Dairy Office"), std::string::npos) << first;
    EXPECT_NE(first.find("Tank 16 On 8°C 0°C 2 min"), std::string::npos);
    EXPECT_EQ(first.find("Tank 17 "), std::string::npos);
    const std::string last = PdfText(probes, 4, 4);
    EXPECT_NE(last.find("Page 4"), std::string::npos);
    EXPECT_NE(last.find("Tank 51 Inh. 8°C"), std::string::npos);
    EXPECT_EQ(last.find("Tank 48 "), std::string::npos);

    const std::string system = Pdf("system.pdf").string();
    ASSERT_EQ(RunTool(station.path(), {"settings", "--pdf", system}).status, 0);
    ASSERT_EQ(PdfPages(system).size(), 1U);
    const std::string text = PdfText(system, 1, 1);
    EXPECT_NE(text.find("System Settings Report."), std::string::npos);
    EXPECT_NE(text.find("Sample rate: 10 min."), std::string::npos);
    EXPECT_NE(text.find("Number of probes: 51"), std::string::npos);
    EXPECT_NE(text.find("Software release: 3.03"), std::string::npos);
}

// Every row of a probe, whole, in every language: the longest name, the
// choices, the time alarm and the weekday windows.
TEST_F(ReportPdfTest, TheProbePrintoutCarriesEverySettingUnclippedInEveryLanguage) {
    const StationPaths paths{station.path()};
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    auto table = std::make_unique<SensorTable>();
    table->NetworkName = "Cold store";
    SensorRecord& record = table->SensorArray[0];
    record.Line = 1;
    record.Rom = {0x28, 1, 0, 0, 0, 0, 0, 0};
    record.Name = "Vaccine fridge, back office";  // 27 characters, the most a name may have
    table->DefineSensorTypeAndUnits(0);
    record.AlarmHigh = 8;
    record.AlarmLow = 2;
    record.AlarmDelay = 600;
    record.TripHigh = 7;
    record.TripLow = 3;
    record.TripDelay = 300;
    record.SmsEnable = 1;
    record.RelayEnable = 1;
    for (int day = 0; day < 7; ++day) {
        record.AlarmTimes[static_cast<std::size_t>(day)] = {4 * day, 96 - day};
    }
    ASSERT_EQ(WriteSensorFile(paths.SnsFileName(kModeNormal), *table, clock, dialogs, log, 0), 0);
    records::TimeAlarmBook book;
    book.Set({record.Rom, 90, 45});
    ASSERT_TRUE(records::WriteTimeAlarmFile(station.path() / records::kTimeAlarmFileName, book));
    SensorTable stored;
    ASSERT_GE(ReadSensorFile(paths.SnsFileName(kModeNormal), stored), 0);

    for (int taal = 0; taal < 4; ++taal) {
        SystemSettings settings;
        settings.Taal = taal;
        ASSERT_EQ(WriteIniFile(paths.IniFileName(), settings, clock, dialogs, log), 0);
        const std::string pdf = Pdf("probes-" + std::to_string(taal) + ".pdf").string();
        ASSERT_EQ(RunTool(station.path(), {"probes", "--pdf", pdf}).status, 0);
        const std::string text = PdfText(pdf, 1, 1);
        const std::vector<std::string> rows =
            ProbeSettingsRows(stored.SensorArray[0], book.Find(record.Rom), taal);
        ASSERT_GE(rows.size(), 4U) << "first row, choices and two rows of windows";
        EXPECT_TRUE(rows[0].starts_with("Vaccine fridge, back office "));
        for (const std::string& row : rows) {
            std::string line = Squeezed(row);
            line.erase(line.find_last_not_of(' ') + 1);
            EXPECT_NE(text.find(line.substr(line.find_first_not_of(' '))), std::string::npos)
                << taal << ": " << line << "\n"
                << text;
        }
    }
}

TEST_F(ReportPdfTest, RefusalsAndFailures) {
    Generate("2026-01-05", 1, 2, 60);
    EXPECT_EQ(RunTool(station.path(), {"day", "2026-01-06", "--pdf", Pdf("x.pdf").string()}).status,
              1);
    EXPECT_FALSE(std::filesystem::exists(Pdf("x.pdf")));
    EXPECT_EQ(RunTool(station.path(), {"day", "2026-01-05", "--csv", "--pdf", "x.pdf"}).status, 2);
    EXPECT_EQ(RunTool(station.path(), {"month", "2026", "1", "--list", "--pdf", "x.pdf"}).status,
              2);
    EXPECT_EQ(RunTool(station.path(), {"settings", "--rewrite", "--pdf", "x.pdf"}).status, 2);
    EXPECT_EQ(RunTool(station.path(),
                      {"day", "2026-01-05", "--pdf", (station / "no/such/dir.pdf").string()})
                  .status,
              report::kExitCannotWrite);
}

// Rows of the audit printout as long as the page is wide and longer, in
// Latin and other letters: every character is on the page, the long rows
// wrapped, none cut short.
TEST_F(ReportPdfTest, AuditPrintoutWrapsLongRowsAndDropsNoCharacter) {
    records::AuditTrail trail(station / "QRVAudit.txt");
    const std::string exact = std::string(61, 'E') + "|";  // the row is 100 characters
    const std::string longer = "Kühlraum Süd " + std::string(150, 'w') + " Ende";
    for (const std::string& value : {exact, longer}) {
        ASSERT_TRUE(trail.Record({{2026, 5, 4, 9, 0, 0, 0}, "anna", "note", "", value, {}}));
    }
    const auto pdf = Pdf("audit.pdf");
    const auto printed = RunTool(station.path(), {"audit", "--pdf", pdf.string()});
    ASSERT_EQ(printed.status, 0) << printed.out;
    const std::string text = PdfText(pdf, 1, 1);
    EXPECT_EQ(text.find("\u2026"), std::string::npos) << "no row elided:\n" << text;
    EXPECT_NE(text.find("2026-05-04 09:00:00 anna note: - -> " + exact + "\n"), std::string::npos)
        << text;
    const std::string head = records::VerifyAuditTrail(testing::ReadBytes(trail.Path())).lastHash;
    EXPECT_NE(text.find(head), std::string::npos) << "the trail's head in full:\n" << text;
    const std::string flat = std::regex_replace(text, std::regex("\\s+"), "");
    EXPECT_NE(flat.find(std::regex_replace(longer, std::regex(" "), "")), std::string::npos)
        << text;
}

// A printer output that fails at a chosen page.
class FailingOpener final : public pages::PageOutputOpener {
  public:
    class Output final : public PageOutput {
      public:
        explicit Output(FailingOpener& owner) : owner_(owner) {}
        bool AddPage(const ReportPage&) override { return ++owner_.pages < owner_.failAt; }
        bool Finish() override { return true; }

      private:
        FailingOpener& owner_;
    };
    std::unique_ptr<PageOutput> Open(const PrintTarget&, const std::string&) override {
        ++opened;
        return std::make_unique<Output>(*this);
    }
    int failAt = 1000;
    int pages = 0;
    int opened = 0;
};

TEST(PrintJob, OneDialogOneJobAndTheErrorPopup) {
    ScriptedDialogs dialogs;
    FailingOpener opener;
    int knowPrinterSetting = 1;
    ReportPage page;
    {
        dialogs.QueuePrinter(PrintTarget{"office", ""});
        pages::PrintJob job(dialogs, opener, 0, knowPrinterSetting, "test");
        EXPECT_EQ(knowPrinterSetting, 0);
        EXPECT_TRUE(job.PrintPage(page));
        EXPECT_EQ(knowPrinterSetting, 1);
        EXPECT_TRUE(job.PrintPage(page));
        EXPECT_TRUE(job.Finish());
    }
    EXPECT_EQ(dialogs.Popups().size(), 1U);  // the printer dialog, once
    EXPECT_EQ(opener.opened, 1);
    EXPECT_EQ(opener.pages, 2);
    EXPECT_EQ(knowPrinterSetting, 0);

    // Cancelling the dialog prints nothing and is no error.
    dialogs.QueuePrinter(std::nullopt);
    pages::PrintJob cancelled(dialogs, opener, 0, knowPrinterSetting, "test");
    EXPECT_FALSE(cancelled.PrintPage(page));
    EXPECT_FALSE(cancelled.PrintPage(page));
    EXPECT_EQ(dialogs.Popups().size(), 2U);
    EXPECT_EQ(opener.opened, 1);

    // A failing page ends the command with the error popup.
    opener.failAt = 4;
    dialogs.QueuePrinter(PrintTarget{"office", ""});
    pages::PrintJob failing(dialogs, opener, 0, knowPrinterSetting, "test");
    EXPECT_TRUE(failing.PrintPage(page));
    EXPECT_FALSE(failing.PrintPage(page));
    EXPECT_FALSE(failing.PrintPage(page));
    ASSERT_EQ(dialogs.Popups().size(), 4U);
    EXPECT_EQ(dialogs.Popups().back().message,
              "There was an error during printing: printing aborted.");
    EXPECT_EQ(knowPrinterSetting, 0);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

}  // namespace
}  // namespace qrv::testing
