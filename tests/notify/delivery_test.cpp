// Deliveries to real receivers: webhooks to an HTTP server of the test's own,
// mail to aiosmtpd, retries and given-up deliveries on virtual time, and a
// receiver that hangs while the others go on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <limits>
#include <mutex>

#include "notify/contact_delivery.h"
#include "notify/curl_channels.h"
#include "receivers.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace qrv::notify {
namespace {

using testing::HttpReceiver;
using testing::RecordingLog;
using testing::WaitUntil;

NotifyContact Webhook(const std::string& name, const std::string& url, std::string token = {}) {
    NotifyContact contact;
    contact.name = name;
    contact.channel = NotifyChannel::kWebhook;
    contact.address = url;
    contact.token = std::move(token);
    return contact;
}

Message Sample(const std::string& title) {
    Notice notice;
    notice.kind = NoticeKind::kAlarm;
    notice.facts.name = "Freezer";
    notice.facts.sensorType = kTypeTemperature;
    notice.facts.units = "°C";
    notice.facts.value = -9.5;
    notice.facts.state = kAlarmHigh;
    notice.facts.alarmHigh = -15;
    notice.id = "qrv-test-" + title;
    Message message = MessageOf(notice, 0, "Lab 3", "lab", "");
    message.title = title;
    return message;
}

// The program log with each entry's priority as the journal has it.
class PriorityLog final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view message) override { Add("<6>", message); }
    void LogProblem(std::string_view message) override { Add("<4>", message); }
    void LogFailure(std::string_view message) override { Add("<3>", message); }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    void Add(std::string_view priority, std::string_view message) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::string(priority) + std::string(message));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

int Lines(const RecordingLog& log, const std::string& part) {
    int n = 0;
    for (const std::string& line : log.Messages()) {
        n += line.find(part) != std::string::npos ? 1 : 0;
    }
    return n;
}

TEST(Webhook, PostsTheDocumentWithTheBearerTokenAndRetriesUntilAccepted) {
    VirtualClock clock;
    RecordingLog log;
    HttpReceiver receiver;
    WebhookChannel channel(std::chrono::seconds(5));
    ContactDelivery delivery(Webhook("Anna", receiver.Url(), "tk_secret"), channel, clock, log);

    receiver.AnswerWith(503);
    delivery.Send(Sample("High Alarm: Freezer"));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 1 && delivery.Idle(); }));
    EXPECT_EQ(Lines(log,
                    "Notification to Anna by webhook (High Alarm: Freezer): attempt 1 "
                    "failed (HTTP 503: ok); next in 1 min"),
              1);
    const HttpReceiver::Request first = receiver.Requests().front();
    EXPECT_TRUE(first.head.starts_with("POST /hook HTTP/1.1"));
    EXPECT_NE(first.head.find("Authorization: Bearer tk_secret"), std::string::npos);
    EXPECT_NE(first.head.find("Content-Type: application/json"), std::string::npos);
    const nlohmann::json doc = nlohmann::json::parse(first.body);
    EXPECT_EQ(doc["topic"], "lab");
    EXPECT_EQ(doc["title"], "High Alarm: Freezer -9.5 °C");
    EXPECT_EQ(doc["probe"], "Freezer");
    EXPECT_EQ(doc["state"], "high_alarm");
    EXPECT_DOUBLE_EQ(doc["value"].get<double>(), -9.5);
    EXPECT_EQ(doc["limits"]["alarm_high"], -15);
    EXPECT_EQ(doc["station"], "Lab 3");

    // Not before its wait is over.
    clock.Advance(59);
    ASSERT_TRUE(WaitUntil([&] { return delivery.Idle(); }));
    EXPECT_EQ(receiver.Count(), 1u);
    clock.Advance(1);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 2 && delivery.Idle(); }));
    receiver.AnswerWith(200);
    clock.Advance(120);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 3 && delivery.Idle(); }));
    EXPECT_EQ(Lines(log, "attempt 3 delivered (HTTP 200)"), 1);
    EXPECT_EQ(Lines(log, "tk_secret"), 0);
    EXPECT_EQ(Lines(log, receiver.Url()), 0);
}

TEST(Webhook, AReceiverThatNeverAcceptsIsGivenUpAfterAnHourWithoutHoldingUpNewerMessages) {
    VirtualClock clock;
    RecordingLog log;
    HttpReceiver receiver;
    WebhookChannel channel(std::chrono::seconds(5));
    ContactDelivery delivery(Webhook("Ben", receiver.Url()), channel, clock, log);
    receiver.AnswerWith(500);
    delivery.Send(Sample("first"));
    ASSERT_TRUE(WaitUntil([&] { return delivery.Idle(); }));
    clock.Advance(30);
    delivery.Send(Sample("second"));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 2 && delivery.Idle(); }));
    while (clock.NextWakeUp() < 1e9) {
        clock.Advance(clock.NextWakeUp() - clock.Timer());
        ASSERT_TRUE(WaitUntil([&] { return delivery.Idle(); }));
    }
    EXPECT_EQ(Lines(log, "(first): attempt 7 failed (HTTP 500: ok); given up"), 1);
    EXPECT_EQ(Lines(log, "(second): attempt 7 failed (HTTP 500: ok); given up"), 1);
    EXPECT_EQ(Lines(log, "(first): attempt"), 7);
    EXPECT_EQ(receiver.Count(), 14u);
    EXPECT_DOUBLE_EQ(clock.Timer() - 30.0, 3600.0);
}

TEST(Webhook, AReceiverThatHangsDelaysNoOtherContactAndTimesOut) {
    VirtualClock clock;
    RecordingLog log;
    HttpReceiver hanging;
    HttpReceiver working;
    WebhookChannel channel(std::chrono::seconds(1));
    ContactDelivery anna(Webhook("Anna", hanging.Url()), channel, clock, log);
    ContactDelivery ben(Webhook("Ben", working.Url()), channel, clock, log);
    hanging.Hold(true);
    anna.Send(Sample("to Anna"));
    ASSERT_TRUE(WaitUntil([&] { return hanging.Count() == 1; }));
    ben.Send(Sample("to Ben"));
    ASSERT_TRUE(WaitUntil([&] { return Lines(log, "(to Ben): attempt 1 delivered") == 1; }));
    // Anna's receiver still holds her first attempt.
    EXPECT_EQ(Lines(log, "(to Anna)"), 0);
    ASSERT_TRUE(WaitUntil([&] { return Lines(log, "(to Anna): attempt 1 failed") == 1; }));
    EXPECT_EQ(Lines(log, "timed out"), 1);
    // The retry after the time-out is the same notice, with the same id, so
    // a receiver that took the first copy after all drops this one.
    hanging.Hold(false);
    clock.Advance(60);
    ASSERT_TRUE(WaitUntil([&] { return Lines(log, "(to Anna): attempt 2 delivered") == 1; }));
    ASSERT_EQ(hanging.Count(), 2u);
    for (const HttpReceiver::Request& request : hanging.Requests()) {
        EXPECT_EQ(nlohmann::json::parse(request.body)["id"], "qrv-test-to Anna");
        EXPECT_NE(request.head.find("X-Sequence-ID: qrv-test-to Anna"), std::string::npos);
    }
}

TEST(Webhook, ARefusalForGoodIsGivenUpAtOnceAndABusyReceiverIsTriedAgain) {
    VirtualClock clock;
    RecordingLog log;
    HttpReceiver receiver;
    WebhookChannel channel(std::chrono::seconds(5));
    ContactDelivery delivery(Webhook("Anna", receiver.Url()), channel, clock, log);
    for (const int status : {400, 401, 404, 410}) {
        receiver.AnswerWith(status);
        delivery.Send(Sample(std::to_string(status)));
        ASSERT_TRUE(WaitUntil([&] {
            return Lines(log, "(" + std::to_string(status) + "): attempt 1 refused (HTTP " +
                                  std::to_string(status) + ": ok); given up") == 1 &&
                   delivery.Idle();
        }));
    }
    EXPECT_EQ(delivery.NextDue(), std::numeric_limits<double>::infinity());
    for (const int status : {408, 429, 500}) {
        receiver.AnswerWith(status);
        delivery.Send(Sample(std::to_string(status)));
        ASSERT_TRUE(WaitUntil([&] {
            return Lines(log, "(" + std::to_string(status) + "): attempt 1 failed (HTTP " +
                                  std::to_string(status) + ": ok); next in 1 min") == 1 &&
                   delivery.Idle();
        }));
    }
    EXPECT_EQ(receiver.Count(), 7u);
}

// A failed attempt warns, the notice given up is an error, and the tally
// shows both until the contact is reached again.
TEST(Webhook, FailedAttemptsWarnAGivenUpNoticeIsAnErrorAndTheTallyCountsBoth) {
    VirtualClock clock;
    PriorityLog log;
    HttpReceiver receiver;
    WebhookChannel channel(std::chrono::seconds(5));
    NoticeTally tally;
    ContactDelivery delivery(Webhook("Anna", receiver.Url()), channel, clock, log, {}, {}, &tally);
    const auto lines = [&] { return log.Lines(); };
    receiver.AnswerWith(500);
    delivery.Send(Sample("High Alarm: Freezer"));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 1 && delivery.Idle(); }));
    receiver.AnswerWith(404);
    clock.Advance(60);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 2 && delivery.Idle(); }));
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  "<4>Notification to Anna by webhook (High Alarm: Freezer): attempt 1 failed "
                  "(HTTP 500: ok); next in 1 min",
                  "<3>Notification to Anna by webhook (High Alarm: Freezer): attempt 2 refused "
                  "(HTTP 404: ok); given up"}));
    NoticeTotals totals = tally.Totals();
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kFailed), 2u);
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kGivenUp), 1u);
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kDelivered), 0u);
    EXPECT_EQ(totals.Count(NotifyChannel::kEmail, NoticeOutcome::kFailed), 0u);
    ASSERT_TRUE(totals.lastGivenUp.has_value());
    EXPECT_EQ(*totals.lastGivenUp, (GivenUpNotice{clock.Now(), "Anna", NotifyChannel::kWebhook,
                                                  "High Alarm: Freezer", "HTTP 404: ok"}));

    // Reached again: the sign goes, the counts stay.
    receiver.AnswerWith(200);
    delivery.Send(Sample("Value OK: Freezer"));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 3 && delivery.Idle(); }));
    totals = tally.Totals();
    EXPECT_FALSE(totals.lastGivenUp.has_value());
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kDelivered), 1u);
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kGivenUp), 1u);
    EXPECT_EQ(lines().back().substr(0, 3), "<6>");
}

// Retries wait; the end of the alarm they are about makes them untrue.
TEST(Webhook, TheEndOfAnAlarmDropsWhatWaitsForARetryAndLeavesOtherAlarmsAlone) {
    VirtualClock clock;
    RecordingLog log;
    HttpReceiver receiver;
    WebhookChannel channel(std::chrono::seconds(5));
    ContactDelivery delivery(Webhook("Anna", receiver.Url()), channel, clock, log);
    receiver.AnswerWith(503);
    const auto about = [](std::string title, std::string alarm, NoticeKind kind) {
        Message message = Sample(title);
        message.alarms = {std::move(alarm)};
        message.kind = kind;
        return message;
    };
    delivery.Send(about("freezer rose", "F", NoticeKind::kAlarm));
    delivery.Send(about("fridge rose", "G", NoticeKind::kAlarm));
    delivery.Send(about("freezer reminder", "F", NoticeKind::kReminder));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 3 && delivery.Idle(); }));
    delivery.Send(about("freezer reminder again", "F", NoticeKind::kReminder));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 4 && delivery.Idle(); }));
    EXPECT_EQ(Lines(log, "(freezer reminder): dropped, a later notice replaces it"), 1);
    receiver.AnswerWith(200);
    delivery.Send(about("freezer ended", "F", NoticeKind::kEnded));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 5 && delivery.Idle(); }));
    EXPECT_EQ(nlohmann::json::parse(receiver.Requests()[4].body)["id"], "qrv-test-freezer ended");
    clock.Advance(3600);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == 6 && delivery.Idle(); }));
    EXPECT_EQ(nlohmann::json::parse(receiver.Requests()[5].body)["id"], "qrv-test-fridge rose");
    EXPECT_EQ(Lines(log, "(freezer rose): dropped"), 1);
    EXPECT_EQ(Lines(log, "(freezer reminder again): dropped"), 1);
}

TEST(Email, ReachesAnSmtpServerWithSubjectAndTextIntact) {
    testing::TempDir dir;
    testing::SmtpReceiver receiver(dir / "maildir");
    ASSERT_TRUE(receiver.Ready()) << "python3-aiosmtpd is needed (scripts/install-deps.sh)";
    VirtualClock clock;
    RecordingLog log;
    NotifyEmail settings;
    settings.smtpUrl = receiver.Url();
    settings.from = "station@lab.example";
    settings.starttls = false;
    EmailChannel channel(settings, std::chrono::seconds(10));
    NotifyContact contact;
    contact.name = "Cleo";
    contact.channel = NotifyChannel::kEmail;
    contact.address = "cleo@lab.example";
    NoticeTally tally;
    ContactDelivery delivery(contact, channel, clock, log, {}, {}, &tally);
    Message message = Sample("Alarm hoch: Kühlraum -9.5 °C");
    message.text = "Wert: -9.5 °C\n.\nStation: Lab 3\n";
    message.id = "qrv-20261208-1a-3";
    delivery.Send(message);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Mails().size() == 1; }));
    const std::string mail = receiver.Mails().front();
    EXPECT_NE(mail.find("To: cleo@lab.example"), std::string::npos) << mail;
    EXPECT_NE(mail.find("From: station@lab.example"), std::string::npos);
    EXPECT_NE(mail.find("Message-ID: <qrv-20261208-1a-3@lab.example>"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Date: " + message.date), std::string::npos) << mail;
    EXPECT_FALSE(message.date.empty());
    EXPECT_NE(mail.find("Subject: =?UTF-8?B?QWxhcm0gaG9jaDogS8O8aGxyYXVtIC05LjUgwrBD?="),
              std::string::npos)
        << mail;
    // A line of a single dot does not end the mail early.
    EXPECT_NE(mail.find("Wert: -9.5 \xC2\xB0"
                        "C\n.\nStation: Lab 3"),
              std::string::npos)
        << mail;
    ASSERT_TRUE(WaitUntil([&] { return delivery.Idle(); }));
    EXPECT_EQ(Lines(log,
                    "Notification to Cleo by email (Alarm hoch: Kühlraum -9.5 °C): attempt 1 "
                    "delivered (SMTP 250)"),
              1);
    EXPECT_EQ(tally.Totals().Count(NotifyChannel::kEmail, NoticeOutcome::kDelivered), 1u);
    EXPECT_EQ(tally.Totals().Count(NotifyChannel::kWebhook, NoticeOutcome::kDelivered), 0u);
}

TEST(Email, ARefusingServerIsAFailedAttempt) {
    VirtualClock clock;
    RecordingLog log;
    int port = 0;
    {
        HttpReceiver closed;
        port = std::stoi(closed.Url().substr(17));
    }
    NotifyEmail settings;
    settings.smtpUrl = "smtp://127.0.0.1:" + std::to_string(port);
    settings.from = "station@lab.example";
    EmailChannel channel(settings, std::chrono::seconds(2));
    NotifyContact contact;
    contact.name = "Cleo";
    contact.channel = NotifyChannel::kEmail;
    contact.address = "cleo@lab.example";
    ContactDelivery delivery(contact, channel, clock, log);
    delivery.Send(Sample("x"));
    ASSERT_TRUE(WaitUntil([&] { return Lines(log, "attempt 1 failed") == 1 && delivery.Idle(); }));
    EXPECT_EQ(Lines(log, "next in 1 min"), 1);
}

}  // namespace
}  // namespace qrv::notify
