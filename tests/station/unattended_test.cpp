#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "app/sim_shell_fixture.h"
#include "app/station/command_line.h"
#include "app/station/headless_window.h"
#include "app/station/journal_log.h"
#include "app/station/unattended_dialogs.h"
#include "runtime/silent_status_display.h"
#include "sensors/rom_text.h"
#include "station/network_install.h"
#include "station/status_reporting_log.h"
#include "support/recording_log.h"
#include "text/texts.h"

namespace qrv::testing {
namespace {

using station::JournalLog;
using station::UnattendedDialogs;
using text::Key;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// What the journal receives, read back from a memory stream.
struct JournalCapture {
    JournalCapture() : out(open_memstream(&buffer, &size)) {}
    ~JournalCapture() {
        std::fclose(out);
        std::free(buffer);
    }
    JournalCapture(const JournalCapture&) = delete;
    JournalCapture& operator=(const JournalCapture&) = delete;
    std::string Text() {
        std::fflush(out);
        return std::string(buffer, size);
    }

    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out;
};

// A journal whose program log and standard error the test reads.
struct Journal {
    explicit Journal(bool toStandardError = true) : log(programLog, toStandardError, capture.out) {}
    RecordingLog programLog;
    JournalCapture capture;
    JournalLog log;
};

// The simulated station with the popups and the probe panel of a station
// nobody attends; waits for the unit are recorded and may bring it back.
struct UnattendedStation : SimShellFixture {
    UnattendedStation()
        : journal(programLog, true, capture.out),
          unattendedDialogs({journal, [] { return 90; },
                             [this](double seconds) {
                                 waits.push_back(seconds);
                                 return onWait ? onWait() : std::nullopt;
                             },
                             [] { return std::string("there was no probe file"); }}),
          unattendedEditor(journal),
          unattended{clock,    unattendedDialogs, display,      journal,          editor,
                     simPorts, simSession,        networkTimer, unattendedEditor, monitoring} {}

    std::string Log() { return ReadBytes(state.paths.LogFileName()); }

    JournalCapture capture;
    JournalLog journal;
    std::vector<double> waits;
    std::function<std::optional<int>()> onWait;
    UnattendedDialogs unattendedDialogs;
    station::UnattendedProbeEditorView unattendedEditor;
    shell::ShellServices unattended;
};

TEST(UnattendedInstallation, KeepsAMissingProbeActiveAndNamesANewOneByItsRom) {
    UnattendedStation station;
    SensorTable known = sim::SampleProbeTable();
    const SensorRecord firstSample = known.SensorArray[0];
    known.DeleteSensorFromDataBase(0);
    RomCode gone{0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    const int goneIndex = known.Append1820ToDataStruct(gone, 2);
    known.SensorArray[static_cast<std::size_t>(goneIndex)].Name = "Freezer 2";
    known.SensorArray[static_cast<std::size_t>(goneIndex)].Status = kStatusActive;
    station.WriteStationSensorFile(known);

    shell::DoeInstallNetwork(station.state, station.unattended);

    EXPECT_EQ(station.state.NetWorkInstalled, 1);
    const SensorTable stored = station.ReadStationSensorFile();
    const int kept = stored.Find1820inDataStruct(gone);
    ASSERT_GE(kept, 0) << "the missing probe was dropped";
    EXPECT_EQ(stored.SensorArray[static_cast<std::size_t>(kept)].Status, kStatusActive);
    const int added = stored.Find1820inDataStruct(firstSample.Rom);
    ASSERT_GE(added, 0) << "the new probe was not added";
    EXPECT_EQ(stored.SensorArray[static_cast<std::size_t>(added)].Name, RomToHex(firstSample.Rom));
    // Every probe of the network and the missing one, nothing twice.
    EXPECT_EQ(stored.GetMax1820Index(), sim::SampleProbeTable().GetMax1820Index() + 1);

    const std::string log = station.Log();
    EXPECT_NE(log.find("Unattended: probe Freezer 2 not found; kept active and waited for\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Unattended: new probe named by its ROM " + RomToHex(firstSample.Rom)),
              std::string::npos);
    EXPECT_NE(log.find("Network Installed OK"), std::string::npos);
    EXPECT_NE(station.capture.Text().find("<4>Unattended: probe Freezer 2 not found"),
              std::string::npos);
}

TEST(UnattendedInstallation, RetriesAnAbsentUnitAfterTheIntervalUntilItAnswers) {
    UnattendedStation station;
    station.WriteStationSensorFile(sim::SampleProbeTable());
    // The unit is not there for the first try and comes during the second wait.
    station.simulators.Install("simulator:test", nullptr);
    station.onWait = [&station]() -> std::optional<int> {
        if (station.waits.size() == 2) {
            station.simulators.Install("simulator:test", station.unit);
        }
        return std::nullopt;
    };

    shell::DoeInstallNetwork(station.state, station.unattended);

    EXPECT_EQ(station.waits, (std::vector<double>{90.0, 90.0}));
    EXPECT_EQ(station.state.NetWorkInstalled, 1);
    const std::string log = station.Log();
    EXPECT_EQ(Count(log, "Unattended: interface unit not responding; next try in 90 s"), 2);
}

TEST(UnattendedInstallation, ASignalDuringTheWaitCancelsAndIsKeptForTheStation) {
    UnattendedStation station;
    station.WriteStationSensorFile(sim::SampleProbeTable());
    station.simulators.Install("simulator:test", nullptr);
    station.onWait = [] { return std::optional<int>(SIGTERM); };

    shell::DoeInstallNetwork(station.state, station.unattended);

    EXPECT_EQ(station.waits.size(), 1U);
    EXPECT_EQ(station.state.NetWorkInstalled, 0);
    EXPECT_EQ(station.unattendedDialogs.TakePendingSignal(), SIGTERM);
    EXPECT_EQ(station.unattendedDialogs.TakePendingSignal(), std::nullopt);
    EXPECT_NE(station.Log().find("Network Not Installed"), std::string::npos);
}

// Failures keep their priority through the log the station's services use,
// which shows its status line around every entry.
TEST(JournalLog, FailuresReachTheJournalAsWarningsAndErrorsThroughTheStatusLog) {
    Journal journal;
    SilentStatusDisplay display;
    const shell::StationState state(StationPaths{"/nonexistent"});
    shell::StatusReportingLog log(journal.log, display, state);
    log.LogMessageToDisk("Web server listening on 127.0.0.1:8080");
    log.LogProblem("Web server not started: cannot listen");
    log.LogFileNotWritten("Audit trail QRVAudit.txt not written");
    log.LogFailure("Notification to Ben by email (High Alarm): attempt 1 refused; given up");
    EXPECT_EQ(journal.capture.Text(),
              "<6>Web server listening on 127.0.0.1:8080\n"
              "<4>Web server not started: cannot listen\n"
              "<3>Audit trail QRVAudit.txt not written\n"
              "<3>Notification to Ben by email (High Alarm): attempt 1 refused; given up\n");
    EXPECT_EQ(journal.programLog.Messages().size(), 4U);
    // A notice given up is no file lost: the status line keeps the file.
    EXPECT_EQ(journal.log.LastFileNotWritten(), "Audit trail QRVAudit.txt not written");
}

// A first start has no probe file: nothing is bad, and the journal shows no
// error for it.
TEST(UnattendedDialogs, AMissingProbeFileIsNoErrorOnAFirstStart) {
    Journal journal;
    UnattendedDialogs dialogs(
        {journal.log, [] { return 60; }, {}, [] { return std::optional<std::string>(); }});
    EXPECT_EQ(dialogs.GenericMessagePopup(text::Raw(Key::QRVNL_TEXT, 0),
                                          text::Raw(Key::BadSns_Continu, 0), {"Yes", "No"}, 1, 2),
              1);
    EXPECT_EQ(journal.capture.Text(),
              "<5>Unattended: no probe file yet; the installation writes one\n");
}

TEST(UnattendedDialogs, AnswersTheStartUpQuestionsInEveryLanguageAndLogsEachAnswer) {
    Journal journal;
    int kept = 0;
    UnattendedDialogs dialogs({journal.log,
                               [] { return 60; },
                               {},
                               [&kept] {
                                   ++kept;
                                   return std::string("the bad file is kept as QRVNL.SNS.bad-1");
                               }});
    for (int taal = 0; taal < text::kLanguageCount; ++taal) {
        const auto ask = [&](Key question, std::vector<std::string> buttons, int enter,
                             int escape) {
            return dialogs.GenericMessagePopup(text::Raw(Key::QRVNL_TEXT, taal),
                                               text::Raw(question, taal), buttons, enter, escape);
        };
        EXPECT_EQ(ask(Key::Mess_Ask_Demo, {"Normal", "Off line", "Demo"}, 1, 1), 1) << taal;
        EXPECT_EQ(ask(Key::BadSns_Continu, {"Yes", "No"}, 1, 2), 1) << taal;
        EXPECT_EQ(ask(Key::New_Installment, {"Yes", "No"}, 1, 2), 1) << taal;
        EXPECT_EQ(ask(Key::TXT_SNS_FILE_UNREADABLE, {"Yes", "No"}, 1, 2), 1) << taal;
        // A question a station without a menu never meets gets its Escape choice.
        EXPECT_EQ(ask(Key::TXT_StopNetwork, {"__Yes", "__No"}, 2, 2), 2) << taal;
    }
    EXPECT_EQ(kept, 4);
    const std::vector<std::string> lines = journal.programLog.Messages();
    ASSERT_EQ(lines.size(), 20U);
    EXPECT_EQ(lines[1],
              "Unattended: probe file bad; continuing with what could be read, the bad file is "
              "kept as QRVNL.SNS.bad-1");
    EXPECT_EQ(lines[3].rfind("Unattended: probe file cannot be read; continuing without it", 0), 0U)
        << lines[3];
    EXPECT_EQ(lines[4].rfind("Unattended: answered \"No\" to: ", 0), 0U) << lines[4];
    // Only the first line of each answer in the journal is checked here.
    EXPECT_EQ(
        journal.capture.Text().rfind("<4>Unattended: interface unit not found at start-up", 0), 0U);
}

TEST(UnattendedDialogs, MessagesBecomeOneWarningLineAndInputIsNeverInvented) {
    Journal journal;
    UnattendedDialogs dialogs({journal.log, {}, {}, {}});

    dialogs.MessagePopup("QRVNL", "Interface timing error.\n\tCheck\n\nthe cable.  ");
    EXPECT_EQ(dialogs.PromptPopup("QRVNL", "New name?", 20, "x"), std::nullopt);
    EXPECT_EQ(dialogs.PrinterDialog("Print", "Quorvanel probes"), std::nullopt);

    EXPECT_EQ(journal.programLog.Messages().front(),
              "Message: Interface timing error. Check the cable.");
    EXPECT_EQ(journal.capture.Text().substr(0, 54),
              "<4>Message: Interface timing error. Check the cable.\n<");
    EXPECT_EQ(journal.programLog.Messages().size(), 3U);
}

TEST(UnattendedDialogs, AQuestionFromAnotherThreadIsNeverMadeToWait) {
    Journal journal(false);
    int waited = 0;
    UnattendedDialogs dialogs({journal.log,
                               [] { return 60; },
                               [&waited](double) {
                                   ++waited;
                                   return std::optional<int>();
                               },
                               {}});
    int answer = 0;
    std::thread other([&] {
        answer = dialogs.GenericMessagePopup("QRVNL", text::Raw(Key::Mess_NoPlc, 0),
                                             {"Retry", "Cancel"}, 1, 2);
    });
    other.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(waited, 0);
    // Not to standard error when the settings say so, still to the program log.
    EXPECT_EQ(journal.capture.Text(), "");
    EXPECT_EQ(journal.programLog.Messages().size(), 1U);
}

TEST(StationCommandLine, TakesTheStationTheSimulationAndRefusesWhatItDoesNotKnow) {
    using namespace station;
    const auto parse = [](std::vector<std::string> args) {
        return ParseCommandLine(args, "/default");
    };
    auto options = std::get<StationOptions>(parse({}));
    EXPECT_EQ(options.station, "/default");
    EXPECT_EQ(options.simulateNetwork, std::nullopt);

    options = std::get<StationOptions>(parse({"--station", "/var/lib/quorvanel", "--simulate"}));
    EXPECT_EQ(options.station, "/var/lib/quorvanel");
    EXPECT_EQ(options.simulateNetwork, "");
    options = std::get<StationOptions>(parse({"--station=/s", "--simulate=net.json"}));
    EXPECT_EQ(options.station, "/s");
    EXPECT_EQ(options.simulateNetwork, "net.json");
    EXPECT_EQ(options.clockFactor, 1.0);

    options = std::get<StationOptions>(
        parse({"--simulate", "--fast-clock=60", "--stall-timer-on-sigusr1"}));
    EXPECT_EQ(options.clockFactor, 60.0);
    EXPECT_TRUE(options.stallOnSignal);

    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parse({"--station", "/s", "--help"})));
    EXPECT_TRUE(std::holds_alternative<ShowVersion>(parse({"--version"})));
    const auto problem = [&](std::vector<std::string> args) {
        const CommandLine result = parse(args);
        const auto* bad = std::get_if<BadCommandLine>(&result);
        return bad != nullptr ? bad->problem : std::string("accepted");
    };
    EXPECT_EQ(problem({"--station"}), "--station needs a directory");
    EXPECT_EQ(problem({"--simulate="}), "--simulate= needs a network file");
    EXPECT_EQ(problem({"--fast-clock=60"}), "--fast-clock works only with --simulate");
    EXPECT_EQ(problem({"--simulate", "--fast-clock=0.5"}),
              "--fast-clock=FACTOR needs a factor from 1 to 1000");
    EXPECT_EQ(problem({"--simulate", "--fast-clock=fast"}),
              "--fast-clock=FACTOR needs a factor from 1 to 1000");
    EXPECT_EQ(problem({"-x"}), "unknown argument: -x");
}

TEST(StationCommandLine, TheServiceStateDirectoryIsTheDefaultStation) {
    ::setenv("STATE_DIRECTORY", "/var/lib/quorvanel:/var/lib/other", 1);
    EXPECT_EQ(station::DefaultStationDirectory(), "/var/lib/quorvanel");
    ::unsetenv("STATE_DIRECTORY");
    ::setenv("XDG_DATA_HOME", "/home/kees/.data", 1);
    EXPECT_EQ(station::DefaultStationDirectory(), "/home/kees/.data/quorvanel");
}

}  // namespace
}  // namespace qrv::testing
