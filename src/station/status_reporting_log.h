#pragma once

#include "runtime/event_log.h"
#include "runtime/status_display.h"
#include "station/station_state.h"

namespace qrv::shell {

// The program log as the station uses it: while an entry is written the
// status line says so, and afterwards it is restored. Safe from both threads
// as long as the wrapped log is.
class StatusReportingLog final : public EventLog {
  public:
    StatusReportingLog(EventLog& file, StatusDisplay& display, const StationState& state)
        : file_(file), display_(display), state_(state) {}

    void LogMessageToDisk(std::string_view message) override;
    // These keep the priority the wrapped log gives them.
    void LogProblem(std::string_view message) override;
    void LogFileNotWritten(std::string_view message) override;
    void LogFailure(std::string_view message) override;

  private:
    void Write(void (EventLog::*entry)(std::string_view), std::string_view message);

    EventLog& file_;
    StatusDisplay& display_;
    const StationState& state_;
};

}  // namespace qrv::shell
