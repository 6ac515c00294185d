// The station program itself, ended by signals at the stages where it waits
// for something: its start-up installation and an open popup.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <utility>

#include "station_process.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

// Sends the signal once the log holds marker and waits for the end: within
// a few seconds, through the shutdown.
void ExpectTheSignalEndsTheStationSoon(QProcess& process, const TempDir& station,
                                       const std::string& marker, int signal,
                                       const std::string& name) {
    SCOPED_TRACE(name);
    const auto logText = [&] { return ReadBytes(station.path() / "QRVLog.txt"); };
    ASSERT_TRUE(process.waitForStarted(10000));
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (logText().find(marker) == std::string::npos) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << logText();
        std::this_thread::sleep_for(20ms);
    }
    const auto sent = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(process.processId()), signal);
    // Five seconds is the promise; the margin is for a loaded test machine.
    ASSERT_TRUE(process.waitForFinished(8000)) << "still running 8 s after " << name;
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 8s);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_NE(logText().find(": Shutdown on " + name + "\r\n"), std::string::npos) << logText();
}

TEST(StationProcess, EachSignalDuringTheStartUpInstallationEndsItUnfinishedWithinSeconds) {
    for (const auto& [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"},
                                       std::pair{SIGHUP, "SIGHUP"}}) {
        TempDir station;
        QProcess process;
        StartStation(process, station);
        // Written just before the installation's scan of the sample network,
        // which takes a quarter of a minute to its end.
        ExpectTheSignalEndsTheStationSoon(process, station, "Sample probe file written", signal,
                                          name);
        const std::string log = ReadBytes(station.path() / "QRVLog.txt");
        EXPECT_EQ(log.find("Network Installed OK"), std::string::npos) << log;
    }
}

TEST(StationProcess, ABadNetworkFileIsToldOnTheTerminalAndASignalClosesItsPopup) {
    TempDir station;
    const std::string network = (station.path() / "network.json").string();
    WriteBytes(network, "{\"lines\": [[{\"type\": \"DS18B2O\"}]]}");
    QProcess process;
    StartStation(process, station, QString::fromStdString("--simulate=" + network));
    // The popup that names the problem is open once the log has it.
    ExpectTheSignalEndsTheStationSoon(process, station, "Simulated network not loaded", SIGTERM,
                                      "SIGTERM");
    const std::string said = process.readAllStandardError().toStdString();
    EXPECT_NE(said.find("quorvanel: the network file cannot be used: " + network + ": "),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("unknown device type DS18B2O"), std::string::npos) << said;
}

}  // namespace
}  // namespace qrv::testing
