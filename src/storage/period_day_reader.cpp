#include "storage/period_day_reader.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "storage/file_access.h"
#include "storage/result_file_scan.h"
#include "text/texts.h"

namespace qrv {

namespace {

// The share's probe for a key, claimed at its first kept line; the hint is
// the line's position in its block, which is the probe's index in a file
// whose blocks keep their order.
PeriodDay::Probe& ShareProbe(PeriodDay& share, int hint, const KeyChars& key) {
    if (hint >= 0 && static_cast<std::size_t>(hint) < share.count &&
        SameKey(share.probes[static_cast<std::size_t>(hint)].key, key)) {
        return share.probes[static_cast<std::size_t>(hint)];
    }
    const auto [found, added] = share.index.try_emplace(key, share.count);
    if (added) {
        // The vectors of earlier files' probes keep their room.
        if (share.count == share.probes.size()) {
            share.probes.emplace_back();
        }
        PeriodDay::Probe& probe = share.probes[share.count++];
        probe.key = key;
        probe.min = 150.0;
        probe.max = -50.0;
        probe.slotEntries.clear();
    }
    return share.probes[found->second];
}

void AddToShare(PeriodDay& share, int position, int slot, const ProbeLine& line) {
    if (line.value <= kPeriodThreshold) {
        return;
    }
    const KeyChars key = WithTemperatureType(line.key);
    PeriodDay::Probe& probe = ShareProbe(share, position, key);
    probe.name = line.name;
    probe.typeChar = line.key[0];
    probe.min = std::min(probe.min, line.value);
    probe.max = std::max(probe.max, line.value);
    // As the period reader: a slot after the last one opens an entry, any
    // other folds into the last.
    if (probe.slotEntries.empty() || slot > probe.slotEntries.back().number) {
        probe.slotEntries.push_back({slot, line.value, line.value});
    } else {
        PeriodDay::Slot& last = probe.slotEntries.back();
        last.max = std::max(last.max, line.value);
        last.min = std::min(last.min, line.value);
    }
}

// The share as AddToShare gives it line by line, from the day the same
// lines gave: the same probes in the same order with the same values, as
// long as the day kept every value the period keeps. Only the block
// minutes are left to turn into slots.
void ShareFromDay(const HistoryData& day, const HistoryLineReader& lines, const PeriodSlots& slots,
                  PeriodDay& share) {
    for (int e = 0; e <= day.HistoryMaxIndex; ++e) {
        const HistoEntry& entry = day.HistoSensor[static_cast<std::size_t>(e)];
        PeriodDay::Probe& probe = ShareProbe(share, e, entry.ProbeKey);
        probe.name = lines.LastName(e);
        probe.typeChar = lines.LastType(e);
        probe.min = entry.MinValue;
        probe.max = entry.MaxValue;
        // The open slot in locals, not in the vector: its extremes change
        // with every value.
        int number = 0;
        double max = 0.0;
        double min = 0.0;
        for (int i = 0; i <= entry.LastIndex; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const int slot = slots.Of(entry.SampleTime[k]);
            const double value = entry.SampleValue[k];
            if (i == 0 || slot > number) {
                if (i > 0) {
                    probe.slotEntries.push_back({number, max, min});
                }
                number = slot;
                max = value;
                min = value;
            } else {
                max = std::max(max, value);
                min = std::min(min, value);
            }
        }
        if (entry.LastIndex >= 0) {
            probe.slotEntries.push_back({number, max, min});
        }
    }
}

// A file of the period with everything its reading gives.
struct FileWork {
    int position = 0;
    std::string path;
    std::string bytes;
    int result = kFileOk;
    std::unique_ptr<HistoryData> day = std::make_unique<HistoryData>();
    PeriodDay share;
};

void ReadAndParse(FileWork& work, bool hourly) {
    work.day->HistoryFileName = work.path;
    work.result = ReadWholeFile(work.path, work.bytes);
    if (work.result != kFileOk) {
        ClearHistoSensorStructure(*work.day);
        work.share.Clear();
        return;
    }
    ParseDayOfPeriod(work.bytes, work.position, hourly, *work.day, work.share);
}

// Parses the second file of each pair on a thread of its own while the
// caller parses the first. A file offered and not yet started when the
// caller is done with its own is taken back and parsed by the caller: on a
// busy machine the helper may not get a processor for a while, and waiting
// for it would make two threads slower than one.
class SecondFileHelper {
  public:
    SecondFileHelper(FileWork& work, bool hourly)
        : work_(work), hourly_(hourly), thread_([this] { Run(); }) {}
    ~SecondFileHelper() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }
    SecondFileHelper(const SecondFileHelper&) = delete;
    SecondFileHelper& operator=(const SecondFileHelper&) = delete;

    // The FileWork holds the next second file.
    void Offer() {
        {
            const std::lock_guard lock(mutex_);
            state_ = State::Offered;
        }
        changed_.notify_all();
    }

    // Afterwards the FileWork is parsed and the helper does not touch it.
    void TakeBackOrWait() {
        std::unique_lock lock(mutex_);
        if (state_ == State::Offered) {
            state_ = State::Idle;
            lock.unlock();
            ReadAndParse(work_, hourly_);
            return;
        }
        changed_.wait(lock, [this] { return state_ == State::Idle; });
    }

  private:
    enum class State { Idle, Offered, Parsing };

    void Run() {
        for (;;) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || state_ == State::Offered; });
            if (stopping_) {
                return;
            }
            state_ = State::Parsing;
            lock.unlock();
            ReadAndParse(work_, hourly_);
            lock.lock();
            state_ = State::Idle;
            lock.unlock();
            changed_.notify_all();
        }
    }

    FileWork& work_;
    bool hourly_;
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::Idle;
    bool stopping_ = false;
    std::jthread thread_;  // last: started once the rest is there, joined before it goes
};

}  // namespace

void PeriodDay::Clear() {
    count = 0;
    index.clear();
}

int ParseDayOfPeriod(std::string_view bytes, int position, bool hourly, HistoryData& day,
                     PeriodDay& share) {
    ClearHistoSensorStructure(day);
    share.Clear();
    const PeriodSlots slots(position, hourly);
    int minutes = 0;
    // A failed reading between the two readers' thresholds is kept by the
    // period only.
    bool periodOnlyValue = false;
    HistoryLineReader lines(day);
    const ResultHeaderCheck check = ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            minutes = header.minutes;
            return true;
        },
        [&](int linePosition, const ProbeLine& line) {
            periodOnlyValue |= line.value <= kHistoryThreshold && line.value > kPeriodThreshold;
            lines.Add(linePosition, minutes, line);
        });
    lines.Finish();
    SetHistoryDate(day, check);
    if (!periodOnlyValue && !lines.KeyLeftOut()) {
        ShareFromDay(day, lines, slots, share);
        return check.result;
    }
    // The day lacks values or probes the period keeps: its share comes
    // from the lines themselves, as rare as such files are.
    int slot = 0;
    ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            slot = slots.Of(header.minutes);
            return true;
        },
        [&](int linePosition, const ProbeLine& line) {
            AddToShare(share, linePosition, slot, line);
        });
    return check.result;
}

void MergeDayOfPeriod(PeriodData& data, const PeriodDay& share) {
    for (std::size_t p = 0; p < share.count; ++p) {
        const PeriodDay::Probe& probe = share.probes[p];
        const int e = SearchMonthSensorForNetAddress(data, static_cast<int>(p), probe.key);
        if (e < 0) {
            continue;
        }
        MonthEntry& entry = data.MonthSensor[static_cast<std::size_t>(e)];
        entry.ProbeName.Update(probe.name);
        entry.ProbeUnits = UnitsOfTypeCharacter(probe.typeChar);
        entry.ProbeType = ProbeTypeOfTypeCharacter(probe.typeChar);
        entry.MinValue = std::min(entry.MinValue, probe.min);
        entry.MaxValue = std::max(entry.MaxValue, probe.max);
        for (const PeriodDay::Slot& slot : probe.slotEntries) {
            const bool opens =
                entry.LastIndex < 0 ||
                slot.number > entry.SlotNumber[static_cast<std::size_t>(entry.LastIndex)];
            if (opens && entry.LastIndex < kMaxSlotEntries - 1) {
                ++entry.LastIndex;
            }
            const auto i = static_cast<std::size_t>(entry.LastIndex);
            if (opens) {
                entry.SlotNumber[i] = slot.number;
                entry.SlotMax[i] = slot.max;
                entry.SlotMin[i] = slot.min;
            } else {
                entry.SlotMax[i] = std::max(entry.SlotMax[i], slot.max);
                entry.SlotMin[i] = std::min(entry.SlotMin[i], slot.min);
            }
        }
    }
}

int GetAllDataAndDaysFromDisk(PeriodData& data, bool hourly, int taal, ReportProgress& progress,
                              const PeriodDayConsumer& onDay) {
    std::vector<int> positions;
    for (int position = 1; position < kPrintFileCount; ++position) {
        const std::string& file = data.PrintFile[static_cast<std::size_t>(position)];
        if (!file.empty() && file != kNoPrintFile) {
            positions.push_back(position);
        }
    }
    const std::string converting = text::Plain(text::Key::TXT_CONVERTING, taal);
    std::array<FileWork, 2> work;
    SecondFileHelper helper(work[1], hourly);
    int count = 0;
    // The files' shares and days go to the period in its order, each as
    // the period reader would have read it.
    const auto take = [&](FileWork& file) {
        data.WantedMonthFile = file.path;
        data.ReportMessage = converting + file.path;
        progress.DisplayMonthlyMessage(data.ReportMessage, "");
        MergeDayOfPeriod(data, file.share);
        onDay(file.position, *file.day);
        ++count;
    };
    for (std::size_t i = 0; i < positions.size(); i += 2) {
        if (progress.ReportAbort()) {
            return 0;
        }
        for (std::size_t k = 0; k < 2 && i + k < positions.size(); ++k) {
            work[k].position = positions[i + k];
            work[k].path = data.PrintFile[static_cast<std::size_t>(positions[i + k])];
        }
        const bool pair = i + 1 < positions.size();
        if (pair) {
            helper.Offer();
        }
        ReadAndParse(work[0], hourly);
        // The first file goes to the period while the helper may still be
        // parsing the second.
        take(work[0]);
        if (pair) {
            helper.TakeBackOrWait();
            if (progress.ReportAbort()) {
                return 0;
            }
            take(work[1]);
        }
    }
    return progress.ReportAbort() ? 0 : count;
}

}  // namespace qrv
