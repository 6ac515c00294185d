#include "feed/live_feed.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <iterator>

namespace qrv {

LiveEvent ProbeEvent(LiveEventKind kind, const LocalDateTime& time, int index,
                     const SensorRecord& record) {
    LiveEvent event = StationEvent(kind, time);
    event.index = index;
    event.rom = record.Rom;
    event.name = record.Name;
    event.value = record.Value;
    return event;
}

bool AsksForAFreshTable(LiveEventKind kind) {
    return kind == LiveEventKind::kAcquisitionResumed ||
           kind == LiveEventKind::kProbeSettingsChanged ||
           kind == LiveEventKind::kStationSettingsChanged;
}

LiveEvent StationEvent(LiveEventKind kind, const LocalDateTime& time) {
    LiveEvent event;
    event.kind = kind;
    event.time = time;
    return event;
}

namespace detail {

class FeedQueue {
  public:
    explicit FeedQueue(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

    void Push(const LiveEvent& event) {
        bool wasEmpty = false;
        {
            const std::lock_guard lock(mutex_);
            if (closed_) {
                return;
            }
            if (queue_.size() >= capacity_) {
                queue_.pop_front();
                ++dropped_;
                ++droppedSinceDrain_;
            }
            wasEmpty = queue_.empty();
            queue_.push_back(event);
        }
        arrived_.notify_one();
        if (wasEmpty) {
            const std::lock_guard lock(wakeUpMutex_);
            if (wakeUp_) {
                wakeUp_();
            }
        }
    }

    void SetWakeUp(std::function<void()> wakeUp) {
        const std::lock_guard lock(wakeUpMutex_);
        wakeUp_ = std::move(wakeUp);
    }

    FeedBatch Drain() {
        const std::lock_guard lock(mutex_);
        FeedBatch batch{
            {std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end())},
            droppedSinceDrain_};
        queue_.clear();
        droppedSinceDrain_ = 0;
        return batch;
    }

    template <typename Wait>
    std::optional<LiveEvent> Take(Wait wait) {
        std::unique_lock lock(mutex_);
        if (!wait(lock, [this] { return closed_ || !queue_.empty(); }) || closed_) {
            return std::nullopt;
        }
        LiveEvent event = std::move(queue_.front());
        queue_.pop_front();
        return event;
    }

    std::optional<LiveEvent> WaitFor(std::chrono::milliseconds timeout) {
        return Take([this, timeout](std::unique_lock<std::mutex>& lock, const auto& ready) {
            return arrived_.wait_for(lock, timeout, ready);
        });
    }

    std::optional<LiveEvent> Next() {
        return Take([this](std::unique_lock<std::mutex>& lock, const auto& ready) {
            arrived_.wait(lock, ready);
            return true;
        });
    }

    std::uint64_t Dropped() const {
        const std::lock_guard lock(mutex_);
        return dropped_;
    }

    void Close() {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            queue_.clear();
        }
        arrived_.notify_all();
        // Waits for a wake-up that is running on a publisher's thread.
        const std::lock_guard lock(wakeUpMutex_);
        wakeUp_ = nullptr;
    }

    bool Closed() const {
        const std::lock_guard lock(mutex_);
        return closed_;
    }

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<LiveEvent> queue_;
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedSinceDrain_ = 0;
    bool closed_ = false;
    // Held while the wake-up runs, so that Close() can wait for it.
    std::mutex wakeUpMutex_;
    std::function<void()> wakeUp_;
};

}  // namespace detail

FeedSubscription::FeedSubscription(std::shared_ptr<detail::FeedQueue> queue)
    : queue_(std::move(queue)) {}

FeedSubscription::~FeedSubscription() {
    Close();
}

FeedSubscription& FeedSubscription::operator=(FeedSubscription&& other) noexcept {
    if (this != &other) {
        Close();
        queue_ = std::move(other.queue_);
    }
    return *this;
}

void FeedSubscription::SetWakeUp(std::function<void()> wakeUp) {
    if (queue_) {
        queue_->SetWakeUp(std::move(wakeUp));
    }
}

FeedBatch FeedSubscription::Drain() {
    return queue_ ? queue_->Drain() : FeedBatch{};
}

std::optional<LiveEvent> FeedSubscription::WaitFor(std::chrono::milliseconds timeout) {
    return queue_ ? queue_->WaitFor(timeout) : std::nullopt;
}

std::optional<LiveEvent> FeedSubscription::Next() {
    return queue_ ? queue_->Next() : std::nullopt;
}

std::uint64_t FeedSubscription::Dropped() const {
    return queue_ ? queue_->Dropped() : 0;
}

void FeedSubscription::Close() {
    if (queue_) {
        queue_->Close();
    }
}

FeedThread::FeedThread(FeedSubscription subscription, std::function<void(const LiveEvent&)> handler)
    : subscription_(std::move(subscription)), thread_([this, handler = std::move(handler)] {
          while (const std::optional<LiveEvent> event = subscription_.Next()) {
              handler(*event);
          }
      }) {}

FeedThread::~FeedThread() {
    subscription_.Close();
}

FeedSubscription LiveFeed::Subscribe(std::size_t capacity) {
    auto queue = std::make_shared<detail::FeedQueue>(capacity);
    const std::lock_guard lock(mutex_);
    queues_.push_back(queue);
    return FeedSubscription(std::move(queue));
}

void LiveFeed::Publish(const LiveEvent& event) {
    // Pushing under the lock gives every subscriber the same order, also
    // with publishers on two threads; a push never waits for a subscriber.
    const std::lock_guard lock(mutex_);
    std::erase_if(queues_, [](const auto& queue) { return queue->Closed(); });
    for (const auto& queue : queues_) {
        queue->Push(event);
    }
}

std::size_t LiveFeed::Subscribers() const {
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        queues_.begin(), queues_.end(), [](const auto& queue) { return !queue->Closed(); }));
}

}  // namespace qrv
