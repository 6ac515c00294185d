#include "station/shell_services.h"

#include <atomic>
#include <exception>
#include <thread>

namespace qrv::shell {

void BackgroundBusWork::Run(const std::function<void()>& step) const {
    std::atomic<bool> finished{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
    });
    keepAlive_([&finished] { return finished.load(); });
    const bool givingUp = !finished;
    if (givingUp) {
        giveUp_(true);
    }
    worker.join();
    if (givingUp) {
        giveUp_(false);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace qrv::shell
