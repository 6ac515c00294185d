#include "station/status_reporting_log.h"

#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

void StatusReportingLog::LogMessageToDisk(std::string_view message) {
    Write(&EventLog::LogMessageToDisk, message);
}

void StatusReportingLog::LogProblem(std::string_view message) {
    Write(&EventLog::LogProblem, message);
}

void StatusReportingLog::LogFileNotWritten(std::string_view message) {
    Write(&EventLog::LogFileNotWritten, message);
}

void StatusReportingLog::LogFailure(std::string_view message) {
    Write(&EventLog::LogFailure, message);
}

void StatusReportingLog::Write(void (EventLog::*entry)(std::string_view),
                               std::string_view message) {
    DoeDisplayMessage(display_,
                      text::Raw(text::Key::MESS_SAVING_TEMPS, state_.settingsOwner.Taal()));
    (file_.*entry)(message);
    RestoreStatusMessage(state_, display_);
}

}  // namespace qrv::shell
