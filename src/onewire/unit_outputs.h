#pragma once

#include <cstdint>

#include "onewire/nodex_session.h"
#include "onewire/reading.h"
#include "sensors/sensor_record.h"

namespace qrv {

inline constexpr int kFamilyDs2405 = 0x05;

// What became of a command to one of the unit's own devices.
enum class OutputResult : std::uint8_t {
    kDone,
    // The device's ROM could not be made current.
    kNotSelected,
    // It did not answer its reset and address.
    kNoAnswer,
    // Its answer came back with a bad CRC (or none: a missing DS2406).
    kDamagedData,
    // The transfer came back short: the unit itself is not answering.
    kCutShort,
};

// Status byte for address 7 of the unit's DS2406: 0x1F, plus 0x20 to put the
// relay (PIO-A) off and 0x40 to put the orange lamp (PIO-B) off.
std::uint8_t Ds2406StatusByte(bool relayOff, bool orangeOff);

// Writes both wanted output states to the unit's DS2406: kDone, kDamagedData
// or kCutShort.
OutputResult Update2406IO(NodexSession& session);
OutputResult AlarmRelaisOn(NodexSession& session);
OutputResult AlarmRelaisOff(NodexSession& session);
OutputResult OranjeLedOn(NodexSession& session);
OutputResult OranjeLedOff(NodexSession& session);

// Reads the unit's DS2406 flip-flops into AlarmRelaisOffState and
// OranjeLedOffState, so that changing one output keeps the other as the unit
// has it (a program that did not set them itself). kDone, kNotSelected,
// kNoAnswer or kDamagedData.
OutputResult ReadUnitOutputStates(NodexSession& session);

// The red lamp on one coupler's control output: kDone, kNotSelected or
// kNoAnswer.
OutputResult SwitchControlPort2409(NodexSession& session, int on, int coupler);
// The red lamp on all three couplers; a coupler that cannot be addressed is
// passed over, as nothing else can be done for its lamp.
void RedLedOn(NodexSession& session);
void RedLedOff(NodexSession& session);

// Whether a switch reading holds the bus a quarter second after it: that
// paces a tick that reads one probe; a round that reads a whole line would
// only lose the time, since the level is read before the pause.
enum class SwitchPause : std::uint8_t { kAfterReading, kNone };

// The contact state of a switch-input probe (PIO-A level): 1.0 or 0.0, or
// kNotSelected, kNoAnswer or kDamagedData.
Reading Get2406PioWaarde(NodexSession& session, int line, const RomCode& rom,
                         SwitchPause pause = SwitchPause::kAfterReading);

// Toggles the first DS2405 met with each line selected in turn; the last
// driver result.
int Toggle2405Pio(NodexSession& session);

}  // namespace qrv
