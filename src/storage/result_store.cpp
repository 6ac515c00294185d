#include "storage/result_store.h"

#include <fmt/format.h>

#include <vector>

#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "storage/file_access.h"
#include "storage/result_file_format.h"
#include "storage/result_file_scan.h"
#include "text/texts.h"

namespace qrv {

int ResultStore::TakeSnapshot() {
    const auto table = context_.table.Lock();
    const int last = table->GetMax1820Index();
    for (int i = 0; i <= last; ++i) {
        const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(i)];
        Snapshot& copy = snapshot_[static_cast<std::size_t>(i)];
        copy.rom = record.Rom;
        copy.sensorType = record.SensorType;
        copy.status = record.Status;
        copy.value = record.Value;
        copy.name = record.Name;
    }
    return last;
}

StoreResult ResultStore::StoreResultsToDisk(const std::filesystem::path& dataDirectory,
                                            const std::bitset<kMaxSensors>& stale) {
    if (!context_.status.NetWorkInstalled()) {
        return StoreResult::kNoNetwork;
    }
    const int taal = context_.status.Taal();
    context_.status.DoeDisplayMessage(text::Plain(text::Key::MESS_SAVING_TEMPS, taal));
    const int last = TakeSnapshot();

    const LocalDateTime now = context_.clock.Now();
    state_.LastSampleTime.store(now.hour * 60 + now.minute);

    std::vector<ProbeLineData> lines(static_cast<std::size_t>(last + 1));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Snapshot& probe = snapshot_[i];
        lines[i].key = MakeProbeKey(probe.rom, probe.sensorType);
        lines[i].value =
            probe.status == kStatusOff || stale.test(i) ? kNoReadingMarker : probe.value;
        lines[i].nameCp1252 = Utf8ToCp1252(BlankControlCharacters(probe.name));
    }

    const std::filesystem::path path = ResultFilePath(dataDirectory, now.year, now.month, now.day);
    StoreResult result = StoreResult::kStored;
    if (!MakeDirectories(dataDirectory)) {
        ReportFailure(path, now, "the data directory cannot be created");
        result = StoreResult::kCannotWrite;
    } else {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        const bool fresh = ec || size == 0;
        // A file that exists but is empty (a crash right after its creation)
        // gets its header too, so that no reader sees a headless day.
        std::string bytes = fresh ? FormatResultHeader(FileDate(now)) : std::string{};
        AppendSampleBlock(bytes, now.hour, now.minute, lines);
        std::uintmax_t sizeBefore = 0;
        const int minutes = now.hour * 60 + now.minute;
        const std::optional<int> lastMinutes = fresh ? std::nullopt : LastStoredMinutes(path, size);
        if (lastMinutes == minutes) {
            // A station restarted within a stored minute, or a store at stop
            // or shutdown right after the due one: the minute keeps its block.
            result = StoreResult::kMinuteAlreadyStored;
        } else if (std::string reason; AppendWhole(path, bytes, sizeBefore, reason) != kFileOk) {
            ReportFailure(path, now, "the sample block could not be written: " + reason);
            result = StoreResult::kCannotWrite;
        } else {
            lastBlock_ = {path, std::filesystem::file_size(path, ec), minutes};
            // The file keeps both blocks and the readers read them all; the
            // log says why a day holds a time twice. The next block follows
            // this one, so a clock set back once is logged once.
            if (const int last = lastMinutes.value_or(-1); last > minutes) {
                context_.log.LogMessageToDisk(fmt::format(
                    "Clock set back: block of {:02}:{:02} stored after the block of "
                    "{:02}:{:02} in {}",
                    now.hour, now.minute, last / 60, last % 60, path.filename().string()));
            }
            if (storeProblemShown_) {
                context_.status.ShowStoreProblem(false, {});
                storeProblemShown_ = false;
            }
            context_.feed.Publish(StationEvent(LiveEventKind::kStored, now));
        }
    }
    if (result != StoreResult::kCannotWrite) {
        context_.status.RestoreStatusMessage();
    }
    return result;
}

std::optional<int> ResultStore::LastStoredMinutes(const std::filesystem::path& path,
                                                  std::uintmax_t size) {
    if (!lastBlock_ || lastBlock_->path != path || lastBlock_->size != size) {
        std::string bytes;
        std::optional<int> minutes;
        if (ReadWholeFile(path, bytes) == kFileOk) {
            ScanResultFile(
                bytes,
                [&](const SampleHeader& header) {
                    minutes = header.minutes;
                    return true;
                },
                [](int, const ProbeLine&) {});
        }
        lastBlock_ = {path, size, minutes};
        if (minutes) {
            state_.LastSampleTime.store(*minutes);
        }
    }
    return lastBlock_->minutes;
}

void ResultStore::ReportFailure(const std::filesystem::path& path, const LocalDateTime& now,
                                std::string_view why) {
    std::string logged =
        fmt::format("Result file {} not stored: {}", path.filename().string(), why);
    context_.log.LogMessageToDisk(logged);
    LiveEvent failed = StationEvent(LiveEventKind::kStoreFailed, now);
    failed.reason = std::move(logged);
    context_.feed.Publish(failed);
    const std::string shown =
        fmt::format("{} {}", text::Plain(text::Key::TXT_Save_File_Failed, context_.status.Taal()),
                    path.filename().string());
    context_.status.ShowError(shown);
    context_.status.ShowStoreProblem(true, shown);
    storeProblemShown_ = true;
}

}  // namespace qrv
