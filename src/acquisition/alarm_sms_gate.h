#pragma once

#include <atomic>
#include <string>

#include "acquisition/sms_handoff.h"
#include "acquisition/sms_worker.h"

namespace qrv::acquisition {

// Alarm SMS go to the linked program's one destination, as they always did,
// until a call list takes them over: then its sms contacts get them, and
// handing them off here too would send each one twice.
class AlarmSmsGate final : public AlarmSmsSink {
  public:
    explicit AlarmSmsGate(AlarmSmsSink& next) : next_(next) {}

    void SetTakenOver(bool takenOver) { takenOver_ = takenOver; }
    int SendAlarmMessage(std::string text) override {
        return takenOver_ ? kSmsSkipped : next_.SendAlarmMessage(std::move(text));
    }

  private:
    AlarmSmsSink& next_;
    std::atomic<bool> takenOver_{false};
};

}  // namespace qrv::acquisition
