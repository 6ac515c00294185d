#include "acquisition/sms_worker.h"

#include "acquisition/sms_handoff.h"

#include <fmt/format.h>

#include <utility>

#include "text/texts.h"

namespace qrv::acquisition {

namespace {
constexpr std::string_view kNotHandedOff = "ERROR: SMS not handed off, the station shut down.";
}  // namespace

int SmsWorker::SendAlarmMessage(std::string text) {
    const SystemSettings settings = settings_.Snapshot();
    if (CheckIfSmsServerIsAavailable(settings)) {
        {
            std::lock_guard lock(mutex_);
            missingProgramShown_ = false;
        }
        Queue({std::move(text), {}, {}});
        return 0;
    }
    // A linked program that has gone would silence every alarm SMS: each
    // alarm it concerns says so in the log, the status line once.
    const std::string problem = LinkedSmsProgramProblem(settings);
    if (problem.empty()) {
        return kSmsSkipped;
    }
    log_.LogMessageToDisk(fmt::format("{} {}", SmsResultLogLine(kSmsNotConfigured), problem));
    bool show = false;
    {
        std::lock_guard lock(mutex_);
        show = !std::exchange(missingProgramShown_, true);
    }
    if (show) {
        display_.SetStatusLine(
            fmt::format("{} {}", text::Plain(text::Key::TXT_TEST_SMS_not_found, settings.Taal),
                        problem),
            colors::kAlarmRed);
    }
    return kSmsNotConfigured;
}

void SmsWorker::SendTestMessage(std::string text, std::function<void(int)> done) {
    Queue({std::move(text), std::move(done), {}});
}

void SmsWorker::SendTo(std::string destination, std::string text, std::function<void(int)> done) {
    Queue({std::move(text), std::move(done), std::move(destination)});
}

void SmsWorker::Queue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            jobs_.push_back(std::move(job));
            if (!thread_.joinable()) {
                thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
            }
            changed_.notify_all();
            return;
        }
    }
    log_.LogMessageToDisk(kNotHandedOff);
}

void SmsWorker::Run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (changed_.wait(lock, stop, [this] { return !jobs_.empty(); }) && !stop.stop_requested()) {
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        SystemSettings settings = settings_.Snapshot();
        if (!job.destination.empty()) {
            settings.SmSDestination = job.destination;
        }
        const int result = HandleSendSMS(settings, settings.SmSDestination, job.text, launcher_,
                                         clock_, log_, stop);
        if (job.done) {
            job.done(result);
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

bool SmsWorker::Busy() {
    std::lock_guard lock(mutex_);
    return busy_ || !jobs_.empty();
}

bool SmsWorker::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return jobs_.empty() && !busy_; });
}

void SmsWorker::Stop() {
    std::deque<Job> unsent;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        unsent.swap(jobs_);
    }
    for (std::size_t i = 0; i < unsent.size(); ++i) {
        log_.LogMessageToDisk(kNotHandedOff);
    }
}

}  // namespace qrv::acquisition
