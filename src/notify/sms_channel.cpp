#include "notify/sms_channel.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "acquisition/sms_handoff.h"

namespace qrv::notify {

namespace {

// Shared with the worker's job, which may outlive a delivery that stopped
// (the notifications end before the SMS worker does).
struct Outcome {
    std::mutex mutex;
    std::condition_variable_any done;
    std::optional<int> result;
};

}  // namespace

DeliveryResult SmsChannel::Deliver(const NotifyContact& contact, const Message& message,
                                   const std::stop_token& stop) {
    auto outcome = std::make_shared<Outcome>();
    worker_.SendTo(contact.address, message.smsText, [outcome](int result) {
        std::lock_guard lock(outcome->mutex);
        outcome->result = result;
        outcome->done.notify_all();
    });
    std::unique_lock lock(outcome->mutex);
    outcome->done.wait(lock, stop, [&] { return outcome->result.has_value(); });
    if (!outcome->result) {
        return {false, false, "stopped"};
    }
    const int result = *outcome->result;
    return {result == acquisition::kSmsSent, false,
            std::string(acquisition::SmsResultLogLine(result))};
}

}  // namespace qrv::notify
