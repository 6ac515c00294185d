#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "feed/live_feed.h"
#include "web/live_state.h"
#include "web/station_source.h"

namespace qrv::web {

// One open live page: the messages of the push stream waiting for its
// connection. Bounded, so a page that reads slowly costs a fixed
// amount of memory; when it falls that far behind its queue is emptied and it
// gets a whole snapshot instead.
class PushStream {
  public:
    static constexpr std::size_t kMaxQueued = 32;

    PushStream(int taal, std::string session) : taal_(taal), session_(std::move(session)) {}

    int Taal() const { return taal_; }
    const std::string& SessionId() const { return session_; }

    // False when the queue overflowed and was emptied.
    bool Push(std::string message);
    // The next message; empty when none waits; none once closed.
    std::optional<std::string> Next();
    void Close();
    bool Closed() const;
    // Called (on the pushing or closing thread, with the stream's lock held,
    // so it must only hand the news on) when a message or the close arrives;
    // none after SetWaker({}) has returned.
    void SetWaker(std::function<void()> waker);
    // Whether the stream lost messages since the last call.
    bool TakeResync();

  private:
    void Wake();

    const int taal_;
    const std::string session_;
    mutable std::mutex mutex_;
    std::deque<std::string> queue_;
    bool resync_ = false;
    bool closed_ = false;
    std::function<void()> waker_;
};

// What the feed has told beyond the probe table: the time of each probe's
// last reading, and counts for the metrics.
struct FeedActivity {
    std::map<std::string, LocalDateTime> lastRead;
    std::uint64_t stores = 0;
    std::uint64_t storeFailures = 0;
    std::uint64_t feedDropped = 0;
};

// The server's one subscriber of the live-event feed: on its own thread it
// follows the feed, and after each batch of events (and once a second, for
// the countdowns) builds the live table once per language that has a page
// open and queues the changed rows to every stream. A slow page never
// delays the feed or the other pages.
class LivePush {
  public:
    LivePush(StationSource& source, std::size_t maxStreams);
    ~LivePush();
    LivePush(const LivePush&) = delete;
    LivePush& operator=(const LivePush&) = delete;

    // A new stream whose first message is the snapshot; none when maxStreams
    // are open already.
    std::shared_ptr<PushStream> Subscribe(int taal, const std::string& session);
    void Unsubscribe(const std::shared_ptr<PushStream>& stream);
    // Closes the streams of a session that ended.
    void CloseSession(const std::string& session);
    // Closes every stream: the server stops.
    void CloseAll();
    std::size_t Streams() const;

    // The live table with the last readings' times.
    LiveSnapshot Snapshot(int taal);
    FeedActivity Activity() const;

  private:
    void Run(const std::stop_token& stop);
    void Note(const LiveEvent& event);
    void Publish(bool resync);
    void Decorate(LiveSnapshot& snapshot) const;

    StationSource& source_;
    const std::size_t maxStreams_;
    FeedSubscription events_;
    mutable std::mutex activityMutex_;
    FeedActivity activity_;
    mutable std::mutex streamsMutex_;
    std::vector<std::shared_ptr<PushStream>> streams_;
    std::array<std::optional<LiveSnapshot>, 4> last_;
    std::jthread thread_;
};

// The push stream's text for one event.
std::string SseMessage(std::string_view event, const std::string& data);

}  // namespace qrv::web
