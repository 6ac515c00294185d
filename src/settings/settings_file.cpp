#include "settings/settings_file.h"

#include <array>
#include <string>
#include <vector>

#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "runtime/formats.h"
#include "runtime/text_file.h"
#include "settings/file_header.h"
#include "text/texts.h"

namespace qrv {

namespace {

constexpr std::size_t kLineLimit = 82;
constexpr std::size_t kLongLineLimit = 390;
constexpr int kSpareLines = 100;

struct IntegerLine {
    std::string_view key;
    int SystemSettings::*field;
};

constexpr std::array<IntegerLine, 6> kIntegerLines{{
    {"ComPort=", &SystemSettings::SerialPort},
    {"Language=", &SystemSettings::Taal},
    {"TempDisplay=", &SystemSettings::DisplayKeuze},
    {"TempUnits=", &SystemSettings::KeuzeTempUnits},
    {"SampleRate=", &SystemSettings::KeuzeSampleTime},
    {"GraphStyle=", &SystemSettings::KeuzeGraphStyle},
}};

constexpr std::string_view kDestinationKey = "SmsDestination=";
constexpr std::string_view kProgramKey = "SmsProgramSource=";
constexpr std::string_view kAlarmEnableKey = "AlarmEnable=";

std::string_view After(std::string_view line, std::size_t count) {
    return count < line.size() ? line.substr(count) : std::string_view{};
}

void ScanInto(std::string_view text, int& field) {
    if (const auto value = notation::ScanInt(text)) {
        field = *value;
    }
}

// Binary junk taken as text would be kept by every later rewrite (and the
// program path is launched), so only plain Windows-1252 text counts.
bool IsWindows1252Text(std::string_view bytes) {
    constexpr std::string_view kUndefined = "\x81\x8D\x8F\x90\x9D";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kUndefined.find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Takes the text behind key into field; false when it is refused.
bool TakeText(std::string_view line, std::string_view key, std::size_t maxChars, std::string& field,
              EventLog* log) {
    const std::string_view value = After(line, key.size());
    if (!IsWindows1252Text(value)) {
        if (log != nullptr) {
            const std::string_view name = key.substr(0, key.size() - 1);  // without '='
            log->LogMessageToDisk(std::string("IniFile: ") + std::string(name) +
                                  " refused, its value is not text");
        }
        return false;
    }
    field = TextFromFile(value, maxChars);
    return true;
}

int ReadIniText(std::string_view bytes, SystemSettings& settings, EventLog* log) {
    LineReader reader(bytes);
    int mismatches = CountHeaderMismatches(reader, kIniVersionLine, kLineLimit);

    for (const IntegerLine& entry : kIntegerLines) {
        const auto line = reader.ReadLine(kLineLimit);
        if (!line || !line->starts_with(entry.key)) {
            ++mismatches;
            continue;
        }
        ScanInto(After(*line, entry.key.size()), settings.*entry.field);
    }

    // The keys of the last three lines are not checked; only their position counts.
    const auto destination = reader.ReadLine(kLineLimit);
    if (!destination || !TakeText(*destination, kDestinationKey, kMaxSmsDestinationLength,
                                  settings.SmSDestination, log)) {
        ++mismatches;
    }
    const auto program = reader.ReadLine(kLongLineLimit);
    if (!program ||
        !TakeText(*program, kProgramKey, kMaxSmsProgramLength, settings.SmSProgramSource, log)) {
        ++mismatches;
    }
    if (const auto line = reader.ReadLine(kLongLineLimit)) {
        ScanInto(After(*line, kAlarmEnableKey.size()), settings.GeneralAlarmEnable);
    } else {
        ++mismatches;
    }

    EnforceSettingRanges(settings);
    return -mismatches;
}

int ReadIni(const std::filesystem::path& iniFileName, SystemSettings& settings, EventLog* log) {
    const FileBytes file = ReadFileBytes(iniFileName);
    if (file.result != kFileOk) {
        return file.result;
    }
    return ReadIniText(file.bytes, settings, log);
}

}  // namespace

int ReadIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings) {
    return ReadIni(iniFileName, settings, nullptr);
}

int ReadIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings, EventLog& log) {
    return ReadIni(iniFileName, settings, &log);
}

int ReadIniBytes(std::string_view bytes, SystemSettings& settings) {
    return ReadIniText(bytes, settings, nullptr);
}

int WriteIniFile(const std::filesystem::path& iniFileName, SystemSettings& settings,
                 const Clock& clock, Dialogs& dialogs, EventLog& log) {
    // A file the station cannot read holds settings it does not know; the
    // ones in memory (the defaults, for a start) must not replace them.
    if (ReplaceStationFile(iniFileName, FormatIniFile(settings, clock), "IniFile", log) !=
        kFileOk) {
        dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, settings.Taal),
                             text::Raw(text::Key::TXT_ERROR_INI_FILE, settings.Taal));
        return kFileCannotOpenForWriting;
    }
    log.LogMessageToDisk("IniFile saved");
    return kFileOk;
}

std::string FormatIniFile(SystemSettings& settings, const Clock& clock) {
    EnforceSettingRanges(settings);
    const DateStrings now = MakeDateStrings(clock.Now());

    std::vector<std::string> lines;
    lines.reserve(13 + kSpareLines);
    lines.emplace_back(kHeaderEquals);
    lines.emplace_back(kIniVersionLine);
    lines.emplace_back(kNoticeLine);
    lines.push_back(std::string(kDateTimeStampKey) + now.FileDatumString + now.TijdString);
    for (const IntegerLine& entry : kIntegerLines) {
        lines.push_back(std::string(entry.key) + notation::Int(settings.*entry.field, 10, true));
    }
    lines.push_back(std::string(kDestinationKey) +
                    TextToFile(settings.SmSDestination, kMaxSmsDestinationLength));
    lines.push_back(std::string(kProgramKey) +
                    TextToFile(settings.SmSProgramSource, kMaxSmsProgramLength));
    lines.push_back(std::string(kAlarmEnableKey) +
                    notation::Int(settings.GeneralAlarmEnable, 10, true));
    lines.insert(lines.end(), kSpareLines, "---");
    return JoinCrLf(lines);
}

}  // namespace qrv
