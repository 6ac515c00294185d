#pragma once

#include <string_view>

namespace qrv {

// Where the station records its own actions, one line per event with fixed
// English texts (the program log).
class EventLog {
  public:
    virtual ~EventLog() = default;
    virtual void LogMessageToDisk(std::string_view message) = 0;
};

}  // namespace qrv
