#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sensors/sensor_record.h"
#include "storage/result_file_format.h"

namespace qrv {

// Realistic result files for tests, demonstrations and benchmarks, written
// with the station's own block formatting so they are byte-identical with
// what a station records.
struct GeneratorOptions {
    int year = 2026;
    int month = 1;
    int day = 1;
    int days = 1;
    int probes = 10;          // 1..100
    int intervalMinutes = 5;  // 1..60
    unsigned seed = 1;
};

struct GeneratedProbe {
    RomCode rom{};
    int sensorType = kTypeTemperature;
    std::string name;  // UTF-8
};

// The probe network the generator records: mostly temperature probes
// (freezers, fridges, rooms), with humidity probes and door contacts between
// them.
std::vector<GeneratedProbe> MakeGeneratedProbes(int count);

enum class GenerationStatus : std::uint8_t {
    kWritten,
    // Probes, interval, days or the first date out of range: nothing written.
    kBadOptions,
    kCannotCreateDirectory,
    // A day's file exists already; it is never overwritten.
    kFileExists,
    kCannotWrite,
};

// What a generation did. The files of the days before a failure stay.
struct Generation {
    GenerationStatus status = GenerationStatus::kWritten;
    int filesWritten = 0;
    // What was wrong, naming the option, directory or file, for the user.
    std::string problem;

    bool Written() const { return status == GenerationStatus::kWritten; }
};

// Writes one file per day into dataDirectory, creating it.
Generation GenerateResultFiles(const std::filesystem::path& dataDirectory,
                               const GeneratorOptions& options);

}  // namespace qrv
