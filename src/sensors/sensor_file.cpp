#include "sensors/sensor_file.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
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

constexpr std::string_view kNetworkNameKey = "Networkname=";
constexpr std::string_view kRecordSeparator = "===================================";
constexpr int kSpareKeyFirst = 5;
constexpr int kSpareKeyLast = 9;
constexpr int kSpareHeaderLines = 10;
constexpr int kSpareRecordLines = 10;

int IntOrZero(std::string_view line) {
    return notation::ScanInt(line).value_or(0);
}

// Reads one record block in the layout of the file at hand (the current one,
// or one of the two older ones that end after the placeholder line or after
// the alarm windows). Returns false when the file ends inside the record,
// including before the line that tells which layout it has.
class RecordReader {
  public:
    explicit RecordReader(LineReader& reader) : reader_(reader) {}

    bool Read(int expectedIndex, SensorRecord& record, bool& indexMismatch) {
        // Skips the spare lines of the previous block and the separator.
        std::optional<std::string_view> line;
        do {
            blockStart_ = reader_.Position();
            line = reader_.ReadLine(kSnsLineLimit);
        } while (line && line->starts_with("sp"));
        const auto index = Next();
        if (!line || !index) {
            return false;
        }
        if (notation::ScanInt(*index) != expectedIndex) {
            indexMismatch = true;
        }
        std::vector<std::string_view> fields;
        for (int i = 0; i < 21; ++i) {  // Line, 8 x Rom, name, value ... placeholder
            const auto field = Next();
            if (!field) {
                return false;
            }
            fields.push_back(*field);
        }
        int lineNumber = IntOrZero(fields[0]);
        if (lineNumber > 100) {
            lineNumber -= 100;
        }
        // A free slot in the middle would hide every later probe of the table,
        // and a line the unit does not have could never be selected: line 1.
        record.Line = lineNumber >= 1 && lineNumber <= 3 ? lineNumber : 1;
        for (int i = 0; i < kRomLength; ++i) {
            const int value = IntOrZero(fields[1 + i]);
            record.Rom[i] = static_cast<std::int16_t>(value >= 0 && value <= 255 ? value : 0);
        }
        record.Name = TextFromFile(fields[9], kMaxNameLength);
        record.NewValueCount = 0;
        record.AlarmLow = IntOrZero(fields[11]);
        record.AlarmHigh = IntOrZero(fields[12]);
        record.AlarmDelay = std::max(IntOrZero(fields[13]), kMinimumAlarmDelaySeconds);
        record.TripLow = IntOrZero(fields[14]);
        record.TripHigh = IntOrZero(fields[15]);
        record.TripDelay = std::max(IntOrZero(fields[16]), kMinimumAlarmDelaySeconds);
        record.Status = IntOrZero(fields[18]);
        record.FoundOnNetwork = IntOrZero(fields[19]);

        const auto afterPlaceholder = Next();
        if (!afterPlaceholder) {
            return false;
        }
        if (afterPlaceholder->starts_with("s")) {
            record.AlarmTimes.fill(AlarmWindow{});
            return true;
        }
        std::array<int, 14> windows{};
        windows[0] = IntOrZero(*afterPlaceholder);
        for (int i = 1; i < 14; ++i) {
            const auto value = Next();
            if (!value) {
                return false;
            }
            windows[i] = IntOrZero(*value);
        }
        for (int day = 0; day < 7; ++day) {
            record.AlarmTimes[day] = {windows[2 * static_cast<std::size_t>(day)],
                                      windows[2 * static_cast<std::size_t>(day) + 1]};
        }
        const auto sms = Next();
        if (!sms) {
            return false;
        }
        if (sms->starts_with("s")) {
            record.SmsEnable = 1;
            record.RelayEnable = 1;
            return true;
        }
        const auto relay = Next();
        if (!relay) {
            return false;
        }
        record.SmsEnable = IntOrZero(*sms);
        record.RelayEnable = IntOrZero(*relay);
        return true;
    }

    // Where the block read last begins: its separator line, or the end of
    // the file when it ended before one.
    std::size_t BlockStart() const { return blockStart_; }

  private:
    std::optional<std::string_view> Next() { return reader_.ReadLine(kSnsLineLimit); }

    LineReader& reader_;
    std::size_t blockStart_ = 0;
};

}  // namespace

int ReadSensorFile(const std::filesystem::path& snsFileName, SensorTable& table,
                   SensorFileCut* cut) {
    const FileBytes file = ReadFileBytes(snsFileName);
    if (file.result != kFileOk) {
        return file.result;
    }
    return ReadSensorBytes(file.bytes, table, cut);
}

int ReadSensorFile(const std::filesystem::path& snsFileName, SharedSensorTable& table,
                   SensorFileCut* cut) {
    SensorTable loaded = table.Copy();
    const int result = ReadSensorFile(snsFileName, loaded, cut);
    if (result >= 0 || (cut != nullptr && result == kSensorFileTruncated)) {
        table.Replace(std::move(loaded));
    }
    return result;
}

int ReadSensorBytes(std::string_view fileBytes, SensorTable& table, SensorFileCut* cut) {
    // A last line without its line end is one the cut went through: "120" cut
    // to "12" must not pass for a value.
    const std::string_view bytes = fileBytes.substr(0, fileBytes.rfind('\n') + 1);
    LineReader reader(bytes);
    int mismatches = CountHeaderMismatches(reader, kSnsVersionLine, kSnsLineLimit);
    std::optional<std::string> networkName;
    if (const auto line = reader.ReadLine(kSnsLineLimit);
        line && line->starts_with(kNetworkNameKey)) {
        networkName = TextFromFile(line->substr(kNetworkNameKey.size()), kMaxNetworkNameLength);
    }
    for (int key = kSpareKeyFirst; key <= kSpareKeyLast; ++key) {
        const auto line = reader.ReadLine(kSnsLineLimit);
        if (!line || !line->starts_with(std::to_string(key) + "=")) {
            ++mismatches;
        }
    }
    for (int i = 0; i < kSpareHeaderLines; ++i) {
        reader.ReadLine(kSnsLineLimit);
    }
    if (mismatches > 0) {
        return -mismatches;
    }

    SensorTable loaded = table;
    loaded.ClearDataBase();
    if (networkName) {
        loaded.NetworkName = *networkName;
    }
    // Only a caller that asked for the whole records of a cut file gets them;
    // for the others such a file changes nothing.
    const auto keepWholeRecords = [&](int read, int announced, std::size_t damagedFrom) {
        if (cut != nullptr) {
            *cut = {read, announced, damagedFrom, fileBytes.size()};
            table = loaded;
        }
        return kSensorFileTruncated;
    };
    reader.ReadLine(kSnsLineLimit);  // "maxindex"
    const std::size_t countAt = reader.Position();
    const auto highest = notation::ScanInt(reader.ReadLineOrEmpty(kSnsLineLimit));
    if (!highest) {
        return keepWholeRecords(0, 0, countAt);
    }
    const int last = std::min(*highest, kMaxSensors - 1);
    bool indexMismatch = false;
    RecordReader records(reader);
    for (int j = 0; j <= last; ++j) {
        const SensorRecord cleared = loaded.SensorArray[j];
        if (!records.Read(j, loaded.SensorArray[j], indexMismatch)) {
            // The slot holds the first lines of the cut record: a free slot again.
            loaded.SensorArray[j] = cleared;
            // A count line of INT_MAX is damage too; it must not overflow.
            const int announced =
                *highest < std::numeric_limits<int>::max() ? *highest + 1 : *highest;
            return keepWholeRecords(j, announced, records.BlockStart());
        }
        loaded.DefineSensorTypeAndUnits(j);
    }
    table = loaded;
    return indexMismatch ? kSensorFileIndexMismatch : kFileOk;
}

int WriteSensorFile(const std::filesystem::path& snsFileName, const SensorTable& table,
                    const Clock& clock, Dialogs& dialogs, EventLog& log, int taal) {
    if (ReplaceStationFile(snsFileName, FormatSensorFile(table, clock), "SensorFile", log) !=
        kFileOk) {
        // The writer leaves the reason of a failed write in errno (a full
        // disk, a read-only directory); a file that cannot be read gives its own.
        const int why = errno;
        std::string reason = WhyUnreadable(snsFileName);
        if (reason.empty()) {
            reason = std::strerror(why);
            log.LogMessageToDisk("SensorFile not written: " + snsFileName.string() + ": " + reason);
        }
        dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal),
                             std::string(text::Raw(text::Key::TXT_ERROR_SNS_FILE, taal)) + "\n" +
                                 snsFileName.string() + ": " + reason);
        return kFileCannotOpenForWriting;
    }
    log.LogMessageToDisk("SensorFile written");
    return kFileOk;
}

std::string FormatSensorFile(const SensorTable& table, const Clock& clock) {
    const DateStrings now = MakeDateStrings(clock.Now());
    const int last = table.GetMax1820Index();

    std::vector<std::string> lines;
    lines.reserve(22 + 49 * static_cast<std::size_t>(last + 1));
    lines.emplace_back(kHeaderEquals);
    lines.emplace_back(kSnsVersionLine);
    lines.emplace_back(kNoticeLine);
    lines.push_back(std::string(kDateTimeStampKey) + now.FileDatumString + " " + now.TijdString);
    lines.push_back(std::string(kNetworkNameKey) +
                    TextToFile(table.NetworkName, kMaxNetworkNameLength));
    for (int key = kSpareKeyFirst; key <= kSpareKeyLast; ++key) {
        lines.push_back(std::to_string(key) + "=" + notation::Int(key, 10, true));
    }
    lines.insert(lines.end(), kSpareHeaderLines, "sns");
    lines.emplace_back("maxindex");
    lines.push_back(notation::Int(last));

    for (int j = 0; j <= last; ++j) {
        const SensorRecord& record = table.SensorArray[j];
        lines.emplace_back(kRecordSeparator);
        lines.push_back(notation::Int(j));
        lines.push_back(notation::Int(
            record.Line > kNewProbeLineOffset ? record.Line - kNewProbeLineOffset : record.Line));
        for (std::int16_t element : record.Rom) {
            lines.push_back(notation::Int(element));
        }
        lines.push_back(TextToFile(record.Name, kMaxNameLength));
        lines.push_back(notation::Real(record.Value));
        for (int value :
             {record.AlarmLow, record.AlarmHigh, record.AlarmDelay, record.TripLow, record.TripHigh,
              record.TripDelay, record.AlarmState, record.Status, record.FoundOnNetwork, 0}) {
            lines.push_back(notation::Int(value));
        }
        for (const AlarmWindow& window : record.AlarmTimes) {
            lines.push_back(notation::Int(window.Start));
            lines.push_back(notation::Int(window.Stop));
        }
        lines.push_back(notation::Int(record.SmsEnable));
        lines.push_back(notation::Int(record.RelayEnable));
        lines.insert(lines.end(), kSpareRecordLines, "sp");
    }
    return JoinCrLf(lines);
}

}  // namespace qrv
