#include "runtime/serial_port.h"

#include <fstream>
#include <sstream>

#include "runtime/termios_port.h"

namespace qrv {

namespace {

constexpr int kFirstCom = 1;
constexpr int kLastCom = 8;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

PortMap::PortMap() {
    for (int com = 1; com <= 4; ++com) {
        names_[com] = "/dev/ttyUSB" + std::to_string(com - 1);
    }
    for (int com = 5; com <= 8; ++com) {
        names_[com] = "/dev/ttyS" + std::to_string(com - 5);
    }
}

PortMap PortMap::Parse(std::string_view text) {
    PortMap map;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        std::string_view line = Trim(text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key.size() < 4 || (key.substr(0, 3) != "COM" && key.substr(0, 3) != "com")) {
            continue;
        }
        int number = 0;
        bool digits = true;
        for (char c : key.substr(3)) {
            digits = digits && c >= '0' && c <= '9';
            number = number * 10 + (c - '0');
        }
        if (digits && number >= kFirstCom && number <= kLastCom && !value.empty()) {
            map.names_[number] = std::string(value);
        }
    }
    return map;
}

PortMap PortMap::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return PortMap{};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

std::string PortMap::NameOf(int comNumber) const {
    const auto found = names_.find(comNumber);
    return found == names_.end() ? std::string{} : found->second;
}

void PortMap::Set(int comNumber, std::string name) {
    if (comNumber >= kFirstCom && comNumber <= kLastCom) {
        names_[comNumber] = std::move(name);
    }
}

bool IsSimulatorPortName(std::string_view name) {
    return name == "simulator" || name.starts_with("simulator:");
}

SerialPortProvider::SerialPortProvider(PortMap map, SimulatorFactory simulator)
    : map_(std::move(map)), simulator_(std::move(simulator)) {}

std::unique_ptr<SerialPort> SerialPortProvider::MakePort(int comNumber) {
    const std::string name = map_.NameOf(comNumber);
    if (name.empty()) {
        return nullptr;
    }
    if (IsSimulatorPortName(name)) {
        return simulator_ ? simulator_(name) : nullptr;
    }
    return std::make_unique<TermiosSerialPort>(name);
}

}  // namespace qrv
