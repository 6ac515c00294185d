#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "byte_counters.h"
#include "ds2480b_chip.h"
#include "sim_device.h"
#include "switch_devices.h"

namespace qrv::sim {

enum class FaultKind {
    kUnplugged,        // the cable is out: no power, no replies, CTS off
    kUnpowered,        // the unit's supply fails although RTS and DTR are set
    kRemoved,          // a probe is taken off its line (re-inserted when the fault ends)
    kCorruptCrc,       // every CRC byte the probe sends is damaged
    kShort,            // the trunk (line 0) or a line is shorted
    kStuckConversion,  // the probe's conversions never finish
};

// A fault active from `from` until `until` (seconds of unit time).
struct Fault {
    FaultKind kind = FaultKind::kUnplugged;
    Rom rom{};     // for the probe faults
    int line = 0;  // for kShort
    double from = 0;
    double until = std::numeric_limits<double>::infinity();
};

// Faults of the serial link itself, between the host and the bridge.
enum class LinkFaultKind {
    kDrop,       // all traffic both ways is lost for `seconds` (a loose plug, a stalled adapter)
    kDeadBreak,  // a break reaches nothing (as on some USB adapters and pseudo-terminals)
    kGarbage,    // `bytes` appear on the line, to the host or (toUnit) to the bridge
};

// A link fault triggered by a byte pattern the host sends (empty: by time
// alone). A drop begins once the unit has answered the pattern's last byte;
// without a pattern it lasts from `from` to `until`. Garbage follows the
// pattern, or comes with the first host byte after `from`. A pattern fault
// fires at most `times` times (0: every time).
struct LinkFault {
    LinkFaultKind kind = LinkFaultKind::kDrop;
    std::vector<std::uint8_t> after;
    double seconds = 0.4;
    std::vector<std::uint8_t> bytes;
    bool toUnit = false;
    int times = 1;
    double from = 0;
    double until = std::numeric_limits<double>::infinity();
};

enum class UnitOutput { kRelay, kOrangeLamp, kRedLamp };

struct OutputEvent {
    double time;  // unit time
    UnitOutput output;
    bool on;
};

// A reply byte of the unit and the unit time at which it has fully arrived
// at the host.
struct TimedByte {
    std::uint8_t byte;
    double at;
};

// The simulated interface unit: a DS2480B bridge on the serial line, the
// trunk with the unit's DS2406 (PIO-A relay, PIO-B orange lamp) and its
// DS2409 couplers (one per line; their control outputs drive the red lamp),
// and the devices of each line. Time is charged as on the real hardware:
// every serial character at the baud rate, every reset and slot its
// duration. Line k hangs on the k-th coupler in search order, as the
// station expects. All methods are safe to call from several threads.
class SimulatedNodex : private SimBus {
  public:
    SimulatedNodex(const Rom& ds2406Rom, const std::vector<Rom>& couplerRoms);
    ~SimulatedNodex() override;

    // Building the network (before use).
    void AddTrunkDevice(std::unique_ptr<SimDevice> device);
    // line 1..number of couplers.
    void AddLineDevice(int line, std::unique_ptr<SimDevice> device);
    void AddFault(const Fault& fault);
    void AddLinkFault(const LinkFault& fault);
    // Unplugging and plugging devices while the unit runs, as a user does
    // when identifying probes one at a time. A disconnected device keeps its
    // state apart from the bus and can be connected again to any line
    // (1..number of couplers), where it starts from power-on. False when no
    // device has that ROM, it is one of the unit's own, or the line does not
    // exist.
    bool DisconnectDevice(const Rom& rom);
    bool ConnectDevice(const Rom& rom, int line);
    // Ends every fault, of the devices and of the link.
    void ClearFaults();

    // The serial side, driven by a port object; `now` is unit time.
    void HostWrite(std::span<const std::uint8_t> bytes, int hostBaud, double now,
                   std::vector<TimedByte>& replies);
    void HostBreak(double now);
    // The host flushed its output (a pseudo-terminal reports it; see
    // Ds2480bChip::HostFlushedOutput).
    void HostFlushedOutput(double now);
    void SetModemLines(bool rts, bool dtr, double now);
    bool Cts(double now);
    // One port at a time may hold the link, as with an exclusive open.
    bool ClaimLink();
    void ReleaseLink();
    // Forgets bytes in flight (the host flushed or the link went down).
    void ResetLinkTiming(double now);

    // Observations.
    bool RelayOn() const;
    bool OrangeLampOn() const;
    bool RedLampOn() const;
    // The latest switches of the outputs, oldest first: a unit that runs for
    // weeks keeps only the last kOutputHistoryEvents.
    static constexpr std::size_t kOutputHistoryEvents = 4096;
    std::vector<OutputEvent> OutputHistory() const;
    // The bridge's configuration value codes (1 PDSRC, 4 W1LT, 5 DSO, 7 RBR).
    int BridgeParameter(int number) const;
    std::uint64_t BytesFromHost() const;
    std::uint64_t BytesToHost() const;
    ByteCounters Counters() const;
    std::uint64_t BusResets() const;
    bool LineConnected(int line) const;
    // A device by ROM (nullptr when absent) and all devices with their line
    // (0 = trunk).
    SimDevice* Find(const Rom& rom);
    std::vector<std::pair<int, SimDevice*>> Devices();
    const Rom& Ds2406Rom() const { return ds2406_->GetRom(); }
    int CouplerCount() const { return static_cast<int>(couplers_.size()); }

    // Runs f with the unit locked (for reading or changing device state).
    template <typename F>
    auto WithLock(F&& f) {
        std::lock_guard lock(mutex_);
        return f(*this);
    }

  private:
    ResetOutcome BusReset(double now) override;
    bool BusSlot(bool masterBit, double now) override;
    std::uint8_t BusByte(std::uint8_t masterByte, double now, double slotSeconds) override;
    void BeginByte() override;
    void StrongPullUp(bool on, double now) override;

    struct ArmedLinkFault {
        LinkFault fault;
        int fired = 0;
    };

    void ApplyFaults(double now);
    void ApplyDeviceFaults(double now);
    // Finds the devices on the trunk and the connected lines again, and
    // whether the bus is shorted, when that may have changed.
    void RefreshWiring() {
        // Faults switch at their edges: outside the window they were
        // applied for, a line may have become shorted since the last look.
        if (wiringStale_ || now_ < faultsFrom_ || now_ >= faultsUntil_) {
            FindWiredDevices();
        }
    }
    void FindWiredDevices();
    bool Present(const SimDevice* device) const {
        return removed_.empty() ||
               std::find(removed_.begin(), removed_.end(), device) == removed_.end();
    }
    // A coupler's Smart-On: resets the line's devices; whether any answered.
    bool ResetBranch(int line, double now);
    // Feeds one host byte that arrived at `arrival` to the bridge.
    void ReceiveHostByte(std::uint8_t byte, int hostBaud, double arrival,
                         std::vector<TimedByte>& replies);
    void DeliverToChip(std::uint8_t byte, int hostBaud, double arrival,
                       std::vector<TimedByte>& replies);
    void FireLinkFaults(int hostBaud, double arrival, std::vector<TimedByte>& replies);
    bool LinkDropped(double at) const;
    bool BreakIgnored(double now) const;
    bool FaultActive(FaultKind kind, const Rom* rom, int line, double now) const;
    bool PoweredAt(double now) const;
    void PowerOnAll();
    void NoteOutputs();
    void NoteOutput(UnitOutput output, bool on);
    bool RedLampLocked() const;
    // The DS2406 and the couplers are soldered in: they never come off.
    bool IsUnitOwn(const Rom& rom) const;

    mutable std::mutex mutex_;
    Ds2480bChip chip_;
    std::vector<std::unique_ptr<SimDevice>> owned_;
    Ds2406Switch* ds2406_ = nullptr;
    std::vector<Ds2409Coupler*> couplers_;
    std::vector<SimDevice*> trunk_;
    std::vector<std::vector<SimDevice*>> lines_;
    // The devices on the trunk and the connected lines, and those of them
    // that are not silent. The first change only when a coupler switches, a
    // device comes or goes or a fault begins or ends; the second when a
    // device is reset, since between resets a device can only fall silent.
    std::vector<SimDevice*> wired_;
    std::vector<SimDevice*> active_;
    bool wiringStale_ = true;
    bool activeStale_ = true;
    std::vector<SimDevice*> removed_;
    std::vector<Fault> faults_;
    // The device faults as applied stay right while the time stays within
    // [faultsFrom_, faultsUntil_) and no fault is added or cleared.
    double faultsFrom_ = 0;
    double faultsUntil_ = -1;
    std::vector<ArmedLinkFault> linkFaults_;
    std::vector<std::pair<double, double>> drops_;
    std::vector<std::uint8_t> recentHostBytes_;

    bool claimed_ = false;
    bool rts_ = false;
    bool dtr_ = false;
    bool powered_ = false;
    bool shorted_ = false;
    double now_ = 0;

    double rxFree_ = 0;
    double busFree_ = 0;
    double txFree_ = 0;

    bool relay_ = false;
    bool orange_ = false;
    bool red_ = false;
    std::deque<OutputEvent> history_;
    ByteCounters counters_;
    std::uint64_t resets_ = 0;
};

}  // namespace qrv::sim
