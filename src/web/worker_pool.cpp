#include "web/worker_pool.h"

#include <utility>

namespace qrv::web {

WorkerPool::WorkerPool(std::size_t threads, std::size_t places) : places_(places) {
    for (std::size_t i = 0; i < threads; ++i) {
        threads_.emplace_back([this](const std::stop_token& stop) { Work(stop); });
    }
}

WorkerPool::~WorkerPool() {
    for (auto& thread : threads_) {
        thread.request_stop();
    }
    // The jthreads join as the vector goes, each after its job in hand.
    threads_.clear();
}

bool WorkerPool::Submit(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        if (jobs_.size() >= places_) {
            return false;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void WorkerPool::Work(const std::stop_token& stop) {
    while (true) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return !jobs_.empty(); })) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace qrv::web
