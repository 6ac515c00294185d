#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "nodex_unit.h"
#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv::sim {

// Builds a unit from a network description:
// {
//   "unit":  {"ds2406": ROM, "couplers": [ROM, ROM, ROM]},      (optional)
//   "trunk": [DEVICE, ...],                                     (optional)
//   "lines": [[DEVICE, ...], [DEVICE, ...], [DEVICE, ...]],
//   "faults": [{"kind": "unplugged"|"unpowered"|"removed"|"corrupt-crc"|"short"|
//               "stuck-conversion", "rom": ROM, "line": N, "from": s, "until": s},
//              {"kind": "drop"|"dead-break"|"garbage" (link faults, see LinkFault),
//               "after": HEX, "seconds": s, "bytes": HEX, "to": "host"|"unit",
//               "times": N, "from": s, "until": s}]
// }
// DEVICE: {"type": "DS18B20"|"DS18S20"|"DS1820"|"DS2438"|"DS2406"|"DS2405"|"other",
//          "rom": "16 hex digits, family first" (optional: made up with a valid CRC),
//          "family": N (for "other"), "temperature": MODEL, "th": N, "tl": N,
//          "humidity": MODEL, "vdd": MODEL, "vad": MODEL, "input": MODEL,
//          "power": "external"|"parasite" (temperature probes; external when absent)}
// MODEL: a number, {"constant": x}, {"sine": {...}} or {"value": x, "steps": [[t, v]]}.
// HEX: bytes as hex digits, blanks allowed ("55 28 01").
// Throws std::invalid_argument naming what is wrong.
std::shared_ptr<SimulatedNodex> BuildNetwork(const nlohmann::json& description);
// A network of a few hundred devices, with their models and faults, takes
// some tens of kilobytes; a larger file is refused before it is read.
inline constexpr std::size_t kMaxNetworkFileBytes = std::size_t{1024} * 1024;
// Throws std::invalid_argument naming the file and what is wrong with it.
std::shared_ptr<SimulatedNodex> LoadNetworkFile(const std::string& path);

// The built-in sample network: every family on each of the three lines.
const char* SampleNetworkText();
std::shared_ptr<SimulatedNodex> MakeSampleNetwork();

// Keeps one simulated unit per port name alive across opens and closes, so
// that lamp and relay state and the probes persist while the station opens
// and closes the port. Names: "simulator" (the sample network) and
// "simulator:FILE.json".
class SimulatorRegistry {
  public:
    explicit SimulatorRegistry(Clock& clock) : clock_(clock) {}

    // nullptr when the name's network file cannot be loaded (see LastError).
    std::unique_ptr<SerialPort> MakePort(std::string_view name);
    std::shared_ptr<SimulatedNodex> Unit(std::string_view name);
    // Installs a unit under a name (tests).
    void Install(std::string name, std::shared_ptr<SimulatedNodex> unit);
    std::string LastError() const;

    SerialPortProvider::SimulatorFactory Factory();

  private:
    Clock& clock_;
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<SimulatedNodex>, std::less<>> units_;
    // When each unit started: its network file's times count from there.
    std::map<std::string, double, std::less<>> epochs_;
    std::string lastError_;
};

}  // namespace qrv::sim
