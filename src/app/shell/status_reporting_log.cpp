#include "app/shell/status_reporting_log.h"

#include "app/shell/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

void StatusReportingLog::LogMessageToDisk(std::string_view message) {
    DoeDisplayMessage(display_,
                      text::Raw(text::Key::MESS_SAVING_TEMPS, state_.settingsOwner.Taal()));
    file_.LogMessageToDisk(message);
    RestoreStatusMessage(state_, display_);
}

}  // namespace qrv::shell
