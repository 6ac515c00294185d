#include "onewire_tool.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "onewire/families.h"
#include "onewire/humidity.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "onewire/port_check.h"
#include "onewire/temperature.h"
#include "onewire/tracing_port.h"
#include "onewire/unit_outputs.h"
#include "sensors/rom_text.h"

namespace qrv::tools {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUnit = 1;
constexpr int kExitUsage = 2;
constexpr int kExitReadingFailed = 3;
constexpr int kExitUnitLost = 4;

constexpr const char* kUsage =
    "usage: quorvanel-onewire (--port COMn | --device PATH) [--station DIR] [--trace FILE] "
    "COMMAND\n"
    "commands:\n"
    "  scan                       list the devices of the trunk (line 0) and lines 1-3 with "
    "readings\n"
    "  read ROM                   read one probe (16 hex digits, family code first)\n"
    "  relay on|off               switch the alarm relay\n"
    "  lamp orange|red on|off     switch a lamp\n"
    "DIR defaults to $XDG_DATA_HOME/quorvanel; its ports.conf maps COMn to devices.\n"
    "--trace starts FILE afresh with every byte both ways.\n"
    "Exit status: 0 done; 1 the unit does not answer, a ROM was not found or an output\n"
    "was not confirmed; 2 bad usage; 3 a reading failed, a line could not be switched\n"
    "and was not searched, or the link failed and came back during the scan; 4 the unit\n"
    "stopped answering during the scan.\n";

struct Options {
    std::optional<int> port;
    std::string device;
    std::filesystem::path station;
    std::string trace;
    std::vector<std::string> command;
};

std::filesystem::path DefaultStation() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
        return std::filesystem::path(xdg) / "quorvanel";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".local/share/quorvanel";
    }
    return "quorvanel";
}

std::optional<int> ParsePort(std::string text) {
    if (text.size() > 3 && (text.starts_with("COM") || text.starts_with("com"))) {
        text = text.substr(3);
    }
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    return port >= 1 && port <= 8 ? std::optional(port) : std::nullopt;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::FILE* err) {
    Options options;
    options.station = DefaultStation();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--port" && hasValue) {
            options.port = ParsePort(args[++i]);
            if (!options.port) {
                fmt::print(err, "quorvanel-onewire: --port takes COM1 to COM8\n");
                return std::nullopt;
            }
        } else if (arg == "--device" && hasValue) {
            options.device = args[++i];
        } else if (arg == "--station" && hasValue) {
            options.station = args[++i];
        } else if (arg == "--trace" && hasValue) {
            options.trace = args[++i];
        } else if (arg.starts_with("--")) {
            fmt::print(err, "quorvanel-onewire: unknown or incomplete option {}\n", arg);
            return std::nullopt;
        } else {
            options.command.assign(args.begin() + static_cast<long>(i), args.end());
            break;
        }
    }
    if (options.port.has_value() == !options.device.empty()) {
        fmt::print(err, "quorvanel-onewire: give exactly one of --port and --device\n{}", kUsage);
        return std::nullopt;
    }
    const auto& c = options.command;
    const bool onOff = c.size() >= 2 && (c.back() == "on" || c.back() == "off");
    const bool valid =
        (c.size() == 1 && c[0] == "scan") || (c.size() == 2 && c[0] == "read") ||
        (c.size() == 2 && c[0] == "relay" && onOff) ||
        (c.size() == 3 && c[0] == "lamp" && (c[1] == "orange" || c[1] == "red") && onOff);
    if (!valid) {
        fmt::print(err, "{}", kUsage);
        return std::nullopt;
    }
    return options;
}

std::string ReadingShown(const RomCode& rom, const Reading& reading) {
    const DeviceKind kind = FamilyOf(rom[0]).kind;
    // A failure as its error code, the number the station's own views show.
    if (!reading.Ok()) {
        return fmt::format("{:.1f} (error)", CodedValue(kind, reading));
    }
    const double value = reading.value;
    switch (kind) {
        case DeviceKind::kTemperature:
            return fmt::format("{:.2f} \u00B0C", value);
        case DeviceKind::kHumidity:
            return fmt::format("{:.1f} %RH", value);
        case DeviceKind::kSwitchInput:
            return value != 0 ? "1 (open)" : "0 (closed)";
        default:
            return fmt::format("{}", value);
    }
}

std::string_view OutputFailureText(OutputResult result) {
    switch (result) {
        case OutputResult::kDone:
            break;
        case OutputResult::kNotSelected:
            return "not selected";
        case OutputResult::kNoAnswer:
            return "no answer";
        case OutputResult::kDamagedData:
            return "damaged answer";
        case OutputResult::kCutShort:
            return "transfer cut short";
    }
    return "done";
}

std::optional<RomCode> ParseRom(const std::string& text) {
    if (text.size() != 16 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    RomCode rom{};
    for (std::size_t i = 0; i < 8; ++i) {
        rom[i] = static_cast<std::int16_t>(std::stoi(text.substr(2 * i, 2), nullptr, 16));
    }
    return rom;
}

// The devices a search meets with the current line selection.
std::vector<RomCode> SearchAll(NodexSession& session) {
    std::vector<RomCode> found;
    OneWireDriver& driver = session.Driver();
    for (int result = driver.OwFirst(session.Handle()); result > 0 && found.size() < 256;
         result = driver.OwNext(session.Handle())) {
        RomCode rom{};
        driver.OwRom(session.Handle(), rom);
        found.push_back(rom);
    }
    return found;
}

std::string Describe(NodexSession& session, const RomCode& rom) {
    if (rom == session.Nodex2406Rom) {
        return "DS2406 (unit: relay, orange lamp)";
    }
    for (std::size_t i = 0; i < session.Nodex2409Rom.size(); ++i) {
        if (rom == session.Nodex2409Rom[i]) {
            return fmt::format("DS2409 (unit: coupler of line {})", i + 1);
        }
    }
    return std::string(DeviceName(rom));
}

int LinkFailures(NodexSession& session) {
    return session.Driver().LinkStats(session.Handle()).failedExchanges;
}

// One line's search: what it met (the trunk's devices too), whether the line
// could be switched and whether the link held throughout the search.
struct LineSearch {
    SessionStatus switched = SessionStatus::kOk;
    bool complete = false;
    std::vector<RomCode> found;
};

LineSearch SearchLine(NodexSession& session, int line) {
    LineSearch search;
    search.switched = session.SelectLine(line);
    if (search.switched != SessionStatus::kOk) {
        return search;
    }
    const int failedBefore = LinkFailures(session);
    search.found = SearchAll(session);
    search.complete = LinkFailures(session) == failedBefore;
    return search;
}

struct ScanListing {
    std::vector<std::pair<int, RomCode>> devices;
    // What could not be listed, one sentence each.
    std::vector<std::string> gaps;
};

// Line of each device: the trunk first, then what each line adds to it. A
// device is listed only under a line it is known to be on: a line whose
// switch failed is not searched, and without a complete search of the trunk
// a line's own devices cannot be told from the trunk's.
ScanListing Scan(NodexSession& session) {
    ScanListing listing;
    std::set<RomCode> seen;
    const auto list = [&](int line, const std::vector<RomCode>& found) {
        for (const RomCode& rom : found) {
            if (seen.insert(rom).second) {
                listing.devices.emplace_back(line, rom);
            }
        }
    };
    LineSearch trunk = SearchLine(session, 0);
    list(0, trunk.found);
    std::array<LineSearch, kCouplerCount> lines;
    for (int line = 1; line <= kCouplerCount; ++line) {
        lines[static_cast<std::size_t>(line - 1)] = SearchLine(session, line);
    }
    if (!trunk.complete) {
        // Once more, now that the link may be back.
        trunk = SearchLine(session, 0);
        list(0, trunk.found);
    }
    if (!trunk.complete) {
        listing.gaps.push_back(
            trunk.switched != SessionStatus::kOk
                ? fmt::format("the lines could not all be switched off ({}): the trunk and the "
                              "lines were not searched completely, lines 1-3 not listed",
                              SessionStatusCode(trunk.switched))
                : "the search of the trunk was cut off twice: lines 1-3 not listed");
    }
    for (int line = 1; line <= kCouplerCount; ++line) {
        const LineSearch& search = lines[static_cast<std::size_t>(line - 1)];
        if (search.switched != SessionStatus::kOk) {
            listing.gaps.push_back(
                fmt::format("line {} could not be switched on ({}): not searched", line,
                            SessionStatusCode(search.switched)));
        } else if (trunk.complete) {
            list(line, search.found);
        }
    }
    return listing;
}

// A probe's reading with what its chip measured, for comparison with other
// software (which shows the chips' own values, not the station's corrected
// ones). False when the reading failed.
bool ReadingText(NodexSession& session, int line, const RomCode& rom, std::string& text) {
    Reading reading;
    std::string chip;
    switch (FamilyOf(rom[0]).kind) {
        case DeviceKind::kTemperature: {
            Scratchpad pad{};
            reading = ReadTemperature(session, line, rom, pad);
            if (reading.Ok()) {
                chip = fmt::format("  (chip {:.4f} \u00B0C)", ChipTemperature(rom, pad));
            }
            break;
        }
        case DeviceKind::kHumidity: {
            Ds2438Measurements measured;
            reading = Get2438Vochtigheid(session, line, rom, measured);
            if (reading.Ok()) {
                chip = fmt::format("  (VDD {:.2f} V, VAD {:.2f} V, {:.2f} \u00B0C)",
                                   measured.vdd.value, measured.vad.value, measured.celsius.value);
            }
            break;
        }
        default:
            reading = ReadProbe(session, line, rom);
            break;
    }
    text += "  " + ReadingShown(rom, reading) + chip;
    return reading.Ok();
}

bool IsUnitDevice(NodexSession& session, const RomCode& rom) {
    return rom == session.Nodex2406Rom ||
           std::find(session.Nodex2409Rom.begin(), session.Nodex2409Rom.end(), rom) !=
               session.Nodex2409Rom.end();
}

int ScanOrRead(NodexSession& session, const std::vector<std::string>& command, std::FILE* out,
               std::FILE* err) {
    std::optional<RomCode> wanted;
    if (command[0] == "read") {
        wanted = ParseRom(command[1]);
        if (!wanted) {
            fmt::print(err, "quorvanel-onewire: a ROM is 16 hex digits, family code first\n");
            return kExitUsage;
        }
    }
    const int failedBefore = session.Driver().LinkStats(session.Handle()).failedExchanges;
    bool found = false;
    int failedReadings = 0;
    const ScanListing listing = Scan(session);
    for (const auto& [line, rom] : listing.devices) {
        if (wanted && rom != *wanted) {
            continue;
        }
        found = true;
        std::string text = fmt::format("{} {} {}", line, RomToHex(rom), Describe(session, rom));
        // Probes on the trunk are read too: the trunk is line 0, all lines off.
        if (IsProbeFamily(rom[0]) && !IsUnitDevice(session, rom) &&
            !ReadingText(session, line, rom, text)) {
            ++failedReadings;
        }
        fmt::print(out, "{}\n", text);
    }
    session.SelectLine(0);
    const int reset = session.ResetTheNodex();
    if (reset != 1 && reset != 2) {
        fmt::print(err, "quorvanel-onewire: the unit stopped answering during the scan\n");
        return kExitUnitLost;
    }
    for (const std::string& gap : listing.gaps) {
        fmt::print(err, "quorvanel-onewire: {}\n", gap);
    }
    const int linkFailures =
        session.Driver().LinkStats(session.Handle()).failedExchanges - failedBefore;
    if (linkFailures > 0) {
        fmt::print(err,
                   "quorvanel-onewire: the link failed {} times and came back; the list may be "
                   "incomplete\n",
                   linkFailures);
        return kExitReadingFailed;
    }
    if (!listing.gaps.empty()) {
        return kExitReadingFailed;
    }
    if (wanted && !found) {
        fmt::print(err, "quorvanel-onewire: {} not found on the trunk or any line\n", command[1]);
        return kExitUnit;
    }
    if (failedReadings > 0) {
        fmt::print(err, "quorvanel-onewire: {} reading{} failed\n", failedReadings,
                   failedReadings == 1 ? "" : "s");
        return kExitReadingFailed;
    }
    return kExitOk;
}

int RunCommand(NodexSession& session, const std::vector<std::string>& command, std::FILE* out,
               std::FILE* err) {
    const std::string& verb = command[0];
    if (verb == "scan" || verb == "read") {
        return ScanOrRead(session, command, out, err);
    }
    const bool on = command.back() == "on";
    OutputResult result = OutputResult::kDone;
    if (verb == "lamp" && command[1] == "red") {
        on ? RedLedOn(session) : RedLedOff(session);
    } else {
        result = ReadUnitOutputStates(session);
        if (result == OutputResult::kDone) {
            if (verb == "relay") {
                result = on ? AlarmRelaisOn(session) : AlarmRelaisOff(session);
            } else {
                result = on ? OranjeLedOn(session) : OranjeLedOff(session);
            }
        }
    }
    if (result != OutputResult::kDone) {
        fmt::print(err, "quorvanel-onewire: the unit did not confirm the output ({})\n",
                   OutputFailureText(result));
        return kExitUnit;
    }
    fmt::print(out, "{}\n", fmt::join(command, " "));
    return kExitOk;
}

}  // namespace

int RunOneWireTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   Clock& clock, sim::SimulatorRegistry& simulators) {
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        fmt::print(out, "{}", kUsage);
        return kExitOk;
    }
    const std::optional<Options> options = ParseOptions(args, err);
    if (!options) {
        return kExitUsage;
    }
    PortMap map;
    int port = 1;
    if (options->port) {
        map = PortMap::Load((options->station / "ports.conf").string());
        port = *options->port;
    } else {
        map.Set(port, options->device);
    }
    SerialPortProvider ports(map, simulators.Factory());

    TraceSink trace;
    if (!options->trace.empty() && !trace.OpenFile(options->trace)) {
        fmt::print(err, "quorvanel-onewire: cannot write the trace file {}\n", options->trace);
        return kExitUsage;
    }

    bool modemLines = false;
    auto probe = ports.MakePort(port);
    if (probe && probe->Open(SerialSettings{}) == kSerialOk) {
        modemLines = probe->HasModemLines();
        probe->Close();
    } else {
        const std::string error = probe ? probe->LastError() : simulators.LastError();
        fmt::print(err, "quorvanel-onewire: cannot open {}{}\n", map.NameOf(port),
                   error.empty() ? "" : ": " + error);
        return kExitUnit;
    }
    if (modemLines) {
        const PortCheckResult check = CheckSerialPortConnection(ports, clock, port);
        if (check != PortCheckResult::kUnitAnswers) {
            fmt::print(
                err, "quorvanel-onewire: the unit does not answer on {} ({})\n", map.NameOf(port),
                check == PortCheckResult::kNoUnit             ? "CTS off, no power or no unit"
                : check == PortCheckResult::kCtsDoesNotFollow ? "CTS does not follow RTS and DTR"
                                                              : "the port cannot be opened");
            return kExitUnit;
        }
    } else {
        fmt::print(out, "# {} has no modem lines: power check skipped\n", map.NameOf(port));
    }

    OneWireDriver driver(ports, clock, trace.IsOpen() ? &trace : nullptr);
    NodexSession session(driver, ports, clock);
    session.SerialPort = port;
    if (const SessionStatus started = session.StartOneWireSession();
        started != SessionStatus::kOk) {
        fmt::print(err, "quorvanel-onewire: no 1-Wire session on {} ({})\n", map.NameOf(port),
                   SessionStatusCode(started));
        return kExitUnit;
    }
    int status = kExitOk;
    if (session.ZoekNodexNumbers() != SessionStatus::kOk) {
        fmt::print(err, "quorvanel-onewire: no presence on the trunk\n");
        status = kExitUnit;
    } else {
        session.SetCableTiming2480(1);
        status = RunCommand(session, options->command, out, err);
    }
    session.StopOneWireSession();
    return status;
}

}  // namespace qrv::tools
