#include "storage/status_messages.h"

#include "text/texts.h"

namespace qrv {

void StatusMessages::DoeDisplayMessage(std::string_view text) {
    display_.SetStatusLine(text, colors::kProgressBlue);
    display_.ProcessDrawEvents();
}

void StatusMessages::RestoreStatusMessage() {
    if (!NetWorkInstalled()) {
        display_.SetStatusLine(text::Plain(text::Key::TXT_MON_NOT_ACTIVE, taal_),
                               colors::kAlarmRed);
    }
    display_.ProcessDrawEvents();
}

void StatusMessages::ShowError(std::string_view text) {
    display_.SetStatusLine(text, colors::kAlarmRed);
    display_.ProcessDrawEvents();
}

}  // namespace qrv
