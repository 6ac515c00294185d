#include "config/mqtt_config_section.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <variant>

#include <fmt/format.h>

#include "config/config_problems.h"

namespace qrv {

namespace {

using TextCheck = bool (*)(const std::string&);

struct MqttTextKey {
    std::string MqttConfig::*member;
    // Null for any text; otherwise what the text must be.
    TextCheck check = nullptr;
    std::string_view rule;
};

struct MqttNumberKey {
    int MqttConfig::*member;
    int min;
    int max;
};

struct MqttKey {
    std::string_view name;
    std::variant<bool MqttConfig::*, MqttNumberKey, MqttTextKey> kind;
};

bool NotEmpty(const std::string& text) {
    return !text.empty();
}

bool EmptyOrStationId(const std::string& text) {
    return text.empty() || IsStationId(text);
}

constexpr std::string_view kTopicRule =
    R"(must be topic levels without "+", "#" or an empty level)";

const std::array<MqttKey, 15> kMqttKeys{{
    {"enabled", &MqttConfig::enabled},
    {"host", MqttTextKey{&MqttConfig::host, NotEmpty, "must not be empty"}},
    {"port", MqttNumberKey{&MqttConfig::port, 1, 65535}},
    {"tls", &MqttConfig::tls},
    {"ca_file", MqttTextKey{&MqttConfig::caFile, nullptr, {}}},
    {"user", MqttTextKey{&MqttConfig::user, nullptr, {}}},
    {"password", MqttTextKey{&MqttConfig::password, nullptr, {}}},
    {"password_file", MqttTextKey{&MqttConfig::passwordFile, nullptr, {}}},
    {"client_id", MqttTextKey{&MqttConfig::clientId, nullptr, {}}},
    {"base_topic", MqttTextKey{&MqttConfig::baseTopic, IsTopicPrefix, kTopicRule}},
    {"station_id", MqttTextKey{&MqttConfig::stationId, EmptyOrStationId,
                               R"(must be 1 to 64 letters, digits, "_" or "-")"}},
    {"discovery", &MqttConfig::discovery},
    {"discovery_prefix", MqttTextKey{&MqttConfig::discoveryPrefix, IsTopicPrefix, kTopicRule}},
    {"commands", &MqttConfig::commands},
    {"keepalive_seconds", MqttNumberKey{&MqttConfig::keepaliveSeconds, 5, 3600}},
}};

// The default as a problem line shows it; never the password.
std::string Shown(const MqttConfig& config, const MqttKey& key) {
    if (const auto* flag = std::get_if<bool MqttConfig::*>(&key.kind)) {
        return config.**flag ? "true" : "false";
    }
    if (const auto* number = std::get_if<MqttNumberKey>(&key.kind)) {
        return std::to_string(config.*(number->member));
    }
    return "\"" + config.*(std::get<MqttTextKey>(key.kind).member) + "\"";
}

// The problem for value as key, or nothing when it was taken.
std::string Take(const toml::node& value, const MqttKey& key, MqttConfig& config) {
    if (const auto* flag = std::get_if<bool MqttConfig::*>(&key.kind)) {
        if (const auto* boolean = value.as_boolean()) {
            config.** flag = boolean->get();
            return {};
        }
        return "must be true or false";
    }
    if (const auto* number = std::get_if<MqttNumberKey>(&key.kind)) {
        const auto* integer = value.as_integer();
        if (integer != nullptr && integer->get() >= number->min && integer->get() <= number->max) {
            config.*(number->member) = static_cast<int>(integer->get());
            return {};
        }
        return fmt::format("must be a whole number from {} to {}", number->min, number->max);
    }
    const auto& text = std::get<MqttTextKey>(key.kind);
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

}  // namespace

bool IsTopicPrefix(const std::string& text) {
    if (text.empty() || text.front() == '/' || text.back() == '/' ||
        text.find("//") != std::string::npos) {
        return false;
    }
    return std::none_of(text.begin(), text.end(), [](char c) {
        return c == '+' || c == '#' || c == '\0' || static_cast<unsigned char>(c) < 0x20;
    });
}

bool IsStationId(const std::string& text) {
    return !text.empty() && text.size() <= 64 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

void ReadMqttSection(const toml::table& root, const std::string& fileName, MqttConfig& config,
                     std::vector<std::string>& problems) {
    const toml::node* node = root.get("mqtt");
    if (node == nullptr) {
        return;
    }
    ConfigProblems found(fileName, problems);
    const auto add = [&found](const toml::source_region& where, std::string_view key,
                              std::string_view what) { found.Add(where, key, what); };
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        add(node->source(), "mqtt", "must be a section ([mqtt])");
        return;
    }
    for (const auto& [tomlKey, value] : *table) {
        const std::string_view name = tomlKey.str();
        const std::string fullName = fmt::format("mqtt.{}", name);
        const auto key = std::find_if(kMqttKeys.begin(), kMqttKeys.end(),
                                      [name](const MqttKey& k) { return k.name == name; });
        if (key == kMqttKeys.end()) {
            add(value.source(), fullName, "unknown key, ignored");
            continue;
        }
        const std::string problem = Take(value, *key, config);
        if (!problem.empty()) {
            const bool secret = key->name == "password";
            add(value.source(), fullName,
                secret ? problem + "; it is not used"
                       : fmt::format("{}; the default {} is kept", problem, Shown(config, *key)));
        }
    }
    if (!config.password.empty() && !config.passwordFile.empty()) {
        add(table->source(), "mqtt.password",
            "both password and password_file are set; password_file is used");
    }
}

}  // namespace qrv
