#include <cstdio>
#include <string>
#include <vector>

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "app/shell/commands.h"
#include "app/station/command_line.h"
#include "notify/acknowledgement.h"
#include "records/audit_recorder.h"
#include "runtime/program_log_file.h"
#include "runtime/station_writer.h"
#include "station/web_link.h"
#include "text/texts.h"
#include "web/account_command.h"

namespace {

// Account changes go to the program log and, as changes of who may do what,
// to the audit trail, by the machine's user who made them.
class AccountChangeLog final : public qrv::EventLog {
  public:
    AccountChangeLog(qrv::EventLog& log, qrv::records::AuditRecorder& audit)
        : log_(log), audit_(audit) {}
    void LogMessageToDisk(std::string_view message) override {
        log_.LogMessageToDisk(message);
        audit_.Record(qrv::notify::LoginName(), message);
    }

  private:
    qrv::EventLog& log_;
    qrv::records::AuditRecorder& audit_;
};

// Account management: the password typed at a terminal is not shown.
int RunUserCommand(const qrv::station::UserCommandLine& command) {
    std::error_code error;
    if (!std::filesystem::is_directory(command.station, error)) {
        std::fprintf(stderr, "quorvanel-station user: %s is not a station directory\n",
                     command.station.c_str());
        return 1;
    }
    const qrv::StationPaths paths{command.station};
    qrv::RealClock clock;
    qrv::ProgramLogFile log(paths.LogFileName(), clock);
    qrv::records::AuditTrail trail(paths.CurrentDirName / "QRVAudit.txt");
    qrv::records::AuditRecorder audit(trail, clock, log);
    AccountChangeLog changes(log, audit);
    qrv::web::AccountStore accounts(qrv::shell::WebAccountsFile(paths));
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios before{};
    if (terminal && ::tcgetattr(STDIN_FILENO, &before) == 0) {
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const int status = qrv::web::RunUserCommand(accounts, command.arguments, std::cin, terminal,
                                                stdout, stderr, changes);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    }
    return status;
}

// Whether the arguments hold --force, which is taken out of them.
bool TakeForce(std::vector<std::string>& arguments) {
    return std::erase(arguments, std::string("--force")) > 0;
}

// The station and its accounts are written as the station directory's owner
// only, unless forced.
bool MayWriteStation(const std::filesystem::path& station, const char* program,
                     const std::vector<std::string>& arguments) {
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const std::string refusal = qrv::StationWriteRefusal(
        station, qrv::StationWriters::kOwner, qrv::WriterIdentity::OfThisProcess(), command);
    if (!refusal.empty()) {
        std::fprintf(stderr, "quorvanel-station: %s\n", refusal.c_str());
    }
    return refusal.empty();
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace qrv::station;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool force = TakeForce(arguments);
    const CommandLine commandLine = ParseCommandLine(arguments, DefaultStationDirectory());
    if (std::holds_alternative<ShowHelp>(commandLine)) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (std::holds_alternative<ShowVersion>(commandLine)) {
        std::printf("quorvanel-station %s\n", qrv::text::kProgramVersion.data());
        return 0;
    }
    if (const auto* bad = std::get_if<BadCommandLine>(&commandLine)) {
        std::fprintf(stderr, "quorvanel-station: %s\n\n%s", bad->problem.c_str(),
                     HelpText().c_str());
        return 2;
    }
    const auto* user = std::get_if<UserCommandLine>(&commandLine);
    const std::filesystem::path& station =
        user ? user->station : std::get<StationOptions>(commandLine).station;
    if (!force && !MayWriteStation(station, argv[0], arguments)) {
        return 1;
    }
    if (user) {
        return RunUserCommand(*user);
    }
    return RunStation(std::get<StationOptions>(commandLine));
}
