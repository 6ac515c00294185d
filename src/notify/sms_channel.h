#pragma once

#include "acquisition/sms_worker.h"
#include "notify/channel.h"

namespace qrv::notify {

// The SMS program as a channel: the contact's address is its phone-book name.
// The hand-off keeps its own timing (11 to 61 polls) and program-log lines;
// only a run that counts as sent is delivered.
class SmsChannel final : public Channel {
  public:
    explicit SmsChannel(acquisition::SmsWorker& worker) : worker_(worker) {}
    DeliveryResult Deliver(const NotifyContact& contact, const Message& message,
                           const std::stop_token& stop) override;

  private:
    acquisition::SmsWorker& worker_;
};

}  // namespace qrv::notify
