#include "settings/system_settings.h"

namespace qrv {

void EnforceSettingRanges(SystemSettings& settings) {
    if (settings.Taal < 0 || settings.Taal > 3) {
        settings.Taal = 0;
    }
    if (settings.KeuzeGraphStyle < 0 || settings.KeuzeGraphStyle > 3) {
        settings.KeuzeGraphStyle = 1;
    }
    if (settings.SerialPort < 1 || settings.SerialPort > 8) {
        settings.SerialPort = 1;
    }
    if (settings.KeuzeSampleTime < 1 || settings.KeuzeSampleTime > 60) {
        settings.KeuzeSampleTime = 5;
    }
}

}  // namespace qrv
