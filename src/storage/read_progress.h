#pragma once

#include <string_view>

namespace qrv {

// What the history view shows while a day is read: " Converting: FILE   HH:MM"
// for the block being read. The history panel implements it.
class HistoryProgress {
  public:
    virtual ~HistoryProgress() = default;
    virtual void DisplaySearchHistoryMessage(std::string_view text) = 0;
};

// The report panel's side of a period search and read: its message line, the
// time of the block being read, and the user's wish to leave (ReportAbort),
// which the searches and readers check before each file and candidate.
class ReportProgress {
  public:
    virtual ~ReportProgress() = default;
    virtual void MakeMeldingVisible(bool visible, std::string_view text) = 0;
    // reportMessage is " Converting: PATH"; time is the block's "HH:MM".
    virtual void DisplayMonthlyMessage(std::string_view reportMessage, std::string_view time) = 0;
    virtual bool ReportAbort() const = 0;
};

// For callers without a panel (the report tool, tests): shows nothing and
// never aborts.
class SilentProgress final : public HistoryProgress, public ReportProgress {
  public:
    void DisplaySearchHistoryMessage(std::string_view) override {}
    void MakeMeldingVisible(bool, std::string_view) override {}
    void DisplayMonthlyMessage(std::string_view, std::string_view) override {}
    bool ReportAbort() const override { return false; }
};

}  // namespace qrv
