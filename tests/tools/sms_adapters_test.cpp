// The SMS adapters as the station starts them: through the program launcher,
// with the text split into words, never through a shell.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stop_token>

#include "acquisition/sms_handoff.h"
#include "runtime/clock.h"
#include "runtime/program_launcher.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

const std::string kAwkwardText =
    "QUORVANEL MESSAGE:   say \"hi\" 'there' $HOME; `touch /tmp/qrv-pwned` $(id) & | > x";
// The words as they arrive, joined by single blanks.
const std::string kArrived =
    "QUORVANEL MESSAGE: say \"hi\" 'there' $HOME; `touch /tmp/qrv-pwned` $(id) & | > x";

// Real time running twenty times faster, so a one-second poll takes fifty
// milliseconds while the adapters run as they do: the ten polls of "too fast"
// leave a loaded machine half a second to start a script.
class FastClock final : public Clock {
  public:
    LocalDateTime Now() const override { return real_.Now(); }
    double Timer() const override { return real_.Timer() * kFactor; }
    void Delay(double seconds) override { real_.Delay(seconds / kFactor); }
    bool SleepUntil(double deadline, const std::stop_token& stop) override {
        return real_.SleepUntil(deadline / kFactor, stop);
    }

  private:
    static constexpr double kFactor = 20.0;
    RealClock real_;
};

class SmsAdapters : public ::testing::Test {
  protected:
    SmsAdapters() {
        ::setenv("QRV_SMS_HOLD", "0", 1);
        ::setenv("QRV_SMS_OUTBOX", (dir / "outbox.txt").c_str(), 1);
    }
    int HandOff(const std::string& program, const std::string& text) {
        SystemSettings settings;
        settings.SmSProgramSource = program;
        settings.SmSDestination = "0612345678";
        return acquisition::HandleSendSMS(settings, settings.SmSDestination, text, launcher, clock,
                                          log, std::stop_token{});
    }

    TempDir dir;
    FastClock clock;
    PosixProgramLauncher launcher;
    RecordingLog log;
};

TEST_F(SmsAdapters, TheFileAdapterAppendsTheTextUnchanged) {
    EXPECT_EQ(HandOff(QRV_SMS_FILE_ADAPTER, kAwkwardText), acquisition::kSmsTooFast);
    EXPECT_EQ(HandOff(QRV_SMS_FILE_ADAPTER, "second"), acquisition::kSmsTooFast);
    const std::string outbox = ReadBytes(dir / "outbox.txt");
    const std::string first = "  to 0612345678: " + kArrived + "\n";
    ASSERT_NE(outbox.find(first), std::string::npos) << outbox;
    EXPECT_NE(outbox.find("  to 0612345678: second\n"), std::string::npos);
    EXPECT_EQ(outbox.size(),
              2 * 19 + first.size() + std::string("  to 0612345678: second\n").size());
    EXPECT_FALSE(std::filesystem::exists("/tmp/qrv-pwned"));
}

TEST_F(SmsAdapters, TheGammuAdapterPassesTheTextAsOneArgument) {
    // A stand-in for gammu that writes each argument on a line of its own.
    const auto fake = dir / "gammu";
    WriteBytes(fake, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$QRV_SMS_OUTBOX\"\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    ::setenv("QRV_GAMMU", fake.c_str(), 1);
    EXPECT_EQ(HandOff(QRV_SMS_GAMMU_ADAPTER, kAwkwardText), acquisition::kSmsTooFast);
    EXPECT_EQ(ReadBytes(dir / "outbox.txt"),
              "sendsms\nTEXT\n0612345678\n-textutf8\n" + kArrived + "\n");

    WriteBytes(fake, "#!/bin/sh\nexit 3\n");
    EXPECT_EQ(HandOff(QRV_SMS_GAMMU_ADAPTER, "x"), acquisition::kSmsFailed);
    ::unsetenv("QRV_GAMMU");
}

}  // namespace
}  // namespace qrv::testing
