#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qrv {

inline constexpr int kMaxSensors = 100;
inline constexpr int kMaxNameLength = 27;
inline constexpr int kMaxNetworkNameLength = 31;
inline constexpr int kRomLength = 8;

// Probe status.
inline constexpr int kStatusActive = 0;
inline constexpr int kStatusOff = 1;
inline constexpr int kStatusInhibit = 2;

// Alarm states.
inline constexpr int kAlarmNone = 0;
inline constexpr int kAlarmHigh = 1;
inline constexpr int kAlarmLow = 2;
inline constexpr int kPreAlarmHigh = 3;
inline constexpr int kPreAlarmLow = 4;
inline constexpr int kAlarmLost = 5;
inline constexpr int kAlarmEndedMessage = 7;
// The alarm on the minutes out of range in the last 24 hours: message codes
// beside the states, never stored in AlarmState (6 is the notices' unit).
inline constexpr int kTimeAlarmHigh = 8;
inline constexpr int kTimeAlarmLow = 9;
inline constexpr int kTimeAlarmEnded = 10;

// Sensor types: the character codes of '0', '1' and '2'.
inline constexpr int kTypeTemperature = 48;
inline constexpr int kTypeHumidity = 49;
inline constexpr int kTypeSwitch = 50;
inline constexpr int kTypeUnknown = 999;

// A line above this marks a probe found for the first time and not yet
// confirmed by the user (101..103 for lines 1..3).
inline constexpr int kNewProbeLineOffset = 100;

// Readings below this are error codes of the reading routines, not values.
inline constexpr double kErrorValueLimit = -200.0;
inline bool IsErrorValue(double value) {
    return value < kErrorValueLimit;
}

// A 1-Wire ROM code: family code first, then the serial number from its least
// significant byte, then the CRC8; one byte value per element.
using RomCode = std::array<std::int16_t, kRomLength>;

struct AlarmWindow {
    std::int32_t Start = 0;  // quarter-hours, inclusive
    std::int32_t Stop = 96;  // quarter-hours, exclusive
    friend bool operator==(const AlarmWindow&, const AlarmWindow&) = default;
};

// One probe of the network. Texts are UTF-8 in memory; Name holds at most 27
// characters and Units is "°C", " %", two blanks or empty.
// The shortest alarm and pre-alarm delay, in seconds. The sensor file raises
// a shorter one when it is read, so a probe holds at least this in memory
// too: otherwise its alarms would rise sooner than after the next reload.
inline constexpr std::int32_t kMinimumAlarmDelaySeconds = 120;

struct SensorRecord {
    std::int32_t Line = 0;
    RomCode Rom{};
    std::string Name;
    std::int32_t SensorType = 0;
    std::string Units;
    double Value = 0.0;
    // The reading before its calibration, for the probe editor and
    // diagnostics; Value is what alarms, views, files and publishing use.
    double RawValue = 0.0;
    std::int32_t SmsEnable = 0;
    std::int32_t RelayEnable = 0;
    std::int32_t AlarmState = 0;
    std::int32_t AlarmDelayCount = 0;
    std::int32_t TripDelayCount = 0;
    std::int32_t AlarmLow = 0;
    std::int32_t AlarmHigh = 0;
    std::int32_t AlarmDelay = 0;
    std::int32_t TripLow = 0;
    std::int32_t TripHigh = 0;
    std::int32_t TripDelay = 0;
    std::array<AlarmWindow, 7> AlarmTimes{};
    std::int32_t Status = kStatusActive;
    std::int32_t FoundOnNetwork = 0;
    std::int32_t NewValueCount = 0;
    std::int32_t LostCount = 0;
};

}  // namespace qrv
