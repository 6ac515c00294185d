#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <limits>
#include <mutex>
#include <optional>
#include <stop_token>

#include "acquisition/acquisition_rules.h"
#include "acquisition/alarm_evaluation.h"
#include "acquisition/alarm_log.h"
#include "acquisition/live_acquisition_context.h"
#include "acquisition/station_flags.h"
#include "acquisition/timer_service.h"
#include "feed/live_feed.h"
#include "onewire/bus_errors.h"
#include "onewire/nodex_session.h"
#include "runtime/clock.h"
#include "runtime/status_display.h"
#include "sensors/families.h"
#include "sensors/shared_sensor_table.h"
#include "settings/settings_owner.h"

namespace qrv::acquisition {

inline constexpr double kNetworkTimerInterval = 1.0;
// The watchdog's value whenever the network timer is created or started.
inline constexpr int kWatchdogAtStart = 2;

// Acquisition indicator colours.
inline constexpr std::uint32_t kIndicatorReading = 0x0066CC;
inline constexpr std::uint32_t kIndicatorNoProbe = 0xFFCC00;
inline constexpr std::uint32_t kIndicatorDone = 0xFFFFFF;

// The alarm side that the cycle drives, owned beside it.
struct AlarmParts {
    AlarmLog& alarmLog;
    AlarmEvaluator& alarms;
    AlarmOutputs& outputs;
};

// The heartbeat of the station: on every tick of the one-second network
// timer, alternately a measurement step (check that the interface unit
// answers, read one probe) and an alarm step (evaluate every probe), and a
// store request when a sampling minute is due. Ticks run on the timer
// thread; the control operations run on the user-interface thread and meet
// the ticks through the tick lock, so a stop is never overtaken by a tick.
// It publishes the readings, the network lost and back, and each pause and
// resumption of acquisition.
class AcquisitionCycle {
  public:
    AcquisitionCycle(const LiveAcquisitionContext& station, const AlarmParts& alarmParts)
        : station_(station), alarmParts_(alarmParts) {}
    // A relay test still running ends here: its timer calls into this cycle.
    ~AcquisitionCycle() { EndRelayTest(); }
    AcquisitionCycle(const AcquisitionCycle&) = delete;
    AcquisitionCycle& operator=(const AcquisitionCycle&) = delete;

    // The network timer's callback.
    int AsyncDataTime(const AsyncTimerEvent& event);

    // User-interface thread.
    int InitAsyncNetworkTimer(AsyncTimerService& service);
    int DiscardAsyncNetworkTimer(AsyncTimerService& service);
    void SuspendNetworkAsyncTimer() { SetAcquisitionEnabled(false); }
    void ResumeNetworkAsyncTimer() { SetAcquisitionEnabled(true); }
    int NetWorkSuspended() const { return station_.flags.NetworkAsyncTimerEnabled == 0 ? 1 : 0; }
    // Pauses acquisition. Returns once a tick in progress has finished: from
    // then on the timer thread touches neither the session nor the table.
    void StopNetworkTimer();
    // Resets the counters, chooses the first probe, runs one alarm step here
    // and resumes acquisition.
    void StartNetworkTimer();
    // The five-second relay test: pauses acquisition, switches the relay on
    // and returns; a timer of the platform switches it off after five
    // seconds and resumes acquisition (a paused acquisition stays paused).
    // False when a test already runs. Stopping, starting or discarding the
    // network timer ends a running test first.
    bool StartRelayTest();
    // Ends a running relay test at once; nothing when none runs. Any thread.
    void EndRelayTest();
    bool RelayTestRunning() const;

    // Whether the measurement step reads a whole line at a time, its
    // temperature probes by one shared conversion under the unit's strong
    // pull-up (quorvanel.toml's [acquisition] simultaneous_conversion), or
    // one probe. Any thread; from the next measurement step on.
    void SetSimultaneousConversion(bool on) { simultaneous_ = on; }
    bool SimultaneousConversion() const { return simultaneous_; }

    // Steps of a tick, also used directly by tests.
    void HandleMeasureSensors();
    void SeeIfTimeToSampleToDisk();

    // The probes whose latest reading no longer stands for the present: read
    // before the interface unit was last lost, or not read for three of
    // their reading periods (every measured probe in turn, one every two
    // seconds). Any thread.
    std::bitset<kMaxSensors> StaleReadings() const;

    // The network's failures as acquisition met them. Any thread.
    const BusErrorCounter& BusErrors() const { return busErrors_; }

    int AcquireSensorIndex() const { return acquireSensorIndex_; }
    int InterfaceErrorCount() const { return interfaceErrorCount_; }
    int AsyncNetworkTimer() const { return asyncNetworkTimer_; }

  private:
    bool Paused() const { return station_.flags.NetworkAsyncTimerEnabled == 0; }
    void SetAcquisitionEnabled(bool enabled);
    void Publish(LiveEventKind kind);
    void AlarmStep();
    void ClearAlarmsWhileDisabled();
    void ReadProbe();
    // The simultaneous measurement step: the next line's probes. False when
    // no line has a probe to read.
    bool ReadLineRound();
    // What entering one reading into its record asks of the cycle.
    struct Entered {
        bool tableChanged = false;
        bool moveOn = false;
        bool resetNetwork = false;
        std::optional<LiveEvent> newReading;
    };
    // A good reading with the probe's calibration applied, and a humidity
    // reading smoothed against the value before it.
    double Corrected(const RomCode& rom, DeviceKind kind, double previous,
                     const Reading& read) const;
    // Enters a reading of the probe read from `line` and `rom` into its
    // record at `index`: the corrected value, counts and timestamp, or one
    // more failure.
    Entered EnterReading(SensorTable& table, int index, std::int32_t line, const RomCode& rom,
                         const Reading& read, double corrected);
    void ShowProbeBeingRead(const RomCode& rom, const std::string& name);
    void SwitchRelayTestOff();
    // A stop for the waits of the tick that begins: requested as soon as
    // acquisition pauses.
    std::stop_token NewTickStop();

    const LiveAcquisitionContext& station_;
    AlarmParts alarmParts_;
    // Held by a tick while it works, and by the user-interface side while it
    // uses the session or waits for a tick to end.
    std::mutex tickMutex_;
    // Ends the current tick's reading waits when acquisition pauses; renewed
    // by each tick.
    std::mutex tickStopMutex_;
    std::stop_source tickStop_;
    SamplingTrigger sampling_;
    int asyncNetworkTimer_ = 0;
    int measurePhase_ = 0;
    // Read by the user-interface side for display and tests.
    std::atomic<int> acquireSensorIndex_{-1};
    std::atomic<int> interfaceErrorCount_{0};
    // Clock seconds of each probe's latest good reading, by table index (the
    // table changes only while acquisition is stopped, and a start stamps
    // every probe: it follows an installation's scan or a short pause).
    std::array<std::atomic<double>, kMaxSensors> readAt_{};
    // When the interface failures that raised the latest communication alarm
    // began, and when the failures now running began (timer thread only).
    std::atomic<double> lostAt_{-std::numeric_limits<double>::infinity()};
    double failuresSince_ = 0.0;
    BusErrorCounter busErrors_;
    std::atomic<bool> simultaneous_{false};
    // The line of the latest simultaneous round (timer thread only).
    std::int32_t roundLine_ = 0;
    // Each DS18B20's configuration byte as its latest good scratchpad showed
    // it, by table index (0: not known): its resolution sets the conversion
    // time (timer thread, and a start under the tick lock).
    std::array<std::uint8_t, kMaxSensors> configBytes_{};
    // The relay test's timer (0: no test runs) and whether the test paused
    // acquisition itself. Lock order: relay-test lock, then tick lock.
    mutable std::mutex relayTestMutex_;
    int relayTestTimer_ = 0;
    bool relayTestPaused_ = false;
};

}  // namespace qrv::acquisition
