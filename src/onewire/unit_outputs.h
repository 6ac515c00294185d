#pragma once

#include <cstdint>

#include "onewire/nodex_session.h"
#include "sensors/sensor_record.h"

namespace qrv {

inline constexpr int kFamilyDs2405 = 0x05;

// Results of the DS2406 output update and the switch-input reading.
inline constexpr int kOutputCrcError = -1;
inline constexpr int kOutputShortTransfer = -2;
inline constexpr double kSwitchRomNotCurrent = -499.0;
inline constexpr double kSwitchNoAccess = -498.0;
inline constexpr double kSwitchCrcError = -495.0;

// Status byte for address 7 of the unit's DS2406: 0x1F, plus 0x20 to put the
// relay (PIO-A) off and 0x40 to put the orange lamp (PIO-B) off.
std::uint8_t Ds2406StatusByte(bool relayOff, bool orangeOff);

// Writes both wanted output states to the unit's DS2406: 0, kOutputCrcError
// or kOutputShortTransfer.
int Update2406IO(NodexSession& session);
int AlarmRelaisOn(NodexSession& session);
int AlarmRelaisOff(NodexSession& session);
int OranjeLedOn(NodexSession& session);
int OranjeLedOff(NodexSession& session);

// Reads the unit's DS2406 flip-flops into AlarmRelaisOffState and
// OranjeLedOffState, so that changing one output keeps the other as the unit
// has it (a program that did not set them itself). 0, -499, -498 or -495.
int ReadUnitOutputStates(NodexSession& session);

// The red lamp on the couplers' control outputs: 0, -499 or -498.
int SwitchControlPort2409(NodexSession& session, int on, int coupler);
int RedLedOn(NodexSession& session);
int RedLedOff(NodexSession& session);

// The contact state of a switch-input probe (PIO-A level): 1.0, 0.0 or an
// error value.
double Get2406PioWaarde(NodexSession& session, int line, const RomCode& rom);

// Toggles the first DS2405 met with each line selected in turn; the last
// driver result.
int Toggle2405Pio(NodexSession& session);

}  // namespace qrv
