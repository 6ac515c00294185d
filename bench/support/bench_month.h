#pragma once

// The month the report benchmarks read: January 2026, 100 probes stored every
// minute (31 files, 4.46 million values), and a probe file whose alarm limits
// the values cross now and then, so that the minutes out of range and the
// limit lines are worked out as on a station.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/clock.h"
#include "sensors/sensor_file.h"
#include "sensors/sensor_table.h"
#include "settings/station_paths.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"

namespace qrv::bench {

inline constexpr int kBenchYear = 2026;
inline constexpr int kBenchMonth = 1;

inline std::filesystem::path BenchDataDirectory(const std::filesystem::path& station) {
    return StationPaths{station}.DataDirectory(kModeNormal);
}

// Limits a little inside what the generator's probes measure.
inline std::pair<int, int> BenchLimits(int index, int sensorType) {
    if (sensorType == kTypeHumidity) {
        return {45, 70};
    }
    switch (index % 3) {
        case 0:
            return {-22, -19};  // freezer
        case 1:
            return {3, 5};  // fridge
        default:
            return {18, 23};  // room
    }
}

// Generates the month and the probe file where they are missing; false (and
// the reason on standard error) when they cannot be written.
inline bool EnsureBenchMonth(const std::filesystem::path& station) {
    const std::filesystem::path data = BenchDataDirectory(station);
    if (!std::filesystem::exists(ResultFilePath(data, kBenchYear, kBenchMonth, 31))) {
        std::printf("generating 31 days of 100 probes every minute in %s\n", data.c_str());
        const GeneratorOptions options{kBenchYear, kBenchMonth, 1, 31, 100, 1, 7};
        if (const Generation generation = GenerateResultFiles(data, options);
            !generation.Written()) {
            std::fprintf(stderr, "%s\n", generation.problem.c_str());
            return false;
        }
    }
    const std::filesystem::path sns = StationPaths{station}.SnsFileName(kModeNormal);
    if (std::filesystem::exists(sns)) {
        return true;
    }
    SensorTable table;
    const std::vector<GeneratedProbe> probes = MakeGeneratedProbes(100);
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const int index = table.Append1820ToDataStruct(probes[i].rom, 1 + static_cast<int>(i) % 3);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        table.DefineSensorTypeAndUnits(index);
        record.Name = probes[i].name;
        const auto [low, high] = BenchLimits(static_cast<int>(i), probes[i].sensorType);
        record.AlarmLow = low;
        record.AlarmHigh = high;
    }
    const VirtualClock clock;
    const std::string bytes = FormatSensorFile(table, clock);
    std::ofstream out(sns, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", sns.c_str());
        return false;
    }
    return true;
}

}  // namespace qrv::bench
