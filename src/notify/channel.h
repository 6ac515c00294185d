#pragma once

#include <stop_token>
#include <string>

#include "config/notify_config.h"
#include "notify/notice_texts.h"

namespace qrv::notify {

struct DeliveryResult {
    bool delivered = false;
    // The receiver refused it for good (SMTP 5xx, HTTP 4xx other than 408
    // and 429): trying again changes nothing.
    bool permanent = false;
    // What the receiver or the transfer said, for the program log; never a
    // password or token.
    std::string detail;
};

// Carries a message to a contact. Deliver() returns within the channel's
// timeout, or soon after stop is requested.
class Channel {
  public:
    virtual ~Channel() = default;
    virtual DeliveryResult Deliver(const NotifyContact& contact, const Message& message,
                                   const std::stop_token& stop) = 0;
};

}  // namespace qrv::notify
