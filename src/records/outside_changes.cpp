#include "records/outside_changes.h"

#include <pwd.h>
#include <sys/stat.h>

#include <fmt/format.h>

#include <array>
#include <ctime>

#include "records/calibration_text.h"

namespace qrv::records {

namespace {

SensorRecord ProbeOf(const SensorTable& table, const RomCode& rom) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (record.Rom == rom) {
            return record;
        }
    }
    SensorRecord unknown;
    unknown.Rom = rom;
    unknown.Name = "(not in the sensor file)";
    return unknown;
}

std::string Subject(const SensorTable& table, const RomCode& rom) {
    return CalibrationSubject(ProbeOf(table, rom));
}

std::optional<TimeAlarm> Copy(const TimeAlarm* alarm) {
    return alarm ? std::optional<TimeAlarm>(*alarm) : std::nullopt;
}

std::string Summary(const Calibration* calibration) {
    return calibration ? CalibrationSummary(*calibration) : std::string();
}

}  // namespace

std::vector<SettingChange> CalibrationChanges(const CalibrationBook& before,
                                              const CalibrationBook& after,
                                              const SensorTable& table) {
    std::vector<SettingChange> changes;
    const auto compare = [&](const RomCode& rom) {
        const std::string old = Summary(before.Find(rom));
        const std::string now = Summary(after.Find(rom));
        if (old != now) {
            changes.push_back({Subject(table, rom), old, now});
        }
    };
    for (const Calibration& c : before.entries) {
        compare(c.rom);
    }
    for (const Calibration& c : after.entries) {
        if (before.Find(c.rom) == nullptr) {
            compare(c.rom);
        }
    }
    return changes;
}

std::vector<SettingChange> TimeAlarmBookChanges(const TimeAlarmBook& before,
                                                const TimeAlarmBook& after,
                                                const SensorTable& table) {
    std::vector<SettingChange> changes;
    const auto compare = [&](const RomCode& rom) {
        for (SettingChange& change :
             TimeAlarmChanges(ProbeOf(table, rom), Copy(before.Find(rom)), Copy(after.Find(rom)))) {
            changes.push_back(std::move(change));
        }
    };
    for (const TimeAlarm& alarm : before.entries) {
        compare(alarm.rom);
    }
    for (const TimeAlarm& alarm : after.entries) {
        if (before.Find(alarm.rom) == nullptr) {
            compare(alarm.rom);
        }
    }
    return changes;
}

std::string FileOrigin(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return file.filename().string() + ", removed";
    }
    std::string owner = fmt::format("uid {}", st.st_uid);
    std::array<char, 1024> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name) {
        owner = found->pw_name;
    }
    std::tm local{};
    ::localtime_r(&st.st_mtime, &local);
    return fmt::format("{}, owner {}, modified {:04}-{:02}-{:02} {:02}:{:02}:{:02}",
                       file.filename().string(), owner, local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

bool AlreadyRecorded(const std::vector<ParsedAuditLine>& trail, const SettingChange& change) {
    for (auto line = trail.rbegin(); line != trail.rend(); ++line) {
        if (line->entry.what == change.what) {
            return line->entry.oldValue == change.oldValue &&
                   line->entry.newValue == change.newValue;
        }
    }
    return false;
}

}  // namespace qrv::records
