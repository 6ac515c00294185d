#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/station/journal_log.h"
#include "runtime/dialogs.h"

namespace qrv::station {

// The popups of a station that nobody attends. Every question gets the
// answer that loses nothing and keeps the known probes monitored, and each
// answer is one line in the program log; messages are logged as warnings.
//
//   interface unit not found at start-up  -> normal mode (installation retries it)
//   interface unit not responding         -> Retry, after the retry interval
//   probe not found                       -> keep it active and wait for it
//   probe file bad, continue?             -> Yes, after a copy of the file is kept
//   probe file unreadable, continue?      -> Yes (the file is left as it is)
//   check power and cable, continue?      -> Yes
//   save the new probe's settings?        -> OK
//   any other question                    -> its Escape choice
class UnattendedDialogs final : public Dialogs {
  public:
    struct Platform {
        JournalLog& journal;
        // Seconds between two tries of an interface unit that does not answer.
        std::function<int()> retrySeconds;
        // Waits that long while the station goes on (display ticks, watchdog);
        // returns early with the signal that came.
        std::function<std::optional<int>(double seconds)> wait;
        // Copies the probe file aside before a bad one is replaced; says
        // what became of it ("the bad file is kept as ..."), or nothing
        // when there was no probe file (a first start).
        std::function<std::optional<std::string>()> keepProbeFile;
    };

    explicit UnattendedDialogs(Platform platform)
        : platform_(std::move(platform)), mainThread_(std::this_thread::get_id()) {}

    void MessagePopup(std::string_view title, std::string_view message) override;
    int GenericMessagePopup(std::string_view title, std::string_view message,
                            const std::vector<std::string>& buttons, int enterChoice,
                            int escapeChoice) override;
    std::optional<std::string> PromptPopup(std::string_view title, std::string_view message,
                                           int maxLength, std::string_view initialText) override;
    std::optional<std::string> FileSelectPopup(std::string_view title, const std::string& directory,
                                               std::string_view defaultName,
                                               std::string_view pattern, bool forSave) override;
    std::optional<PrintTarget> PrinterDialog(std::string_view title,
                                             std::string_view documentName) override;

    // A signal that ended a wait for the unit; the station acts on it once
    // the question has been answered.
    std::optional<int> TakePendingSignal();

  private:
    int RetryUnitLater();

    Platform platform_;
    std::thread::id mainThread_;
    std::atomic<int> pendingSignal_{0};
};

}  // namespace qrv::station
