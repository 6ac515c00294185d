#include "web/live_push.h"

#include <algorithm>
#include <utility>

#include "sensors/rom_text.h"

namespace qrv::web {

namespace {

constexpr std::chrono::milliseconds kRefresh{1000};
// More than enough for a burst of a hundred probes' readings between two of
// this thread's turns; beyond it the pages get a snapshot anyway.
constexpr std::size_t kFeedCapacity = 2048;

int Language(int taal) {
    return std::clamp(taal, 0, 3);
}

}  // namespace

std::string SseMessage(std::string_view event, const std::string& data) {
    std::string message;
    message.reserve(event.size() + data.size() + 16);
    message += "event: ";
    message += event;
    message += "\ndata: ";
    // JSON from nlohmann has no raw line breaks; a data line must not either.
    message += data;
    message += "\n\n";
    return message;
}

bool PushStream::Push(std::string message) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return true;
        }
        if (queue_.size() >= kMaxQueued) {
            queue_.clear();
            resync_ = true;
            Wake();
            return false;
        }
        queue_.push_back(std::move(message));
        Wake();
    }
    return true;
}

std::optional<std::string> PushStream::Next() {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return std::nullopt;
    }
    if (queue_.empty()) {
        return std::string();
    }
    std::string message = std::move(queue_.front());
    queue_.pop_front();
    return message;
}

void PushStream::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
        Wake();
    }
}

void PushStream::SetWaker(std::function<void()> waker) {
    const std::lock_guard lock(mutex_);
    waker_ = std::move(waker);
}

void PushStream::Wake() {
    if (waker_) {
        waker_();
    }
}

bool PushStream::Closed() const {
    const std::lock_guard lock(mutex_);
    return closed_;
}

bool PushStream::TakeResync() {
    const std::lock_guard lock(mutex_);
    return std::exchange(resync_, false);
}

LivePush::LivePush(StationSource& source, std::size_t maxStreams)
    : source_(source),
      maxStreams_(maxStreams),
      events_(source.Feed().Subscribe(kFeedCapacity)),
      thread_([this](const std::stop_token& stop) { Run(stop); }) {}

LivePush::~LivePush() {
    thread_.request_stop();
    events_.Close();
    thread_.join();
    const std::lock_guard lock(streamsMutex_);
    for (const auto& stream : streams_) {
        stream->Close();
    }
}

void LivePush::Run(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        const std::optional<LiveEvent> first = events_.WaitFor(kRefresh);
        if (first) {
            Note(*first);
        }
        FeedBatch batch = events_.Drain();
        for (const LiveEvent& event : batch.events) {
            Note(event);
        }
        if (stop.stop_requested()) {
            return;
        }
        bool resync = batch.dropped > 0;
        for (const LiveEvent& event : batch.events) {
            resync = resync || AsksForAFreshTable(event.kind);
        }
        if (first && AsksForAFreshTable(first->kind)) {
            resync = true;
        }
        Publish(resync);
    }
}

void LivePush::Note(const LiveEvent& event) {
    const std::lock_guard lock(activityMutex_);
    switch (event.kind) {
        case LiveEventKind::kReading:
            activity_.lastRead[RomToHex(event.rom)] = event.time;
            break;
        case LiveEventKind::kStored:
            ++activity_.stores;
            break;
        case LiveEventKind::kStoreFailed:
            ++activity_.storeFailures;
            break;
        default:
            break;
    }
    activity_.feedDropped = events_.Dropped();
}

void LivePush::Decorate(LiveSnapshot& snapshot) const {
    const std::lock_guard lock(activityMutex_);
    for (LiveRow& row : snapshot.probes) {
        const auto found = activity_.lastRead.find(row.rom);
        if (found != activity_.lastRead.end()) {
            row.lastRead = found->second;
        }
    }
}

LiveSnapshot LivePush::Snapshot(int taal) {
    LiveSnapshot snapshot = source_.Snapshot(Language(taal));
    Decorate(snapshot);
    return snapshot;
}

FeedActivity LivePush::Activity() const {
    const std::lock_guard lock(activityMutex_);
    return activity_;
}

void LivePush::Publish(bool resync) {
    std::array<bool, 4> wanted{};
    {
        const std::lock_guard lock(streamsMutex_);
        for (const auto& stream : streams_) {
            wanted[static_cast<std::size_t>(stream->Taal())] = true;
        }
    }
    for (int taal = 0; taal < 4; ++taal) {
        const auto slot = static_cast<std::size_t>(taal);
        if (!wanted[slot]) {
            const std::lock_guard lock(streamsMutex_);
            last_[slot].reset();
            continue;
        }
        // Built without the streams' lock: a new page must not wait for it.
        LiveSnapshot now = Snapshot(taal);
        const std::lock_guard lock(streamsMutex_);
        std::optional<std::string> message;
        std::string snapshotMessage;
        if (!last_[slot] || resync) {
            snapshotMessage = SseMessage("snapshot", SnapshotJson(now));
            message = snapshotMessage;
        } else {
            const LiveChange change = Compare(*last_[slot], now);
            if (change.needsSnapshot) {
                snapshotMessage = SseMessage("snapshot", SnapshotJson(now));
                message = snapshotMessage;
            } else if (change.update) {
                message = SseMessage("update", *change.update);
            }
        }
        last_[slot] = std::move(now);
        for (const auto& stream : streams_) {
            if (stream->Taal() != taal) {
                continue;
            }
            const bool lost = stream->TakeResync();
            if (lost || (message && !stream->Push(*message))) {
                if (snapshotMessage.empty()) {
                    snapshotMessage = SseMessage("snapshot", SnapshotJson(*last_[slot]));
                }
                stream->Push(snapshotMessage);
                stream->TakeResync();
            }
        }
    }
}

std::shared_ptr<PushStream> LivePush::Subscribe(int taal, const std::string& session) {
    const int language = Language(taal);
    const auto slot = static_cast<std::size_t>(language);
    const std::lock_guard lock(streamsMutex_);
    if (streams_.size() >= maxStreams_) {
        return nullptr;
    }
    if (!last_[slot]) {
        last_[slot] = Snapshot(language);
    }
    auto stream = std::make_shared<PushStream>(language, session);
    stream->Push(SseMessage("snapshot", SnapshotJson(*last_[slot])));
    streams_.push_back(stream);
    return stream;
}

void LivePush::Unsubscribe(const std::shared_ptr<PushStream>& stream) {
    stream->Close();
    const std::lock_guard lock(streamsMutex_);
    std::erase(streams_, stream);
}

void LivePush::CloseSession(const std::string& session) {
    const std::lock_guard lock(streamsMutex_);
    for (const auto& stream : streams_) {
        if (stream->SessionId() == session) {
            stream->Close();
        }
    }
}

void LivePush::CloseAll() {
    const std::lock_guard lock(streamsMutex_);
    for (const auto& stream : streams_) {
        stream->Close();
    }
}

std::size_t LivePush::Streams() const {
    const std::lock_guard lock(streamsMutex_);
    return streams_.size();
}

}  // namespace qrv::web
