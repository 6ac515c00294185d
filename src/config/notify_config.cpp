#include "config/notify_config.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include <fmt/format.h>

#include "config/config_problems.h"
#include "config/notify_config_reader.h"

namespace qrv {

namespace {

// The longest phone-book name the SMS program is given.
constexpr std::size_t kMaxSmsDestination = 27;

bool HasControlOrBlank(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; });
}

// Deliberately plain: one address, nothing that could open a second header
// line or a second recipient.
bool IsMailAddress(std::string_view text) {
    const auto at = text.find('@');
    return at != std::string_view::npos && at > 0 && at + 1 < text.size() &&
           text.find('@', at + 1) == std::string_view::npos && !HasControlOrBlank(text) &&
           text.find_first_of(R"(<>,;"()[]\)") == std::string_view::npos;
}

bool IsWebAddress(std::string_view text) {
    return (text.starts_with("http://") || text.starts_with("https://")) &&
           !HasControlOrBlank(text);
}

void ReadMinutes(const toml::table& table, std::string_view key, int min, int max, int& target,
                 ConfigProblems& problems) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return;
    }
    const auto* number = node->as_integer();
    if (number == nullptr || number->get() < min || number->get() > max) {
        problems.Add(*node, fmt::format("notify.{}", key),
                     fmt::format("must be a whole number from {} to {}; the default {} is kept",
                                 min, max, target));
        return;
    }
    target = static_cast<int>(number->get());
}

std::optional<std::string> ReadText(const toml::table& table, std::string_view key,
                                    std::string_view section, ConfigProblems& problems) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (const auto* text = node->as_string()) {
        return text->get();
    }
    problems.Add(*node, fmt::format("{}.{}", section, key), "must be a text in quotes; ignored");
    return std::nullopt;
}

// The texts of a list; where, when given, gets each one's "FILE:LINE".
std::vector<std::string> ReadTextList(const toml::table& table, std::string_view key,
                                      std::string_view section, ConfigProblems& problems,
                                      std::vector<std::string>* where = nullptr) {
    std::vector<std::string> list;
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return list;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        problems.Add(*node, fmt::format("{}.{}", section, key),
                     R"(must be a list of texts (["a", "b"]); ignored)");
        return list;
    }
    for (const toml::node& item : *array) {
        if (const auto* text = item.as_string()) {
            list.push_back(text->get());
            if (where != nullptr) {
                where->push_back(problems.Where(item));
            }
        } else {
            problems.Add(item, fmt::format("{}.{}", section, key),
                         "an item that is not a text "
                         "is ignored");
        }
    }
    return list;
}

void WarnUnknownKeys(const toml::table& table, std::string_view section,
                     std::initializer_list<std::string_view> known, ConfigProblems& problems) {
    for (const auto& [key, value] : table) {
        if (std::find(known.begin(), known.end(), key.str()) == known.end()) {
            problems.Add(value, fmt::format("{}.{}", section, key.str()), "unknown key, ignored");
        }
    }
}

NotifyEmail ReadEmail(const toml::node* node, ConfigProblems& problems) {
    NotifyEmail email;
    if (node == nullptr) {
        return email;
    }
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        problems.Add(*node, "notify.email", "must be a section ([notify.email])");
        return email;
    }
    constexpr std::string_view kSection = "notify.email";
    WarnUnknownKeys(*table, kSection, {"smtp_url", "from", "user", "password", "starttls"},
                    problems);
    if (auto url = ReadText(*table, "smtp_url", kSection, problems)) {
        if ((url->starts_with("smtp://") || url->starts_with("smtps://")) &&
            !HasControlOrBlank(*url)) {
            email.smtpUrl = *url;
        } else {
            problems.Add(*table->get("smtp_url"), "notify.email.smtp_url",
                         "must begin with smtp:// or smtps://; e-mail is off");
        }
    }
    if (auto from = ReadText(*table, "from", kSection, problems)) {
        if (IsMailAddress(*from)) {
            email.from = *from;
        } else {
            problems.Add(*table->get("from"), "notify.email.from",
                         "must be one mail address (name@host); e-mail is off");
        }
    }
    email.user = ReadText(*table, "user", kSection, problems).value_or("");
    email.password = ReadText(*table, "password", kSection, problems).value_or("");
    if (const toml::node* tls = table->get("starttls")) {
        if (const auto* flag = tls->as_boolean()) {
            email.starttls = flag->get();
        } else {
            problems.Add(*tls, "notify.email.starttls", "must be true or false; true is kept");
        }
    }
    return email;
}

// A group's probe names and where each is written.
struct ProbeGroup {
    std::vector<std::string> probes;
    std::vector<std::string> sources;
};
using ProbeGroups = std::map<std::string, ProbeGroup, std::less<>>;

ProbeGroups ReadGroups(const toml::node* node, ConfigProblems& problems) {
    ProbeGroups groups;
    if (node == nullptr) {
        return groups;
    }
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        problems.Add(*node, "notify.groups", "must be a section ([notify.groups])");
        return groups;
    }
    for (const auto& [key, value] : *table) {
        ProbeGroup& group = groups[std::string(key.str())];
        group.probes = ReadTextList(*table, key.str(), "notify.groups", problems, &group.sources);
    }
    return groups;
}

std::optional<NotifyChannel> ChannelOf(std::string_view name) {
    constexpr std::array<NotifyChannel, 3> kChannels{NotifyChannel::kSms, NotifyChannel::kEmail,
                                                     NotifyChannel::kWebhook};
    for (NotifyChannel channel : kChannels) {
        if (ChannelName(channel) == name) {
            return channel;
        }
    }
    return std::nullopt;
}

// Why the address cannot be used on the channel; empty when it can.
std::string AddressProblem(NotifyChannel channel, std::string_view address,
                           const NotifyEmail& email) {
    switch (channel) {
        case NotifyChannel::kSms:
            if (address.empty() || HasControlOrBlank(address) ||
                address.size() > kMaxSmsDestination || address.starts_with("---")) {
                return "an sms address is one phone-book name of at most 27 characters without "
                       "blanks";
            }
            return {};
        case NotifyChannel::kEmail:
            if (!IsMailAddress(address)) {
                return "an email address is one mail address (name@host)";
            }
            if (email.smtpUrl.empty() || email.from.empty()) {
                return "email needs smtp_url and from in [notify.email]";
            }
            return {};
        case NotifyChannel::kWebhook:
            if (!IsWebAddress(address)) {
                return "a webhook address is an http:// or https:// URL without blanks";
            }
            return {};
    }
    return "unknown channel";
}

std::optional<NotifyContact> ReadContact(const toml::node& node, int number,
                                         const NotifyEmail& email, const ProbeGroups& groups,
                                         ConfigProblems& problems) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        problems.Add(node, "notify.contact", "must be a [[notify.contact]] section; ignored");
        return std::nullopt;
    }
    constexpr std::string_view kSection = "notify.contact";
    WarnUnknownKeys(*table, kSection,
                    {"name", "channel", "address", "token", "topic", "logins", "probes", "groups"},
                    problems);
    NotifyContact contact;
    contact.name =
        ReadText(*table, "name", kSection, problems).value_or(fmt::format("contact {}", number));
    const std::string channelName = ReadText(*table, "channel", kSection, problems).value_or("");
    const auto channel = ChannelOf(channelName);
    if (!channel) {
        problems.Add(node, kSection,
                     fmt::format("{}: channel must be \"sms\", \"email\" or \"webhook\"; the "
                                 "contact is left out",
                                 contact.name));
        return std::nullopt;
    }
    contact.channel = *channel;
    contact.address = ReadText(*table, "address", kSection, problems).value_or("");
    if (const std::string problem = AddressProblem(contact.channel, contact.address, email);
        !problem.empty()) {
        problems.Add(node, kSection,
                     fmt::format("{}: {}; the contact is left out", contact.name, problem));
        return std::nullopt;
    }
    contact.token = ReadText(*table, "token", kSection, problems).value_or("");
    contact.topic = ReadText(*table, "topic", kSection, problems).value_or("");
    if (HasControlOrBlank(contact.token) || HasControlOrBlank(contact.topic)) {
        problems.Add(node, kSection,
                     fmt::format("{}: token and topic take no blanks or control characters; the "
                                 "contact is left out",
                                 contact.name));
        return std::nullopt;
    }
    contact.logins = ReadTextList(*table, "logins", kSection, problems);
    contact.probes = ReadTextList(*table, "probes", kSection, problems, &contact.probeSources);
    for (const std::string& group : ReadTextList(*table, "groups", kSection, problems)) {
        const auto found = groups.find(group);
        if (found == groups.end()) {
            problems.Add(node, kSection,
                         fmt::format("{}: no group \"{}\" in [notify.groups]; ignored",
                                     contact.name, group));
            continue;
        }
        const ProbeGroup& members = found->second;
        contact.probes.insert(contact.probes.end(), members.probes.begin(), members.probes.end());
        contact.probeSources.insert(contact.probeSources.end(), members.sources.begin(),
                                    members.sources.end());
    }
    return contact;
}

}  // namespace

std::string_view ChannelName(NotifyChannel channel) {
    switch (channel) {
        case NotifyChannel::kSms:
            return "sms";
        case NotifyChannel::kEmail:
            return "email";
        case NotifyChannel::kWebhook:
            return "webhook";
    }
    return "unknown";
}

NotifyConfig ReadNotifySection(const toml::node* node, const std::string& fileName,
                               std::vector<std::string>& problemLines) {
    NotifyConfig config;
    if (node == nullptr) {
        return config;
    }
    ConfigProblems problems(fileName, problemLines);
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        problems.Add(*node, "notify", "must be a section ([notify])");
        config.unusable = "[notify] is not a section";
        return config;
    }
    WarnUnknownKeys(*table, "notify",
                    {"escalate_after", "remind_after", "timeout_seconds", "group_seconds",
                     "public_url", "email", "groups", "contact"},
                    problems);
    ReadMinutes(*table, "escalate_after", 1, 1440, config.escalateAfterMinutes, problems);
    ReadMinutes(*table, "remind_after", 1, 1440, config.remindAfterMinutes, problems);
    ReadMinutes(*table, "timeout_seconds", 1, 300, config.timeoutSeconds, problems);
    ReadMinutes(*table, "group_seconds", 0, 600, config.groupSeconds, problems);
    if (auto url = ReadText(*table, "public_url", "notify", problems)) {
        while (url->ends_with('/')) {
            url->pop_back();
        }
        if (IsWebAddress(*url) && url->find_first_of("?#") == std::string::npos) {
            config.publicUrl = *url;
        } else {
            problems.Add(*table->get("public_url"), "notify.public_url",
                         "must be the dashboard's http:// or https:// address without blanks, "
                         "query or fragment; notices carry no link to it");
        }
    }
    config.email = ReadEmail(table->get("email"), problems);
    const auto groups = ReadGroups(table->get("groups"), problems);
    const toml::node* contacts = table->get("contact");
    if (contacts == nullptr) {
        return config;
    }
    const toml::array* array = contacts->as_array();
    if (array == nullptr) {
        problems.Add(*contacts, "notify.contact", "must be [[notify.contact]] sections; ignored");
        config.unusable = "notify.contact is not a list of [[notify.contact]] sections";
        return config;
    }
    int number = 0;
    for (const toml::node& item : *array) {
        if (auto contact = ReadContact(item, ++number, config.email, groups, problems)) {
            config.contacts.push_back(std::move(*contact));
        }
    }
    if (config.contacts.empty() && number > 0) {
        config.unusable = "every contact is left out";
    }
    return config;
}

}  // namespace qrv
