#include "web/day_data.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <map>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "web/json_text.h"
#include "web/web_app.h"

#include "runtime/text_file.h"
#include "sensors/rom_text.h"
#include "storage/history_sensor.h"
#include "storage/read_progress.h"
#include "storage/result_file_format.h"
#include "storage/today_reader.h"
#include "text/texts.h"

namespace qrv::web {

namespace {

// Whether the query names the parameter, whatever its value.
bool HasParameter(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view item = query.substr(0, end);
        if (item.substr(0, item.find('=')) == name) {
            return true;
        }
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    }
    return false;
}

using nlohmann::json;

// Day files are a few hundred kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxDayFileBytes = 32 * 1024 * 1024;

std::optional<std::string> ReadSmallFile(const std::filesystem::path& file) {
    FileBytes read = ReadFileBytes(file, kMaxDayFileBytes);
    if (read.result != kFileOk) {
        return std::nullopt;
    }
    return std::move(read.bytes);
}

bool Number(std::string_view text, int& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

json Window(const AlarmWindow& window, int weekday) {
    const auto clock = [](int quarters) {
        return fmt::format("{:02}:{:02}", quarters / 4, (quarters % 4) * 15);
    };
    return {{"day", std::string(text::GroupText(text::Group::Weekdays, weekday, 0))},
            {"start", clock(window.Start)},
            {"stop", clock(window.Stop)}};
}

json Points(const int* minutes, const double* values, int count) {
    json points = json::array();
    for (int i = 0; i < count; ++i) {
        if (values[i] > kHistoryThreshold) {
            points.push_back(json::array({minutes[i], values[i]}));
        }
    }
    return points;
}

// What a day's graph of the probe draws: the limits of a measured
// temperature or humidity probe; none for a switch or a probe that is off.
json GraphLimits(const SensorRecord& record) {
    if ((record.SensorType != kTypeTemperature && record.SensorType != kTypeHumidity) ||
        record.Status == kStatusOff) {
        return nullptr;
    }
    return {{"alarmLow", record.AlarmLow},
            {"alarmHigh", record.AlarmHigh},
            {"preLow", record.TripLow},
            {"preHigh", record.TripHigh}};
}

// The station's probes by the key their lines carry in the result files.
std::map<std::string, SensorRecord> ProbesByKey(StationSource& station, const LiveSnapshot& live) {
    std::map<std::string, SensorRecord> probes;
    for (const LiveRow& row : live.probes) {
        const std::optional<RomCode> rom = ParseRomText(row.rom);
        if (const std::optional<SensorRecord> record = rom ? station.Probe(*rom) : std::nullopt) {
            probes.emplace(KeyText(MakeProbeKey(record->Rom, record->SensorType)), *record);
        }
    }
    return probes;
}

}  // namespace

bool ParseDate(std::string_view text, int& year, int& month, int& day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    if (!Number(text.substr(0, 4), year) || !Number(text.substr(5, 2), month) ||
        !Number(text.substr(8, 2), day)) {
        return false;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    return year >= 1999 && year <= 2999 && date.ok();
}

HttpResponse ProbeRoute(std::string_view rest, StationSource& station, const LiveSnapshot& live,
                        int taal) {
    const std::size_t slash = rest.find('/');
    const std::string_view romText = rest.substr(0, slash);
    const std::string_view what =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    const std::optional<RomCode> rom = ParseRomText(romText);
    if (!rom || (slash != std::string_view::npos && what != "today")) {
        return ErrorResponse(400, "a probe is named by its 16 hex digits");
    }
    const std::optional<SensorRecord> record = station.Probe(*rom);
    if (!record) {
        return ErrorResponse(404, "there is no such probe");
    }
    if (what == "today") {
        const LocalDateTime now = station.Now();
        const std::filesystem::path file =
            ResultFilePath(station.DataDirectory(), now.year, now.month, now.day);
        auto view = std::make_unique<TodayView>();
        json points = json::array();
        if (const std::optional<std::string> bytes = ReadSmallFile(file)) {
            if (CollectTodayValues(*bytes, *record, *view) == 0) {
                points = Points(view->ViewTime.data(), view->ViewTemp.data(),
                                view->ViewArrayMaxIndex + 1);
            }
        }
        return JsonResponse(
            200, JsonText({{"date", fmt::format("{:04}-{:02}-{:02}", now.year, now.month, now.day)},
                           {"points", points}}));
    }
    json row = nullptr;
    for (const LiveRow& live_row : live.probes) {
        if (ParseRomText(live_row.rom) == rom) {
            row = json::parse(RowJson(live_row));
        }
    }
    json windows = json::array();
    for (int weekday = 0; weekday < 7; ++weekday) {
        windows.push_back(Window(record->AlarmTimes[static_cast<std::size_t>(weekday)], weekday));
    }
    const json settings{{"line", record->Line},
                        {"alarmLow", record->AlarmLow},
                        {"alarmHigh", record->AlarmHigh},
                        {"preLow", record->TripLow},
                        {"preHigh", record->TripHigh},
                        {"alarmDelay", record->AlarmDelay},
                        {"preDelay", record->TripDelay},
                        {"sms", record->SmsEnable != 0},
                        {"relay", record->RelayEnable != 0},
                        {"windows", windows}};
    const ProbeViewTexts shown = station.ProbeView(*record, taal);
    const json view{
        {"state", shown.state}, {"value", shown.value}, {"color", ColourText(shown.colour)}};
    return JsonResponse(200, JsonText({{"row", row}, {"view", view}, {"settings", settings}}));
}

HttpResponse DayRoute(const std::string& path, const std::string& query, StationSource& station,
                      const LiveSnapshot& live) {
    const std::filesystem::path dataDirectory = station.DataDirectory();
    if (path == "/api/days") {
        std::vector<std::string> days;
        std::error_code error;
        for (std::filesystem::directory_iterator it(dataDirectory, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            int year = 0;
            int month = 0;
            int day = 0;
            if (name.size() == 14 && name.ends_with(kResultFileExtension) &&
                ParseDate(std::string_view(name).substr(0, 10), year, month, day)) {
                days.push_back(name.substr(0, 10));
            }
        }
        std::sort(days.begin(), days.end());
        return JsonResponse(200, JsonText({{"days", days}}));
    }
    const std::string_view dateText =
        std::string_view(path).substr(std::string_view("/api/days/").size());
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ParseDate(dateText, year, month, day)) {
        return ErrorResponse(400, "a day is YYYY-MM-DD");
    }
    std::optional<std::string> onlyKey;
    if (HasParameter(query, "rom")) {
        // The whole value, 16 hex digits and nothing more.
        const std::optional<std::string> romText = QueryValue(query, "rom");
        const std::optional<RomCode> rom = romText ? ParseRomText(*romText) : std::nullopt;
        const std::optional<SensorRecord> record = rom ? station.Probe(*rom) : std::nullopt;
        if (!record) {
            return ErrorResponse(400, "rom must name a probe of the station");
        }
        onlyKey = std::string(KeyText(MakeProbeKey(record->Rom, record->SensorType)));
    }
    const std::filesystem::path file = ResultFilePath(dataDirectory, year, month, day);
    const std::optional<std::string> bytes = ReadSmallFile(file);
    if (!bytes) {
        return ErrorResponse(404, "no values are stored for that day");
    }
    auto data = std::make_unique<HistoryData>();
    ClearHistoSensorStructure(*data);
    data->HistoryFileName = file;
    SilentProgress progress;
    ReadHistoryFromBytes(*bytes, *data, 0, progress);
    const std::map<std::string, SensorRecord> stationProbes = ProbesByKey(station, live);
    json probes = json::array();
    for (int i = 0; i <= data->HistoryMaxIndex; ++i) {
        const HistoEntry& entry = data->HistoSensor[static_cast<std::size_t>(i)];
        const std::string key(KeyText(entry.ProbeKey));
        if (onlyKey && key != *onlyKey) {
            continue;
        }
        // The files keep no limits: the day is drawn against the probe's
        // present ones, as the window's history view does.
        const auto known = stationProbes.find(key);
        const bool isKnown = known != stationProbes.end();
        probes.push_back({{"key", key},
                          {"rom", isKnown ? json(RomToHex(known->second.Rom)) : json(nullptr)},
                          {"limits", isKnown ? GraphLimits(known->second) : json(nullptr)},
                          {"name", entry.ProbeName.utf8},
                          {"type", TypeName(entry.ProbeType)},
                          {"units", std::string(entry.ProbeUnits)},
                          {"min", entry.MinValue},
                          {"max", entry.MaxValue},
                          {"points", Points(entry.SampleTime.data(), entry.SampleValue.data(),
                                            entry.LastIndex + 1)}});
    }
    return JsonResponse(200, JsonText({{"date", std::string(dateText)}, {"probes", probes}}));
}

}  // namespace qrv::web
