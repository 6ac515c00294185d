#pragma once

#include <map>
#include <mutex>
#include <string>

namespace qrv::web {

// At most one action per key in each period: the test messages, which an
// account could otherwise send to the on-call phone as fast as it clicks.
// Times are the station clock's Timer() seconds.
class OncePer {
  public:
    explicit OncePer(double periodSeconds) : period_(periodSeconds) {}

    // 0 and the action is counted, or the seconds still to wait.
    double Begin(const std::string& key, double now);
    // The action counted at now did not happen after all.
    void Cancel(const std::string& key, double now);

  private:
    const double period_;
    std::mutex mutex_;
    std::map<std::string, double> last_;
};

}  // namespace qrv::web
