#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace qrv::sms {

// What the station hands an SMS program: its command line is the program,
// the destination, then the words of the text.
struct SmsRequest {
    std::string destination;
    std::string text;  // the words joined by single blanks
};

// nullopt (and a usage line on stderr) without a destination and a text.
std::optional<SmsRequest> ParseArguments(int argc, char* argv[], const char* program);

// The station counts a hand-off as sent when the program ends after ten
// and within sixty-one seconds (the run time of the SMS programs it was
// made for), and warns about one that ends sooner. An adapter that has
// delivered its message waits until the hold time since its start has
// passed: QRV_SMS_HOLD seconds, 12 by default.
void HoldAfterDelivery(std::chrono::steady_clock::time_point started);

}  // namespace qrv::sms
