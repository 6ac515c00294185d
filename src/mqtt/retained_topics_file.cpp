#include "mqtt/retained_topics_file.h"

#include <nlohmann/json.hpp>

#include "runtime/text_file.h"

namespace qrv::mqtt {

namespace {

constexpr std::string_view kFormat = "quorvanel-mqtt-retained-topics";
constexpr int kVersion = 1;
// Thousands of probes' topics fit many times over.
constexpr std::size_t kMaxBytes = std::size_t{4} * 1024 * 1024;

// A topic the station could have published: not empty, no wildcard, no NUL.
bool IsPublishableTopic(const std::string& topic) {
    return !topic.empty() && topic.size() <= 65535 &&
           topic.find_first_of(std::string("+#\0", 3)) == std::string::npos;
}

std::string Damaged(const std::filesystem::path& path, const std::string& why) {
    std::filesystem::path aside = path;
    aside += ".damaged";
    std::error_code error;
    std::filesystem::rename(path, aside, error);
    return "MQTT: " + path.string() + " " + why +
           (error ? "" : "; kept aside as " + aside.string()) +
           "; entities of probes removed while the station was stopped may stay in Home "
           "Assistant";
}

}  // namespace

RetainedTopicsRead ReadRetainedTopics(const std::filesystem::path& path) {
    const FileBytes file = ReadFileBytes(path, kMaxBytes);
    if (file.result == kFileDoesNotExist) {
        return {};
    }
    if (file.result != kFileOk) {
        return {{},
                "MQTT: " + path.string() + " cannot be read (" +
                    (file.reason.empty() ? "larger than it can be" : file.reason) +
                    "); entities of probes removed while the station was stopped may stay in "
                    "Home Assistant"};
    }
    const nlohmann::json json = nlohmann::json::parse(file.bytes, nullptr, false);
    if (!json.is_object() || json.value("format", "") != kFormat) {
        return {{}, Damaged(path, "is not a list of retained topics")};
    }
    if (json.value("version", 0) != kVersion) {
        return {{}, Damaged(path, "is of another version")};
    }
    const auto topics = json.find("topics");
    if (topics == json.end() || !topics->is_array()) {
        return {{}, Damaged(path, "has no list of topics")};
    }
    RetainedTopicsRead read;
    for (const nlohmann::json& topic : *topics) {
        if (!topic.is_string() || !IsPublishableTopic(topic.get<std::string>())) {
            return {{}, Damaged(path, "holds something that is not a topic")};
        }
        read.topics.insert(topic.get<std::string>());
    }
    return read;
}

bool WriteRetainedTopics(const std::filesystem::path& path, const std::set<std::string>& topics) {
    const nlohmann::json json = {{"format", kFormat}, {"version", kVersion}, {"topics", topics}};
    return WriteFileAtomically(
               path, json.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n") ==
           kFileOk;
}

}  // namespace qrv::mqtt
