#pragma once

#include <string>
#include <vector>

#include "probe_editor/probe_editor_view.h"

namespace qrv {

// A limit that the editor's ordering rules changed after the user typed
// another one (or typed this one beyond its bound): where it went and which
// limit it followed.
struct MovedLimit {
    LimitField field;
    int value;
    LimitField followed;

    friend bool operator==(const MovedLimit&, const MovedLimit&) = default;
};

struct LimitValues {
    int alarmLow = 0;
    int alarmHigh = 0;
    int tripLow = 0;
    int tripHigh = 0;
};

// The limits whose value differs between what the panel showed after the
// user changed `edited` and what the ordering rules made of it.
std::vector<MovedLimit> MovedLimits(LimitField edited, const LimitValues& typed,
                                    const LimitValues& corrected);

// One sentence per moved limit, for the panel's status line; empty when
// nothing moved.
std::string MovedLimitsNote(const std::vector<MovedLimit>& moved, int taal);

}  // namespace qrv
