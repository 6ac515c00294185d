#include "storage/result_generator.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "runtime/calendar.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"

namespace qrv {

namespace {

struct Climate {
    double base;
    double dailySwing;
    double noise;
};

// What a probe of each kind measures over a day.
Climate ClimateOf(const GeneratedProbe& probe, int index) {
    if (probe.sensorType == kTypeHumidity) {
        return {55.0 + (index % 7), 10.0, 1.5};
    }
    switch (index % 3) {
        case 0:
            return {-20.0 + (index % 5) * 0.5, 1.5, 0.3};  // freezer
        case 1:
            return {4.0 + (index % 4) * 0.5, 1.0, 0.2};  // fridge
        default:
            return {20.0 + (index % 6) * 0.5, 3.0, 0.4};  // room
    }
}

std::string NameOf(int index, int sensorType) {
    if (sensorType == kTypeHumidity) {
        return fmt::format("Humidity {}", index + 1);
    }
    if (sensorType == kTypeSwitch) {
        return fmt::format("Door {}", index + 1);
    }
    switch (index % 3) {
        case 0:
            return fmt::format("Freezer {} \u00B0C", index + 1);
        case 1:
            return fmt::format("Fridge {}", index + 1);
        default:
            return fmt::format("Room {}", index + 1);
    }
}

}  // namespace

std::vector<GeneratedProbe> MakeGeneratedProbes(int count) {
    std::vector<GeneratedProbe> probes;
    for (int i = 0; i < std::clamp(count, 0, kMaxSensors); ++i) {
        GeneratedProbe probe;
        int family = 0x28;
        probe.sensorType = kTypeTemperature;
        if (i % 10 == 9) {
            family = 0x26;
            probe.sensorType = kTypeHumidity;
        } else if (i % 25 == 12) {
            family = 0x12;
            probe.sensorType = kTypeSwitch;
        }
        probe.rom = {static_cast<std::int16_t>(family),
                     static_cast<std::int16_t>(0x10 + i),
                     static_cast<std::int16_t>(0xA0 ^ i),
                     0x3C,
                     0x01,
                     0x00,
                     0x00,
                     0x5A};
        probe.name = NameOf(i, probe.sensorType);
        probes.push_back(std::move(probe));
    }
    return probes;
}

Generation GenerateResultFiles(const std::filesystem::path& dataDirectory,
                               const GeneratorOptions& options) {
    Generation generation;
    const auto stop = [&generation](GenerationStatus status, std::string problem) {
        generation.status = status;
        generation.problem = std::move(problem);
        return generation;
    };
    if (options.probes < 1 || options.probes > kMaxSensors || options.intervalMinutes < 1 ||
        options.intervalMinutes > 60 || options.days < 1) {
        return stop(GenerationStatus::kBadOptions,
                    "probes must be 1..100, interval 1..60 minutes and days at least 1");
    }
    if (options.day < 1 || options.day > DaysInMonth(options.year, options.month)) {
        return stop(GenerationStatus::kBadOptions,
                    fmt::format("{:04d}-{:02d}-{:02d} is not a date", options.year, options.month,
                                options.day));
    }
    if (!MakeDirectories(dataDirectory)) {
        return stop(GenerationStatus::kCannotCreateDirectory,
                    "cannot create " + dataDirectory.string());
    }
    const std::vector<GeneratedProbe> probes = MakeGeneratedProbes(options.probes);
    std::vector<ProbeLineData> lines(probes.size());
    std::vector<Climate> climates;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        lines[i].key = MakeProbeKey(probes[i].rom, probes[i].sensorType);
        lines[i].nameCp1252 = Utf8ToCp1252(probes[i].name);
        climates.push_back(ClimateOf(probes[i], static_cast<int>(i)));
    }
    std::mt19937 random(options.seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_int_distribution<int> rare(0, 4999);
    const std::chrono::sys_days first = CivilDay(options.year, options.month, options.day);
    std::string bytes;
    for (int d = 0; d < options.days; ++d) {
        const LocalDateTime date = MidnightOf(first + std::chrono::days{d});
        const std::filesystem::path path =
            ResultFilePath(dataDirectory, date.year, date.month, date.day);
        if (FileExists(path)) {
            return stop(GenerationStatus::kFileExists, path.string() + " exists already");
        }
        bytes = FormatResultHeader(
            fmt::format("{:04d}-{:02d}-{:02d}", date.year, date.month, date.day));
        for (int minute = 0; minute < 24 * 60; minute += options.intervalMinutes) {
            const double phase = 2.0 * std::numbers::pi * (minute - 15 * 60) / (24.0 * 60.0);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const Climate& c = climates[i];
                double value = 0.0;
                if (probes[i].sensorType == kTypeSwitch) {
                    // Doors stand open for a while around the working hours.
                    value = (minute / 37 + static_cast<int>(i)) % 11 == 0 ? 1.0 : 0.0;
                } else {
                    value = c.base + c.dailySwing * std::cos(phase) + c.noise * noise(random);
                }
                // Now and then a reading fails, as on a real network.
                lines[i].value = rare(random) == 0 ? -994.0 : std::round(value * 10.0) / 10.0;
            }
            AppendSampleBlock(bytes, minute / 60, minute % 60, lines);
        }
        if (WriteFileAtomically(path, bytes) != kFileOk) {
            return stop(GenerationStatus::kCannotWrite, "cannot write " + path.string());
        }
        ++generation.filesWritten;
    }
    return generation;
}

}  // namespace qrv
