#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace qrv::sim {

using Rom = std::array<std::uint8_t, 8>;

// ROM as 16 hex digits in bus order (family code first, CRC last), and back.
std::string RomToHex(const Rom& rom);
bool RomFromHex(std::string_view text, Rom& rom);
// The order in which a 1-Wire search meets devices: at the first differing
// bit (counted from the least significant bit of the family code) the 0 first.
bool SearchOrderLess(const Rom& a, const Rom& b);
// A ROM with the given family and serial number and a correct CRC byte.
Rom MakeRom(std::uint8_t family, std::uint64_t serial);

// A 1-Wire slave at the level of time slots. The ROM layer (Read, Match,
// Skip, Search and Alarm Search) lives here; the function layer of each chip
// receives whole bytes and queues the bytes it answers with.
class SimDevice {
  public:
    explicit SimDevice(const Rom& rom) : rom_(rom) {}
    virtual ~SimDevice() = default;
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    const Rom& GetRom() const { return rom_; }
    virtual std::string Kind() const = 0;

    // A reset pulse; returns whether the device answers with presence.
    bool Reset(double now);
    // One time slot: the master writes masterBit (1 for a read slot); the
    // result is what this device leaves on the bus (false = pulls it low).
    bool Slot(bool masterBit, double now);
    // Eight time slots, the first at `now`, for the master's byte (least
    // significant bit first); the result is what this device leaves on the
    // bus in them. The same as eight calls of Slot, only faster where no
    // single slot matters.
    std::uint8_t SlotByte(std::uint8_t masterByte, double now, double slotSeconds);

    // A device that has dropped out of the ROM layer (another device was
    // matched, a search went the other way) ignores every slot until the
    // next reset pulse.
    bool Silent() const { return romState_ == RomState::kIdle; }

    // Power removed and restored: the state after power-on.
    virtual void PowerOn() { romState_ = RomState::kIdle; }

    // The bridge's strong pull-up came on or went off on the device's wire.
    virtual void StrongPullUp(bool on, double now) { (void)on, (void)now; }

    // Damages every CRC byte the device sends while set.
    void SetCorruptCrc(bool corrupt) { corruptCrc_ = corrupt; }

  protected:
    // The function layer: the device was selected (by Match/Skip ROM when
    // byMatch, else by a search that ended on it).
    virtual void OnSelected(bool byMatch, double now) = 0;
    // Selected by Skip ROM; most devices treat it as a match.
    virtual void OnSkipped(double now) { OnSelected(true, now); }
    // A whole byte written by the master while nothing was queued.
    virtual void OnByte(std::uint8_t byte, double now) = 0;
    // What a read slot gives when nothing is queued (busy flags, levels).
    virtual bool IdleBit(double now) { return (void)now, true; }
    // The queue ran empty while the master keeps reading.
    virtual void OnQueueDrained(double now) { (void)now; }
    // Whether the device joins an Alarm Search.
    virtual bool InAlarm(double now) { return (void)now, false; }

    void Queue(std::uint8_t byte);
    void QueueCrc(std::uint8_t byte) {
        Queue(corruptCrc_ ? static_cast<std::uint8_t>(byte ^ 0x5A) : byte);
    }
    void ClearQueue();
    bool QueueEmpty() const { return out_.empty(); }

  private:
    enum class RomState { kIdle, kRomCommand, kMatch, kSearch, kReadRom, kFunction };

    bool RomBit(int index) const {
        return ((rom_[static_cast<std::size_t>(index / 8)] >> (index % 8)) & 1) != 0;
    }
    void RomCommand(std::uint8_t command, double now);
    bool FunctionSlot(bool masterBit, double now);
    std::uint8_t FunctionByte(std::uint8_t masterByte, double now, double slotSeconds);
    std::uint8_t SlotsOneByOne(std::uint8_t masterByte, double now, double slotSeconds);

    Rom rom_;
    RomState romState_ = RomState::kIdle;
    int bitIndex_ = 0;
    int searchPhase_ = 0;
    std::uint8_t collected_ = 0;
    int collectedBits_ = 0;
    // Queued answer bytes; outBit_ bits of the first are already sent.
    std::deque<std::uint8_t> out_;
    int outBit_ = 0;
    bool corruptCrc_ = false;
};

// Defined here so that the bus can inline it: after every reset each device
// on the bus takes the ROM command and the first ROM bytes.
inline std::uint8_t SimDevice::SlotByte(std::uint8_t masterByte, double now, double slotSeconds) {
    // Whatever happens at the end of a byte happens in its last slot.
    const double lastSlot = now + 7 * slotSeconds;
    // Single-bit commands can leave a device in the middle of a byte; then
    // it takes this one slot by slot.
    switch (romState_) {
        case RomState::kIdle:
            return 0xFF;
        case RomState::kRomCommand:
            if (collectedBits_ != 0) {
                break;
            }
            RomCommand(masterByte, lastSlot);
            return 0xFF;
        case RomState::kMatch: {
            if (bitIndex_ % 8 != 0) {
                break;
            }
            const std::uint8_t expected = rom_[static_cast<std::size_t>(bitIndex_ / 8)];
            if (masterByte != expected) {
                romState_ = RomState::kIdle;
            } else if ((bitIndex_ += 8) == 64) {
                romState_ = RomState::kFunction;
                OnSelected(true, lastSlot);
            }
            return 0xFF;
        }
        case RomState::kReadRom: {
            if (bitIndex_ % 8 != 0) {
                break;
            }
            const std::uint8_t byte = rom_[static_cast<std::size_t>(bitIndex_ / 8)];
            if ((bitIndex_ += 8) == 64) {
                romState_ = RomState::kFunction;
            }
            return byte;
        }
        case RomState::kSearch:  // its triplets are single slots
            break;
        case RomState::kFunction:
            return FunctionByte(masterByte, now, slotSeconds);
    }
    return SlotsOneByOne(masterByte, now, slotSeconds);
}

}  // namespace qrv::sim
