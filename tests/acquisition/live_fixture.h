#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "acquisition/clock_timer_platform.h"
#include "acquisition/live_acquisition.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sim/network_file.h"
#include "support/clocked_launcher.h"
#include "support/reading_wait_holding_clock.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/stepped_timer_platform.h"
#include "support/temp_dir.h"

namespace qrv::testing {

// Counts how often the station opens the port: once per session start, so
// once per network reset.
class CountingPortProvider final : public SerialPortProvider {
  public:
    using SerialPortProvider::SerialPortProvider;
    std::unique_ptr<SerialPort> MakePort(int comNumber) override {
        ++opens;
        return SerialPortProvider::MakePort(comNumber);
    }
    std::atomic<int> opens{0};
};

// Live acquisition against a simulated unit on COM1, in virtual time, with
// the network timer's ticks delivered on the test's thread.
struct LiveFixture {
    // threaded: the network timer runs on its own thread, waiting for the
    // test to move the virtual clock; otherwise RunFor delivers its ticks.
    explicit LiveFixture(const std::string& network,
                         LocalDateTime start = LocalDateTime{2026, 1, 5, 12, 0, 30, 0},
                         bool threaded = false);
    // Points the SMS settings at an existing program and a destination.
    void ConfigureSms();

    // Opens the session and finds the unit's devices.
    void StartSession();
    // Appends a probe of the simulated unit to the table: active, whole-day
    // windows, limits far away.
    int AddProbe(int line, int deviceOnLine, const std::string& name);
    // Creates the network timer and starts acquisition.
    void Start();
    // Delivers every network tick due up to seconds from now; onTick runs
    // after each.
    void RunFor(double seconds, const std::function<void()>& onTick = {});
    // The record itself, while the ticks run on the test's thread.
    SensorRecord& Probe(int index) {
        return table.Lock()->SensorArray[static_cast<std::size_t>(index)];
    }
    // A copy, while the network timer runs on its own thread.
    SensorRecord ProbeCopy(int index) {
        return table.Copy().SensorArray[static_cast<std::size_t>(index)];
    }
    std::string AlarmFileText() const;
    std::string ProgramLogText() const;

    TempDir dir;
    VirtualClock clock;
    sim::SimulatorRegistry registry{clock};
    std::shared_ptr<sim::SimulatedNodex> unit;
    CountingPortProvider ports;
    OneWireDriver driver{ports, clock};
    RecordingStatusDisplay display;
    ScriptedDialogs dialogs;
    ProgramLogFile programLog;
    ReadingWaitHoldingClock sessionClock{clock};
    NodexSession session;
    acquisition::StationFlags flags;
    SharedSensorTable table;
    SettingsOwner settings;
    ClockedLauncher launcher{clock};
    acquisition::SteppedTimerPlatform timers{clock};
    acquisition::ClockTimerPlatform threadTimers{clock};
    std::atomic<int> lastSampleTime{-1};
    LiveFeed feed;
    records::SharedCalibrations calibrations;
    acquisition::LiveAcquisition live;
};

}  // namespace qrv::testing
