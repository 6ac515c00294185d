#include "onewire/onewire_driver.h"

#include <algorithm>
#include <cstring>

#include "onewire/crc.h"

namespace qrv {

namespace {

constexpr std::uint8_t kMatchRom = 0x55;
constexpr std::uint8_t kSearchRom = 0xF0;
constexpr int kRomBits = 64;
constexpr char kAdapterName[] = "DS2480";
constexpr std::size_t kAdapterNameBytes = sizeof(kAdapterName);  // with the NUL

// The three OwLine parameters in block order and the codes of their eight
// values (see the header).
constexpr std::array<int, 3> kTimingParameters{ds2480::kSlewRate, ds2480::kWrite1Low,
                                               ds2480::kSampleOffset};
constexpr std::array<std::array<int, 8>, 3> kTimingCodes{{
    {0, 2, 4, 6, 8, 10, 12, 14},
    {4, 5, 6, 7, 8, 9, 10, 11},
    {9, 10, 11, 12, 13, 14, 15, 16},
}};

bool GetBit(std::span<const std::uint8_t> bytes, int index) {
    return ((bytes[static_cast<std::size_t>(index / 8)] >> (index % 8)) & 1) != 0;
}

void PutBit(std::span<std::uint8_t> bytes, int index, bool value) {
    auto& byte = bytes[static_cast<std::size_t>(index / 8)];
    const auto mask = static_cast<std::uint8_t>(1u << (index % 8));
    byte = value ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

bool IsPresence(std::optional<ResetResult> result) {
    return result == ResetResult::kPresence || result == ResetResult::kAlarmingPresence;
}

}  // namespace

std::optional<int> TimingCodeToValue(int parameterIndex, int code) {
    const auto& codes = kTimingCodes.at(static_cast<std::size_t>(parameterIndex));
    const auto found = std::find(codes.begin(), codes.end(), code);
    if (found == codes.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - codes.begin());
}

int TimingValueToCode(int parameterIndex, int value) {
    return kTimingCodes.at(static_cast<std::size_t>(parameterIndex))
        .at(static_cast<std::size_t>(value & 7));
}

OwLineBlock MakeOwLineBlock(int direction, std::uint8_t slew, std::uint8_t write1Low,
                            std::uint8_t sampleOffset) {
    OwLineBlock block{};
    std::memcpy(block.data(), kAdapterName, kAdapterNameBytes);
    block[7] = static_cast<std::uint8_t>(direction);
    block[8] = slew;
    block[9] = write1Low;
    block[10] = sampleOffset;
    return block;
}

struct OneWireDriver::Session {
    int portNumber = 0;
    std::unique_ptr<TracingSerialPort> port;
    std::unique_ptr<Ds2480Bridge> bridge;
    bool ready = false;

    std::array<std::uint8_t, 8> romNo{};
    int lastDiscrepancy = 0;
    int lastFamilyDiscrepancy = 0;
    bool lastDeviceFlag = false;
    RomCode current{};

    void ClearSearch() {
        romNo.fill(0);
        lastDiscrepancy = 0;
        lastFamilyDiscrepancy = 0;
        lastDeviceFlag = false;
    }
};

OneWireDriver::OneWireDriver(SerialPortProvider& ports, Clock& clock, TraceSink* trace)
    : ports_(ports), clock_(clock), trace_(trace) {}

OneWireDriver::~OneWireDriver() {
    for (auto& [handle, session] : sessions_) {
        if (session->port->IsOpen()) {
            session->port->Close();
        }
    }
}

OneWireDriver::Session* OneWireDriver::Find(int handle) {
    const auto found = sessions_.find(handle);
    return found == sessions_.end() ? nullptr : found->second.get();
}

OneWireDriver::Session* OneWireDriver::FindReady(int handle) {
    Session* session = Find(handle);
    return session != nullptr && session->ready ? session : nullptr;
}

int OneWireDriver::OwStartSession(int port, int portType) {
    std::lock_guard lock(mutex_);
    if (portType != kPortTypeDs2480) {
        return -1;
    }
    for (const auto& [handle, session] : sessions_) {
        if (session->portNumber == port) {
            return 0;
        }
    }
    std::unique_ptr<SerialPort> raw = ports_.MakePort(port);
    if (!raw) {
        return kSerialInvalidPort;
    }
    auto session = std::make_unique<Session>();
    session->portNumber = port;
    session->port = std::make_unique<TracingSerialPort>(std::move(raw), clock_, trace_);
    const int opened = session->port->Open(SerialSettings{9600, 8, 1, false});
    if (opened != kSerialOk) {
        return opened < 0 ? opened : kSerialCannotOpen;
    }
    TracingSerialPort* traced = session->port.get();
    session->bridge = std::make_unique<Ds2480Bridge>(
        *session->port, clock_, [traced](std::string_view text) { traced->NoteEvent(text); });
    const int handle = nextHandle_++;
    sessions_.emplace(handle, std::move(session));
    return handle;
}

int OneWireDriver::OwSetup(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = Find(handle);
    if (session == nullptr || !session->port->IsOpen()) {
        return 0;
    }
    session->ready = session->bridge->Setup();
    return session->ready ? 1 : 0;
}

int OneWireDriver::OwClose(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = Find(handle);
    if (session == nullptr) {
        return 0;
    }
    session->ready = false;
    if (session->port->IsOpen()) {
        session->port->Close();
    }
    return 1;
}

int OneWireDriver::OwEndSession(int handle) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(handle);
    if (found == sessions_.end()) {
        return 0;
    }
    if (found->second->port->IsOpen()) {
        found->second->port->Close();
    }
    sessions_.erase(found);
    return 1;
}

int OneWireDriver::ResetOn(Session& session) {
    Ds2480Exchange exchange = session.bridge->Begin();
    exchange.Reset();
    const auto replies = session.bridge->Exchange(exchange);
    if (!replies) {
        return static_cast<int>(ResetResult::kNoPresence);
    }
    const auto result = Ds2480Bridge::DecodeReset((*replies)[0]);
    return static_cast<int>(result.value_or(ResetResult::kNoPresence));
}

int OneWireDriver::OwTouchReset(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    return session == nullptr ? kResetNotSetUp : ResetOn(*session);
}

int OneWireDriver::OwTouchByte(int handle, int byte) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return -1;
    }
    const auto out = static_cast<std::uint8_t>(byte);
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.Data(std::span(&out, 1));
    const auto replies = session->bridge->Exchange(exchange);
    return replies ? (*replies)[0] : -1;
}

int OneWireDriver::OwTouchBit(int handle, int bit) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return -1;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.Bit(bit != 0);
    const auto replies = session->bridge->Exchange(exchange);
    if (!replies) {
        return -1;
    }
    const std::uint8_t sent = bit != 0 ? ds2480::kBitOne : ds2480::kBitZero;
    const std::uint8_t reply = (*replies)[0];
    if ((reply & 0xFC) != (sent & 0xFC)) {
        return -1;
    }
    return reply & 1;
}

int OneWireDriver::OwPowerByte(int handle, int byte) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return 0;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    // The pull-up lasts until it is ended, however long the conversion.
    const std::uint8_t duration = ds2480::ConfigWrite(ds2480::kPullUpTime, ds2480::kPullUpInfinite);
    exchange.Config(duration);
    // Bit by bit, so that the pull-up follows the last slot at once: a
    // parasite-powered probe starts drawing its current within microseconds.
    for (int bit = 0; bit < 8; ++bit) {
        const bool value = ((byte >> bit) & 1) != 0;
        if (bit < 7) {
            exchange.Bit(value);
        } else {
            exchange.BitThenPullUp(value);
        }
    }
    const auto replies = session->bridge->Exchange(exchange);
    if (!replies || (*replies)[0] != (duration & 0xFE)) {
        return 0;
    }
    session->bridge->RememberConfig(ds2480::kPullUpTime, ds2480::kPullUpInfinite);
    return 1;
}

int OneWireDriver::OwPowerEnd(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return 0;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.EndPulse();
    return session->bridge->Exchange(exchange) ? 1 : 0;
}

int OneWireDriver::OwBlockStream(int handle, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr || buffer.empty()) {
        return 0;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.Data(buffer);
    const auto replies = session->bridge->Exchange(exchange);
    if (!replies) {
        return 0;
    }
    std::copy(replies->begin(), replies->end(), buffer.begin());
    return static_cast<int>(buffer.size());
}

int OneWireDriver::OwBlockIO(int handle, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return 0;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.Reset();
    const int first = exchange.Data(buffer);
    const auto replies = session->bridge->Exchange(exchange);
    // Without a presence pulse nobody heard the block: nothing was transferred.
    if (!replies || !IsPresence(Ds2480Bridge::DecodeReset((*replies)[0]))) {
        return 0;
    }
    std::copy(replies->begin() + first, replies->end(), buffer.begin());
    return static_cast<int>(buffer.size());
}

int OneWireDriver::OwRom(int handle, RomCode& rom) {
    std::lock_guard lock(mutex_);
    Session* session = Find(handle);
    if (session == nullptr) {
        return 0;
    }
    if (rom[0] == 0) {
        rom = session->current;
        return 1;
    }
    for (std::size_t i = 0; i < rom.size(); ++i) {
        session->current[i] = static_cast<std::int16_t>(rom[i] & 0xFF);
    }
    return 1;
}

int OneWireDriver::OwAccess(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return 0;
    }
    std::array<std::uint8_t, 9> block{kMatchRom};
    for (std::size_t i = 0; i < 8; ++i) {
        block[i + 1] = static_cast<std::uint8_t>(session->current[i]);
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    exchange.Reset();
    const int first = exchange.Data(block);
    const auto replies = session->bridge->Exchange(exchange);
    if (!replies || !IsPresence(Ds2480Bridge::DecodeReset((*replies)[0]))) {
        return 0;
    }
    // Match ROM only writes: a bus that reads back something else is shorted
    // or disturbed, and the device cannot be relied on to be selected.
    return std::equal(block.begin(), block.end(), replies->begin() + first) ? 1 : 0;
}

int OneWireDriver::Search(Session& session) {
    if (session.lastDeviceFlag) {
        session.ClearSearch();
        return 0;
    }
    // Choose the path of this pass: the previous ROM up to the last
    // discrepancy, the other branch there, zeros after it.
    std::array<std::uint8_t, 16> choices{};
    for (int n = 0; n < kRomBits; ++n) {
        bool choice = false;
        if (n + 1 < session.lastDiscrepancy) {
            choice = GetBit(session.romNo, n);
        } else if (n + 1 == session.lastDiscrepancy) {
            choice = true;
        }
        PutBit(choices, 2 * n + 1, choice);
    }
    Ds2480Exchange exchange = session.bridge->Begin();
    exchange.Reset();
    const std::uint8_t command = kSearchRom;
    exchange.Data(std::span(&command, 1));
    const int first = exchange.AcceleratedSearch(choices);
    const auto replies = session.bridge->Exchange(exchange);
    if (!replies || !IsPresence(Ds2480Bridge::DecodeReset((*replies)[0])) ||
        (*replies)[1] != kSearchRom) {
        session.ClearSearch();
        return 0;
    }
    const std::span<const std::uint8_t> found(replies->data() + first, 16);
    std::array<std::uint8_t, 8> rom{};
    int lastZero = 0;
    for (int n = 0; n < kRomBits; ++n) {
        const bool bit = GetBit(found, 2 * n + 1);
        const bool discrepancy = GetBit(found, 2 * n);
        PutBit(rom, n, bit);
        if (discrepancy && !bit) {
            lastZero = n + 1;
            if (lastZero <= 8) {
                session.lastFamilyDiscrepancy = lastZero;
            }
        }
    }
    if (Crc8(rom) != 0 || rom[0] == 0) {
        session.ClearSearch();
        return 0;
    }
    session.romNo = rom;
    session.lastDiscrepancy = lastZero;
    session.lastDeviceFlag = lastZero == 0;
    for (std::size_t i = 0; i < 8; ++i) {
        session.current[i] = rom[i];
    }
    return 1;
}

int OneWireDriver::OwFirst(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr) {
        return 0;
    }
    session->ClearSearch();
    return Search(*session);
}

int OneWireDriver::OwNext(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    return session == nullptr ? 0 : Search(*session);
}

int OneWireDriver::OwFamilySearchSetup(int handle, int family) {
    std::lock_guard lock(mutex_);
    Session* session = Find(handle);
    if (session == nullptr) {
        return 0;
    }
    session->romNo.fill(0);
    session->romNo[0] = static_cast<std::uint8_t>(family);
    session->lastDiscrepancy = kRomBits;
    session->lastFamilyDiscrepancy = 0;
    session->lastDeviceFlag = false;
    return 1;
}

int OneWireDriver::RequestResync(int handle) {
    std::lock_guard lock(mutex_);
    Session* session = Find(handle);
    if (session == nullptr) {
        return 0;
    }
    session->bridge->RequestResync();
    return 1;
}

BridgeStats OneWireDriver::LinkStats(int handle) {
    std::lock_guard lock(mutex_);
    const Session* session = Find(handle);
    return session != nullptr ? session->bridge->Stats() : BridgeStats{};
}

int OneWireDriver::OwLine(int handle, OwLineBlock& block) {
    std::lock_guard lock(mutex_);
    Session* session = FindReady(handle);
    if (session == nullptr || std::memcmp(block.data(), kAdapterName, kAdapterNameBytes) != 0) {
        return 0;
    }
    Ds2480Exchange exchange = session->bridge->Begin();
    if (block[7] == kOwLineRead) {
        for (const int parameter : kTimingParameters) {
            exchange.Config(ds2480::ConfigRead(parameter));
        }
        const auto replies = session->bridge->Exchange(exchange);
        if (!replies) {
            return 0;
        }
        for (std::size_t i = 0; i < kTimingParameters.size(); ++i) {
            const std::uint8_t reply = (*replies)[i];
            if ((reply & 0xF1) != 0) {
                return 0;
            }
            block[8 + i] =
                static_cast<std::uint8_t>(TimingValueToCode(static_cast<int>(i), reply >> 1));
        }
        return 1;
    }
    if (block[7] != kOwLineWrite) {
        return 0;
    }
    std::array<int, 3> values{};
    for (std::size_t i = 0; i < kTimingParameters.size(); ++i) {
        const auto value = TimingCodeToValue(static_cast<int>(i), block[8 + i]);
        if (!value) {
            return 0;
        }
        values[i] = *value;
        exchange.Config(ds2480::ConfigWrite(kTimingParameters[i], *value));
    }
    const auto replies = session->bridge->Exchange(exchange);
    if (!replies) {
        return 0;
    }
    for (std::size_t i = 0; i < kTimingParameters.size(); ++i) {
        const std::uint8_t expected = ds2480::ConfigWrite(kTimingParameters[i], values[i]) & 0xFE;
        if ((*replies)[i] != expected) {
            return 0;
        }
        session->bridge->RememberConfig(kTimingParameters[i], values[i]);
    }
    return 1;
}

}  // namespace qrv
