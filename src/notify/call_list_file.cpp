#include "notify/call_list_file.h"

#include <cstdio>

#include <fmt/format.h>

#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"

namespace qrv::notify {

namespace {

constexpr const char* kFormat = "quorvanel call list";
constexpr int kVersion = 1;
// Far more than a hundred probes' alarms with their messages.
constexpr std::size_t kMaxFileBytes = 8u << 20;

constexpr NoticeKind kKinds[] = {NoticeKind::kAlarm,    NoticeKind::kEscalation, NoticeKind::kWorse,
                                 NoticeKind::kReminder, NoticeKind::kEnded,      NoticeKind::kTest};

NoticeKind KindNamed(const std::string& name) {
    for (NoticeKind kind : kKinds) {
        if (NoticeKindName(kind) == name) {
            return kind;
        }
    }
    throw std::invalid_argument("unknown notice kind \"" + name + "\"");
}

std::string IsoText(const LocalDateTime& when) {
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", when.year, when.month, when.day,
                       when.hour, when.minute, when.second);
}

LocalDateTime IsoTime(const std::string& text) {
    LocalDateTime when;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &when.year, &when.month, &when.day,
                    &when.hour, &when.minute, &when.second, &tail) != 6 ||
        when.month < 1 || when.month > 12 || when.day < 1 || when.day > 31 || when.hour > 23 ||
        when.minute > 59 || when.second > 59) {
        throw std::invalid_argument("bad time \"" + text + "\"");
    }
    return when;
}

nlohmann::json FactsJson(const AlarmFacts& f) {
    return {{"unit", f.unit},
            {"rom", f.unit ? std::string() : RomToHex(f.rom)},
            {"name", f.name},
            {"sensor_type", f.sensorType},
            {"units", f.units},
            {"value", f.value},
            {"time_alarm", f.timeAlarm},
            {"state", f.state},
            {"alarm_low", f.alarmLow},
            {"alarm_high", f.alarmHigh},
            {"pre_alarm_low", f.tripLow},
            {"pre_alarm_high", f.tripHigh}};
}

// ended: the facts of an alarm whose end waits to be told, in no state.
AlarmFacts FactsOfJson(const nlohmann::json& doc, bool ended) {
    AlarmFacts f;
    f.unit = doc.at("unit").get<bool>();
    if (!f.unit) {
        const auto rom = RomFromHex(doc.at("rom").get<std::string>());
        if (!rom) {
            throw std::invalid_argument("bad ROM code");
        }
        f.rom = *rom;
    }
    f.name = doc.at("name").get<std::string>();
    f.sensorType = doc.at("sensor_type").get<int>();
    f.units = doc.at("units").get<std::string>();
    f.value = doc.at("value").get<double>();
    f.timeAlarm = doc.at("time_alarm").get<bool>();
    f.state = doc.at("state").get<int>();
    f.alarmLow = doc.at("alarm_low").get<int>();
    f.alarmHigh = doc.at("alarm_high").get<int>();
    f.tripLow = doc.at("pre_alarm_low").get<int>();
    f.tripHigh = doc.at("pre_alarm_high").get<int>();
    if ((Severity(f.state) == 0) != (ended && f.state == kAlarmNone)) {
        throw std::invalid_argument(fmt::format("bad alarm state {}", f.state));
    }
    return f;
}

}  // namespace

double CivilSeconds(const LocalDateTime& when) {
    const auto day = CivilDay(when.year, when.month, when.day).time_since_epoch();
    return std::chrono::duration<double>(day).count() + when.hour * 3600.0 + when.minute * 60.0 +
           when.second + when.millisecond / 1000.0;
}

CallListFile::CallListFile(std::filesystem::path path, std::vector<NotifyContact> contacts,
                           const Clock& clock, EventLog& log)
    : path_(std::move(path)),
      contacts_(std::move(contacts)),
      clock_(clock),
      log_(log),
      offset_(CivilSeconds(clock.Now()) - clock.Timer()),
      queued_(contacts_.size(), nlohmann::json::array()) {}

int CallListFile::ContactIndex(const std::string& name) const {
    for (std::size_t i = 0; i < contacts_.size(); ++i) {
        if (contacts_[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

nlohmann::json CallListFile::AlarmJson(const StandingAlarm& alarm, double offset) const {
    const auto nameOf = [&](int contact) {
        return contacts_.at(static_cast<std::size_t>(contact)).name;
    };
    nlohmann::json callList = nlohmann::json::array();
    for (int contact : alarm.callList) {
        callList.push_back(nameOf(contact));
    }
    nlohmann::json told = nlohmann::json::array();
    for (const auto& [contact, at] : alarm.told) {
        told.push_back({{"contact", nameOf(contact)}, {"at", at + offset}});
    }
    return {{"facts", FactsJson(alarm.facts)},
            {"since", alarm.since + offset},
            {"rose", IsoText(alarm.rose)},
            {"call_list", callList},
            {"next_on_list", alarm.nextOnList},
            {"next_step", alarm.nextStep + offset},
            {"acknowledged", alarm.acknowledged},
            {"acknowledged_by", alarm.acknowledgedBy},
            {"told", told},
            // Still unconfirmed after a restart: it keeps the severity it had.
            {"restored_severity", alarm.restoredSeverity},
            {"worse_pending", alarm.worsePending},
            {"ending", alarm.ending},
            {"ended_at", alarm.endedAt + offset}};
}

StandingAlarm CallListFile::AlarmOf(const nlohmann::json& doc, double offset) const {
    StandingAlarm alarm;
    // Files of an earlier start without grouping have none of these.
    alarm.ending = doc.value("ending", false);
    alarm.worsePending = doc.value("worse_pending", false);
    alarm.facts = FactsOfJson(doc.at("facts"), alarm.ending);
    if (alarm.ending) {
        alarm.endedAt = doc.at("ended_at").get<double>() - offset;
    }
    alarm.since = doc.at("since").get<double>() - offset;
    alarm.rose = IsoTime(doc.at("rose").get<std::string>());
    std::size_t reached = doc.at("next_on_list").get<std::size_t>();
    std::size_t position = 0;
    for (const auto& name : doc.at("call_list")) {
        const int contact = ContactIndex(name.get<std::string>());
        if (contact >= 0) {
            alarm.callList.push_back(contact);
        } else if (position < reached) {
            --reached;
        }
        ++position;
    }
    alarm.nextOnList = std::min(reached, alarm.callList.size());
    alarm.nextStep = doc.at("next_step").get<double>() - offset;
    alarm.acknowledged = doc.at("acknowledged").get<bool>();
    alarm.acknowledgedBy = doc.at("acknowledged_by").get<std::string>();
    for (const auto& told : doc.at("told")) {
        const int contact = ContactIndex(told.at("contact").get<std::string>());
        if (contact >= 0) {
            alarm.told[contact] = told.at("at").get<double>() - offset;
        }
    }
    alarm.restoredSeverity = doc.at("restored_severity").get<int>();
    return alarm;
}

CallListState CallListFile::Load() {
    CallListState state;
    state.queued.resize(contacts_.size());
    const FileBytes file = ReadFileBytes(path_, kMaxFileBytes);
    if (file.result == kFileDoesNotExist) {
        return state;
    }
    if (file.result != kFileOk) {
        SetAside(file.reason.empty() ? "it cannot be read" : "it cannot be read: " + file.reason);
        return state;
    }
    const double offset = offset_;
    try {
        const nlohmann::json doc = nlohmann::json::parse(file.bytes);
        if (!doc.is_object() || doc.value("format", std::string()) != kFormat) {
            SetAside("it is not the call list's state");
            return state;
        }
        if (doc.at("version").get<int>() != kVersion) {
            SetAside(
                fmt::format("it is of version {}, not {}", doc.at("version").dump(), kVersion));
            return state;
        }
        int dropped = 0;
        for (const auto& alarm : doc.at("alarms")) {
            state.alarms.push_back(AlarmOf(alarm, offset));
        }
        for (const auto& job : doc.at("queued")) {
            QueuedMessage queued;
            Message& m = queued.message;
            m.id = job.at("id").get<std::string>();
            m.kind = KindNamed(job.at("kind").get<std::string>());
            // One alarm as "alarm"; a notice about several lists all of them.
            m.alarms = job.contains("alarms")
                           ? job.at("alarms").get<std::vector<std::string>>()
                           : std::vector<std::string>{job.at("alarm").get<std::string>()};
            if (m.kind == NoticeKind::kTest) {
                m.alarms.clear();
            } else if (m.alarms.empty()) {
                throw std::invalid_argument("a message about no alarm");
            }
            m.title = job.at("title").get<std::string>();
            m.text = job.at("text").get<std::string>();
            m.smsText = job.at("sms_text").get<std::string>();
            m.priority = job.at("priority").get<int>();
            m.document = job.at("document").get<std::string>();
            // Files of an earlier version have none: dated when read.
            m.date = job.value("date", MailDate(clock_.Now()));
            queued.attempts = job.at("attempts").get<int>();
            queued.first = job.at("first").get<double>() - offset;
            queued.next = job.at("next").get<double>() - offset;
            const int contact = ContactIndex(job.at("contact").get<std::string>());
            if (contact < 0) {
                ++dropped;
                continue;
            }
            state.queued[static_cast<std::size_t>(contact)].push_back(std::move(queued));
        }
        if (dropped > 0) {
            log_.LogProblem(fmt::format(
                "{} message(s) kept in {} were for contacts no longer in quorvanel.toml: not sent",
                dropped, path_.filename().string()));
        }
    } catch (const std::exception& error) {
        SetAside(std::string("it is damaged (") + error.what() + ")");
        return CallListState{{}, std::vector<std::vector<QueuedMessage>>(contacts_.size())};
    }
    return state;
}

void CallListFile::SetAside(const std::string& problem) {
    const LocalDateTime now = clock_.Now();
    std::filesystem::path aside = path_;
    aside += fmt::format(".bad-{:04}{:02}{:02}-{:02}{:02}{:02}", now.year, now.month, now.day,
                         now.hour, now.minute, now.second);
    std::error_code error;
    std::filesystem::rename(path_, aside, error);
    log_.LogProblem(
        fmt::format("The call list's state file {} is not used, {}; {}: the call list starts empty",
                    path_.string(), problem,
                    error ? "it could not be renamed (" + error.message() + ")"
                          : "it is kept as " + aside.filename().string()));
}

void CallListFile::SaveAlarms(const std::vector<StandingAlarm>& alarms) {
    const double offset = offset_;
    nlohmann::json doc = nlohmann::json::array();
    for (const StandingAlarm& alarm : alarms) {
        doc.push_back(AlarmJson(alarm, offset));
    }
    std::lock_guard lock(mutex_);
    if (written_ && doc == alarms_) {
        return;
    }
    alarms_ = std::move(doc);
    WriteLocked();
}

void CallListFile::SaveQueued(int contact, const std::vector<QueuedMessage>& queued) {
    const double offset = offset_;
    nlohmann::json doc = nlohmann::json::array();
    const std::string& name = contacts_.at(static_cast<std::size_t>(contact)).name;
    for (const QueuedMessage& job : queued) {
        const Message& m = job.message;
        doc.push_back({{"contact", name},
                       {"id", m.id},
                       {"kind", NoticeKindName(m.kind)},
                       {"alarm", m.alarms.empty() ? std::string() : m.alarms.front()},
                       {"title", m.title},
                       {"text", m.text},
                       {"sms_text", m.smsText},
                       {"priority", m.priority},
                       {"document", m.document},
                       {"date", m.date},
                       {"attempts", job.attempts},
                       {"first", job.first + offset},
                       {"next", job.next + offset}});
        if (m.alarms.size() > 1) {
            doc.back()["alarms"] = m.alarms;
        }
    }
    std::lock_guard lock(mutex_);
    nlohmann::json& kept = queued_.at(static_cast<std::size_t>(contact));
    if (written_ && doc == kept) {
        return;
    }
    kept = std::move(doc);
    WriteLocked();
}

void CallListFile::WriteLocked() {
    nlohmann::json queued = nlohmann::json::array();
    for (const nlohmann::json& contact : queued_) {
        queued.insert(queued.end(), contact.begin(), contact.end());
    }
    const nlohmann::json doc = {{"format", kFormat},
                                {"version", kVersion},
                                {"saved", IsoText(clock_.Now())},
                                {"alarms", alarms_},
                                {"queued", queued}};
    const bool written = WriteFileAtomically(path_, doc.dump(1) + "\n") == kFileOk;
    if (!written && !failing_) {
        log_.LogFileNotWritten("The call list's state file " + path_.string() +
                               " cannot be written: a restart now would forget the call list");
    } else if (written && failing_) {
        log_.LogMessageToDisk("The call list's state file " + path_.string() + " is written again");
    }
    failing_ = !written;
    written_ = written_ || written;
}

}  // namespace qrv::notify
