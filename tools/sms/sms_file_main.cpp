// quorvanel-sms-file DESTINATION WORD...: appends each message the station
// hands off to a text file (QRV_SMS_OUTBOX, by default
// ~/.local/share/quorvanel/sms-outbox.txt), one line per message with the
// time and the destination. For alarm drills and stations without a modem.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "sms_adapter.h"

namespace {

std::filesystem::path Outbox() {
    if (const char* path = std::getenv("QRV_SMS_OUTBOX"); path != nullptr && *path != '\0') {
        return path;
    }
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    const std::filesystem::path base =
        data != nullptr && *data != '\0'
            ? std::filesystem::path(data)
            : std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
    return base / "quorvanel" / "sms-outbox.txt";
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto started = std::chrono::steady_clock::now();
    const auto request = qrv::sms::ParseArguments(argc, argv, "quorvanel-sms-file");
    if (!request) {
        return 2;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // Line ends inside a message (a test text has one) stay inside its line.
    std::string text = request->text;
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const std::string line =
        std::string(stamp) + "  to " + request->destination + ": " + text + "\n";

    const std::filesystem::path outbox = Outbox();
    std::error_code ec;
    std::filesystem::create_directories(outbox.parent_path(), ec);
    const int fd = ::open(outbox.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        std::perror(outbox.c_str());
        return 1;
    }
    ::close(fd);
    qrv::sms::HoldAfterDelivery(started);
    return 0;
}
