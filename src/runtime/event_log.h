#pragma once

#include <string_view>

namespace qrv {

// Where the station records its own actions, one line per event with fixed
// English texts (the program log).
class EventLog {
  public:
    virtual ~EventLog() = default;
    virtual void LogMessageToDisk(std::string_view message) = 0;
    // An entry saying that a part of the station does not work (the web
    // server not started, accounts or a password file unreadable): a log
    // with priorities gives it a warning's.
    virtual void LogProblem(std::string_view message) { LogMessageToDisk(message); }
    // An entry saying that a file the station must write (the audit trail,
    // the alarm file) was not written: an error where there are priorities.
    virtual void LogFileNotWritten(std::string_view message) { LogMessageToDisk(message); }
    // An entry saying that something the station undertook has failed for
    // good (a notice of the call list given up): an error where there are
    // priorities.
    virtual void LogFailure(std::string_view message) { LogMessageToDisk(message); }
};

}  // namespace qrv
