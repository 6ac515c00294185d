// The simulated bus a byte at a time: the same answers and the same device
// states as eight single slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "onewire/crc.h"
#include "sim/humidity_probe.h"
#include "sim/switch_devices.h"
#include "sim/temperature_probe.h"

namespace qrv::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double kSlot = 60e-6;

// What the master does on the bus, one step at a time.
struct Step {
    enum class Kind { kReset, kByte, kBit, kWait };
    Kind kind;
    std::uint8_t value = 0;
    double seconds = 0;
};

class Script {
  public:
    Script& Reset() { return Add({Step::Kind::kReset}); }
    Script& Send(const Bytes& bytes) {
        for (const std::uint8_t byte : bytes) {
            Add({Step::Kind::kByte, byte});
        }
        return *this;
    }
    Script& Read(int bytes) { return Send(Bytes(static_cast<std::size_t>(bytes), 0xFF)); }
    Script& Bit(bool value) {
        return Add({Step::Kind::kBit, value ? std::uint8_t{1} : std::uint8_t{0}});
    }
    Script& Wait(double seconds) { return Add({Step::Kind::kWait, 0, seconds}); }
    Script& Match(const Rom& rom) {
        Send({0x55});
        return Send(Bytes(rom.begin(), rom.end()));
    }
    const std::vector<Step>& Steps() const { return steps_; }

  private:
    Script& Add(const Step& step) {
        steps_.push_back(step);
        return *this;
    }
    std::vector<Step> steps_;
};

// Runs the script on a device; what the device left on the bus, a value per
// byte, bit or reset. byteAtOnce chooses how data bytes reach it.
std::vector<int> Drive(SimDevice& device, const Script& script, bool byteAtOnce) {
    std::vector<int> seen;
    double now = 1.0;
    for (const Step& step : script.Steps()) {
        switch (step.kind) {
            case Step::Kind::kReset:
                seen.push_back(device.Reset(now) ? 1 : 0);
                now += 0.001;
                break;
            case Step::Kind::kBit:
                seen.push_back(device.Slot(step.value != 0, now) ? 1 : 0);
                now += kSlot;
                break;
            case Step::Kind::kWait:
                now += step.seconds;
                break;
            case Step::Kind::kByte:
                if (byteAtOnce) {
                    seen.push_back(device.SlotByte(step.value, now, kSlot));
                } else {
                    int levels = 0;
                    for (int bit = 0; bit < 8; ++bit) {
                        if (device.Slot(((step.value >> bit) & 1) != 0, now + bit * kSlot)) {
                            levels |= 1 << bit;
                        }
                    }
                    seen.push_back(levels);
                }
                now += 8 * kSlot + 0.0005;
                break;
        }
    }
    return seen;
}

// Both ways on two devices made alike; the answers, for checks of their
// content.
template <typename Device>
std::vector<int> SameBothWays(
    const std::function<std::unique_ptr<Device>()>& make, const Script& script,
    const std::function<void(const Device&, const Device&)>& sameState = nullptr) {
    const auto byBytes = make();
    const auto bySlots = make();
    const std::vector<int> bytes = Drive(*byBytes, script, true);
    EXPECT_EQ(bytes, Drive(*bySlots, script, false));
    if (sameState) {
        sameState(*byBytes, *bySlots);
    }
    return bytes;
}

// The bytes a run gave from position `from` on.
Bytes Tail(const std::vector<int>& seen, std::size_t from, std::size_t count) {
    Bytes out;
    for (std::size_t i = from; i < from + count; ++i) {
        out.push_back(static_cast<std::uint8_t>(seen.at(i)));
    }
    return out;
}

// A conversion, then single slots before a byte put the device off the byte
// grid: the master's bits of the Match ROM, shifted by three.
Script MisalignedMatch(const Rom& rom) {
    Script script;
    script.Reset().Send({0xCC, 0x44}).Wait(0.8);
    script.Reset();
    for (int bit = 0; bit < 3; ++bit) {
        script.Bit(((0x55 >> bit) & 1) != 0);
    }
    std::vector<bool> bits;
    for (int bit = 3; bit < 8; ++bit) {
        bits.push_back(((0x55 >> bit) & 1) != 0);
    }
    for (const std::uint8_t byte : rom) {
        for (int bit = 0; bit < 8; ++bit) {
            bits.push_back(((byte >> bit) & 1) != 0);
        }
    }
    // Read Scratchpad, then reads.
    for (int bit = 0; bit < 8; ++bit) {
        bits.push_back(((0xBE >> bit) & 1) != 0);
    }
    bits.resize(bits.size() + 9 * 8, true);
    for (std::size_t at = 0; at + 8 <= bits.size(); at += 8) {
        std::uint8_t byte = 0;
        for (std::size_t bit = 0; bit < 8; ++bit) {
            byte = static_cast<std::uint8_t>(byte | (bits[at + bit] ? 1u << bit : 0u));
        }
        script.Send({byte});
    }
    return script;
}

TEST(BusBytes, ATemperatureProbeAnswersAByteAsItsEightSlots) {
    const Rom rom = MakeRom(0x28, 0x4711);
    const auto make = [&rom] {
        return std::make_unique<TemperatureProbe>(rom, TemperatureProbe::Model::kDs18b20,
                                                  ValueModel(21.5));
    };
    Script script;
    script.Reset().Send({0x33}).Read(8);                     // Read ROM
    script.Reset().Match(rom).Send({0x44}).Read(3);          // Convert T, busy
    script.Wait(0.8).Read(1);                                // done
    script.Reset().Match(rom).Send({0xBE}).Read(9);          // the new value
    script.Reset().Match(MakeRom(0x28, 0x4712)).Read(2);     // another probe's ROM
    script.Reset().Send({0xCC, 0x4E, 0x50, 0x40, 0x1F});     // TH, TL, 9 bits
    script.Reset().Send({0xCC, 0x48}).Reset().Send({0xB8});  // Copy; a stray byte
    script.Reset().Send({0xCC, 0xB8}).Reset().Send({0xCC, 0xBE}).Read(9);
    const std::vector<int> seen = SameBothWays<TemperatureProbe>(
        make, script, [](const TemperatureProbe& a, const TemperatureProbe& b) {
            EXPECT_EQ(a.EepromTh(), 0x50);
            EXPECT_EQ(b.EepromTh(), 0x50);
            EXPECT_EQ(a.ConversionSeconds(), b.ConversionSeconds());
        });
    EXPECT_EQ(Tail(seen, 2, 8), Bytes(rom.begin(), rom.end()));
    // Busy while converting, then done.
    EXPECT_EQ(Tail(seen, 1 + 9 + 1 + 9 + 1, 4), (Bytes{0x00, 0x00, 0x00, 0xFF}));
    const Bytes pad = Tail(seen, 1 + 9 + 1 + 9 + 1 + 4 + 1 + 9 + 1, 9);
    EXPECT_EQ(Crc8(pad), 0);
    EXPECT_EQ(pad[0] | (pad[1] << 8), static_cast<int>(21.5 * 16));
    EXPECT_EQ(Tail(seen, seen.size() - 9, 9).at(4), 0x1F) << "the recalled configuration";
}

TEST(BusBytes, ADeviceOffTheByteGridTakesBytesSlotBySlot) {
    const Rom rom = MakeRom(0x28, 0x0815);
    const auto make = [&rom] {
        return std::make_unique<TemperatureProbe>(rom, TemperatureProbe::Model::kDs18b20,
                                                  ValueModel(-3.25));
    };
    const std::vector<int> seen = SameBothWays<TemperatureProbe>(make, MisalignedMatch(rom));
    // The scratchpad begins five bits into the tenth byte after the slots.
    const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(-3.25 * 16));
    const std::size_t tenth = 3 + 1 + 3 + 9;
    EXPECT_EQ(((seen.at(tenth) >> 5) | (seen.at(tenth + 1) << 3)) & 0xFF, raw & 0xFF);

    // After a search by single slots the device takes whole bytes again.
    Script search;
    search.Reset().Send({0xF0});
    for (int bit = 0; bit < 64; ++bit) {
        const bool value = ((rom[static_cast<std::size_t>(bit / 8)] >> (bit % 8)) & 1) != 0;
        search.Bit(true).Bit(true).Bit(value);
    }
    search.Send({0xBE}).Read(9);
    const std::vector<int> found = SameBothWays<TemperatureProbe>(make, search);
    EXPECT_EQ(Crc8(Tail(found, found.size() - 9, 9)), 0) << "the search selected it";
}

TEST(BusBytes, AConversionThatEndsWithinAByteShowsInItsSlots) {
    // "the DS18B20 will respond by transmitting 0 while the temperature
    // conversion is in progress and 1 when the conversion is done": the end
    // falls between the fourth and fifth slot of the polling byte.
    for (const bool byteAtOnce : {true, false}) {
        TemperatureProbe probe(MakeRom(0x28, 7), TemperatureProbe::Model::kDs18b20,
                               ValueModel(30.0));
        Script script;
        const double start = 1.0 + 0.001 + (8 * kSlot + 0.0005);
        const double ends = start + 7 * kSlot + probe.ConversionSeconds();
        const double pollAt = start + 8 * kSlot + 0.0005;
        script.Reset().Send({0xCC, 0x44}).Wait(ends - 3.5 * kSlot - pollAt).Read(1);
        EXPECT_EQ(Drive(probe, script, byteAtOnce).back(), 0xF0) << "byte at once: " << byteAtOnce;
    }
}

TEST(BusBytes, HumiditySwitchAndCouplerChipsAnswerBytesAsSlots) {
    const Rom humidityRom = MakeRom(0x26, 0x99);
    Script humidity;
    humidity.Reset().Send({0xCC, 0x4E, 0x00, 0x00}).Reset().Send({0xCC, 0xB4}).Read(2);
    humidity.Wait(0.02).Read(1);
    humidity.Reset().Send({0xCC, 0xB8, 0x00}).Reset().Send({0xCC, 0xBE, 0x00}).Read(9);
    const std::vector<int> page = SameBothWays<HumidityProbe>(
        [&] {
            return std::make_unique<HumidityProbe>(humidityRom, ValueModel(55), ValueModel(20));
        },
        humidity);
    EXPECT_EQ(Crc8(Tail(page, page.size() - 9, 9)), 0);
    EXPECT_GT(page[page.size() - 9 + 3] | (page[page.size() - 9 + 4] << 8), 100) << "VAD, 10 mV";

    // Channel Access reading PIO-A with a CRC after every byte: the device
    // queues each next byte as the last one drains.
    const Rom switchRom = MakeRom(0x12, 0x31);
    Script channel;
    channel.Reset().Match(switchRom).Send({0xF5, 0xC5, 0xFF}).Read(10);
    channel.Reset().Match(switchRom).Send({0x55, 0x07, 0x00, 0x5F}).Read(3);
    const std::vector<int> access = SameBothWays<Ds2406Switch>(
        [&] { return std::make_unique<Ds2406Switch>(switchRom, ValueModel(1.0)); }, channel,
        [](const Ds2406Switch& a, const Ds2406Switch& b) {
            EXPECT_TRUE(a.OutputAOn());
            EXPECT_EQ(a.Status7(), b.Status7());
        });
    EXPECT_EQ(access.at(1 + 9 + 3), 0xCF) << "info byte: supply, two channels, levels high";
    EXPECT_EQ(access.at(1 + 9 + 4), 0xFF) << "PIO-A high";

    const Rom couplerRom = MakeRom(0x1F, 0x05);
    int branchResets = 0;
    const auto makeCoupler = [&] {
        auto coupler = std::make_unique<Ds2409Coupler>(couplerRom);
        coupler->SetBranchHooks(
            {[&branchResets](double) { return ++branchResets > 0; }, [](double) { return false; }});
        return coupler;
    };
    Script smartOn;
    smartOn.Reset().Match(couplerRom).Send({0x5A, 0x00}).Read(2);
    smartOn.Reset().Match(couplerRom).Send({0xCC, 0xFF}).Read(2);
    const std::vector<int> coupler = SameBothWays<Ds2409Coupler>(
        makeCoupler, smartOn, [](const Ds2409Coupler& a, const Ds2409Coupler& b) {
            EXPECT_TRUE(a.MainOn());
            EXPECT_TRUE(b.MainOn());
        });
    EXPECT_EQ(Tail(coupler, coupler.size() - 2, 2), (Bytes{0x00, 0xCC}));
    EXPECT_EQ(branchResets, 2);
}

}  // namespace
}  // namespace qrv::sim
