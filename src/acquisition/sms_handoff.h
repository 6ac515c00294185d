#pragma once

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "runtime/program_launcher.h"
#include "settings/system_settings.h"

namespace qrv::acquisition {

// Results of a hand-off to the SMS program.
inline constexpr int kSmsSent = 0;
inline constexpr int kSmsNotConfigured = -1;
inline constexpr int kSmsNotStarted = -2;
inline constexpr int kSmsTimeout = -3;
inline constexpr int kSmsTooFast = -4;
inline constexpr int kSmsUnknown = -5;
// The station shut down while the program ran; it was terminated.
inline constexpr int kSmsStopped = -6;
// The program ended with a non-zero status or was killed by a signal: it
// says it did not send, whatever its timing.
inline constexpr int kSmsFailed = -7;
// An alarm message skipped because SMS is not configured.
inline constexpr int kSmsSkipped = -99;

// Polls of one second: a run counts as sent when the program ends after the
// tenth poll; at the 61st it is terminated.
inline constexpr int kSmsTooFastPolls = 10;
inline constexpr int kSmsLastPoll = 60;

// SMS is configured when the program file exists and a destination is set.
bool CheckIfSmsServerIsAavailable(const SystemSettings& settings);

// The program's argument vector: the program, the destination, then the
// words of the text (split at blanks, as its command line was). No shell ever
// sees the text.
std::vector<std::string> SmsCommandLine(const std::string& program, std::string_view destination,
                                        std::string_view text);

// The fixed English program-log line of a result.
std::string_view SmsResultLogLine(int result);

// How a hand-off went: its result, how the program ended and the first line
// of what it printed.
struct SmsOutcome {
    int result = kSmsNotConfigured;
    ProgramEnd end;
    std::string firstLine;
    // For a program that could not be started: the file and the reason.
    std::string launchProblem;
};

// The program-log lines of a hand-off: the result's line (for a failure with
// the exit status or signal and what the program printed), for other failed
// runs a line with what it printed, and one for what the program left
// running when it ended.
std::vector<std::string> SmsOutcomeLogLines(const SmsOutcome& outcome);

// The first line of a program's output, control characters blanked, cut to a
// log line's length.
std::string FirstOutputLine(std::string_view output);

// Why a linked SMS program cannot be used ("" when it can, or when none is
// linked): the system's reason for a program file that is missing.
std::string LinkedSmsProgramProblem(const SystemSettings& settings);

// Why the program file could not be started, with its path ("/x/sms: Permission
// denied, it is not executable").
std::string SmsProgramLaunchProblem(const std::string& program);

// One hand-off to the SMS program, judged by how long it runs (polled once a
// second on the clock). The result goes to the program log. Returns
// kSmsStopped when stop is requested first.
int HandleSendSMS(const SystemSettings& settings, std::string_view destination,
                  std::string_view text, ProgramLauncher& launcher, Clock& clock, EventLog& log,
                  const std::stop_token& stop);

}  // namespace qrv::acquisition
