#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace qrv::testing {

// Waits in real time, at most timeout, until done() holds.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// An HTTP server of the test's own on a loopback port: records every
// request and answers with the status set, or holds the answer back until
// released (a receiver that hangs).
class HttpReceiver {
  public:
    struct Request {
        std::string head;  // request line and headers
        std::string body;
    };

    HttpReceiver();
    ~HttpReceiver();
    HttpReceiver(const HttpReceiver&) = delete;
    HttpReceiver& operator=(const HttpReceiver&) = delete;

    std::string Url() const;
    void AnswerWith(int status);
    // While held, requests are read and recorded but not answered.
    void Hold(bool hold);
    std::vector<Request> Requests() const;
    std::size_t Count() const { return Requests().size(); }

  private:
    void Serve(const std::stop_token& stop);
    void Answer(int connection, const std::stop_token& stop);

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable_any released_;
    std::vector<Request> requests_;
    int status_ = 200;
    bool hold_ = false;
    std::jthread thread_;
};

// Debian's aiosmtpd on a loopback port, writing what it receives to a
// maildir.
class SmtpReceiver {
  public:
    explicit SmtpReceiver(const std::filesystem::path& maildir);
    ~SmtpReceiver();
    SmtpReceiver(const SmtpReceiver&) = delete;
    SmtpReceiver& operator=(const SmtpReceiver&) = delete;

    std::string Url() const;
    bool Ready() const { return ready_; }
    // The mails received so far, whole.
    std::vector<std::string> Mails() const;

  private:
    std::filesystem::path maildir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace qrv::testing
