#include "config/web_config_section.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <variant>

#include <fmt/format.h>

#include "config/config_problems.h"

namespace qrv {

namespace {

struct WebNumberKey {
    int WebConfig::*member;
    int min;
    int max;
    // Stored as the number times this (seconds kept as milliseconds).
    int scale = 1;
};

struct WebTextKey {
    std::string WebConfig::*member;
    bool (*check)(const std::string&) = nullptr;
    std::string_view rule;
};

// A list of IPv4 addresses.
struct WebAddressesKey {
    std::vector<std::string> WebConfig::*member;
};

struct WebKey {
    std::string_view name;
    std::variant<bool WebConfig::*, WebNumberKey, WebTextKey, WebAddressesKey> kind;
};

const std::array<WebKey, 14> kWebKeys{{
    {"enabled", &WebConfig::enabled},
    {"listen", WebTextKey{&WebConfig::listen, IsListenAddress,
                          R"(must be an IPv4 address and a port, such as "127.0.0.1:8080")"}},
    {"cert", WebTextKey{&WebConfig::certFile, nullptr, {}}},
    {"key", WebTextKey{&WebConfig::keyFile, nullptr, {}}},
    {"root", WebTextKey{&WebConfig::root, nullptr, {}}},
    {"session_idle_minutes", WebNumberKey{&WebConfig::sessionIdleMinutes, 1, 24 * 60}},
    {"session_lifetime_hours", WebNumberKey{&WebConfig::sessionLifetimeHours, 1, 24 * 30}},
    {"metrics_token", WebTextKey{&WebConfig::metricsToken, nullptr, {}}},
    {"request_timeout_seconds", WebNumberKey{&WebConfig::requestTimeoutMs, 1, 300, 1000}},
    {"max_streams", WebNumberKey{&WebConfig::maxStreams, 1, 1000}},
    {"report_timeout_seconds", WebNumberKey{&WebConfig::reportTimeoutSeconds, 5, 3600}},
    {"max_connections_per_address", WebNumberKey{&WebConfig::maxConnectionsPerAddress, 1, 1000}},
    {"allow_plain_http", &WebConfig::allowPlainHttp},
    {"trusted_proxies", WebAddressesKey{&WebConfig::trustedProxies}},
}};

std::string TakeAddresses(const toml::node& value, const WebAddressesKey& key, WebConfig& config) {
    const auto* array = value.as_array();
    std::vector<std::string> addresses;
    if (array != nullptr) {
        for (const toml::node& item : *array) {
            const auto* text = item.as_string();
            if (text == nullptr || !IsIpv4Address(text->get())) {
                array = nullptr;
                break;
            }
            addresses.push_back(text->get());
        }
    }
    if (array == nullptr) {
        return R"(must be a list of IPv4 addresses, such as ["127.0.0.1"])";
    }
    config.*(key.member) = std::move(addresses);
    return {};
}

// The problem for value as key, or nothing when it was taken.
std::string Take(const toml::node& value, const WebKey& key, WebConfig& config) {
    if (const auto* flag = std::get_if<bool WebConfig::*>(&key.kind)) {
        if (const auto* boolean = value.as_boolean()) {
            config.** flag = boolean->get();
            return {};
        }
        return "must be true or false";
    }
    if (const auto* number = std::get_if<WebNumberKey>(&key.kind)) {
        const auto* integer = value.as_integer();
        if (integer != nullptr && integer->get() >= number->min && integer->get() <= number->max) {
            config.*(number->member) = static_cast<int>(integer->get()) * number->scale;
            return {};
        }
        return fmt::format("must be a whole number from {} to {}", number->min, number->max);
    }
    if (const auto* addresses = std::get_if<WebAddressesKey>(&key.kind)) {
        return TakeAddresses(value, *addresses, config);
    }
    const auto& text = std::get<WebTextKey>(key.kind);
    const auto* string = value.as_string();
    if (string == nullptr) {
        return "must be a text in quotes";
    }
    if (string->get().find('\0') != std::string::npos) {
        return "must not hold a NUL character";
    }
    if (text.check != nullptr && !text.check(string->get())) {
        return std::string(text.rule);
    }
    config.*(text.member) = string->get();
    return {};
}

bool ParseNumber(std::string_view text, int min, int max, int& out) {
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text.front() == '0')) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out >= min && out <= max;
}

}  // namespace

bool IsListenAddress(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    int port = 0;
    if (!ParseNumber(std::string_view(text).substr(colon + 1), 1, 65535, port)) {
        return false;
    }
    return IsIpv4Address(text.substr(0, colon));
}

bool IsIpv4Address(std::string_view address) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = address.find('.');
        const bool last = part == 3;
        if ((dot == std::string_view::npos) != last) {
            return false;
        }
        int byte = 0;
        if (!ParseNumber(address.substr(0, dot), 0, 255, byte)) {
            return false;
        }
        address = last ? std::string_view() : address.substr(dot + 1);
    }
    return true;
}

bool IsLoopbackAddress(std::string_view address) {
    return IsIpv4Address(address) && address.starts_with("127.");
}

bool IsLoopbackListen(const std::string& text) {
    return IsListenAddress(text) && text.starts_with("127.");
}

void ReadWebSection(const toml::table& root, const std::string& fileName, WebConfig& config,
                    std::vector<std::string>& problems) {
    const toml::node* node = root.get("web");
    if (node == nullptr) {
        return;
    }
    ConfigProblems found(fileName, problems);
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        found.Add(node->source(), "web", "must be a section ([web])");
        return;
    }
    for (const auto& [tomlKey, value] : *table) {
        const std::string_view name = tomlKey.str();
        const std::string fullName = fmt::format("web.{}", name);
        const auto key = std::find_if(kWebKeys.begin(), kWebKeys.end(),
                                      [name](const WebKey& k) { return k.name == name; });
        if (key == kWebKeys.end()) {
            found.Add(value.source(), fullName, "unknown key, ignored");
            continue;
        }
        const std::string problem = Take(value, *key, config);
        if (!problem.empty()) {
            const bool secret = key->name == "metrics_token";
            found.Add(value.source(), fullName,
                      secret ? problem + "; it is not used"
                             : fmt::format("{}; the default is kept", problem));
        }
    }
    if (config.certFile.empty() != config.keyFile.empty()) {
        found.Add(table->source(), "web.cert",
                  "cert and key go together; without both the server does not start");
    }
}

}  // namespace qrv
