// Measures the web dashboard beside live monitoring of 100 probes on the
// simulated unit, in real time:
//
//   web_bench SECONDS STREAMS   the station alone for SECONDS, then with
//                               STREAMS live pages open for SECONDS: the
//                               station process's CPU and memory in both,
//                               the time from a reading to its arrival at
//                               the pages, and the timer thread's ticks
//
// The pages are read by a second process (this program again, "pages
// PORT COOKIE STREAMS"), so that their own CPU is not counted; both processes
// take their times from the one monotonic clock.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/clock_timer_platform.h"
#include "sensors/rom_text.h"
#include "station/web_link.h"
#include "support/hundred_probe_station.h"
#include "web/live_state.h"

extern char** environ;

namespace {

using namespace qrv;
using Steady = std::chrono::steady_clock;

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

double RssMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0.0;
}

// Times every tick of the network timer, to see whether the pages delay it.
class TimedPlatform final : public acquisition::PeriodicTimerPlatform {
  public:
    explicit TimedPlatform(acquisition::PeriodicTimerPlatform& inner) : inner_(inner) {}
    int MinimumPeriodMs() const override { return inner_.MinimumPeriodMs(); }
    int Start(int periodMs, std::function<void()> procedure) override {
        period_ = periodMs;
        return inner_.Start(periodMs, [this, procedure = std::move(procedure)] {
            {
                const std::lock_guard lock(mutex_);
                ticks_.push_back(NowNs());
            }
            procedure();
        });
    }
    int Kill(int timerId) override { return inner_.Kill(timerId); }
    double Now() const override { return inner_.Now(); }

    // Lateness of each tick against the first tick of the span and the
    // period, in ms: median, 99 % and worst.
    std::array<double, 3> Lateness(long long from, long long to) {
        const std::lock_guard lock(mutex_);
        std::vector<long long> span;
        for (const long long tick : ticks_) {
            if (tick >= from && tick < to) {
                span.push_back(tick);
            }
        }
        std::vector<double> late;
        for (std::size_t i = 1; i < span.size(); ++i) {
            late.push_back((span[i] - span[i - 1]) / 1e6 - period_);
        }
        std::sort(late.begin(), late.end());
        if (late.empty()) {
            return {0, 0, 0};
        }
        return {late[late.size() / 2], late[late.size() * 99 / 100], late.back()};
    }

  private:
    acquisition::PeriodicTimerPlatform& inner_;
    int period_ = 1000;
    std::mutex mutex_;
    std::vector<long long> ticks_;
};

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string LogIn(int port) {
    const int fd = Connect(port);
    const std::string body = R"({"name":"bench","password":"bench-password"})";
    const std::string request =
        "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
        "Connection: close\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    const std::size_t at = answer.find("qrv_session=");
    return at == std::string::npos ? std::string() : answer.substr(at, 12 + 64);
}

// The pages' process: opens the streams and prints, for every row of every
// update, "ROM LASTREAD NANOSECONDS" when it arrived.
int RunPages(int port, const std::string& cookie, int streams, double seconds) {
    std::vector<pollfd> fds;
    std::vector<std::string> pending(static_cast<std::size_t>(streams));
    for (int i = 0; i < streams; ++i) {
        const int fd = Connect(port);
        const std::string request =
            "GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n";
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        fds.push_back({fd, POLLIN, 0});
    }
    std::printf("open\n");
    std::fflush(stdout);
    const auto end = Steady::now() + std::chrono::duration<double>(seconds);
    char buffer[65536];
    while (Steady::now() < end) {
        if (::poll(fds.data(), fds.size(), 100) <= 0) {
            continue;
        }
        const long long now = NowNs();
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0) {
                continue;
            }
            const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                fds[i].fd = -1;
                continue;
            }
            std::string& text = pending[i];
            text.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t cut; (cut = text.find("\n\n")) != std::string::npos;) {
                const std::string message = text.substr(0, cut);
                text.erase(0, cut + 2);
                if (!message.starts_with("event: update") || i != 0) {
                    continue;
                }
                // One page reports its arrivals; all pages get the same.
                const auto data = nlohmann::json::parse(message.substr(message.find('{')));
                for (const auto& row : data["probes"]) {
                    if (row["lastRead"].is_string()) {
                        std::printf("%s %s %lld\n", row["rom"].get<std::string>().c_str(),
                                    row["lastRead"].get<std::string>().c_str(), now);
                    }
                }
            }
        }
    }
    for (const pollfd& fd : fds) {
        ::close(fd.fd);
    }
    return 0;
}

struct Phase {
    double cpuPercent;
    double rssMb;
    std::array<double, 3> lateness;
};

int RunBench(const std::filesystem::path& dir, double seconds, int streams) {
    RealClock clock;
    acquisition::ClockTimerPlatform clockTimers(clock);
    TimedPlatform timers(clockTimers);
    bench::BenchStation station(clock, timers, dir);
    {
        web::AccountStore accounts(shell::WebAccountsFile(station.state.paths),
                                   web::HashCost::Minimum());
        accounts.Add("bench", web::Role::kViewer, "bench-password");
    }
    if (!station.Install()) {
        std::fprintf(stderr, "the simulated unit did not answer\n");
        return 1;
    }
    std::mutex mutex;
    std::map<std::string, long long> readings;
    FeedThread feedTimes(station.monitoring.Feed().Subscribe(), [&](const LiveEvent& event) {
        if (event.kind == LiveEventKind::kReading) {
            const std::lock_guard lock(mutex);
            readings.emplace(RomToHex(event.rom) + " " + web::IsoTime(event.time), NowNs());
        }
    });
    WebConfig config;
    config.enabled = true;
    config.listen = "127.0.0.1:18977";
    config.maxStreams = std::max(streams, 1);
    bench::NoLog log;
    shell::StationWeb web(config, station.state, station.monitoring, clock, log);
    if (!web.Running()) {
        std::fprintf(stderr, "the web server did not start\n");
        return 1;
    }
    auto runFor = [&](double span, const std::function<bool()>& stop) {
        auto tick = Steady::now();
        for (int second = 0; second < static_cast<int>(span) && !stop(); ++second) {
            tick += std::chrono::seconds(1);
            std::this_thread::sleep_until(tick);
            station.TakeReadings();
            shell::SampleTimer(station.state, station.services);
            station.core.Serve();
        }
    };
    auto measure = [&](double span, const std::function<bool()>& stop) {
        const long long from = NowNs();
        const double cpu = bench::CpuSeconds();
        runFor(span, stop);
        return Phase{100.0 * (bench::CpuSeconds() - cpu) / span, RssMegabytes(),
                     timers.Lateness(from, NowNs())};
    };
    runFor(5, [] { return false; });
    const Phase alone = measure(seconds, [] { return false; });

    const std::string cookie = LogIn(web.Server()->Port());
    int pipeFds[2];
    if (cookie.empty() || ::pipe(pipeFds) != 0) {
        std::fprintf(stderr, "cannot log in\n");
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args{"/proc/self/exe",
                                  "pages",
                                  std::to_string(web.Server()->Port()),
                                  cookie,
                                  std::to_string(streams),
                                  std::to_string(seconds + 8)};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pages = 0;
    posix_spawn(&pages, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    FILE* arrivals = ::fdopen(pipeFds[0], "r");
    char line[256];
    if (std::fgets(line, sizeof line, arrivals) == nullptr) {
        std::fprintf(stderr, "the pages did not open\n");
        return 1;
    }
    std::vector<std::string> lines;
    std::thread reader([&] {
        while (std::fgets(line, sizeof line, arrivals) != nullptr) {
            lines.emplace_back(line);
        }
    });
    runFor(3, [] { return false; });
    const std::size_t open = web.Server()->Push().Streams();
    const Phase withPages = measure(seconds, [] { return false; });
    reader.join();
    int status = 0;
    ::waitpid(pages, &status, 0);

    // A row is sent again when another of its cells changes: a reading's
    // delay is that of its first arrival.
    std::map<std::string, long long> firstArrival;
    for (const std::string& arrival : lines) {
        const std::size_t last = arrival.rfind(' ');
        const long long at = std::stoll(arrival.substr(last + 1));
        auto [it, fresh] = firstArrival.emplace(arrival.substr(0, last), at);
        if (!fresh) {
            it->second = std::min(it->second, at);
        }
    }
    std::vector<double> delays;
    {
        const std::lock_guard lock(mutex);
        for (const auto& [key, at] : firstArrival) {
            const auto found = readings.find(key);
            if (found != readings.end()) {
                delays.push_back((at - found->second) / 1e6);
            }
        }
    }
    std::sort(delays.begin(), delays.end());
    std::printf("seconds per phase      %.0f\n", seconds);
    std::printf("live pages open        %zu\n", open);
    std::printf(
        "station cpu            %.3f %% of one core alone, %.3f %% with the pages "
        "(+%.3f)\n",
        alone.cpuPercent, withPages.cpuPercent, withPages.cpuPercent - alone.cpuPercent);
    std::printf("station memory (RSS)   %.1f MB alone, %.1f MB with the pages (+%.1f)\n",
                alone.rssMb, withPages.rssMb, withPages.rssMb - alone.rssMb);
    if (!delays.empty()) {
        std::printf(
            "reading to page        %zu timed: median %.1f ms, 99 %% %.1f ms, max %.1f ms\n",
            delays.size(), delays[delays.size() / 2], delays[delays.size() * 99 / 100],
            delays.back());
    }
    std::printf("tick lateness alone    median %.2f ms, 99 %% %.2f ms, max %.2f ms\n",
                alone.lateness[0], alone.lateness[1], alone.lateness[2]);
    std::printf("tick lateness w/ pages median %.2f ms, 99 %% %.2f ms, max %.2f ms\n",
                withPages.lateness[0], withPages.lateness[1], withPages.lateness[2]);
    station.monitoring.DiscardAsyncNetworkTimer();
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 5 && args[0] == "pages") {
        return RunPages(std::stoi(args[1]), args[2], std::stoi(args[3]), std::stod(args[4]));
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: web_bench SECONDS STREAMS\n");
        return 2;
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("qrv-web-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const int status = RunBench(dir, std::stod(args[0]), std::stoi(args[1]));
    std::filesystem::remove_all(dir);
    return status;
}
