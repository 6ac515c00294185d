#include "sms_adapter.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qrv::sms {

namespace {
constexpr double kDefaultHoldSeconds = 12.0;
}

std::optional<SmsRequest> ParseArguments(int argc, char* argv[], const char* program) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DESTINATION WORD...\n", program);
        return std::nullopt;
    }
    SmsRequest request{argv[1], {}};
    for (int i = 2; i < argc; ++i) {
        if (i > 2) {
            request.text += ' ';
        }
        request.text += argv[i];
    }
    return request;
}

void HoldAfterDelivery(std::chrono::steady_clock::time_point started) {
    double hold = kDefaultHoldSeconds;
    if (const char* value = std::getenv("QRV_SMS_HOLD")) {
        char* end = nullptr;
        const double parsed = std::strtod(value, &end);
        if (end != value && parsed >= 0.0 && parsed <= 60.0) {
            hold = parsed;
        }
    }
    std::this_thread::sleep_until(started +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(hold)));
}

}  // namespace qrv::sms
