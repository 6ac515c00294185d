// quorvanel.toml: values, defaults, and problems that name file, line and key.
#include <gtest/gtest.h>

#include <fstream>

#include "config/station_config.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

constexpr ServiceConfig kDefaults;

TEST(StationConfig, AMissingOrEmptyFileMeansAllDefaultsWithoutAProblem) {
    testing::TempDir dir;
    StationConfigRead read = ReadStationConfig(dir / "quorvanel.toml");
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(read.config.service.unitRetrySeconds, kDefaults.unitRetrySeconds);
    EXPECT_EQ(read.config.service.logToStandardError, kDefaults.logToStandardError);

    std::ofstream(dir / "quorvanel.toml") << "";
    read = ReadStationConfig(dir / "quorvanel.toml");
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(read.config.service.unitRetrySeconds, 60);

    std::filesystem::create_directory(dir / "dir.toml");
    read = ReadStationConfig(dir / "dir.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_NE(read.problems[0].find("cannot be read"), std::string::npos) << read.problems[0];
}

TEST(StationConfig, ReadsTheServiceSection) {
    testing::TempDir dir;
    std::ofstream(dir / "quorvanel.toml") << "# station\n"
                                             "[service]\n"
                                             "unit_retry_seconds = 300\n"
                                             "log_to_stderr = false\n";
    const StationConfigRead read = ReadStationConfig(dir / "quorvanel.toml");
    EXPECT_TRUE(read.problems.empty()) << read.problems.front();
    EXPECT_EQ(read.config.service.unitRetrySeconds, 300);
    EXPECT_FALSE(read.config.service.logToStandardError);
}

TEST(StationConfig, ABadValueNamesFileLineAndKeyAndKeepsItsDefaultOnly) {
    const StationConfigRead read = ParseStationConfig(
        "[service]\n"
        "log_to_stderr = false\n"
        "unit_retry_seconds = 5\n",
        "/etc/q.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_EQ(read.problems[0],
              "/etc/q.toml:3: service.unit_retry_seconds: must be a whole number from 10 to 3600; "
              "the default 60 is kept");
    EXPECT_EQ(read.config.service.unitRetrySeconds, 60);
    EXPECT_FALSE(read.config.service.logToStandardError) << "the other key keeps its value";

    for (const char* text :
         {"[service]\nunit_retry_seconds = \"60\"\n", "[service]\nunit_retry_seconds = 60.5\n",
          "[service]\nunit_retry_seconds = 99999999999\n", "[service]\nlog_to_stderr = 1\n"}) {
        SCOPED_TRACE(text);
        const StationConfigRead wrong = ParseStationConfig(text, "q.toml");
        ASSERT_EQ(wrong.problems.size(), 1u);
        EXPECT_TRUE(wrong.problems[0].starts_with("q.toml:2: service.")) << wrong.problems[0];
        EXPECT_EQ(wrong.config.service.unitRetrySeconds, 60);
        EXPECT_TRUE(wrong.config.service.logToStandardError);
    }
}

TEST(StationConfig, UnknownKeysAndSectionsAreNamedAndIgnored) {
    const StationConfigRead read = ParseStationConfig(
        "colour = \"red\"\n"
        "[service]\n"
        "unit_retry_secs = 30\n"
        "unit_retry_seconds = 30\n"
        "[telemetry]\n"
        "host = \"broker\"\n",
        "q.toml");
    EXPECT_EQ(read.config.service.unitRetrySeconds, 30);
    ASSERT_EQ(read.problems.size(), 3u);
    const auto has = [&](const std::string& problem) {
        return std::find(read.problems.begin(), read.problems.end(), problem) !=
               read.problems.end();
    };
    EXPECT_TRUE(has("q.toml:1: colour: unknown section, ignored"));
    EXPECT_TRUE(has("q.toml:3: service.unit_retry_secs: unknown key, ignored"));
    EXPECT_TRUE(has("q.toml:5: telemetry: unknown section, ignored"));

    const StationConfigRead notATable = ParseStationConfig("service = 3\n", "q.toml");
    ASSERT_EQ(notATable.problems.size(), 1u);
    EXPECT_EQ(notATable.problems[0], "q.toml:1: service: must be a section ([service])");
}

TEST(StationConfig, ASyntaxErrorNamesItsLineAndKeepsEveryDefault) {
    const StationConfigRead read = ParseStationConfig(
        "[service]\n"
        "log_to_stderr = false\n"
        "unit_retry_seconds = = 30\n",
        "q.toml");
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_TRUE(read.problems[0].starts_with("q.toml:3: syntax: ")) << read.problems[0];
    EXPECT_TRUE(read.problems[0].ends_with("; every setting keeps its default"))
        << read.problems[0];
    EXPECT_TRUE(read.config.service.logToStandardError);
}

TEST(StationConfig, SimultaneousConversionIsOffUnlessSetAndABadValueIsRefused) {
    EXPECT_FALSE(ParseStationConfig("", "q.toml").config.acquisition.simultaneousConversion);
    const StationConfigRead on =
        ParseStationConfig("[acquisition]\nsimultaneous_conversion = true\n", "q.toml");
    EXPECT_TRUE(on.problems.empty()) << on.problems.front();
    EXPECT_TRUE(on.config.acquisition.simultaneousConversion);

    for (const char* value : {"\"yes\"", "1", "\"true\""}) {
        SCOPED_TRACE(value);
        const StationConfigRead bad = ParseStationConfig(
            std::string("[acquisition]\nsimultaneous_conversion = ") + value + "\n", "q.toml");
        ASSERT_EQ(bad.problems.size(), 1u);
        EXPECT_EQ(bad.problems[0],
                  "q.toml:2: acquisition.simultaneous_conversion: must be true or false; the "
                  "default false is kept");
        EXPECT_FALSE(bad.config.acquisition.simultaneousConversion);
    }
    const StationConfigRead typo =
        ParseStationConfig("[acquisition]\nsimultaneous = true\n", "q.toml");
    ASSERT_EQ(typo.problems.size(), 1u);
    EXPECT_NE(typo.problems[0].find("acquisition.simultaneous: unknown key"), std::string::npos)
        << typo.problems[0];
}

}  // namespace
}  // namespace qrv
