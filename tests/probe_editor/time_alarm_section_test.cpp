// The probe editor's time-out-of-range section: the thresholds are saved
// with the probe's other settings when the user confirms them, leave one
// audit line per side changed, and a field or file the station cannot use is
// refused with a reason and changes nothing.
#include <gtest/gtest.h>

#include "probe_editor/probe_editor.h"
#include "support/popup_answers.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/temp_dir.h"
#include "text/texts.h"

namespace qrv::testing {
namespace {

using View = ScriptedProbeEditorView;

struct ThresholdAuditLine {
    std::string what;
    std::string before;
    std::string after;
    std::string reason;
    friend bool operator==(const ThresholdAuditLine&, const ThresholdAuditLine&) = default;
};

std::ostream& operator<<(std::ostream& out, const ThresholdAuditLine& line) {
    return out << line.what << ": '" << line.before << "' -> '" << line.after << "' ("
               << line.reason << ")";
}

class TimeAlarmSectionTest : public ::testing::Test {
  protected:
    TimeAlarmSectionTest() {
        const auto locked = table.Lock();
        for (const RomCode& rom : {kFridge, kDoor, kCellar}) {
            const int index = locked->Append1820ToDataStruct(rom, 1);
            locked->DefineSensorTypeAndUnits(index);
        }
        locked->SensorArray[0].Name = "Fridge";
        locked->SensorArray[1].Name = "Door";
        locked->SensorArray[2].Name = "Cellar";
    }

    // Opens the editor on the probe, runs the script and leaves.
    void Open(int index, std::vector<View::Action> script, int taal = 0) {
        script.push_back(View::Press(&ProbeEditor::Leave));
        view.QueueOpening(std::move(script));
        const TimeAlarmAccess access{
            File(), [this](std::string_view what, std::string_view before, std::string_view after,
                           std::string_view reason) {
                if (trailWritable) {
                    audit.push_back({std::string(what), std::string(before), std::string(after),
                                     std::string(reason)});
                }
                return trailWritable;
            }};
        const ProbeEditorContext context{table, dialogs, clock, log,          dir / "QRVNL.SNS",
                                         taal,  false,   {},    std::nullopt, access};
        ProbeEditor editor(context, view);
        editor.DoeProbeSettingMenu(index, false, true);
        reason = editor.Reason();
        EXPECT_EQ(view.unfinished, 0) << "the panel was still open when the script ended";
    }

    std::filesystem::path File() const { return dir / "QRVTimeAlarms.json"; }

    void StoreThresholds(const RomCode& rom, std::optional<int> above, std::optional<int> below) {
        records::TimeAlarmBook book = records::ReadTimeAlarmFile(File()).book;
        book.Set({rom, above, below});
        ASSERT_TRUE(records::WriteTimeAlarmFile(File(), book));
    }

    std::optional<records::TimeAlarm> Stored(const RomCode& rom) const {
        const records::TimeAlarmFileResult read = records::ReadTimeAlarmFile(File());
        EXPECT_EQ(read.error, "");
        const records::TimeAlarm* alarm = read.book.Find(rom);
        return alarm ? std::optional(*alarm) : std::nullopt;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const auto& popup : dialogs.Popups()) {
            messages.push_back(popup.message);
        }
        return messages;
    }

    static View::Action Type(std::string above, std::string below) {
        return [above, below](View& panel, ProbeEditor&) { panel.timeAlarm = {above, below}; };
    }
    static View::Action Check(std::function<void(const View&)> check) {
        return [check](View& panel, ProbeEditor&) { check(panel); };
    }

    static constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kDoor{0x12, 0x05, 0x06, 0x07, 0, 0, 0, 0x33};
    static constexpr RomCode kCellar{0x26, 0x11, 0x22, 0x33, 0, 0, 0, 0x44};
    TempDir dir;
    SharedSensorTable table;
    VirtualClock clock{{2026, 4, 14, 9, 15, 0, 0}};
    ScriptedDialogs dialogs;
    RecordingLog log;
    View view;
    std::vector<ThresholdAuditLine> audit;
    std::string reason;  // the editor's, after the panel closed
    bool trailWritable = true;
};

TEST(ThresholdField, EmptyIsOffAndOnlyWholeMinutesWithinTheDayAreThresholds) {
    for (const auto& [typed, minutes] : std::vector<std::pair<std::string, std::optional<int>>>{
             {"", std::nullopt}, {"  ", std::nullopt}, {"1", 1}, {" 60 ", 60}, {"1439", 1439}}) {
        const ThresholdField field = ParseThresholdField(typed);
        EXPECT_TRUE(field.sound) << "'" << typed << "'";
        EXPECT_EQ(field.minutes, minutes) << "'" << typed << "'";
    }
    for (const std::string typed :
         {"0", "1440", "-5", "+5", "6o", "60.5", "60 min", "1e3", "99999999999"}) {
        EXPECT_FALSE(ParseThresholdField(typed).sound) << "'" << typed << "'";
    }
}

TEST_F(TimeAlarmSectionTest, ShowsTheFilesThresholdsForMeasuringProbesOnly) {
    StoreThresholds(kFridge, 60, std::nullopt);
    StoreThresholds(kCellar, std::nullopt, 30);
    Open(0, {Check([](const View& panel) {
                 EXPECT_TRUE(panel.timeAlarmDisplay.shown);
                 EXPECT_TRUE(panel.timeAlarmDisplay.editable);
                 EXPECT_EQ(panel.timeAlarm.minutesAbove, "60");
                 EXPECT_EQ(panel.timeAlarm.minutesBelow, "");
             }),
             View::Press(&ProbeEditor::NextProbe), Check([](const View& panel) {
                 EXPECT_FALSE(panel.timeAlarmDisplay.shown)
                     << "a door contact is never out of range";
             }),
             View::Press(&ProbeEditor::NextProbe), Check([](const View& panel) {
                 EXPECT_EQ(panel.timeAlarm.minutesAbove, "");
                 EXPECT_EQ(panel.timeAlarm.minutesBelow, "30");
             })});
    EXPECT_TRUE(dialogs.Popups().empty()) << "nothing typed, nothing asked";
    EXPECT_TRUE(audit.empty());
}

TEST_F(TimeAlarmSectionTest, SavedWithTheSettingsOnConfirmOneThresholdAuditLinePerSideChanged) {
    StoreThresholds(kFridge, 60, 30);
    StoreThresholds(kCellar, 90, std::nullopt);
    const std::string cellarBytes = ReadBytes(File());

    // Unchanged: no question, no write, no line.
    Open(0, {Type("60", " 30 ")});
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "QRVNL.SNS"));

    // Discarded: the file stays as it was.
    dialogs.QueueButton(kDiscard);
    Open(0, {Type("", "")});
    EXPECT_EQ(ReadBytes(File()), cellarBytes);

    // Confirmed together with a new name: one line for the side changed,
    // under the name the probe is saved with.
    dialogs.QueueButton(kSave);
    Open(0, {View::Type("Vaccine fridge"), Type("45", "30")});
    EXPECT_EQ(Messages().back(), "Do you want to save the new settings?");
    EXPECT_EQ(Stored(kFridge), (records::TimeAlarm{kFridge, 45, 30}));
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Vaccine fridge");
    EXPECT_TRUE(std::filesystem::exists(dir / "QRVNL.SNS"));
    EXPECT_EQ(
        audit,
        (std::vector<ThresholdAuditLine>{
            {"probe 0000000A1B2C Vaccine fridge: minutes above high in 24 h", "60", "45", ""}}));

    // Both sides emptied: the probe's entry goes, the other probe's stays.
    audit.clear();
    dialogs.QueueButton(kSave);
    Open(0, {Type("", "")});
    EXPECT_EQ(Stored(kFridge), std::nullopt);
    EXPECT_EQ(Stored(kCellar), (records::TimeAlarm{kCellar, 90, std::nullopt}));
    EXPECT_EQ(audit.size(), 2u);
    EXPECT_EQ(audit[1],
              (ThresholdAuditLine{"probe 0000000A1B2C Vaccine fridge: minutes below low in 24 h",
                                  "30", "", ""}));
}

TEST_F(TimeAlarmSectionTest, AChangeTheTrailCannotTakeIsUndone) {
    StoreThresholds(kFridge, 60, 30);
    const std::string before = ReadBytes(File());
    trailWritable = false;
    dialogs.QueueButton(kSave);
    // The refused save keeps the panel open; typed back, it leaves unasked.
    Open(0, {Type("45", "30"), View::Press(&ProbeEditor::Leave), Type("60", "30")});
    EXPECT_EQ(ReadBytes(File()), before);
    ASSERT_FALSE(dialogs.Popups().empty());
    EXPECT_NE(dialogs.Popups().back().message.find("audit trail"), std::string::npos);
}

TEST_F(TimeAlarmSectionTest, KeptWhileSteppingIsWrittenAtOnce) {
    dialogs.QueueButton(kSave);
    Open(0, {Type("120", ""), View::Press(&ProbeEditor::NextProbe), Check([this](const View&) {
                 EXPECT_EQ(Stored(kFridge), (records::TimeAlarm{kFridge, 120, std::nullopt}));
             }),
             View::Press(&ProbeEditor::PrevProbe),
             Check([](const View& panel) { EXPECT_EQ(panel.timeAlarm.minutesAbove, "120"); })});
    EXPECT_EQ(audit.size(), 1u);
    EXPECT_EQ(Messages().size(), 1u) << "the only question was whether to keep";
}

TEST_F(TimeAlarmSectionTest, TheReasonGoesWithTheSavedLinesAndAControlCharacterIsRefused) {
    const auto typeReason = [](std::string text) {
        return View::Change([text](ProbePanelValues& values) { values.reason = text; });
    };
    StoreThresholds(kFridge, 60, 30);
    const std::string before = ReadBytes(File());
    for (const std::string forged : {"door left open\t\t\t", "a\nb", "end\x7f", "c1 \u0085"}) {
        SCOPED_TRACE(forged);
        dialogs.QueueButton(kSave);
        dialogs.QueueButton(kDiscard);
        const std::size_t asked = dialogs.Popups().size();
        // Refused before anything is saved; the panel stays until discarded.
        Open(0, {Type("45", "30"), typeReason(forged), View::Press(&ProbeEditor::Leave)}, 1);
        EXPECT_EQ(ReadBytes(File()), before);
        EXPECT_TRUE(audit.empty());
        ASSERT_EQ(dialogs.Popups().size(), asked + 3) << "asked, refused, asked again";
        EXPECT_EQ(dialogs.Popups()[asked + 1].message,
                  qrv::text::Plain(qrv::text::Key::TXT_PROBE_REASON_CONTROL, 1));
    }

    dialogs.QueueButton(kSave);
    Open(0, {Type("45", ""), typeReason("  compressor replaced, CAPA 12  ")});
    EXPECT_EQ(reason, "compressor replaced, CAPA 12") << "blanks around it dropped";
    EXPECT_EQ(audit, (std::vector<ThresholdAuditLine>{
                         {"probe 0000000A1B2C Fridge: minutes above high in 24 h", "60", "45",
                          "compressor replaced, CAPA 12"},
                         {"probe 0000000A1B2C Fridge: minutes below low in 24 h", "30", "",
                          "compressor replaced, CAPA 12"}}));

    audit.clear();
    dialogs.QueueButton(kSave);
    Open(0, {Type("50", "")});
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_EQ(audit[0].reason, "") << "optional: no reason, none recorded";
}

TEST_F(TimeAlarmSectionTest, AFieldThatIsNoThresholdIsRefusedInEveryLanguage) {
    const std::array<std::string, 4> expected{
        "Minutes below the low limit in 24 h: \"0\" is not a whole number of minutes from 1 to "
        "1439. Leave the field empty for no alarm.",
        "Minuten über der Obergrenze in 24 Std.: „abc“ ist keine ganze Zahl von Minuten von 1 bis "
        "1439. Für keinen Alarm das Feld leer lassen.",
        "Minutes au-dessus du seuil haut en 24 h : « 1440 » n'est pas un nombre entier de minutes "
        "de 1 à 1439. Laissez le champ vide pour ne pas avoir d'alarme.",
        "Minuten onder de lage grens in 24 uur: \"2.5\" is geen geheel aantal minuten van 1 tot "
        "1439. Laat het veld leeg voor geen alarm."};
    const std::array<std::pair<std::string, std::string>, 4> typed{
        {{"60", "0"}, {"abc", "5"}, {" 1440 ", ""}, {"", "2.5"}}};
    for (int taal = 0; taal < 4; ++taal) {
        const auto& [above, below] = typed[static_cast<std::size_t>(taal)];
        dialogs.QueueButton(kDiscard);
        // The refusal keeps the panel open; Leave then asks to save, and
        // the test discards.
        Open(0,
             {View::Type("Fridge 2"), Type(above, below), View::Press(&ProbeEditor::Leave),
              Check([](const View& panel) { EXPECT_EQ(panel.screen.name, "Fridge 2"); }),
              Type("", "")},
             taal);
        ASSERT_GE(dialogs.Popups().size(), 2u);
        EXPECT_EQ(dialogs.Popups()[dialogs.Popups().size() - 2].message,
                  expected[static_cast<std::size_t>(taal)]);
    }
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_FALSE(std::filesystem::exists(dir / "QRVNL.SNS"));
    EXPECT_TRUE(audit.empty());
}

TEST_F(TimeAlarmSectionTest, ADamagedFileIsShownRefusedAndLeftUntouched) {
    WriteBytes(File(), "{ \"time_alarms\": [ { \"rom\": \"nonsense\" } ] }");
    const std::string damaged = ReadBytes(File());
    dialogs.QueueButton(kSave);
    Open(0, {Check([](const View& panel) {
                 EXPECT_TRUE(panel.timeAlarmDisplay.shown);
                 EXPECT_FALSE(panel.timeAlarmDisplay.editable);
                 EXPECT_TRUE(panel.timeAlarmDisplay.problem.starts_with(
                     "The time alarms cannot be read and cannot be changed here until their "
                     "file is mended:\n"))
                     << panel.timeAlarmDisplay.problem;
                 EXPECT_NE(panel.timeAlarmDisplay.problem.find("QRVTimeAlarms.json"),
                           std::string::npos);
             }),
             // The probe's other settings are still saved.
             View::Type("Fridge A")});
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Fridge A");
    EXPECT_EQ(ReadBytes(File()), damaged);

    // Damaged while the panel is open: the save is refused, the panel stays
    // open with what was typed, and nothing else is saved either.
    WriteBytes(File(), "{\"time_alarms\": []}\n");
    dialogs.QueueButton(kSave);
    dialogs.QueueButton(kDiscard);
    Open(0, {Type("60", ""), View::Type("Fridge B"),
             [this](View&, ProbeEditor&) { WriteBytes(File(), "{ damaged"); },
             View::Press(&ProbeEditor::Leave), Check([](const View& panel) {
                 EXPECT_EQ(panel.timeAlarm.minutesAbove, "60");
                 EXPECT_EQ(panel.screen.name, "Fridge B");
             })});
    const std::vector<std::string> messages = Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_TRUE(messages[messages.size() - 2].starts_with(
        "The time alarm could not be saved, so the probe's settings were not saved either:\n"))
        << messages[messages.size() - 2];
    EXPECT_EQ(ReadBytes(File()), "{ damaged");
    EXPECT_EQ(table.Lock()->SensorArray[0].Name, "Fridge A");
    EXPECT_TRUE(audit.empty());
}

}  // namespace
}  // namespace qrv::testing
