#pragma once

#include <atomic>
#include <string_view>

#include "runtime/status_display.h"

namespace qrv {

// The status-line conventions of the main panel that the storage routines use:
// a progress text in blue drawn at once, and afterwards the line the station
// normally shows ("Network inactive... " in red while no network is installed).
class StatusMessages {
  public:
    StatusMessages(StatusDisplay& display, const int& taal,
                   const std::atomic<int>& netWorkInstalled)
        : display_(display), taal_(taal), netWorkInstalled_(netWorkInstalled) {}

    void DoeDisplayMessage(std::string_view text);
    void RestoreStatusMessage();
    // A failure the user must see: red, drawn at once.
    void ShowError(std::string_view text);
    void Beep() { display_.Beep(); }
    // The lasting sign of a failed store (see StatusDisplay::ShowStoreProblem).
    void ShowStoreProblem(bool show, std::string_view text) {
        display_.ShowStoreProblem(show, text);
    }

    int Taal() const { return taal_; }
    bool NetWorkInstalled() const { return netWorkInstalled_.load() != 0; }

  private:
    StatusDisplay& display_;
    const int& taal_;
    const std::atomic<int>& netWorkInstalled_;
};

}  // namespace qrv
