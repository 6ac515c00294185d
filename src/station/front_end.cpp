#include "station/front_end.h"

namespace qrv::shell {

std::string_view ViaName(Via via) {
    switch (via) {
        case Via::kWindow:
            return "window";
        case Via::kService:
            return "service";
        case Via::kWeb:
            return "web";
        case Via::kMqtt:
            return "mqtt";
    }
    return "unknown";
}

std::string WhoVia(std::string_view who, Via via) {
    return std::string(who) + " (" + std::string(ViaName(via)) + ")";
}

std::string ViaSuffix(Via via) {
    return via == Via::kWindow ? std::string() : " (" + std::string(ViaName(via)) + ")";
}

}  // namespace qrv::shell
