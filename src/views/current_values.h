#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "reports/limit_lines.h"
#include "reports/page_model.h"
#include "storage/today_reader.h"

namespace qrv::views {

inline constexpr std::uint32_t kBlack = 0x000000;
// The graphs draw the limits in the same colours.
inline constexpr std::uint32_t kAlarmRed = kAlarmLimitColour;
inline constexpr std::uint32_t kPreAlarmOrange = kPreAlarmLimitColour;

// What the big view shows of a probe, copied from its record under the table
// hand-shake.
struct ProbeState {
    int status = 0;
    int alarmState = 0;
    double value = 0.0;
    int sensorType = 0;
    std::string units;
    // The reading before its calibration, when it is known.
    std::optional<double> rawValue{};
};

struct BigViewTexts {
    std::string stateText;
    std::string valueText;
    std::uint32_t valueColour = kBlack;
    // "Raw reading: 4.4°C" under the value where a calibration changed it;
    // empty otherwise.
    std::string rawText;
};

// The state text ("Probe is active", an alarm text ...), the value in large
// type and its colour. A stored failed reading (below -200.0) reads "????"
// in the lost colour; while the interface does not answer both texts are a
// single blank.
BigViewTexts MakeBigView(const ProbeState& probe, bool communicationError, int taal);

// The cursor read-out of the current-values and history graphs.
std::string CursorTimeText(int minutes);
std::string CursorValueText(int probeType, double value, std::string_view units, int taal);

// Next (forward) or previous index among 0..last, wrapping round.
int StepIndex(int index, int last, bool forward);

// The point the cursor goes to after a redraw: the first one not before the
// minute it stood at, the last one when there is none.
int CursorIndexForTime(std::span<const std::int32_t> minutes, int cursorTime);

// Today's graph of the shown probe in the user's graph style.
GraphModel TodayGraph(const TodayView& today, int keuzeGraphStyle, int taal);

}  // namespace qrv::views
