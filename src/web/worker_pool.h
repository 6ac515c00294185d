#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qrv::web {

// A few threads for the routes' work (a password check, a report), so that
// the server's event thread never waits for it. Bounded: beyond `places`
// waiting jobs a new one is refused at once.
class WorkerPool {
  public:
    WorkerPool(std::size_t threads, std::size_t places);
    // Lets the running jobs end and drops the waiting ones.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False when every place is taken: the job is not run.
    bool Submit(std::function<void()> job);

  private:
    void Work(const std::stop_token& stop);

    const std::size_t places_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::jthread> threads_;
};

}  // namespace qrv::web
