#include "acquisition/sms_handoff.h"

#include "runtime/text_file.h"

namespace qrv::acquisition {

bool CheckIfSmsServerIsAavailable(const SystemSettings& settings) {
    return FileExists(settings.SmSProgramSource) && !settings.SmSDestination.starts_with("---");
}

std::vector<std::string> SmsCommandLine(const std::string& program, std::string_view destination,
                                        std::string_view text) {
    std::vector<std::string> argv{program, std::string(destination)};
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find(' ', start), text.size());
        argv.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return argv;
}

std::string_view SmsResultLogLine(int result) {
    switch (result) {
        case kSmsSent:
            return "OK:    SMS was send.";
        case kSmsNotConfigured:
            return "ERROR: SMS Centre not found.";
        case kSmsNotStarted:
            return "ERROR: SMS Centre not started.";
        case kSmsTimeout:
            return "ERROR: SMS Centre timeout.";
        case kSmsTooFast:
            return "WARNING: SMS Centre finished too fast.";
        case kSmsStopped:
            return "ERROR: SMS Centre terminated at shutdown.";
        default:
            return "ERROR: Unknown SMS failure.";
    }
}

namespace {

int PollUntilEnded(pid_t program, ProgramLauncher& launcher, Clock& clock,
                   const std::stop_token& stop) {
    const double start = clock.Timer();
    for (int poll = 1;; ++poll) {
        if (!clock.SleepUntil(start + poll, stop)) {
            launcher.Terminate(program);
            return kSmsStopped;
        }
        const int ended = launcher.HasTerminated(program);
        if (ended == 0) {
            if (poll > kSmsLastPoll) {
                launcher.Terminate(program);
                return kSmsTimeout;
            }
        } else if (ended == 1) {
            return poll <= kSmsTooFastPolls ? kSmsTooFast : kSmsSent;
        } else {
            return kSmsUnknown;
        }
    }
}

}  // namespace

int HandleSendSMS(const SystemSettings& settings, std::string_view destination,
                  std::string_view text, ProgramLauncher& launcher, Clock& clock, EventLog& log,
                  StatusDisplay& display, const std::stop_token& stop) {
    int result = kSmsNotConfigured;
    if (CheckIfSmsServerIsAavailable(settings)) {
        display.SetMenuBarDimmed(true);
        pid_t program = 0;
        if (launcher.Launch(SmsCommandLine(settings.SmSProgramSource, destination, text),
                            program) != 0) {
            result = kSmsNotStarted;
        } else {
            result = PollUntilEnded(program, launcher, clock, stop);
        }
    }
    log.LogMessageToDisk(SmsResultLogLine(result));
    display.SetMenuBarDimmed(false);
    return result;
}

}  // namespace qrv::acquisition
