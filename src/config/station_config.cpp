#include "config/station_config.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <variant>

#include <fmt/format.h>
#include <toml++/toml.h>

#include "config/config_problems.h"
#include "config/mqtt_config_section.h"
#include "config/notify_config_reader.h"
#include "config/web_config_section.h"

namespace qrv {

namespace {

// A key of a section: the member it sets and, for numbers, the range.
template <typename Section>
struct Key {
    std::string_view name;
    std::variant<int Section::*, bool Section::*> member;
    int min = 0;
    int max = 0;
};

constexpr std::array<Key<ServiceConfig>, 2> kServiceKeys{{
    {"unit_retry_seconds", &ServiceConfig::unitRetrySeconds, 10, 3600},
    {"log_to_stderr", &ServiceConfig::logToStandardError},
}};

constexpr std::array<Key<AcquisitionConfig>, 1> kAcquisitionKeys{{
    {"simultaneous_conversion", &AcquisitionConfig::simultaneousConversion},
}};

constexpr std::array<std::string_view, 5> kSections{"service", "acquisition", "notify", "mqtt",
                                                    "web"};

template <typename Section, std::size_t N>
void ReadSection(const toml::table& root, std::string_view name, Section& section,
                 const std::array<Key<Section>, N>& keys, ConfigProblems& problems) {
    const toml::node* node = root.get(name);
    if (node == nullptr) {
        return;
    }
    const toml::table* table = node->as_table();
    if (table == nullptr) {
        problems.Add(node->source(), name, "must be a section ([" + std::string(name) + "])");
        return;
    }
    for (const auto& [tomlKey, value] : *table) {
        const std::string_view keyName = tomlKey.str();
        const std::string fullName = fmt::format("{}.{}", name, keyName);
        const auto key = std::find_if(keys.begin(), keys.end(), [keyName](const Key<Section>& k) {
            return k.name == keyName;
        });
        if (key == keys.end()) {
            problems.Add(value.source(), fullName, "unknown key, ignored");
            continue;
        }
        if (const auto* member = std::get_if<int Section::*>(&key->member)) {
            const toml::value<std::int64_t>* number = value.as_integer();
            if (number == nullptr || number->get() < key->min || number->get() > key->max) {
                problems.Add(value.source(), fullName,
                             fmt::format("must be a whole number from {} to {}; the default {} "
                                         "is kept",
                                         key->min, key->max, section.*(*member)));
            } else {
                section.*(*member) = static_cast<int>(number->get());
            }
        } else {
            const auto flag = std::get<bool Section::*>(key->member);
            const toml::value<bool>* boolean = value.as_boolean();
            if (boolean == nullptr) {
                problems.Add(
                    value.source(), fullName,
                    fmt::format("must be true or false; the default {} is kept", section.*flag));
            } else {
                section.*flag = boolean->get();
            }
        }
    }
}

}  // namespace

StationConfigRead ParseStationConfig(std::string_view text, const std::string& fileName) {
    StationConfigRead read;
    ConfigProblems problems(fileName, read.problems);
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        problems.Add(error.source(), "syntax",
                     std::string(error.description()) + "; every setting keeps its default");
        // A call list it meant to set up is lost with the rest.
        if (text.find("notify.contact") != std::string_view::npos) {
            read.config.notify.unusable = "the file cannot be read as TOML";
        }
        return read;
    }
    for (const auto& [key, value] : root) {
        if (std::find(kSections.begin(), kSections.end(), key.str()) == kSections.end()) {
            problems.Add(value.source(), key.str(), "unknown section, ignored");
        }
    }
    ReadSection(root, "service", read.config.service, kServiceKeys, problems);
    ReadSection(root, "acquisition", read.config.acquisition, kAcquisitionKeys, problems);
    read.config.notify = ReadNotifySection(root.get("notify"), fileName, read.problems);
    ReadMqttSection(root, fileName, read.config.mqtt, read.problems);
    ReadWebSection(root, fileName, read.config.web, read.problems);
    if (!read.config.notify.publicUrl.empty() && !read.config.web.enabled) {
        // A link to a dashboard that is not served would lead nowhere.
        problems.Add(*root.at_path("notify.public_url").node(), "notify.public_url",
                     "the dashboard is off ([web] enabled = false): notices carry no link to it");
        read.config.notify.publicUrl.clear();
    }
    return read;
}

StationConfigRead ReadStationConfig(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return {};
    }
    std::string text;
    bool readable = std::filesystem::is_regular_file(file, error);
    if (readable) {
        // libstdc++ reports some read errors by throwing from the buffer.
        try {
            std::ifstream in(file, std::ios::binary);
            text.assign(std::istreambuf_iterator<char>(in), {});
            readable = in.good() || in.eof();
        } catch (const std::exception&) {
            readable = false;
        }
    }
    if (!readable) {
        StationConfigRead read;
        read.problems.push_back(file.string() +
                                ": cannot be read; every setting keeps its default");
        return read;
    }
    return ParseStationConfig(text, file.string());
}

}  // namespace qrv
