#pragma once

#include <atomic>

#include "runtime/clock.h"

namespace qrv {

// The cooperative turn-taking by which the user-interface side and the
// acquisition side use the probe table. It is deliberately not a lock: a side
// that has waited about one second takes the table over, so neither side can
// freeze the other; takes do not nest (one release frees the table).
class TableHandshake {
  public:
    static constexpr int kNobody = 0;
    static constexpr int kMainSide = 1;
    static constexpr int kAsyncSide = 2;
    static constexpr int kWaitSteps = 101;
    static constexpr double kWaitStepSeconds = 0.01;

    explicit TableHandshake(Clock& clock) : clock_(clock) {}

    void WaitForMainMemoryUse() { Take(kMainSide, kAsyncSide); }
    void ReleaseMainMemoryUse() { Release(); }
    void WaitForAsyncMemoryUse() { Take(kAsyncSide, kMainSide); }
    void ReleaseAsyncMemoryUse() { Release(); }

    int SharedMemoryOwner() const { return owner_.load(); }
    void Reset() { owner_.store(kNobody); }

  private:
    void Take(int own, int other);
    void Release() { owner_.store(kNobody); }

    Clock& clock_;
    std::atomic<int> owner_{kNobody};
};

}  // namespace qrv
