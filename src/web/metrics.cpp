#include "web/metrics.h"

#include <array>
#include <cmath>
#include <ctime>

#include <fmt/format.h>

#include "runtime/clock.h"

namespace qrv::web {

namespace {

// The alarm states as labels, in the station's order of codes.
constexpr std::array<std::string_view, 6> kAlarmStates{"none",     "high",    "low",
                                                       "pre_high", "pre_low", "lost"};

void Family(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out += fmt::format("# HELP {} {}\n# TYPE {} {}\n", name, help, name, type);
}

std::string Labels(const LiveRow& row) {
    return fmt::format("rom=\"{}\",probe=\"{}\"", row.rom, LabelValue(row.name));
}

// A probe not read since the station started holds no reading yet, only the
// table's initial zero: it must not show as 0 °C.
bool HasReading(const LiveRow& row) {
    return row.value.has_value() && row.lastRead.has_value();
}

std::string Number(double value) {
    if (!std::isfinite(value)) {
        return "NaN";
    }
    return fmt::format("{}", value);
}

double EpochSeconds(const LocalDateTime& time) {
    // The station's times are local; the metric wants the moment.
    return static_cast<double>(MomentOfLocal(time));
}

}  // namespace

std::string LabelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string MetricsText(const LiveSnapshot& live, const FeedActivity& activity,
                        const BusErrorCounts& busErrors, const NoticeTotals& notices) {
    std::string out;
    Family(out, "quorvanel_up", "gauge",
           "1 while the station runs and its interface unit answers.");
    out += fmt::format("quorvanel_up {}\n", live.station.networkLost ? 0 : 1);

    Family(out, "quorvanel_temperature_celsius", "gauge", "Last reading of a temperature probe.");
    for (const LiveRow& row : live.probes) {
        if (row.type == "temperature" && HasReading(row)) {
            out += fmt::format("quorvanel_temperature_celsius{{{}}} {}\n", Labels(row),
                               Number(*row.value));
        }
    }
    Family(out, "quorvanel_relative_humidity_ratio", "gauge",
           "Last reading of a humidity probe, 0 to 1.");
    for (const LiveRow& row : live.probes) {
        if (row.type == "humidity" && HasReading(row)) {
            out += fmt::format("quorvanel_relative_humidity_ratio{{{}}} {}\n", Labels(row),
                               Number(*row.value / 100.0));
        }
    }
    Family(out, "quorvanel_contact_open", "gauge", "1 while a switch contact is open.");
    for (const LiveRow& row : live.probes) {
        if (row.type == "switch" && HasReading(row)) {
            out += fmt::format("quorvanel_contact_open{{{}}} {}\n", Labels(row),
                               *row.value >= 0.5 ? 1 : 0);
        }
    }
    Family(out, "quorvanel_probe_up", "gauge",
           "1 while a probe gives readings; 0 when it is lost, off or not read yet.");
    for (const LiveRow& row : live.probes) {
        out += fmt::format("quorvanel_probe_up{{{}}} {}\n", Labels(row), HasReading(row) ? 1 : 0);
    }
    Family(out, "quorvanel_probe_last_read_timestamp_seconds", "gauge",
           "When the probe was last read well, in seconds since 1970.");
    for (const LiveRow& row : live.probes) {
        if (row.lastRead) {
            out += fmt::format("quorvanel_probe_last_read_timestamp_seconds{{{}}} {}\n",
                               Labels(row), Number(EpochSeconds(*row.lastRead)));
        }
    }
    Family(out, "quorvanel_alarm_state", "gauge", "1 for the alarm state a probe is in.");
    for (const LiveRow& row : live.probes) {
        for (std::size_t state = 0; state < kAlarmStates.size(); ++state) {
            out += fmt::format("quorvanel_alarm_state{{{},state=\"{}\"}} {}\n", Labels(row),
                               kAlarmStates[state],
                               static_cast<std::size_t>(row.alarm) == state ? 1 : 0);
        }
    }
    Family(out, "quorvanel_bus_errors_total", "counter",
           "Failures of the 1-Wire network since the station started, by kind.");
    // Every kind, also at zero: a rate() over a series that appears only at
    // the first failure misses that failure.
    for (std::size_t kind = 0; kind < kBusErrorKinds; ++kind) {
        out += fmt::format("quorvanel_bus_errors_total{{kind=\"{}\"}} {}\n",
                           BusErrorLabel(static_cast<BusErrorKind>(kind)), busErrors[kind]);
    }
    Family(out, "quorvanel_stores_total", "counter",
           "Blocks of readings appended to the day's result file since the station started.");
    out += fmt::format("quorvanel_stores_total {}\n", activity.stores);
    Family(out, "quorvanel_store_failures_total", "counter",
           "Stores that wrote nothing since the station started.");
    out += fmt::format("quorvanel_store_failures_total {}\n", activity.storeFailures);
    Family(out, "quorvanel_notifications_total", "counter",
           "Notices of the call list since the station started: delivered, attempts failed, "
           "notices given up.");
    // Every pair, also at zero, for the same reason as the bus errors.
    for (const NotifyChannel channel :
         {NotifyChannel::kSms, NotifyChannel::kEmail, NotifyChannel::kWebhook}) {
        for (const NoticeOutcome outcome :
             {NoticeOutcome::kDelivered, NoticeOutcome::kFailed, NoticeOutcome::kGivenUp}) {
            out += fmt::format("quorvanel_notifications_total{{channel=\"{}\",result=\"{}\"}} {}\n",
                               ChannelName(channel), NoticeOutcomeLabel(outcome),
                               notices.Count(channel, outcome));
        }
    }
    return out;
}

}  // namespace qrv::web
