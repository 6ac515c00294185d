// The probe editor's calibration section: what it shows beside the raw and
// corrected readings, and that setting or removing a calibration writes the
// file, reaches the book the acquisition applies at once and leaves one
// audit line, with the same checks as the command line.
#include <gtest/gtest.h>

#include "probe_editor/probe_editor.h"
#include "records/calibration_request.h"
#include "support/popup_answers.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

using View = ScriptedProbeEditorView;

struct AuditLine {
    std::string what;
    std::string before;
    std::string after;
};

class CalibrationSectionTest : public ::testing::Test {
  protected:
    CalibrationSectionTest() {
        const auto locked = table.Lock();
        for (const RomCode& rom : {kFridge, kDoor}) {
            const int index = locked->Append1820ToDataStruct(rom, 1);
            locked->DefineSensorTypeAndUnits(index);
            SensorRecord& record = locked->SensorArray[static_cast<std::size_t>(index)];
            record.Name = index == 0 ? "Fridge" : "Door";
            record.FoundOnNetwork = 1;
        }
        // The probe reads 4.43 raw; an older calibration makes it 4.13.
        locked->SensorArray[0].RawValue = 4.43;
        locked->SensorArray[0].Value = 4.13;
    }

    // Opens the editor on the probe and runs the script.
    void Open(int index, std::vector<View::Action> script) {
        script.push_back(View::Press(&ProbeEditor::Leave));
        view.QueueOpening(std::move(script));
        const CalibrationAccess access{
            book, dir / "QRVCalibration.json", "anna",
            [this](std::string_view what, std::string_view before, std::string_view after) {
                if (trailWritable) {
                    audit.push_back({std::string(what), std::string(before), std::string(after)});
                }
                return trailWritable;
            }};
        const ProbeEditorContext context{table, dialogs, clock, log,   dir / "QRVNL.SNS",
                                         0,     false,   {},    access};
        ProbeEditor editor(context, view);
        editor.DoeProbeSettingMenu(index, false, true);
        EXPECT_EQ(view.unfinished, 0);
    }

    void GiveOldCalibration() {
        records::CalibrationRequest request;
        request.offset = -0.3;
        request.date = "2025-03-01";
        request.instrument = "RT-1";
        request.certificate = "C-9";
        request.nextDue = "2026-05-01";  // due in 17 days
        request.who = "ben";
        records::CalibrationBook old;
        old.Set(*records::MakeCalibration(kFridge, request, clock.Now()).calibration);
        ASSERT_TRUE(records::WriteCalibrationFile(dir / "QRVCalibration.json", old));
        book.Replace(old);
    }

    static View::Action Type(std::function<void(CalibrationPanelValues&)> change) {
        return [change](View& panel, ProbeEditor&) { change(panel.calibration); };
    }
    static View::Action Do(void (ProbeEditor::*operation)()) { return View::Press(operation); }
    static View::Action Check(std::function<void(const View&)> check) {
        return [check](View& panel, ProbeEditor&) { check(panel); };
    }
    static void FillRecord(CalibrationPanelValues& v) {
        v.certificate = "C-18";
        v.instrument = "Bath B2";
    }

    static constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kDoor{0x12, 0x05, 0x06, 0x07, 0, 0, 0, 0x33};
    TempDir dir;
    SharedSensorTable table;
    VirtualClock clock{{2026, 4, 14, 9, 15, 0, 0}};
    ScriptedDialogs dialogs;
    RecordingLog log;
    View view;
    records::SharedCalibrations book;
    std::vector<AuditLine> audit;
    bool trailWritable = true;
};

TEST_F(CalibrationSectionTest, ShowsTheCalibrationInForceAndANewOneStartsFromTheRawReading) {
    GiveOldCalibration();
    Open(0,
         {Check([](const View& panel) {
              EXPECT_TRUE(panel.calibrationDisplay.shown);
              EXPECT_TRUE(panel.calibrationDisplay.canClear);
              EXPECT_NE(panel.calibrationDisplay.current.find("Offset -0.30 °C"), std::string::npos)
                  << panel.calibrationDisplay.current;
              EXPECT_NE(panel.calibrationDisplay.current.find("Certificate: C-9"),
                        std::string::npos);
              EXPECT_NE(panel.calibrationDisplay.current.find("Calibrated by: ben"),
                        std::string::npos);
              EXPECT_EQ(panel.calibrationDisplay.due, "Calibration due soon");
              EXPECT_EQ(panel.readings.raw, "4.43 °C");
              EXPECT_EQ(panel.readings.corrected, "4.13 °C");
              // The fields of a new calibration: today, a year on, the old
              // instrument, no certificate yet, and the raw reading at both
              // points rather than the corrected one.
              EXPECT_EQ(panel.calibration.date, "2026-04-14");
              EXPECT_EQ(panel.calibration.nextDue, "2027-04-14");
              EXPECT_EQ(panel.calibration.instrument, "RT-1");
              EXPECT_TRUE(panel.calibration.certificate.empty());
              EXPECT_DOUBLE_EQ(panel.calibration.points[1], 4.43);
              EXPECT_DOUBLE_EQ(panel.calibration.points[3], 4.43);
          }),
          Do(&ProbeEditor::NextProbe), Check([](const View& panel) {
              EXPECT_FALSE(panel.calibrationDisplay.shown) << "a door contact has no calibration";
          })});
}

TEST_F(CalibrationSectionTest, SettingWritesTheFileAppliesAtOnceAndLeavesOneAuditLine) {
    GiveOldCalibration();
    Open(0, {Type([](CalibrationPanelValues& v) {
                 FillRecord(v);
                 v.twoPoint = true;
                 v.points = {0.0, 0.43, 0.0, 0.0};
             }),
             [](View& panel, ProbeEditor& editor) {
                 // The probe now stands in the second bath.
                 panel.calibration.points[2] = 50.0;
                 editor.TakeRawReading(1);
             },
             Check([](const View& panel) {
                 EXPECT_DOUBLE_EQ(panel.calibration.points[3], 4.43);
                 EXPECT_EQ(panel.calibration.certificate, "C-18")
                     << "taking a reading keeps the rest";
             }),
             Type([](CalibrationPanelValues& v) { v.points[3] = 50.43; }),
             Do(&ProbeEditor::SetCalibration), Check([](const View& panel) {
                 EXPECT_NE(panel.calibrationDisplay.current.find("Gain 1.00000"), std::string::npos)
                     << panel.calibrationDisplay.current;
                 EXPECT_TRUE(panel.calibrationDisplay.due.empty());
             })});

    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_NEAR(book.Apply(kFridge, 4.43), 4.0, 1e-9) << "from the raw reading, not stacked";
    const records::CalibrationFileResult file =
        records::ReadCalibrationFile(dir / "QRVCalibration.json");
    ASSERT_EQ(file.book.entries.size(), 1u);
    EXPECT_EQ(file.book, *book.Get());
    EXPECT_EQ(file.book.entries[0].who, "anna");
    EXPECT_EQ(file.book.entries[0].date, "2026-04-14");
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_EQ(audit[0].what, "calibration of probe 0000000A1B2C Fridge");
    EXPECT_NE(audit[0].before.find("offset -0.300"), std::string::npos);
    EXPECT_NE(audit[0].after.find("certificate C-18"), std::string::npos);
}

TEST_F(CalibrationSectionTest, RefusalsAreExplainedAndChangeNothing) {
    Open(0, {Do(&ProbeEditor::SetCalibration), Type([](CalibrationPanelValues& v) {
                 FillRecord(v);
                 v.nextDue = "2026-04-14";
             }),
             Do(&ProbeEditor::SetCalibration),
             Type([](CalibrationPanelValues& v) { v.nextDue = "2027-02-29"; }),
             Do(&ProbeEditor::SetCalibration), Type([](CalibrationPanelValues& v) {
                 v.nextDue = "2027-04-14";
                 v.twoPoint = true;
                 v.points = {0.0, 4.43, 8.0, 4.9};
             }),
             Do(&ProbeEditor::SetCalibration), Do(&ProbeEditor::ClearCalibration)});

    std::vector<std::string> messages;
    for (const auto& popup : dialogs.Popups()) {
        messages.push_back(popup.message);
    }
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "A calibration needs its date, reference instrument, certificate and next due "
                  "date.",
                  "The next due date must lie after the date of the calibration.",
                  "Write the dates as YYYY-MM-DD, for example 2027-03-01.",
                  "The two points give no sound gain: the raw readings must lie at least 1 apart "
                  "and the gain between 0.5 and 2."}))
        << "clearing a probe without a calibration asks nothing";
    EXPECT_FALSE(std::filesystem::exists(dir / "QRVCalibration.json"));
    EXPECT_TRUE(audit.empty());
    EXPECT_EQ(book.Apply(kFridge, 4.43), 4.43);
}

TEST_F(CalibrationSectionTest, AChangeTheTrailCannotTakeIsUndone) {
    GiveOldCalibration();
    const std::string before = ReadBytes(dir / "QRVCalibration.json");
    trailWritable = false;
    dialogs.QueueButton(kYes);
    Open(0, {Do(&ProbeEditor::ClearCalibration)});
    EXPECT_EQ(ReadBytes(dir / "QRVCalibration.json"), before);
    EXPECT_NEAR(book.Apply(kFridge, 4.43), 4.13, 1e-9) << "the calibration stays in force";
    ASSERT_FALSE(dialogs.Popups().empty());
    EXPECT_NE(dialogs.Popups().back().message.find("audit trail"), std::string::npos);
}

TEST_F(CalibrationSectionTest, RemovingAsksFirstAndADamagedFileIsNotOverwritten) {
    GiveOldCalibration();
    dialogs.QueueButton(kNo);
    dialogs.QueueButton(kYes);
    Open(0, {Do(&ProbeEditor::ClearCalibration), Do(&ProbeEditor::ClearCalibration),
             Check([](const View& panel) {
                 EXPECT_FALSE(panel.calibrationDisplay.canClear);
                 EXPECT_EQ(panel.calibrationDisplay.current,
                           "No calibration: readings are used as measured.");
             })});
    EXPECT_EQ(book.Apply(kFridge, 4.43), 4.43);
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_TRUE(audit[0].after.empty());
    EXPECT_TRUE(records::ReadCalibrationFile(dir / "QRVCalibration.json").book.entries.empty());

    GiveOldCalibration();
    WriteBytes(dir / "QRVCalibration.json", "{ damaged");
    Open(0, {Type(FillRecord), Do(&ProbeEditor::SetCalibration)});
    ASSERT_EQ(dialogs.Popups().size(), 3u);
    EXPECT_EQ(dialogs.Popups()[2].message.substr(0, 35), "The calibration could not be saved:");
    EXPECT_EQ(ReadBytes(dir / "QRVCalibration.json"), "{ damaged");
    EXPECT_DOUBLE_EQ(book.Apply(kFridge, 4.43), 4.13) << "the calibration in use stays";
    EXPECT_EQ(audit.size(), 1u);
}

}  // namespace
}  // namespace qrv::testing
