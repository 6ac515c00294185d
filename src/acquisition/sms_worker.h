#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "runtime/program_launcher.h"
#include "runtime/status_display.h"
#include "settings/settings_owner.h"

namespace qrv::acquisition {

// Where the alarm evaluation hands its SMS texts.
class AlarmSmsSink {
  public:
    virtual ~AlarmSmsSink() = default;
    // 0 when the text is on its way; kSmsSkipped when SMS is not configured;
    // kSmsNotConfigured (logged) when the linked program is missing.
    virtual int SendAlarmMessage(std::string text) = 0;
};

// Runs the hand-offs to the SMS program on a thread of its own, in the order
// they come, one at a time, so that acquisition, alarms and stores go on
// while a hand-off takes its 11 to 61 seconds. At shutdown a hand-off still
// running is terminated and every message not handed off is logged.
class SmsWorker final : public AlarmSmsSink {
  public:
    SmsWorker(const SettingsOwner& settings, ProgramLauncher& launcher, Clock& clock, EventLog& log,
              StatusDisplay& display)
        : settings_(settings), launcher_(launcher), clock_(clock), log_(log), display_(display) {}
    ~SmsWorker() override { Stop(); }
    SmsWorker(const SmsWorker&) = delete;
    SmsWorker& operator=(const SmsWorker&) = delete;

    int SendAlarmMessage(std::string text) override;
    // Hands a test message off; done receives the result on the worker thread.
    void SendTestMessage(std::string text, std::function<void(int)> done);
    // Hands text off to another phone-book name than the settings' one (a
    // contact's); done receives the result on the worker thread.
    void SendTo(std::string destination, std::string text, std::function<void(int)> done);

    // Whether a hand-off runs or waits. Any thread.
    bool Busy();
    // Waits (in real time, at most timeout) until nothing is queued or running.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    void Stop();

  private:
    struct Job {
        std::string text;
        std::function<void(int)> done;
        std::string destination;  // empty: the settings' destination
    };

    void Queue(Job job);
    void Run(const std::stop_token& stop);

    const SettingsOwner& settings_;
    ProgramLauncher& launcher_;
    Clock& clock_;
    EventLog& log_;
    StatusDisplay& display_;

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool missingProgramShown_ = false;
    bool stopped_ = false;
    std::jthread thread_;
};

}  // namespace qrv::acquisition
