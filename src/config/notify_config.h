#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qrv {

enum class NotifyChannel { kSms, kEmail, kWebhook };

// One person (or rota) on the call list of [[notify.contact]].
struct NotifyContact {
    std::string name;
    NotifyChannel channel = NotifyChannel::kSms;
    // A phone-book name for sms, a mail address for email, a URL for webhook.
    std::string address;
    // Webhook only: the bearer token, and the ntfy topic when the address is
    // an ntfy server's root.
    std::string token;
    std::string topic;
    // Login or web account names that are this contact: an acknowledgement
    // by one of them makes the reminders go to this contact.
    std::vector<std::string> logins;
    // Probe names or ROM codes (16 hex digits) this contact is told about,
    // with the groups already expanded; empty for every probe.
    std::vector<std::string> probes;
    // Where each of probes is written ("FILE:LINE"), so that a name no probe
    // has can be pointed at once the probes are known.
    std::vector<std::string> probeSources;

    bool operator==(const NotifyContact&) const = default;
};

// [notify.email]: how mail leaves the station.
struct NotifyEmail {
    std::string smtpUrl;  // smtp://host:port or smtps://host:port
    std::string from;
    std::string user;
    std::string password;
    // Demand STARTTLS on smtp:// (smtps:// is always encrypted).
    bool starttls = true;

    bool operator==(const NotifyEmail&) const = default;
};

// [notify]: reminders, escalation and the channels beyond the SMS program.
struct NotifyConfig {
    int escalateAfterMinutes = 15;
    int remindAfterMinutes = 60;
    // How long one delivery may take before it counts as failed.
    int timeoutSeconds = 30;
    // Alarms that rise (or end) within this many seconds of the first of
    // them go to a contact as one notice; 0 tells each alarm on its own at
    // once.
    int groupSeconds = 30;
    // The dashboard's address as the contacts reach it ("https://host:port"),
    // without a slash at the end; empty when notices carry no link to it.
    // Kept only while [web] is on.
    std::string publicUrl;
    NotifyEmail email;
    std::vector<NotifyContact> contacts;
    // Why the call list the file asks for cannot be used (the section is
    // broken, or every contact was refused), so that the alarm SMS go to the
    // SMS program's single destination instead; empty when it can, or when
    // the file asks for none.
    std::string unusable;

    bool operator==(const NotifyConfig&) const = default;
};

std::string_view ChannelName(NotifyChannel channel);

}  // namespace qrv
