#include "nodex_unit.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "humidity_probe.h"
#include "temperature_probe.h"

namespace qrv::sim {

namespace {

double CharSeconds(int baud) {
    return 10.0 / baud;
}

// Long enough for any byte pattern a link fault waits for (a Match ROM is nine).
constexpr std::size_t kRecentBytes = 64;

}  // namespace

SimulatedNodex::SimulatedNodex(const Rom& ds2406Rom, const std::vector<Rom>& couplerRoms)
    : chip_(*this) {
    auto ds2406 = std::make_unique<Ds2406Switch>(ds2406Rom);
    ds2406_ = ds2406.get();
    ds2406_->SetOutputListener([this] { NoteOutputs(); });
    trunk_.push_back(ds2406_);
    owned_.push_back(std::move(ds2406));
    // The station numbers the lines by the order in which its search meets
    // the couplers, so the unit is wired that way.
    std::vector<Rom> ordered = couplerRoms;
    std::sort(ordered.begin(), ordered.end(), SearchOrderLess);
    for (const Rom& rom : ordered) {
        auto coupler = std::make_unique<Ds2409Coupler>(rom);
        coupler->SetChangeListener([this] {
            wiringStale_ = true;
            NoteOutputs();
        });
        // The hooks run inside HostWrite, with the unit already locked.
        const int line = static_cast<int>(couplers_.size()) + 1;
        coupler->SetBranchHooks({[this, line](double now) { return ResetBranch(line, now); },
                                 [this, line](double now) {
                                     return FaultActive(FaultKind::kShort, nullptr, line, now);
                                 }});
        couplers_.push_back(coupler.get());
        trunk_.push_back(coupler.get());
        owned_.push_back(std::move(coupler));
        lines_.emplace_back();
    }
    red_ = RedLampLocked();
}

SimulatedNodex::~SimulatedNodex() = default;

void SimulatedNodex::AddTrunkDevice(std::unique_ptr<SimDevice> device) {
    std::lock_guard lock(mutex_);
    trunk_.push_back(device.get());
    owned_.push_back(std::move(device));
    wiringStale_ = true;
}

void SimulatedNodex::AddLineDevice(int line, std::unique_ptr<SimDevice> device) {
    std::lock_guard lock(mutex_);
    lines_.at(static_cast<std::size_t>(line - 1)).push_back(device.get());
    owned_.push_back(std::move(device));
    wiringStale_ = true;
}

void SimulatedNodex::AddFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
    faultsUntil_ = -1;
}

void SimulatedNodex::AddLinkFault(const LinkFault& fault) {
    std::lock_guard lock(mutex_);
    linkFaults_.push_back({fault, 0});
}

bool SimulatedNodex::DisconnectDevice(const Rom& rom) {
    std::lock_guard lock(mutex_);
    if (IsUnitOwn(rom)) {
        return false;
    }
    const auto matches = [&rom](const SimDevice* device) { return device->GetRom() == rom; };
    bool found = std::erase_if(trunk_, matches) > 0;
    for (auto& line : lines_) {
        found = std::erase_if(line, matches) > 0 || found;
    }
    std::erase_if(active_, matches);
    wiringStale_ = true;
    return found;
}

bool SimulatedNodex::ConnectDevice(const Rom& rom, int line) {
    std::lock_guard lock(mutex_);
    if (IsUnitOwn(rom) || line < 1 || line > static_cast<int>(lines_.size())) {
        return false;
    }
    for (const auto& device : owned_) {
        if (device->GetRom() == rom) {
            const auto matches = [&rom](const SimDevice* d) { return d->GetRom() == rom; };
            std::erase_if(trunk_, matches);
            for (auto& other : lines_) {
                std::erase_if(other, matches);
            }
            device->PowerOn();
            lines_[static_cast<std::size_t>(line - 1)].push_back(device.get());
            wiringStale_ = true;
            return true;
        }
    }
    return false;
}

bool SimulatedNodex::IsUnitOwn(const Rom& rom) const {
    return rom == ds2406_->GetRom() ||
           std::any_of(couplers_.begin(), couplers_.end(),
                       [&rom](const Ds2409Coupler* coupler) { return coupler->GetRom() == rom; });
}

void SimulatedNodex::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
    faultsUntil_ = -1;
    linkFaults_.clear();
    drops_.clear();
}

bool SimulatedNodex::FaultActive(FaultKind kind, const Rom* rom, int line, double now) const {
    return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& fault) {
        return fault.kind == kind && now >= fault.from && now < fault.until &&
               (rom == nullptr || fault.rom == *rom) &&
               (kind != FaultKind::kShort || fault.line == line);
    });
}

bool SimulatedNodex::PoweredAt(double now) const {
    return rts_ && dtr_ && !FaultActive(FaultKind::kUnplugged, nullptr, 0, now) &&
           !FaultActive(FaultKind::kUnpowered, nullptr, 0, now);
}

void SimulatedNodex::PowerOnAll() {
    chip_.MasterReset();
    for (const auto& device : owned_) {
        device->PowerOn();
    }
    activeStale_ = true;
    rxFree_ = busFree_ = txFree_ = now_;
}

void SimulatedNodex::ApplyFaults(double now) {
    now_ = now;
    const bool powered = PoweredAt(now);
    if (powered && !powered_) {
        PowerOnAll();
    }
    powered_ = powered;
    if (now >= faultsFrom_ && now < faultsUntil_) {
        return;
    }
    ApplyDeviceFaults(now);
}

void SimulatedNodex::ApplyDeviceFaults(double now) {
    // Until the next start or end of a fault nothing changes.
    wiringStale_ = true;
    faultsFrom_ = -std::numeric_limits<double>::infinity();
    faultsUntil_ = std::numeric_limits<double>::infinity();
    for (const Fault& fault : faults_) {
        for (const double edge : {fault.from, fault.until}) {
            if (edge <= now) {
                faultsFrom_ = std::max(faultsFrom_, edge);
            } else {
                faultsUntil_ = std::min(faultsUntil_, edge);
            }
        }
    }
    for (const auto& device : owned_) {
        const Rom& rom = device->GetRom();
        const bool removed = FaultActive(FaultKind::kRemoved, &rom, 0, now);
        const auto found = std::find(removed_.begin(), removed_.end(), device.get());
        if (removed && found == removed_.end()) {
            removed_.push_back(device.get());
        } else if (!removed && found != removed_.end()) {
            removed_.erase(found);
            device->PowerOn();  // re-inserted: it starts from power-on
        }
        device->SetCorruptCrc(FaultActive(FaultKind::kCorruptCrc, &rom, 0, now));
        const bool stuck = FaultActive(FaultKind::kStuckConversion, &rom, 0, now);
        if (auto* probe = dynamic_cast<TemperatureProbe*>(device.get())) {
            probe->SetConversionStuck(stuck);
        } else if (auto* humidity = dynamic_cast<HumidityProbe*>(device.get())) {
            humidity->SetConversionStuck(stuck);
        }
    }
}

bool SimulatedNodex::ResetBranch(int line, double now) {
    activeStale_ = true;
    bool presence = FaultActive(FaultKind::kShort, nullptr, line, now);
    for (SimDevice* device : lines_.at(static_cast<std::size_t>(line - 1))) {
        if (Present(device)) {
            presence = device->Reset(now) || presence;
        }
    }
    return presence;
}

void SimulatedNodex::BeginByte() {
    RefreshWiring();
    if (activeStale_) {
        active_.clear();
        std::copy_if(wired_.begin(), wired_.end(), std::back_inserter(active_),
                     [](const SimDevice* device) { return !device->Silent(); });
        activeStale_ = false;
    }
}

void SimulatedNodex::StrongPullUp(bool on, double now) {
    RefreshWiring();
    // A shorted bus gives no device the current.
    for (SimDevice* device : wired_) {
        device->StrongPullUp(on && !shorted_, now);
    }
}

void SimulatedNodex::FindWiredDevices() {
    wiringStale_ = false;
    activeStale_ = true;
    wired_.clear();
    // A connected branch is the trunk: the coupler joins them through
    // transmission gates, so a short on it shorts the trunk too.
    shorted_ = FaultActive(FaultKind::kShort, nullptr, 0, now_);
    for (SimDevice* device : trunk_) {
        if (Present(device)) {
            wired_.push_back(device);
        }
    }
    for (std::size_t i = 0; i < couplers_.size(); ++i) {
        if (!couplers_[i]->MainOn()) {
            continue;
        }
        if (FaultActive(FaultKind::kShort, nullptr, static_cast<int>(i + 1), now_)) {
            shorted_ = true;
        }
        for (SimDevice* device : lines_[i]) {
            if (Present(device)) {
                wired_.push_back(device);
            }
        }
    }
}

SimBus::ResetOutcome SimulatedNodex::BusReset(double now) {
    ++resets_;
    RefreshWiring();
    bool presence = false;
    for (SimDevice* device : wired_) {
        presence = device->Reset(now) || presence;
    }
    active_ = wired_;
    activeStale_ = false;
    if (shorted_) {
        return ResetOutcome::kShort;
    }
    return presence ? ResetOutcome::kPresence : ResetOutcome::kNone;
}

bool SimulatedNodex::BusSlot(bool masterBit, double now) {
    if (shorted_) {
        return false;  // held low: no device sees a time slot
    }
    bool bus = masterBit;
    // Every device sees the slot, even when an earlier one already pulled the
    // bus low, so that each keeps its place in the protocol. One that falls
    // silent sees no further slot until the next reset.
    bool fellSilent = false;
    for (SimDevice* device : active_) {
        bus = device->Slot(masterBit, now) && bus;
        fellSilent = fellSilent || device->Silent();
    }
    if (fellSilent) {
        std::erase_if(active_, [](const SimDevice* device) { return device->Silent(); });
    }
    return bus;
}

std::uint8_t SimulatedNodex::BusByte(std::uint8_t masterByte, double now, double slotSeconds) {
    if (shorted_) {
        return 0;
    }
    // Within one byte no device's answer depends on another's: each sees
    // only the master's bits, and couplers that switch take effect at the
    // next byte. So each device can take the whole byte in turn.
    std::uint8_t bus = masterByte;
    bool fellSilent = false;
    for (SimDevice* device : active_) {
        bus &= device->SlotByte(masterByte, now, slotSeconds);
        fellSilent = fellSilent || device->Silent();
    }
    if (fellSilent) {
        std::erase_if(active_, [](const SimDevice* device) { return device->Silent(); });
    }
    return bus;
}

void SimulatedNodex::HostWrite(std::span<const std::uint8_t> bytes, int hostBaud, double now,
                               std::vector<TimedByte>& replies) {
    std::lock_guard lock(mutex_);
    ApplyFaults(now);
    counters_.received += bytes.size();
    if (!powered_) {
        counters_.lost += bytes.size();
        return;
    }
    const double hostChar = CharSeconds(hostBaud);
    double arrival = std::max(now, rxFree_);
    for (const std::uint8_t byte : bytes) {
        arrival += hostChar;
        rxFree_ = arrival;
        ReceiveHostByte(byte, hostBaud, arrival, replies);
    }
}

void SimulatedNodex::ReceiveHostByte(std::uint8_t byte, int hostBaud, double arrival,
                                     std::vector<TimedByte>& replies) {
    if (LinkDropped(arrival) || chip_.BaudRate() != hostBaud) {
        // A byte at the wrong baud rate is framing garbage to the chip.
        ++counters_.lost;
        return;
    }
    DeliverToChip(byte, hostBaud, arrival, replies);
    // Dropped in blocks, so that not every byte moves the rest.
    if (recentHostBytes_.size() == 2 * kRecentBytes) {
        recentHostBytes_.erase(recentHostBytes_.begin(), recentHostBytes_.begin() + kRecentBytes);
    }
    recentHostBytes_.push_back(byte);
    FireLinkFaults(hostBaud, arrival, replies);
}

void SimulatedNodex::DeliverToChip(std::uint8_t byte, int hostBaud, double arrival,
                                   std::vector<TimedByte>& replies) {
    const double start = std::max(arrival, busFree_);
    now_ = start;
    const Ds2480bChip::Result result = chip_.Receive(byte, start);
    ByteCounters::PerClass& count = counters_.Of(result.kind);
    ++count.received;
    busFree_ = start + result.busSeconds;
    const double chipChar = CharSeconds(chip_.BaudRate());
    if (const auto reply = result.reply) {
        txFree_ = std::max(txFree_, busFree_) + chipChar;
        if (chip_.BaudRate() == hostBaud && !LinkDropped(txFree_)) {
            replies.push_back({*reply, txFree_});
            ++count.sent;
            ++counters_.sent;
        }
    }
}

void SimulatedNodex::FireLinkFaults(int hostBaud, double arrival, std::vector<TimedByte>& replies) {
    for (ArmedLinkFault& armed : linkFaults_) {
        const LinkFault& fault = armed.fault;
        if (fault.kind == LinkFaultKind::kDeadBreak || arrival < fault.from ||
            arrival >= fault.until || (fault.times > 0 && armed.fired >= fault.times)) {
            continue;
        }
        const bool byTime = fault.after.empty();
        const bool matches =
            fault.after.size() <= kRecentBytes && recentHostBytes_.size() >= fault.after.size() &&
            std::equal(fault.after.rbegin(), fault.after.rend(), recentHostBytes_.rbegin());
        if (byTime ? fault.kind != LinkFaultKind::kGarbage : !matches) {
            continue;
        }
        ++armed.fired;
        if (fault.kind == LinkFaultKind::kDrop) {
            // The drop begins once the unit has answered the pattern.
            const double start = std::max(busFree_, txFree_);
            drops_.emplace_back(start, start + fault.seconds);
            continue;
        }
        const double chipChar = CharSeconds(chip_.BaudRate());
        for (const std::uint8_t noise : fault.bytes) {
            if (fault.toUnit) {
                DeliverToChip(noise, hostBaud, arrival, replies);
            } else {
                txFree_ = std::max(txFree_, arrival) + chipChar;
                replies.push_back({noise, txFree_});
                ++counters_.sent;
            }
        }
    }
}

bool SimulatedNodex::LinkDropped(double at) const {
    if (drops_.empty() && linkFaults_.empty()) {
        return false;  // the usual case, asked for every byte both ways
    }
    const bool inWindow = std::any_of(drops_.begin(), drops_.end(), [at](const auto& window) {
        return at >= window.first && at < window.second;
    });
    return inWindow ||
           std::any_of(linkFaults_.begin(), linkFaults_.end(), [at](const ArmedLinkFault& armed) {
               return armed.fault.kind == LinkFaultKind::kDrop && armed.fault.after.empty() &&
                      at >= armed.fault.from && at < armed.fault.until;
           });
}

bool SimulatedNodex::BreakIgnored(double now) const {
    return std::any_of(linkFaults_.begin(), linkFaults_.end(), [now](const ArmedLinkFault& armed) {
        return armed.fault.kind == LinkFaultKind::kDeadBreak && now >= armed.fault.from &&
               now < armed.fault.until;
    });
}

void SimulatedNodex::HostBreak(double now) {
    std::lock_guard lock(mutex_);
    ApplyFaults(now);
    ++counters_.breaks;
    if (BreakIgnored(now) || LinkDropped(now)) {
        ++counters_.ignoredBreaks;
        return;
    }
    if (powered_) {
        chip_.MasterReset();
    }
    rxFree_ = busFree_ = txFree_ = now;
}

void SimulatedNodex::HostFlushedOutput(double now) {
    std::lock_guard lock(mutex_);
    ApplyFaults(now);
    if (powered_ && chip_.HostFlushedOutput()) {
        ++counters_.restoredAfterFlush;
    }
}

void SimulatedNodex::SetModemLines(bool rts, bool dtr, double now) {
    std::lock_guard lock(mutex_);
    rts_ = rts;
    dtr_ = dtr;
    ApplyFaults(now);
}

bool SimulatedNodex::Cts(double now) {
    std::lock_guard lock(mutex_);
    ApplyFaults(now);
    return powered_;
}

bool SimulatedNodex::ClaimLink() {
    std::lock_guard lock(mutex_);
    if (claimed_) {
        return false;
    }
    claimed_ = true;
    return true;
}

void SimulatedNodex::ReleaseLink() {
    std::lock_guard lock(mutex_);
    claimed_ = false;
}

void SimulatedNodex::ResetLinkTiming(double now) {
    std::lock_guard lock(mutex_);
    rxFree_ = std::max(rxFree_, now);
    txFree_ = std::max(txFree_, now);
}

bool SimulatedNodex::RedLampLocked() const {
    // The couplers' open-drain control outputs are wired together: the lamp
    // lights while none of them conducts.
    return std::none_of(couplers_.begin(), couplers_.end(),
                        [](const Ds2409Coupler* coupler) { return coupler->ControlConducts(); });
}

void SimulatedNodex::NoteOutputs() {
    const bool relay = ds2406_->OutputAOn();
    const bool orange = ds2406_->OutputBOn();
    const bool red = RedLampLocked();
    if (relay != relay_) {
        NoteOutput(UnitOutput::kRelay, relay);
        relay_ = relay;
    }
    if (orange != orange_) {
        NoteOutput(UnitOutput::kOrangeLamp, orange);
        orange_ = orange;
    }
    if (red != red_) {
        NoteOutput(UnitOutput::kRedLamp, red);
        red_ = red;
    }
}

void SimulatedNodex::NoteOutput(UnitOutput output, bool on) {
    // The red lamp changes with every switch of a line: tens of thousands of
    // events a day on a busy network.
    if (history_.size() == kOutputHistoryEvents) {
        history_.pop_front();
    }
    history_.push_back({now_, output, on});
}

bool SimulatedNodex::RelayOn() const {
    std::lock_guard lock(mutex_);
    return powered_ && relay_;
}

bool SimulatedNodex::OrangeLampOn() const {
    std::lock_guard lock(mutex_);
    return powered_ && orange_;
}

bool SimulatedNodex::RedLampOn() const {
    std::lock_guard lock(mutex_);
    return powered_ && red_;
}

std::vector<OutputEvent> SimulatedNodex::OutputHistory() const {
    std::lock_guard lock(mutex_);
    return {history_.begin(), history_.end()};
}

int SimulatedNodex::BridgeParameter(int number) const {
    std::lock_guard lock(mutex_);
    return chip_.Parameter(number);
}

std::uint64_t SimulatedNodex::BytesFromHost() const {
    std::lock_guard lock(mutex_);
    return counters_.received;
}

std::uint64_t SimulatedNodex::BytesToHost() const {
    std::lock_guard lock(mutex_);
    return counters_.sent;
}

ByteCounters SimulatedNodex::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

std::uint64_t SimulatedNodex::BusResets() const {
    std::lock_guard lock(mutex_);
    return resets_;
}

bool SimulatedNodex::LineConnected(int line) const {
    std::lock_guard lock(mutex_);
    return line >= 1 && line <= static_cast<int>(couplers_.size()) &&
           couplers_[static_cast<std::size_t>(line - 1)]->MainOn();
}

SimDevice* SimulatedNodex::Find(const Rom& rom) {
    std::lock_guard lock(mutex_);
    for (const auto& device : owned_) {
        if (device->GetRom() == rom) {
            return device.get();
        }
    }
    return nullptr;
}

std::vector<std::pair<int, SimDevice*>> SimulatedNodex::Devices() {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<int, SimDevice*>> all;
    for (SimDevice* device : trunk_) {
        all.emplace_back(0, device);
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        for (SimDevice* device : lines_[i]) {
            all.emplace_back(static_cast<int>(i + 1), device);
        }
    }
    return all;
}

}  // namespace qrv::sim
