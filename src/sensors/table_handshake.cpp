#include "sensors/table_handshake.h"

namespace qrv {

void TableHandshake::Take(int own, int other) {
    int seen = owner_.load();
    if (seen == own) {
        return;
    }
    // Free: take it in one step, so the two sides cannot both take a free table.
    if (seen == kNobody && owner_.compare_exchange_strong(seen, own)) {
        return;
    }
    for (int step = 0; step < kWaitSteps && owner_.load() == other; ++step) {
        clock_.Delay(kWaitStepSeconds);
        int expected = kNobody;
        if (owner_.compare_exchange_strong(expected, own)) {
            return;
        }
    }
    owner_.store(own);
}

}  // namespace qrv
