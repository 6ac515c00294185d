#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "runtime/event_log.h"

namespace qrv::testing {

class RecordingLog final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view message) override {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(message);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace qrv::testing
