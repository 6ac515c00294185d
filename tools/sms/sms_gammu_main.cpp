// quorvanel-sms-gammu DESTINATION WORD...: sends the message with
// "gammu sendsms TEXT DESTINATION -textutf8 TEXT" (QRV_GAMMU names another
// gammu program). The text goes to gammu as one argument of an argument
// vector: no shell ever sees it. When gammu fails the adapter ends at once
// with status 1, which the station logs as a failed hand-off with the
// adapter's message.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sms_adapter.h"

int main(int argc, char* argv[]) {
    const auto started = std::chrono::steady_clock::now();
    const auto request = qrv::sms::ParseArguments(argc, argv, "quorvanel-sms-gammu");
    if (!request) {
        return 2;
    }
    const char* gammuName = std::getenv("QRV_GAMMU");
    std::string gammu = gammuName != nullptr && *gammuName != '\0' ? gammuName : "gammu";
    std::string command = "sendsms";
    std::string type = "TEXT";
    std::string option = "-textutf8";
    std::string destination = request->destination;
    std::string text = request->text;
    std::vector<char*> args{gammu.data(),  command.data(), type.data(), destination.data(),
                            option.data(), text.data(),    nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, gammu.c_str(), nullptr, nullptr, args.data(), environ) != 0) {
        std::perror(gammu.c_str());
        return 1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return 1;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "quorvanel-sms-gammu: gammu did not send the message\n");
        return 1;
    }
    qrv::sms::HoldAfterDelivery(started);
    return 0;
}
