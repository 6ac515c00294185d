#include "acquisition/sms_handoff.h"

#include <fmt/format.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

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

constexpr std::size_t kOutputLineLimit = 160;

std::string SignalText(int signal) {
    const char* name = ::sigabbrev_np(signal);
    return name != nullptr ? fmt::format("SIG{}", name) : fmt::format("signal {}", signal);
}

SmsOutcome PollUntilEnded(pid_t program, double start, ProgramLauncher& launcher, Clock& clock,
                          EventLog& log, const std::stop_token& stop) {
    SmsOutcome outcome;
    const auto terminate = [&](int result) {
        if (launcher.Terminate(program) != 0) {
            log.LogMessageToDisk(
                fmt::format("ERROR: SMS Centre (process {}) could not be ended.", program));
        }
        outcome.result = result;
    };
    for (int poll = 1; outcome.result == kSmsNotConfigured; ++poll) {
        if (!clock.SleepUntil(start + poll, stop)) {
            terminate(kSmsStopped);
            break;
        }
        const int ended = launcher.HasTerminated(program, outcome.end);
        if (ended == 0) {
            if (poll > kSmsLastPoll) {
                terminate(kSmsTimeout);
            }
        } else if (ended == 1) {
            if (outcome.end.signalled || outcome.end.code != 0) {
                outcome.result = kSmsFailed;
            } else {
                outcome.result = poll <= kSmsTooFastPolls ? kSmsTooFast : kSmsSent;
            }
        } else {
            outcome.result = kSmsUnknown;
        }
    }
    outcome.firstLine = FirstOutputLine(launcher.TakeOutput(program));
    return outcome;
}

}  // namespace

std::string FirstOutputLine(std::string_view output) {
    const std::size_t end = output.find_first_of("\r\n");
    std::string line(output.substr(0, end));
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    if (line.size() > kOutputLineLimit) {
        line.resize(kOutputLineLimit);
    }
    const std::size_t last = line.find_last_not_of(' ');
    line.resize(last == std::string::npos ? 0 : last + 1);
    return line;
}

namespace {

std::vector<std::string> ResultLogLines(const SmsOutcome& outcome) {
    if (outcome.result == kSmsFailed) {
        std::string line =
            outcome.end.signalled
                ? fmt::format("ERROR: SMS Centre failed, killed by {}",
                              SignalText(outcome.end.code))
                : fmt::format("ERROR: SMS Centre failed, exit status {}", outcome.end.code);
        line += outcome.firstLine.empty() ? "." : ": " + outcome.firstLine;
        return {line};
    }
    std::vector<std::string> lines{std::string(SmsResultLogLine(outcome.result))};
    if (outcome.result == kSmsNotStarted && !outcome.launchProblem.empty()) {
        lines[0] += " " + outcome.launchProblem;
    }
    if (outcome.result != kSmsSent && !outcome.firstLine.empty()) {
        lines.push_back("SMS Centre output: " + outcome.firstLine);
    }
    return lines;
}

std::string LeftoversLogLine(const GroupLeftovers& leftovers) {
    const std::string what =
        fmt::format("WARNING: SMS Centre left {} {} running when it ended", leftovers.found,
                    leftovers.found == 1 ? "process" : "processes");
    if (leftovers.remaining > 0) {
        return fmt::format("{}; {} could not be ended, not even with SIGKILL.", what,
                           leftovers.remaining);
    }
    return what + (leftovers.killed ? "; killed with SIGKILL, SIGTERM did not end it."
                                    : "; ended with SIGTERM.");
}

}  // namespace

std::vector<std::string> SmsOutcomeLogLines(const SmsOutcome& outcome) {
    std::vector<std::string> lines = ResultLogLines(outcome);
    if (outcome.end.leftovers.found > 0) {
        lines.push_back(LeftoversLogLine(outcome.end.leftovers));
    }
    return lines;
}

std::string SmsProgramLaunchProblem(const std::string& program) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(program, error);
    if (error || !std::filesystem::exists(status)) {
        return fmt::format("{}: {}", program,
                           std::make_error_code(std::errc::no_such_file_or_directory).message());
    }
    if (std::filesystem::is_directory(status)) {
        return fmt::format("{}: it is a directory", program);
    }
    if (::access(program.c_str(), X_OK) != 0) {
        return fmt::format("{}: {}, it is not executable", program, std::strerror(errno));
    }
    return fmt::format("{}: it could not be run (a script's interpreter may be missing)", program);
}

std::string LinkedSmsProgramProblem(const SystemSettings& settings) {
    const std::string& program = settings.SmSProgramSource;
    if (program.empty() || program.starts_with("---")) {
        return {};
    }
    std::error_code error;
    if (std::filesystem::exists(program, error)) {
        return {};
    }
    if (!error) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return fmt::format("{}: {}", program, error.message());
}

int HandleSendSMS(const SystemSettings& settings, std::string_view destination,
                  std::string_view text, ProgramLauncher& launcher, Clock& clock, EventLog& log,
                  const std::stop_token& stop) {
    SmsOutcome outcome;
    if (CheckIfSmsServerIsAavailable(settings)) {
        pid_t program = 0;
        // The polls count from the moment of the launch: time read after it
        // may already have moved on, which would shift every poll late.
        const double start = clock.Timer();
        if (launcher.Launch(SmsCommandLine(settings.SmSProgramSource, destination, text),
                            program) != 0) {
            outcome.result = kSmsNotStarted;
            outcome.launchProblem = SmsProgramLaunchProblem(settings.SmSProgramSource);
        } else {
            outcome = PollUntilEnded(program, start, launcher, clock, log, stop);
        }
    }
    for (const std::string& line : SmsOutcomeLogLines(outcome)) {
        log.LogMessageToDisk(line);
    }
    return outcome.result;
}

}  // namespace qrv::acquisition
