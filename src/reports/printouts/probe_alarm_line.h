#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qrv {

// A line of the alarm file about one probe: the label, two blanks, the name
// and what follows it ("High Alarm:  Freezer     4.5°C", "Probe lost  Freezer",
// "Value OK:  Door Open  ", "Time High Alarm:  Freezer    61 min in 24 h",
// "Alarm cleared, network stopped:  Freezer").
struct ProbeAlarmLine {
    std::string label;
    std::string value;  // without the blanks around it; empty for none
};

// The line split at the probe's name, when it is that probe's: the name must
// end the message or be followed by the value part, so "Freezer" never takes
// the lines of "Freezer 2". A switch probe's contact follows its name after
// one blank only; switchValues says whether the probe may be a switch.
std::optional<ProbeAlarmLine> ProbeAlarmLineOf(std::string_view message, std::string_view name,
                                               bool switchValues);

}  // namespace qrv
