#include "network_file.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "humidity_probe.h"
#include "runtime/text_file.h"
#include "sim_serial_port.h"
#include "temperature_probe.h"

namespace qrv::sim {

namespace {

using nlohmann::json;

struct RomMaker {
    std::uint64_t next = 0x0000'1A2B'0001ULL;

    Rom Make(std::uint8_t family, bool newer1820 = false) {
        std::uint64_t serial = next++;
        if (family == 0x10) {
            // ROM byte 5 tells a DS18S20 (0x08) from an old DS1820.
            serial = (serial & 0xFFFF'FFFFULL) | (newer1820 ? 0x08ULL << 32 : 0);
        }
        return MakeRom(family, serial);
    }
};

Rom ParseRom(const json& value, const std::string& where) {
    Rom rom{};
    if (!value.is_string() || !RomFromHex(value.get<std::string>(), rom)) {
        throw std::invalid_argument(where + ": a ROM is 16 hex digits");
    }
    return rom;
}

ValueModel Model(const json& device, const char* key, double fallback) {
    return device.contains(key) ? ValueModel::FromJson(device.at(key)) : ValueModel(fallback);
}

// "power": "external" (the default: a probe wired with its own supply) or
// "parasite" (fed from the data line).
bool ParasitePowered(const json& device, const std::string& where) {
    if (!device.contains("power")) {
        return false;
    }
    const json& power = device.at("power");
    if (power == "parasite") {
        return true;
    }
    if (power == "external") {
        return false;
    }
    throw std::invalid_argument(where + ": power is \"external\" or \"parasite\"");
}

std::unique_ptr<SimDevice> MakeDevice(const json& device, RomMaker& roms,
                                      const std::string& where) {
    if (!device.is_object() || !device.contains("type")) {
        throw std::invalid_argument(where + ": a device needs a \"type\"");
    }
    const auto type = device.at("type").get<std::string>();
    const auto rom = [&](std::uint8_t family, bool newer = false) {
        Rom value =
            device.contains("rom") ? ParseRom(device.at("rom"), where) : roms.Make(family, newer);
        if (device.contains("rom") && value[0] != family) {
            throw std::invalid_argument(where + ": ROM family does not match type " + type);
        }
        return value;
    };
    const int thValue = device.value("th", 0x4B);
    const int tlValue = device.value("tl", 0x46);
    if (thValue < 0 || thValue > 0xFF || tlValue < 0 || tlValue > 0xFF) {
        throw std::invalid_argument(where + ": th and tl are bytes (0..255)");
    }
    const auto th = static_cast<std::uint8_t>(thValue);
    const auto tl = static_cast<std::uint8_t>(tlValue);
    if (type == "DS18B20") {
        auto probe =
            std::make_unique<TemperatureProbe>(rom(0x28), TemperatureProbe::Model::kDs18b20,
                                               Model(device, "temperature", 20.0), th, tl);
        probe->SetParasitePowered(ParasitePowered(device, where));
        return probe;
    }
    if (type == "DS18S20" || type == "DS1820") {
        const bool newer = type == "DS18S20";
        const Rom value = rom(0x10, newer);
        if ((value[5] == 0x08) != newer) {
            throw std::invalid_argument(
                where + ": ROM byte 5 must be 08 for a DS18S20 and not 08 for a DS1820");
        }
        auto probe = std::make_unique<TemperatureProbe>(
            value, newer ? TemperatureProbe::Model::kDs18s20 : TemperatureProbe::Model::kDs1820,
            Model(device, "temperature", 20.0), th, tl);
        probe->SetParasitePowered(ParasitePowered(device, where));
        return probe;
    }
    if (type == "DS2438") {
        auto probe = std::make_unique<HumidityProbe>(rom(0x26), Model(device, "humidity", 50.0),
                                                     Model(device, "temperature", 20.0),
                                                     Model(device, "vdd", 5.0));
        if (device.contains("vad")) {
            probe->SetVad(ValueModel::FromJson(device.at("vad")));
        }
        return probe;
    }
    if (type == "DS2406") {
        return std::make_unique<Ds2406Switch>(rom(0x12), Model(device, "input", 1.0));
    }
    if (type == "DS2405") {
        return std::make_unique<Ds2405Switch>(rom(0x05));
    }
    if (type == "other") {
        const int family = device.value("family", 0x01);
        if (family <= 0 || family > 0xFF) {
            throw std::invalid_argument(where + ": family must be 1..255");
        }
        return std::make_unique<PlainDevice>(rom(static_cast<std::uint8_t>(family)));
    }
    throw std::invalid_argument(where + ": unknown device type " + type);
}

// "55 28 01" or "552801": bytes in hex, blanks allowed between them.
std::vector<std::uint8_t> ParseHexBytes(const json& value, const std::string& where) {
    if (!value.is_string()) {
        throw std::invalid_argument(where + ": bytes are given as a string of hex digits");
    }
    std::string digits;
    for (const char c : value.get<std::string>()) {
        if (c != ' ') {
            digits += c;
        }
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        std::size_t used = 0;
        int byte = -1;
        try {
            byte = std::stoi(digits.substr(i, 2), &used, 16);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != 2) {
            throw std::invalid_argument(where + ": \"" + digits.substr(i, 2) +
                                        "\" is not a hex byte");
        }
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    if (digits.size() % 2 != 0) {
        throw std::invalid_argument(where + ": an odd number of hex digits");
    }
    return bytes;
}

bool ParseLinkFault(const json& fault, const std::string& where, LinkFault& value) {
    const std::string kind = fault.value("kind", std::string());
    if (kind == "drop") {
        value.kind = LinkFaultKind::kDrop;
    } else if (kind == "dead-break") {
        value.kind = LinkFaultKind::kDeadBreak;
    } else if (kind == "garbage") {
        value.kind = LinkFaultKind::kGarbage;
    } else {
        return false;
    }
    if (fault.contains("after")) {
        value.after = ParseHexBytes(fault.at("after"), where + ".after");
    }
    if (fault.contains("bytes")) {
        value.bytes = ParseHexBytes(fault.at("bytes"), where + ".bytes");
    }
    if (value.kind == LinkFaultKind::kGarbage && value.bytes.empty()) {
        throw std::invalid_argument(where + ": garbage needs its \"bytes\"");
    }
    const std::string to = fault.value("to", std::string("host"));
    if (to != "host" && to != "unit") {
        throw std::invalid_argument(where + R"(: "to" is "host" or "unit")");
    }
    value.toUnit = to == "unit";
    value.seconds = fault.value("seconds", value.seconds);
    value.times = fault.value("times", value.times);
    if (value.seconds < 0 || value.times < 0) {
        throw std::invalid_argument(where + ": seconds and times cannot be negative");
    }
    value.from = fault.value("from", 0.0);
    if (fault.contains("until")) {
        value.until = fault.at("until").get<double>();
    }
    return true;
}

FaultKind ParseFaultKind(const std::string& kind, const std::string& where) {
    if (kind == "unplugged")
        return FaultKind::kUnplugged;
    if (kind == "unpowered")
        return FaultKind::kUnpowered;
    if (kind == "removed")
        return FaultKind::kRemoved;
    if (kind == "corrupt-crc")
        return FaultKind::kCorruptCrc;
    if (kind == "short")
        return FaultKind::kShort;
    if (kind == "stuck-conversion")
        return FaultKind::kStuckConversion;
    throw std::invalid_argument(where + ": unknown fault kind " + kind);
}

}  // namespace

std::shared_ptr<SimulatedNodex> BuildNetwork(const json& description) {
    if (!description.is_object()) {
        throw std::invalid_argument("the network description is a JSON object");
    }
    RomMaker roms;
    Rom ds2406 = roms.Make(0x12);
    std::vector<Rom> couplers;
    const json unit = description.value("unit", json::object());
    if (unit.contains("ds2406")) {
        ds2406 = ParseRom(unit.at("ds2406"), "unit.ds2406");
    }
    if (unit.contains("couplers")) {
        for (const auto& rom : unit.at("couplers")) {
            couplers.push_back(ParseRom(rom, "unit.couplers"));
        }
    } else {
        for (int i = 0; i < 3; ++i) {
            couplers.push_back(roms.Make(0x1F));
        }
    }
    auto nodex = std::make_shared<SimulatedNodex>(ds2406, couplers);
    int index = 0;
    for (const auto& device : description.value("trunk", json::array())) {
        nodex->AddTrunkDevice(MakeDevice(device, roms, "trunk[" + std::to_string(index++) + "]"));
    }
    const json lines = description.value("lines", json::array());
    if (lines.size() > couplers.size()) {
        throw std::invalid_argument("more lines than couplers");
    }
    for (std::size_t line = 0; line < lines.size(); ++line) {
        index = 0;
        for (const auto& device : lines[line]) {
            const std::string where =
                "lines[" + std::to_string(line) + "][" + std::to_string(index++) + "]";
            nodex->AddLineDevice(static_cast<int>(line + 1), MakeDevice(device, roms, where));
        }
    }
    index = 0;
    for (const auto& fault : description.value("faults", json::array())) {
        const std::string where = "faults[" + std::to_string(index++) + "]";
        if (LinkFault link; ParseLinkFault(fault, where, link)) {
            nodex->AddLinkFault(link);
            continue;
        }
        Fault value;
        value.kind = ParseFaultKind(fault.value("kind", std::string()), where);
        const bool probeFault = value.kind == FaultKind::kRemoved ||
                                value.kind == FaultKind::kCorruptCrc ||
                                value.kind == FaultKind::kStuckConversion;
        if (fault.contains("rom")) {
            value.rom = ParseRom(fault.at("rom"), where);
        } else if (probeFault) {
            throw std::invalid_argument(where + ": this fault needs the \"rom\" of a device");
        }
        value.line = fault.value("line", 0);
        value.from = fault.value("from", 0.0);
        if (fault.contains("until")) {
            value.until = fault.at("until").get<double>();
        }
        nodex->AddFault(value);
    }
    return nodex;
}

std::shared_ptr<SimulatedNodex> LoadNetworkFile(const std::string& path) {
    const FileBytes file = ReadFileBytes(path, kMaxNetworkFileBytes);
    if (file.result == kFileDoesNotExist) {
        throw std::invalid_argument(path + ": the file does not exist");
    }
    if (file.result != kFileOk) {
        throw std::invalid_argument(path + ": cannot be read: " + file.reason);
    }
    if (file.bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
        throw std::invalid_argument(path + ": the file is empty");
    }
    try {
        return BuildNetwork(json::parse(file.bytes));
    } catch (const json::exception& error) {
        throw std::invalid_argument(path + ": " + error.what());
    } catch (const std::invalid_argument& error) {
        throw std::invalid_argument(path + ": " + error.what());
    }
}

const char* SampleNetworkText() {
    return R"({
  "lines": [
    [
      {"type": "DS18B20", "temperature": {"sine": {"mean": 4.0, "amplitude": 1.5, "period": 3600}}},
      {"type": "DS18S20", "temperature": -18.5, "th": 2, "tl": 38},
      {"type": "DS1820", "temperature": 21.0},
      {"type": "DS2438", "humidity": 45.0, "temperature": 21.0},
      {"type": "DS2406", "input": 1},
      {"type": "DS2405"},
      {"type": "other", "family": 1}
    ],
    [
      {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[600, -12.0], [1200, -20.0]]}},
      {"type": "DS18S20", "temperature": 37.0},
      {"type": "DS1820", "temperature": -5.25, "th": 1, "tl": 244},
      {"type": "DS2438", "humidity": {"sine": {"mean": 60, "amplitude": 10, "period": 86400}}, "temperature": 18.0},
      {"type": "DS2406", "input": 0},
      {"type": "DS2405"},
      {"type": "other", "family": 1}
    ],
    [
      {"type": "DS18B20", "temperature": 85.5},
      {"type": "DS18S20", "temperature": 0.0},
      {"type": "DS1820", "temperature": 55.0},
      {"type": "DS2438", "humidity": 80.0, "temperature": 30.0, "vdd": 4.9},
      {"type": "DS2406", "input": {"value": 1, "steps": [[300, 0], [330, 1]]}},
      {"type": "DS2405"},
      {"type": "other", "family": 1}
    ]
  ]
})";
}

std::shared_ptr<SimulatedNodex> MakeSampleNetwork() {
    return BuildNetwork(json::parse(SampleNetworkText()));
}

std::shared_ptr<SimulatedNodex> SimulatorRegistry::Unit(std::string_view name) {
    std::lock_guard lock(mutex_);
    const auto found = units_.find(name);
    if (found != units_.end()) {
        return found->second;
    }
    std::shared_ptr<SimulatedNodex> unit;
    try {
        constexpr std::string_view kPrefix = "simulator:";
        if (name.starts_with(kPrefix)) {
            unit = LoadNetworkFile(std::string(name.substr(kPrefix.size())));
        } else {
            unit = MakeSampleNetwork();
        }
    } catch (const std::exception& error) {
        lastError_ = error.what();
        return nullptr;
    }
    units_.emplace(std::string(name), unit);
    epochs_[std::string(name)] = clock_.Timer();
    return unit;
}

std::unique_ptr<SerialPort> SimulatorRegistry::MakePort(std::string_view name) {
    auto unit = Unit(name);
    if (!unit) {
        return nullptr;
    }
    double epoch = 0.0;
    {
        std::lock_guard lock(mutex_);
        epoch = epochs_.find(name)->second;
    }
    return std::make_unique<SimulatedSerialPort>(std::move(unit), clock_, epoch);
}

void SimulatorRegistry::Install(std::string name, std::shared_ptr<SimulatedNodex> unit) {
    std::lock_guard lock(mutex_);
    epochs_[name] = clock_.Timer();
    units_[std::move(name)] = std::move(unit);
}

std::string SimulatorRegistry::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

SerialPortProvider::SimulatorFactory SimulatorRegistry::Factory() {
    return [this](std::string_view name) { return MakePort(name); };
}

}  // namespace qrv::sim
