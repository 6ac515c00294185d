#pragma once

#include <chrono>

#include "notify/channel.h"

namespace qrv::notify {

// An HTTP POST of the message's JSON document, with the contact's bearer
// token when it has one; any 2xx answer counts as delivered. Redirects are
// not followed, only http and https are spoken.
class WebhookChannel final : public Channel {
  public:
    explicit WebhookChannel(std::chrono::milliseconds timeout) : timeout_(timeout) {}
    DeliveryResult Deliver(const NotifyContact& contact, const Message& message,
                           const std::stop_token& stop) override;

  private:
    std::chrono::milliseconds timeout_;
};

// Mail by SMTP from the station itself: no mail program to install or
// configure, the same timeout and stop as the webhooks, and the password
// never on a command line.
class EmailChannel final : public Channel {
  public:
    EmailChannel(NotifyEmail settings, std::chrono::milliseconds timeout)
        : settings_(std::move(settings)), timeout_(timeout) {}
    DeliveryResult Deliver(const NotifyContact& contact, const Message& message,
                           const std::stop_token& stop) override;

  private:
    NotifyEmail settings_;
    std::chrono::milliseconds timeout_;
};

// The mail as sent: headers (the subject encoded when it is not plain
// ASCII, the notice's id as Message-ID), a blank line and the text, with CR
// LF line ends. The submission server dates it.
std::string MailText(const std::string& from, const std::string& to, const Message& message);

}  // namespace qrv::notify
