#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv {

// Command and reply codes of the DS2480B serial 1-Wire line driver. The
// driver always works at flexible speed so that the cable-timing parameters
// take effect.
namespace ds2480 {
inline constexpr std::uint8_t kDataMode = 0xE1;
inline constexpr std::uint8_t kCommandMode = 0xE3;
inline constexpr std::uint8_t kReset = 0xC5;
inline constexpr std::uint8_t kCalibrationReset = 0xC1;
inline constexpr std::uint8_t kBitZero = 0x85;
inline constexpr std::uint8_t kBitOne = 0x95;
inline constexpr std::uint8_t kSearchOn = 0xB5;
inline constexpr std::uint8_t kSearchOff = 0xA5;
// Ends a pulse of infinite duration; the pulse's own reply follows.
inline constexpr std::uint8_t kPulseEnd = 0xF1;
// In a single-bit command: the strong pull-up follows the slot.
inline constexpr std::uint8_t kBitThenPullUp = 0x02;

// Configuration parameters (bits 6:4 of a configuration command).
inline constexpr int kSlewRate = 1;    // PDSRC
inline constexpr int kPullUpTime = 3;  // SPUD
inline constexpr int kPullUpInfinite = 7;
inline constexpr int kWrite1Low = 4;     // W1LT
inline constexpr int kSampleOffset = 5;  // DSO/W0RT
inline constexpr int kBaudRate = 7;      // RBR

constexpr std::uint8_t ConfigWrite(int parameter, int value) {
    return static_cast<std::uint8_t>((parameter << 4) | (value << 1) | 1);
}
constexpr std::uint8_t ConfigRead(int parameter) {
    return static_cast<std::uint8_t>((parameter << 1) | 1);
}
}  // namespace ds2480

// Result of a 1-Wire reset as the driver reports it.
enum class ResetResult { kNoPresence = 0, kPresence = 1, kAlarmingPresence = 2, kShort = 3 };

// One exchange with the bridge: the bytes to send, already switched between
// command and data mode, and the number of reply bytes they produce. Built
// in one piece so that a whole 1-Wire operation goes out in one write.
class Ds2480Exchange {
  public:
    explicit Ds2480Exchange(bool startsInDataMode) : dataMode_(startsInDataMode) {}

    // Each returns the index of its first reply byte.
    int Reset();
    int Bit(bool value);
    // A single bit after which the strong pull-up holds the bus (for as long
    // as the SPUD parameter says; an infinite one until EndPulse).
    int BitThenPullUp(bool value);
    // Ends an infinite pulse; its reply is the pulse's.
    int EndPulse();
    int Data(std::span<const std::uint8_t> bytes);
    int Config(std::uint8_t command);
    // The search accelerator around 16 data bytes of ROM-bit choices.
    int AcceleratedSearch(std::span<const std::uint8_t, 16> choices);

    const std::vector<std::uint8_t>& Bytes() const { return out_; }
    int ReplyCount() const { return replies_; }
    bool EndsInDataMode() const { return dataMode_; }
    // Whether a bridge could have sent these replies to these bytes: a reply
    // that no bridge sends means the byte stream has slipped.
    bool Plausible(std::span<const std::uint8_t> replies) const;

  private:
    enum class ReplyKind { kReset, kBit, kData, kConfig, kSearch, kPulse };
    struct Expected {
        ReplyKind kind;
        std::uint8_t sent;
    };

    void ToCommandMode();
    void ToDataMode();
    void AppendData(std::uint8_t byte);
    int Expect(ReplyKind kind, std::uint8_t sent);

    std::vector<std::uint8_t> out_;
    std::vector<Expected> expected_;
    int replies_ = 0;
    bool dataMode_;
};

// How often the link to a bridge failed and was brought back.
struct BridgeStats {
    int failedExchanges = 0;  // exchanges whose replies did not all come back
    int resyncs = 0;          // attempts to bring the bridge back to a known state
    int failedResyncs = 0;    // attempts after which it still did not answer
};

// The bridge on an open serial port: mode tracking, master reset and
// calibration, and exchanges with a deadline on every read. After a failed
// exchange the mode is unknown, so the next one first resynchronises: a
// break, calibration, the way back to command mode (whether or not the
// break arrived), the configuration written so far, and a check that the
// bridge answers before anything else is sent.
class Ds2480Bridge {
  public:
    using EventNote = std::function<void(std::string_view)>;

    Ds2480Bridge(SerialPort& port, Clock& clock, EventNote note = {});

    // Master reset, calibration and a check that the bridge answers with the
    // expected configuration echoes. False when nothing sensible came back.
    bool Setup();

    // Starts an exchange in the bridge's current mode; after a failed
    // exchange this first brings the bridge back to a known state.
    Ds2480Exchange Begin();
    // The replies, or nullopt when the link failed. The exchange must come
    // from the latest Begin().
    std::optional<std::vector<std::uint8_t>> Exchange(const Ds2480Exchange& exchange);

    // The configuration value codes (0..7) last written per parameter.
    void RememberConfig(int parameter, int value);

    // Makes the next exchange first resynchronise, as after a failed one:
    // for a caller whose replies were plausible but wrong.
    void RequestResync() { needsResync_ = true; }

    static std::optional<ResetResult> DecodeReset(std::uint8_t reply);

    const BridgeStats& Stats() const { return stats_; }

  private:
    bool MasterReset();
    bool Probe();
    bool ReadFully(std::span<std::uint8_t> bytes);
    bool RestoreConfig();
    bool Resynchronise();

    SerialPort& port_;
    Clock& clock_;
    EventNote note_;
    BridgeStats stats_;
    bool dataMode_ = false;
    bool needsResync_ = true;
    std::array<int, 8> writtenConfig_{-1, -1, -1, -1, -1, -1, -1, -1};
};

}  // namespace qrv
