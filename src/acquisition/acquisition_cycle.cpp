#include "acquisition/acquisition_cycle.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/alarm_texts.h"
#include "onewire/families.h"
#include "onewire/line_readings.h"
#include "onewire/unit_outputs.h"
#include "text/texts.h"

namespace qrv::acquisition {

using text::Key;

namespace {

// While a tick holds the session, a pause of acquisition ends the wait of the
// reading in progress; once it lets go, the waits of the user-interface
// side's own steps run their course.
class TickReadingWaits {
  public:
    TickReadingWaits(NodexSession& session, std::stop_token stop) : session_(session) {
        session_.EndReadingWaitsOn(std::move(stop));
    }
    ~TickReadingWaits() { session_.EndReadingWaitsOn({}); }
    TickReadingWaits(const TickReadingWaits&) = delete;
    TickReadingWaits& operator=(const TickReadingWaits&) = delete;

  private:
    NodexSession& session_;
};

}  // namespace

int AcquisitionCycle::AsyncDataTime(const AsyncTimerEvent& event) {
    if (event.event != kEventTimerTick) {
        return 0;
    }
    station_.flags.AsyncWatchdogTimer = 0;
    // While the user-interface side holds the lock it uses the session
    // itself; this tick is dropped.
    std::unique_lock tick(tickMutex_, std::try_to_lock);
    if (!tick.owns_lock() || Paused()) {
        return 0;
    }
    const TickReadingWaits waits(station_.session, NewTickStop());
    measurePhase_ = measurePhase_ == 0 ? 1 : 0;
    if (measurePhase_ == 1) {
        HandleMeasureSensors();
    } else if (station_.settings.GeneralAlarmEnable() == 1) {
        AlarmStep();
    } else {
        ClearAlarmsWhileDisabled();
    }
    SeeIfTimeToSampleToDisk();
    return 0;
}

void AcquisitionCycle::AlarmStep() {
    // Lines a full disk held back are written as soon as it takes them again,
    // not only at the next alarm.
    alarmParts_.alarmLog.WritePending();
    alarmParts_.alarms.HandleAlarmInterrupt();
    if (Paused()) {
        return;
    }
    station_.session.Zet2480TimingToLongCable();
    Toggle2405Pio(station_.session);
}

void AcquisitionCycle::ClearAlarmsWhileDisabled() {
    alarmParts_.outputs.RedLed(false);
    alarmParts_.outputs.AlarmRelais(false);
    station_.flags.CommunicationErrorAlarm = 0;
    station_.flags.SensorAlarm = 0;
    station_.display.ShowAlarmBanner(
        false, text::GroupText(text::Group::AlarmBanner, 1, station_.settings.Taal()));
    station_.display.ShowAlarmButton(false);
    station_.display.SetAlarmButton(1);
    station_.flags.AlarmUserStatus = 1;
    // The alarm file and the feed are written after the table is let go.
    std::vector<std::pair<std::string, LiveEvent>> cleared;
    const LocalDateTime now = station_.clock.Now();
    {
        const auto table = station_.table.Lock();
        for (std::size_t i = 0; i < table->SensorArray.size(); ++i) {
            SensorRecord& record = table->SensorArray[i];
            if (record.Line != 0 && record.AlarmState != kAlarmNone) {
                LiveEvent event =
                    ProbeEvent(LiveEventKind::kAlarmChanged, now, static_cast<int>(i), record);
                event.oldAlarm = record.AlarmState;
                cleared.emplace_back(ClearedAlarmMessage(AlarmClearReason::kAlarmsDisabled, record),
                                     std::move(event));
            }
            record.AlarmDelayCount = 0;
            record.TripDelayCount = 0;
            record.AlarmState = kAlarmNone;
        }
    }
    for (const auto& [message, event] : cleared) {
        alarmParts_.alarmLog.LogAlarmToDisk(message);
        station_.feed.Publish(event);
    }
    alarmParts_.alarms.ClearTimeAlarms(AlarmClearReason::kAlarmsDisabled);
}

void AcquisitionCycle::HandleMeasureSensors() {
    const bool alarmStood = station_.flags.CommunicationErrorAlarm != 0;
    if (OranjeLedOn(station_.session) != OutputResult::kDone) {
        if (!Paused()) {
            station_.session.ResetNetworkFromAsync();
        }
        busErrors_.Count(BusErrorKind::kUnitSilent);
        const int failures = ++interfaceErrorCount_;
        if (failures == 1) {
            failuresSince_ = station_.clock.Timer();
        }
        if (failures >= kInterfaceFailuresForAlarm && failures < kInterfaceAlarmRaised) {
            interfaceErrorCount_ = kInterfaceAlarmRaised;
            lostAt_ = failuresSince_;
            station_.flags.CommunicationErrorAlarm = 1;
            // The line named the probe being read; nothing is read now.
            station_.display.SetStatusLine("", colors::kProgressBlue);
            station_.display.SetAlarmButton(1);
            station_.flags.AlarmUserStatus = 1;
            alarmParts_.alarmLog.LogAlarmToDisk(kNetworkLostMessage);
            busErrors_.Count(BusErrorKind::kNetworkLost);
            Publish(LiveEventKind::kNetworkLost);
        }
        return;
    }
    if (alarmStood) {
        alarmParts_.alarmLog.LogAlarmToDisk(kNetworkBackMessage);
        Publish(LiveEventKind::kNetworkBack);
    }
    interfaceErrorCount_ = 0;
    station_.flags.CommunicationErrorAlarm = 0;
    OranjeLedOff(station_.session);
    ReadProbe();
}

void AcquisitionCycle::ShowProbeBeingRead(const RomCode& rom, const std::string& name) {
    // The status line names each probe as it is read: the place where a
    // calibration coming due is seen without a report.
    static constexpr std::array<std::string_view, 3> kDueNote{"", "   (calibration due soon)",
                                                              "   (calibration overdue)"};
    const auto due = station_.calibrations.Due(rom, station_.clock.Now());
    station_.display.SetStatusLine(text::Plain(Key::TXT_PROBE, station_.settings.Taal()) + name +
                                       std::string(kDueNote[static_cast<std::size_t>(due)]),
                                   colors::kProgressBlue);
}

double AcquisitionCycle::Corrected(const RomCode& rom, DeviceKind kind, double previous,
                                   const Reading& read) const {
    if (!read.Ok()) {
        return 0.0;
    }
    // Smoothing compares with the stored value, which is corrected already.
    const double corrected = station_.calibrations.Apply(rom, read.value);
    return kind == DeviceKind::kHumidity ? SmoothHumidity(previous, corrected) : corrected;
}

AcquisitionCycle::Entered AcquisitionCycle::EnterReading(SensorTable& table, int index,
                                                         std::int32_t line, const RomCode& rom,
                                                         const Reading& read, double corrected) {
    Entered entered;
    SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
    if (record.Line != line || record.Rom != rom) {
        // The table changed under the reading (acquisition pauses for
        // that, so only a caller that forgot to): it belongs to no slot.
        entered.tableChanged = true;
        return entered;
    }
    entered.moveOn = true;
    // A correction that ends below the error limit gives no temperature
    // either: it counts as a bad reading.
    if (!read.Ok() || IsErrorValue(corrected)) {
        if (IsProbeFamily(rom[0])) {
            busErrors_.Count(read.Ok() ? BusErrorKind::kBadReading : ReadFailureKind(read.fault));
        }
        if (record.LostCount <= kLostCountReset) {
            ++record.LostCount;
        }
        record.NewValueCount = 0;
        entered.resetNetwork = record.LostCount == kLostCountReset;
        entered.moveOn = record.LostCount >= kLostCountMoveOn;
    } else {
        record.Value = corrected;
        record.RawValue = read.value;
        readAt_[static_cast<std::size_t>(index)] = station_.clock.Timer();
        record.LostCount = 0;
        ++record.NewValueCount;
        entered.newReading =
            ProbeEvent(LiveEventKind::kReading, station_.clock.Now(), index, record);
    }
    return entered;
}

void AcquisitionCycle::ReadProbe() {
    StatusDisplay& display = station_.display;
    const int index = acquireSensorIndex_;
    if (index < 0) {
        display.SetAcquisitionIndicator(kIndicatorNoProbe);
        display.SetStatusLine(text::Plain(Key::TXT_NO_PROBES, station_.settings.Taal()),
                              colors::kProgressBlue);
        display.SetAcquisitionIndicator(kIndicatorDone);
        return;
    }
    // With simultaneous conversion a whole line at a time; one probe when no
    // line has a probe to read.
    if (simultaneous_ && ReadLineRound()) {
        return;
    }
    // The bus traffic runs on a copy of what it needs, without the table.
    std::int32_t line = 0;
    RomCode rom{};
    std::string name;
    double previous = 0.0;
    {
        const auto table = station_.table.Lock();
        const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
        line = record.Line;
        rom = record.Rom;
        name = record.Name;
        previous = record.Value;
    }
    display.SetAcquisitionIndicator(kIndicatorReading);
    ShowProbeBeingRead(rom, name);

    const DeviceFamily& family = FamilyOf(rom[0]);
    const bool probe = IsProbeFamily(family.code);
    const Reading read = probe ? qrv::ReadProbe(station_.session, line, rom)
                               : Reading::Failed(ProbeFault::kNotAProbe);
    const double corrected = Corrected(rom, family.kind, previous, read);
    if (Paused()) {
        // A stop is waiting for this tick: the reading is dropped.
        display.SetAcquisitionIndicator(kIndicatorDone);
        return;
    }

    Entered entered;
    {
        const auto table = station_.table.Lock();
        entered = EnterReading(*table, index, line, rom, read, corrected);
        if (entered.tableChanged) {
            acquireSensorIndex_ = SetAcquireEersteSensor(*table);
        } else if (entered.moveOn) {
            acquireSensorIndex_ = NextAcquireSensor(*table, index);
        }
    }
    if (entered.newReading) {
        station_.feed.Publish(*entered.newReading);
    }
    if (entered.resetNetwork && !Paused()) {
        station_.session.ResetNetworkFromAsync();
    }
    display.SetAcquisitionIndicator(kIndicatorDone);
}

bool AcquisitionCycle::ReadLineRound() {
    struct Probe {
        int index;
        // As the record holds it: 101 to 103 for a probe not yet confirmed.
        std::int32_t recordLine;
        RomCode rom;
        std::string name;
        double previous;
        DeviceKind kind;
    };
    // The next line with probes to read, after the latest round's; the bus
    // traffic runs on a copy of what it needs, without the table.
    std::int32_t line = 0;
    std::vector<Probe> probes;
    {
        const auto table = station_.table.Lock();
        const int last = table->GetMax1820Index();
        for (int step = 1; step <= kCouplerCount && probes.empty(); ++step) {
            line = (roundLine_ + step - 1) % kCouplerCount + 1;
            for (int index = 0; index <= last; ++index) {
                const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
                const bool measured =
                    record.Status == kStatusActive || record.Status == kStatusInhibit;
                if (measured && NormaliseLine(record.Line) == line) {
                    probes.push_back({index, record.Line, record.Rom, record.Name, record.Value,
                                      FamilyOf(record.Rom[0]).kind});
                }
            }
        }
    }
    if (probes.empty()) {
        return false;
    }
    roundLine_ = line;
    station_.display.SetAcquisitionIndicator(kIndicatorReading);

    std::vector<RomCode> temperatures;
    SharedConversion conversion{true, 0.0};
    for (const Probe& probe : probes) {
        if (probe.kind == DeviceKind::kTemperature) {
            temperatures.push_back(probe.rom);
            const std::uint8_t config = configBytes_[static_cast<std::size_t>(probe.index)];
            conversion.seconds =
                std::max(conversion.seconds,
                         ConversionSeconds(probe.rom, config == 0 ? kTwelveBitConfig : config));
        }
    }
    // A probe whose reading never came (the session gave up part way) failed.
    std::vector<Reading> reads(probes.size());
    if (!temperatures.empty()) {
        station_.session.SelectLine(line);
        const auto first = std::find_if(probes.begin(), probes.end(), [](const Probe& probe) {
            return probe.kind == DeviceKind::kTemperature;
        });
        ShowProbeBeingRead(first->rom, first->name);
        const std::vector<ConvertedReading> converted =
            ReadLineTemperatures(station_.session, temperatures, conversion);
        std::size_t next = 0;
        for (std::size_t i = 0; i < probes.size() && next < converted.size(); ++i) {
            if (probes[i].kind != DeviceKind::kTemperature) {
                continue;
            }
            const ConvertedReading& reading = converted[next++];
            reads[i] = reading.reading;
            // A probe that failed is waited for as at 12 bits until it is read
            // again: a resolution raised since would starve the whole line.
            const bool known = reading.reading.Ok() && probes[i].rom[0] == kFamilyDs18b20;
            configBytes_[static_cast<std::size_t>(probes[i].index)] = known ? reading.pad[4] : 0;
        }
    }
    // Humidity and switch probes are read one by one, as always, but a
    // switch without the pause that paces a tick of one probe.
    for (std::size_t i = 0; i < probes.size() && !Paused(); ++i) {
        const Probe& probe = probes[i];
        if (!IsProbeFamily(probe.rom[0])) {
            reads[i] = Reading::Failed(ProbeFault::kNotAProbe);
        } else if (probe.kind != DeviceKind::kTemperature) {
            ShowProbeBeingRead(probe.rom, probe.name);
            reads[i] = qrv::ReadProbe(station_.session, line, probe.rom, SwitchPause::kNone);
        }
    }
    if (Paused()) {
        // A stop is waiting for this tick: the readings are dropped.
        station_.display.SetAcquisitionIndicator(kIndicatorDone);
        return true;
    }

    bool resetNetwork = false;
    std::vector<LiveEvent> newReadings;
    {
        const auto table = station_.table.Lock();
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const Probe& probe = probes[i];
            const double corrected = Corrected(probe.rom, probe.kind, probe.previous, reads[i]);
            Entered entered =
                EnterReading(*table, probe.index, probe.recordLine, probe.rom, reads[i], corrected);
            if (entered.tableChanged) {
                acquireSensorIndex_ = SetAcquireEersteSensor(*table);
                break;
            }
            resetNetwork = resetNetwork || entered.resetNetwork;
            if (entered.newReading) {
                newReadings.push_back(std::move(*entered.newReading));
            }
        }
    }
    for (const LiveEvent& event : newReadings) {
        station_.feed.Publish(event);
    }
    if (resetNetwork && !Paused()) {
        station_.session.ResetNetworkFromAsync();
    }
    station_.display.SetAcquisitionIndicator(kIndicatorDone);
    return true;
}

std::bitset<kMaxSensors> AcquisitionCycle::StaleReadings() const {
    constexpr double kSecondsPerReading = 2.0;
    constexpr double kPeriodsBeforeStale = 3.0;
    int last = -1;
    int measured = 0;
    {
        const auto table = station_.table.Lock();
        last = table->GetMax1820Index();
        for (int index = 0; index <= last; ++index) {
            const int status = table->SensorArray[static_cast<std::size_t>(index)].Status;
            measured += status == kStatusActive || status == kStatusInhibit ? 1 : 0;
        }
    }
    const double oldest =
        station_.clock.Timer() - kPeriodsBeforeStale * kSecondsPerReading * measured;
    const double lostAt = lostAt_;
    std::bitset<kMaxSensors> stale;
    for (int index = 0; index <= last; ++index) {
        const double readAt = readAt_[static_cast<std::size_t>(index)];
        stale[static_cast<std::size_t>(index)] = readAt < lostAt || readAt < oldest;
    }
    return stale;
}

void AcquisitionCycle::SeeIfTimeToSampleToDisk() {
    if (sampling_.Due(station_.clock.Now(), station_.settings.KeuzeSampleTime(),
                      station_.lastSampleTime)) {
        Publish(LiveEventKind::kStoreDue);
    }
}

std::stop_token AcquisitionCycle::NewTickStop() {
    const std::lock_guard lock(tickStopMutex_);
    tickStop_ = std::stop_source{};
    // A pause that came after this tick's check but before the new source
    // found the old one: asked again here, under the lock the pause takes.
    if (Paused()) {
        tickStop_.request_stop();
    }
    return tickStop_.get_token();
}

void AcquisitionCycle::SetAcquisitionEnabled(bool enabled) {
    const int was = station_.flags.NetworkAsyncTimerEnabled.exchange(enabled ? 1 : 0);
    if (!enabled) {
        const std::lock_guard lock(tickStopMutex_);
        tickStop_.request_stop();
    }
    if ((was != 0) != enabled) {
        Publish(enabled ? LiveEventKind::kAcquisitionResumed : LiveEventKind::kAcquisitionPaused);
    }
}

void AcquisitionCycle::Publish(LiveEventKind kind) {
    station_.feed.Publish(StationEvent(kind, station_.clock.Now()));
}

int AcquisitionCycle::InitAsyncNetworkTimer(AsyncTimerService& service) {
    station_.flags.AsyncWatchdogTimer = kWatchdogAtStart;
    SuspendNetworkAsyncTimer();
    asyncNetworkTimer_ = service.NewAsyncTimer(
        kNetworkTimerInterval, -1, 1,
        [this](const AsyncTimerEvent& event) { return AsyncDataTime(event); }, 0);
    return asyncNetworkTimer_;
}

int AcquisitionCycle::DiscardAsyncNetworkTimer(AsyncTimerService& service) {
    EndRelayTest();
    SuspendNetworkAsyncTimer();
    return service.DiscardAsyncTimer(kAllTimers);
}

void AcquisitionCycle::StopNetworkTimer() {
    EndRelayTest();
    SuspendNetworkAsyncTimer();
    { const std::lock_guard waitForTick(tickMutex_); }
    station_.display.SetStatusLine("", colors::kProgressBlue);
}

void AcquisitionCycle::StartNetworkTimer() {
    EndRelayTest();
    const std::lock_guard hold(tickMutex_);
    SuspendNetworkAsyncTimer();
    alarmParts_.outputs.AlarmRelais(false);
    alarmParts_.outputs.RedLed(false);
    station_.flags.SensorAlarm = 0;
    interfaceErrorCount_ = 0;

    const double now = station_.clock.Timer();
    for (std::atomic<double>& stamp : readAt_) {
        stamp = now;
    }
    // The table may hold other probes now.
    configBytes_.fill(0);
    {
        const auto table = station_.table.Lock();
        for (SensorRecord& record : table->SensorArray) {
            record.NewValueCount = 0;
            record.LostCount = 0;
        }
        acquireSensorIndex_ = SetAcquireEersteSensor(*table);
    }

    alarmParts_.alarms.HandleAlarmInterrupt();
    sampling_.Restart(station_.clock.Now());
    station_.flags.AsyncWatchdogTimer = kWatchdogAtStart;
    ResumeNetworkAsyncTimer();
}

bool AcquisitionCycle::StartRelayTest() {
    constexpr int kRelayTestMs = 5000;
    const std::lock_guard test(relayTestMutex_);
    if (relayTestTimer_ != 0) {
        return false;
    }
    relayTestPaused_ = !Paused();
    SuspendNetworkAsyncTimer();
    {
        // A tick in progress ends first; later ticks find acquisition paused
        // and leave the relay alone until the test ends.
        const std::lock_guard hold(tickMutex_);
        alarmParts_.outputs.AlarmRelais(true);
    }
    relayTestTimer_ = station_.timers.Start(kRelayTestMs, [this] { EndRelayTest(); });
    if (relayTestTimer_ == 0) {
        // Without a timer the relay must not stay on: the old blocking wait.
        station_.clock.Delay(kRelayTestMs / 1000.0);
        SwitchRelayTestOff();
    }
    return true;
}

void AcquisitionCycle::EndRelayTest() {
    int timer = 0;
    {
        const std::lock_guard test(relayTestMutex_);
        timer = std::exchange(relayTestTimer_, 0);
        if (timer == 0) {
            return;
        }
        SwitchRelayTestOff();
    }
    // Outside the lock: killing waits for a call in progress, which may be
    // waiting for the lock (and then finds the test ended). From the timer's
    // own call the kill does not wait.
    station_.timers.Kill(timer);
}

bool AcquisitionCycle::RelayTestRunning() const {
    const std::lock_guard test(relayTestMutex_);
    return relayTestTimer_ != 0;
}

void AcquisitionCycle::SwitchRelayTestOff() {
    {
        const std::lock_guard hold(tickMutex_);
        alarmParts_.outputs.AlarmRelais(false);
    }
    if (std::exchange(relayTestPaused_, false)) {
        ResumeNetworkAsyncTimer();
    }
}

}  // namespace qrv::acquisition
