#pragma once

#include "runtime/clock.h"
#include "storage/store_rig.h"

namespace qrv::testing {

// The network the store loop records: 100 probes whose value at every minute
// is known in advance, so a reader can tell a block read whole at its own
// minute from one lost, cut or filed elsewhere.
inline constexpr int kLoopProbes = 100;

inline double LoopValue(int probe, int minuteCount) {
    return ((probe * 37 + minuteCount * 11) % 2000 - 500) / 10.0;
}

// The time of the store numbered minuteCount: one store a minute from
// midnight of 1 March 2026 on, across as many days as it takes.
inline LocalDateTime LoopTime(int minuteCount) {
    return {2026, 3, 1 + minuteCount / 1440, minuteCount % 1440 / 60, minuteCount % 60, 0, 0};
}

inline void AddLoopProbes(StoreRig& rig) {
    for (int p = 0; p < kLoopProbes; ++p) {
        const int family = p % 10 == 3 ? 0x26 : (p % 10 == 7 ? 0x12 : 0x28);
        rig.AddProbe(family, 0x100 + p, "Vriezer " + std::to_string(p) + " k\u00FChl", 0.0);
    }
}

}  // namespace qrv::testing
