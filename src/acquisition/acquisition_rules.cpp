#include "acquisition/acquisition_rules.h"

#include "runtime/calendar.h"

namespace qrv::acquisition {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

bool IsRead(const SensorRecord& record) {
    return record.Status == kStatusActive || record.Status == kStatusInhibit;
}

bool IsSamplingMinute(std::int64_t minute, int sampleMinutes) {
    return (minute % kMinutesPerDay) % sampleMinutes == 0;
}

}  // namespace

int SetAcquireEersteSensor(const SensorTable& table) {
    const int last = table.GetMax1820Index();
    for (int i = 0; i <= last; ++i) {
        if (IsRead(table.SensorArray[static_cast<std::size_t>(i)])) {
            return i;
        }
    }
    return -1;
}

int NextAcquireSensor(const SensorTable& table, int current) {
    const int last = table.GetMax1820Index();
    if (last < 0) {
        return -1;
    }
    const int count = last + 1;
    for (int step = 1; step < count; ++step) {
        const int candidate = ((current + step) % count + count) % count;
        if (IsRead(table.SensorArray[static_cast<std::size_t>(candidate)])) {
            return candidate;
        }
    }
    return current;
}

double SmoothHumidity(double previous, double reading) {
    if (reading > 0.0 && reading > previous - 1.0 && reading < previous + 1.0) {
        return (2.0 * previous + reading) / 3.0;
    }
    return reading;
}

void SamplingTrigger::Restart(const LocalDateTime& now) {
    lastChecked_ = AbsoluteMinute(now) - 1;
}

bool SamplingTrigger::Due(const LocalDateTime& now, int sampleMinutes, int lastSampleTime) {
    const std::int64_t minute = AbsoluteMinute(now);
    if (!lastChecked_ || minute < *lastChecked_) {
        // First check, or the clock went back: only now's minute counts.
        lastChecked_ = minute - 1;
    }
    if (minute == *lastChecked_) {
        return false;
    }
    sampleMinutes = sampleMinutes > 0 ? sampleMinutes : 1;
    bool due = minute - *lastChecked_ > kMinutesPerDay;
    for (std::int64_t missed = *lastChecked_ + 1; !due && missed < minute; ++missed) {
        due = IsSamplingMinute(missed, sampleMinutes);
    }
    if (IsSamplingMinute(minute, sampleMinutes) && minute % kMinutesPerDay != lastSampleTime) {
        due = true;
    }
    lastChecked_ = minute;
    return due;
}

}  // namespace qrv::acquisition
