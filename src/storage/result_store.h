#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "feed/live_feed.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "runtime/text_file.h"
#include "sensors/shared_sensor_table.h"
#include "storage/status_messages.h"

namespace qrv {

// What became of a store.
enum class StoreResult : std::uint8_t {
    kStored,
    // No network is installed: nothing written.
    kNoNetwork,
    // Nothing written: today's file already ends with a block of this minute.
    kMinuteAlreadyStored,
    // The block could not be stored whole; the file was left as it was.
    kCannotWrite,
};

// What the stores leave for the other parts of the station.
struct StoreState {
    // Minutes of the day of the latest store; the acquisition thread reads it
    // to decide when the next store is due.
    std::atomic<int> LastSampleTime{0};
};

struct ResultStoreContext {
    SharedSensorTable& table;
    Clock& clock;
    StatusMessages& status;
    EventLog& log;
    LiveFeed& feed;
};

// Appends the day's sample blocks to the result files.
class ResultStore {
  public:
    explicit ResultStore(const ResultStoreContext& context) : context_(context) {}

    // Appends one block with every probe of the table to today's file in
    // dataDirectory, creating the file with its header first. kStored,
    // kNoNetwork, kMinuteAlreadyStored when the file's last block is of this
    // minute (no minute gets two blocks, also across a restart: the file's
    // last block is read the first time a store meets the file), or
    // kCannotWrite; a failure is logged and shown on the status line. Each appended block is
    // published (kStored). A probe marked stale (its latest reading is not one of now) is written
    // as the no-reading marker, like a probe that is off.
    StoreResult StoreResultsToDisk(const std::filesystem::path& dataDirectory,
                                   const std::bitset<kMaxSensors>& stale = {});

    const StoreState& State() const { return state_; }
    StoreState& State() { return state_; }

  private:
    struct Snapshot {
        RomCode rom{};
        int sensorType = 0;
        int status = 0;
        double value = 0.0;
        std::string name;
    };

    int TakeSnapshot();
    // Minutes of the day of the last block in the file at path, if it has
    // one; read again whenever the file is not as this store left it.
    std::optional<int> LastStoredMinutes(const std::filesystem::path& path, std::uintmax_t size);
    void ReportFailure(const std::filesystem::path& path, const LocalDateTime& now,
                       std::string_view why);

    ResultStoreContext context_;
    StoreState state_;
    struct LastBlock {
        std::filesystem::path path;
        std::uintmax_t size = 0;
        std::optional<int> minutes;
    };
    // The file last stored to or read, its length then, and the minutes of
    // its last block.
    std::optional<LastBlock> lastBlock_;
    // The header shows a failed store until a store succeeds again.
    bool storeProblemShown_ = false;
    std::array<Snapshot, kMaxSensors> snapshot_{};
};

}  // namespace qrv
