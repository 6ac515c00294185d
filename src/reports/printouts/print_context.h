#pragma once

#include <string>

#include "runtime/date_strings.h"

namespace qrv {

// What every printed page shows besides its data: the language, the
// network's name and the moment of printing.
struct PrintContext {
    int taal = 0;
    std::string networkName;
    DateStrings printed;
};

// "QUORVANEL   Intelligent Probe Network     Printing date:  DD/MM/YYYY   HH:MM:SS";
// the month and week pages put 56 blanks after the banner.
std::string PrintingBanner(const PrintContext& context, int blanksAfterBanner = 0);

// "Network:   NAME".
std::string NetworkLine(const PrintContext& context);

}  // namespace qrv
