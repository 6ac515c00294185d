#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

namespace qrv::web {

// A small bounded queue for the password checks, each of which takes a good
// fraction of a second and 64 MiB: a few run at once, a few more wait, and
// beyond that a login is turned away at once rather than stalling everyone
// behind a burst.
class CheckQueue {
  public:
    // A place in the queue, held until it is destroyed.
    class Place {
      public:
        Place(Place&& other) noexcept : queue_(other.queue_), running_(other.running_) {
            other.queue_ = nullptr;
        }
        Place(const Place&) = delete;
        Place& operator=(const Place&) = delete;
        Place& operator=(Place&&) = delete;
        ~Place();

        // Waits for a turn to run, then runs check.
        template <typename Check>
        auto Run(Check&& check) {
            Start();
            return check();
        }

      private:
        friend class CheckQueue;
        explicit Place(CheckQueue& queue) : queue_(&queue) {}
        void Start();

        CheckQueue* queue_;
        bool running_ = false;
    };

    CheckQueue(std::size_t running, std::size_t places) : running_(running), places_(places) {}

    // A place, or none when every place is taken.
    std::optional<Place> Enter();

  private:
    const std::size_t running_;
    const std::size_t places_;
    std::mutex mutex_;
    std::condition_variable turn_;
    std::size_t taken_ = 0;
    std::size_t busy_ = 0;
};

}  // namespace qrv::web
