#pragma once

#include <filesystem>
#include <string>

#include "runtime/clock.h"
#include "runtime/dialogs.h"

namespace qrv {

// Moving or copying today's result file to a place of the user's choice.
class UserFileSaver {
  public:
    UserFileSaver(Dialogs& dialogs, const Clock& clock, const int& taal)
        : dialogs_(dialogs), clock_(clock), taal_(taal) {}

    // copy: keep today's file; otherwise move it (the next store then starts
    // a fresh file). Missing source, cancelled dialog and failures are told
    // to the user; the source stays where it was on failure.
    void SaveUserFile(const std::filesystem::path& dataDirectory, bool copy);

    // The question before a move: true when the user answered Yes.
    bool ConfirmDestroyTodaysResults();

    // The target of the last dialog, to open the next one in the same place.
    const std::string& SaveAsFileName() const { return saveAsFileName_; }
    // Where an earlier dialog of the same station ended.
    void SetSaveAsFileName(std::string path) { saveAsFileName_ = std::move(path); }

  private:
    Dialogs& dialogs_;
    const Clock& clock_;
    const int& taal_;
    std::string saveAsFileName_;
};

}  // namespace qrv
