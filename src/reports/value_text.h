#pragma once

#include <string>
#include <string_view>

namespace qrv {

// How a probe's values read on screen and on paper.

// "%f[p1w6]%s": one decimal, right-aligned in six characters, then the units.
std::string ValueWithUnits(double value, std::string_view units);

// Where a value stands: the big view and the results table show a humidity
// up to 100.0, the cursor read-outs only below 99.9; temperatures read
// -49.9 .. 124.9 everywhere. Bounds are included unless said otherwise.
enum class ValuePlace { BigView, Readout };
bool InDisplayRange(int probeType, double value, ValuePlace place);

// What stands in for a number outside its display range.
inline constexpr std::string_view kDashText = " - - - - ";
inline constexpr std::string_view kWideDashText = "   - - - - ";

// A switch's contact state: 0 "Closed", 1 "Open", truncated toward zero;
// false for any other value.
bool SwitchStateText(double value, int taal, std::string& text);

// A switch on paper: "Closed" below 0.5, else "Open".
std::string PrintedSwitchText(double value, int taal);

// "Max: " / "Min: " followed by the value and the units.
std::string MaxLine(double value, std::string_view units);
std::string MinLine(double value, std::string_view units);

// The probe-type line ("Temperature probe") and the value axis title
// ("Temperature °C") of a graph.
std::string ProbeTypeLine(int probeType, int taal);
std::string ValueAxisTitle(int probeType, std::string_view units, int taal);

}  // namespace qrv
