#include "web/check_queue.h"

namespace qrv::web {

std::optional<CheckQueue::Place> CheckQueue::Enter() {
    const std::lock_guard lock(mutex_);
    if (taken_ >= places_) {
        return std::nullopt;
    }
    ++taken_;
    return Place(*this);
}

void CheckQueue::Place::Start() {
    if (queue_ == nullptr || running_) {
        return;
    }
    std::unique_lock lock(queue_->mutex_);
    queue_->turn_.wait(lock, [this] { return queue_->busy_ < queue_->running_; });
    ++queue_->busy_;
    running_ = true;
}

CheckQueue::Place::~Place() {
    if (queue_ == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(queue_->mutex_);
        --queue_->taken_;
        if (running_) {
            --queue_->busy_;
        }
    }
    queue_->turn_.notify_one();
}

}  // namespace qrv::web
