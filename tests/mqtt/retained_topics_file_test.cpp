// The file of the retained topics a station has put on its broker: what is
// written is read back, and what is not such a file is named, kept aside
// and never taken for a list of topics.
#include "mqtt/retained_topics_file.h"

#include <gtest/gtest.h>

#include "runtime/text_file.h"
#include "support/temp_dir.h"

namespace qrv::mqtt {
namespace {

TEST(RetainedTopicsFile, WhatIsWrittenIsReadBackAndNoFileIsNoProblem) {
    testing::TempDir dir;
    const std::filesystem::path path = dir.path() / "mqtt-retained.json";
    const RetainedTopicsRead none = ReadRetainedTopics(path);
    EXPECT_TRUE(none.topics.empty());
    EXPECT_TRUE(none.problem.empty());

    const std::set<std::string> topics{"homeassistant/sensor/s1/28AA_temperature/config",
                                       "quorvanel/s1/probe/28AA/state", "quorvanel/s1/alarm"};
    ASSERT_TRUE(WriteRetainedTopics(path, topics));
    const RetainedTopicsRead read = ReadRetainedTopics(path);
    EXPECT_EQ(read.topics, topics);
    EXPECT_TRUE(read.problem.empty()) << read.problem;
}

TEST(RetainedTopicsFile, AnythingElseIsNamedAndKeptAside) {
    testing::TempDir dir;
    const std::filesystem::path path = dir.path() / "mqtt-retained.json";
    for (const char* bytes :
         {"not json", "[]", R"({"format": "other", "version": 1, "topics": []})",
          R"({"format": "quorvanel-mqtt-retained-topics", "version": 2, "topics": []})",
          R"({"format": "quorvanel-mqtt-retained-topics", "version": 1, "topics": "a/b"})",
          R"({"format": "quorvanel-mqtt-retained-topics", "version": 1, "topics": ["a/+"]})",
          R"({"format": "quorvanel-mqtt-retained-topics", "version": 1, "topics": [""]})"}) {
        ASSERT_EQ(WriteFileAtomically(path, bytes), kFileOk);
        const RetainedTopicsRead read = ReadRetainedTopics(path);
        EXPECT_TRUE(read.topics.empty()) << bytes;
        EXPECT_NE(read.problem.find(path.string()), std::string::npos) << read.problem;
        EXPECT_FALSE(FileExists(path)) << bytes;
        EXPECT_EQ(ReadFileBytes(path.string() + ".damaged").bytes, bytes);
    }
}

}  // namespace
}  // namespace qrv::mqtt
