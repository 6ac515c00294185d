// Writes the seed corpora of the fuzzing harnesses with the station's own
// writers: usage fuzz_seed_writer DIR (one folder per harness below DIR).
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"

namespace {

namespace fs = std::filesystem;

void WriteSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::vector<std::string> SettingsSeeds(const qrv::Clock& clock) {
    qrv::SystemSettings defaults;
    qrv::SystemSettings chosen;
    chosen.SerialPort = 3;
    chosen.Taal = 3;
    chosen.KeuzeSampleTime = 15;
    chosen.KeuzeGraphStyle = 0;
    chosen.SmSDestination = "+31 6 1234 5678";
    chosen.SmSProgramSource = R"(C:\Program Files\SMS Centre\SMS Centre.exe)";
    chosen.GeneralAlarmEnable = 0;
    return {qrv::FormatIniFile(defaults, clock), qrv::FormatIniFile(chosen, clock)};
}

std::vector<std::string> SensorSeeds(const qrv::Clock& clock) {
    std::vector<std::string> seeds;
    for (const int count : {0, 3, 12}) {
        qrv::SensorTable table;
        table.NetworkName = "Koelhuis Zuid";
        for (const qrv::GeneratedProbe& probe : qrv::MakeGeneratedProbes(count)) {
            const int index = table.Append1820ToDataStruct(probe.rom, 1 + count % 3);
            table.DefineSensorTypeAndUnits(index);
            qrv::SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
            record.Name = probe.name;
            record.AlarmLow = -25;
            record.AlarmHigh = -15;
            record.AlarmDelay = 300;
            record.AlarmTimes[2] = {32, 72};
        }
        seeds.push_back(qrv::FormatSensorFile(table, clock));
    }
    return seeds;
}

// Days as the store writes them: a whole generated day, a short one, one cut
// short by a crash and one with LF line ends only.
std::vector<std::string> DaySeeds(const fs::path& scratch) {
    qrv::GeneratorOptions options;
    options.year = 2026;
    options.month = 3;
    options.day = 14;
    options.probes = 3;
    options.intervalMinutes = 60;
    fs::remove_all(scratch);
    if (const qrv::Generation generation = qrv::GenerateResultFiles(scratch, options);
        !generation.Written()) {
        std::fprintf(stderr, "cannot generate a day: %s\n", generation.problem.c_str());
        return {};
    }
    const std::string day = qrv::ReadFileBytes(qrv::ResultFilePath(scratch, 2026, 3, 14)).bytes;
    const std::string shortDay = day.substr(0, day.find("03:00"));
    std::string lfOnly = shortDay;
    std::erase(lfOnly, '\r');
    return {day, shortDay, shortDay.substr(0, shortDay.size() - 17), lfOnly};
}

// An alarm file as the station appends it, with the lines of an alarm, its
// acknowledgement and its end.
std::string AlarmFileSeed(const fs::path& scratch, const qrv::Clock& clock) {
    fs::create_directories(scratch);
    const fs::path file = scratch / "QRVAlarm.txt";
    for (const char* message : {"High Alarm:  Fridge     8.5\xB0"
                                "C",
                                "Acknowledged by anna: door closed",
                                "Alarm ended:  Fridge     7.9\xB0"
                                "C"}) {
        qrv::AppendLogEntry(file, "===============  Quorvanel ALARM file: ==================",
                            clock.Now(), message);
    }
    qrv::SetReadOnly(file, false);
    return qrv::ReadFileBytes(file).bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_writer DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    fs::remove_all(root);
    const qrv::VirtualClock clock({2026, 3, 14, 8, 30, 0, 0});
    const std::vector<std::string> settings = SettingsSeeds(clock);
    WriteSeed(root / "settings_file", "defaults", settings[0]);
    WriteSeed(root / "settings_file", "chosen", settings[1]);
    const std::vector<std::string> sensors = SensorSeeds(clock);
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        WriteSeed(root / "sensor_file", "table" + std::to_string(i), sensors[i]);
    }
    WriteSeed(root / "alarm_file", "station", AlarmFileSeed(root / "scratch", clock));
    fs::remove_all(root / "scratch");
    const std::vector<std::string> days = DaySeeds(root / "scratch");
    fs::remove_all(root / "scratch");
    if (days.empty()) {
        return 1;
    }
    const std::array<const char*, 4> dayNames{"whole", "short", "torn", "lf-only"};
    for (std::size_t i = 0; i < days.size(); ++i) {
        WriteSeed(root / "day_file", dayNames[i], days[i]);
        // The first byte is the line reader's limit: 28 + 1 characters.
        WriteSeed(root / "text_lines", dayNames[i], "\x1C" + days[i]);
    }
    // A week in quarter hours and a month in hours, files apart at form feeds.
    WriteSeed(root / "period_files", "week",
              std::string(1, '\x00') + days[1] + "\f" + days[2] + "\f" + days[3]);
    WriteSeed(root / "period_files", "month", std::string(1, '\x01') + days[0] + "\f\f" + days[1]);
    return 0;
}
