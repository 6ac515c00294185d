#include "notify/notice_texts.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <tuple>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <nlohmann/json.hpp>

#include "acquisition/alarm_texts.h"
#include "runtime/clock.h"
#include "runtime/date_strings.h"
#include "sensors/rom_text.h"
#include "text/texts.h"

namespace qrv::notify {

namespace {

using text::Key;

// One text in English, German, French and Dutch.
using Words = std::array<std::string_view, text::kLanguageCount>;

constexpr Words kValue{"Value", "Wert", "Valeur", "Waarde"};
constexpr Words kLimit{"limit", "Grenze", "limite", "grens"};
constexpr Words kTime{"Time", "Zeit", "Heure", "Tijd"};
constexpr Words kStation{"Station", "Station", "Station", "Station"};
constexpr Words kStanding{"Standing for", "Besteht seit", "Dure depuis", "Duurt al"};
constexpr Words kNotReached{"Could not reach", "Nicht erreicht:", "Impossible de joindre",
                            "Niet bereikt:"};
constexpr Words kSince{"Since", "Seit", "Depuis", "Sinds"};
constexpr Words kStood{"It stood for", "Dauer", "Durée", "Duur"};
constexpr Words kAcknowledged{"Acknowledged by", "Quittiert von", "Acquitté par", "Bevestigd door"};
constexpr Words kNotAcknowledged{"Not acknowledged yet.", "Noch nicht quittiert.",
                                 "Pas encore acquitté.", "Nog niet bevestigd."};
constexpr Words kReminder{"Reminder", "Erinnerung", "Rappel", "Herinnering"};
constexpr Words kWorse{"Worse", "Schlimmer", "Aggravé", "Erger"};
constexpr Words kEnded{"Alarm ended", "Alarm beendet", "Alarme terminée", "Alarm beëindigd"};
constexpr Words kUnitLostWords{"Interface unit not answering", "Schnittstelle antwortet nicht",
                               "L'interface ne répond pas", "Interface antwoordt niet"};
constexpr Words kUnitName{"interface unit", "Schnittstelle", "interface", "interface"};
constexpr Words kTest{"Test message", "Testnachricht", "Message de test", "Testbericht"};
constexpr Words kTestText{"This contact receives the alarms of the station.",
                          "Dieser Kontakt erhält die Alarme der Station.",
                          "Ce contact reçoit les alarmes de la station.",
                          "Dit contact ontvangt de alarmen van het station."};
constexpr Words kAlarms{"alarms", "Alarme", "alarmes", "alarmen"};
constexpr Words kAcknowledge{"Acknowledge", "Quittieren", "Acquitter", "Bevestigen"};
constexpr Words kHours{"h", "Std.", "h", "u"};
constexpr Words kMinutes{"min", "Min.", "min", "min"};

std::string_view WithoutFullStop(std::string_view text) {
    return text.ends_with('.') ? text.substr(0, text.size() - 1) : text;
}

std::string_view Word(const Words& words, int taal) {
    return words[static_cast<std::size_t>(taal >= 0 && taal < text::kLanguageCount ? taal : 0)];
}

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

bool HasValue(const AlarmFacts& facts) {
    return !facts.unit && facts.state != kAlarmLost && !IsErrorValue(facts.value);
}

std::string UnitsText(const AlarmFacts& facts) {
    // Humidity units are stored as " %"; a blank before every unit reads best.
    const std::string units = Trimmed(facts.units);
    return units.empty() ? std::string() : " " + units.substr(units.find_first_not_of(' '));
}

std::string ValueText(const AlarmFacts& facts, int taal) {
    if (facts.timeAlarm) {
        return fmt::format("{}{}", std::lround(facts.value),
                           text::Plain(Key::TXT_LOG_TIME_IN_DAY, taal));
    }
    if (facts.sensorType == kTypeSwitch) {
        const long contact = std::lround(facts.value);
        if (contact == 0) {
            return text::Plain(Key::TXT_SWITCH_CLOSED, taal);
        }
        return Trimmed(text::Plain(Key::TXT_SWITCH_OPEN, taal));
    }
    return fmt::format("{:.1f}{}", facts.value, UnitsText(facts));
}

// The limit the state crossed; none for switches, lost probes and the unit.
std::optional<int> CrossedLimit(const AlarmFacts& facts) {
    if (facts.sensorType == kTypeSwitch || facts.unit) {
        return std::nullopt;
    }
    switch (facts.state) {
        case kAlarmHigh:
        case kTimeAlarmHigh:
            return facts.alarmHigh;
        case kAlarmLow:
        case kTimeAlarmLow:
            return facts.alarmLow;
        case kPreAlarmHigh:
            return facts.tripHigh;
        case kPreAlarmLow:
            return facts.tripLow;
        default:
            return std::nullopt;
    }
}

std::string_view StateWord(int state) {
    switch (state) {
        case kAlarmHigh:
            return "high_alarm";
        case kAlarmLow:
            return "low_alarm";
        case kPreAlarmHigh:
            return "pre_alarm_high";
        case kPreAlarmLow:
            return "pre_alarm_low";
        case kAlarmLost:
            return "probe_lost";
        case kUnitLost:
            return "unit_lost";
        case kTimeAlarmHigh:
            return "time_high_alarm";
        case kTimeAlarmLow:
            return "time_low_alarm";
        default:
            return "ended";
    }
}

// The alarm file's labels end in a colon; a title puts its own after them.
std::string WithoutColon(std::string label) {
    if (!label.empty() && label.back() == ':') {
        label.pop_back();
    }
    return label;
}

std::string TimeOfNotice(const LocalDateTime& when) {
    return fmt::format("{} {:02}:{:02}", EuroDate(when), when.hour, when.minute);
}

std::string IsoTime(const LocalDateTime& when) {
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", when.year, when.month, when.day,
                       when.hour, when.minute, when.second);
}

// ntfy's priorities: 5 urgent, 4 high, 3 default.
int PriorityOf(const Notice& notice) {
    if (notice.kind == NoticeKind::kEnded || notice.kind == NoticeKind::kTest) {
        return 3;
    }
    return Severity(notice.facts.state) >= 2 ? 5 : 4;
}

std::string TagOf(const Notice& notice) {
    switch (notice.kind) {
        case NoticeKind::kEnded:
            return "white_check_mark";
        case NoticeKind::kTest:
            return "test_tube";
        default:
            return Severity(notice.facts.state) >= 2 ? "rotating_light" : "warning";
    }
}

std::string NameOf(const AlarmFacts& f, int taal) {
    return f.unit ? std::string(Word(kUnitName, taal)) : f.name;
}

// "High Alarm: Freezer -10.3 °C", "Alarm ended: Freezer": one alarm of a
// notice of the kind.
std::string AlarmTitle(const AlarmFacts& f, NoticeKind kind, int taal) {
    if (kind == NoticeKind::kEnded) {
        return fmt::format(
            "{}: {}",
            f.timeAlarm ? StateText(kTimeAlarmEnded, taal) : std::string(Word(kEnded, taal)),
            NameOf(f, taal));
    }
    std::string title = fmt::format("{}: {}", StateText(f.state, taal), NameOf(f, taal));
    if (HasValue(f)) {
        title += " " + ValueText(f, taal);
    }
    return title;
}

// Every alarm of a notice, its first one first.
std::vector<GroupedAlarm> AlarmsOf(const Notice& notice) {
    std::vector<GroupedAlarm> alarms{{notice.facts, notice.rose, notice.stoodSeconds}};
    alarms.insert(alarms.end(), notice.also.begin(), notice.also.end());
    return alarms;
}

bool Earlier(const LocalDateTime& a, const LocalDateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second, a.millisecond) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second, b.millisecond);
}

// When the first alarm of the notice rose, and how long the longest stood.
LocalDateTime EarliestRise(const Notice& notice) {
    LocalDateTime rose = notice.rose;
    for (const GroupedAlarm& other : notice.also) {
        if (Earlier(other.rose, rose)) {
            rose = other.rose;
        }
    }
    return rose;
}

double LongestStood(const Notice& notice) {
    double stood = notice.stoodSeconds;
    for (const GroupedAlarm& other : notice.also) {
        stood = std::max(stood, other.stoodSeconds);
    }
    return stood;
}

bool Grouped(const Notice& notice) {
    return !notice.also.empty();
}

// Whether the notice is about an alarm someone may still acknowledge.
bool Acknowledgeable(NoticeKind kind) {
    return kind == NoticeKind::kAlarm || kind == NoticeKind::kEscalation ||
           kind == NoticeKind::kWorse || kind == NoticeKind::kReminder;
}

std::string TitleOf(const Notice& notice, int taal, const std::string& stationName) {
    if (notice.kind == NoticeKind::kTest) {
        return fmt::format("{}: {}", Word(kTest, taal), stationName);
    }
    if (Grouped(notice)) {
        std::string names;
        for (const GroupedAlarm& alarm : AlarmsOf(notice)) {
            names += (names.empty() ? "" : ", ") + NameOf(alarm.facts, taal);
        }
        if (notice.kind == NoticeKind::kEnded) {
            return fmt::format("{}: {}", Word(kEnded, taal), names);
        }
        std::string title =
            fmt::format("{} {}: {}", notice.also.size() + 1, Word(kAlarms, taal), names);
        if (notice.kind == NoticeKind::kReminder) {
            title += fmt::format(" ({})", Word(kReminder, taal));
        } else if (notice.kind == NoticeKind::kWorse) {
            title += fmt::format(" ({})", Word(kWorse, taal));
        }
        return title;
    }
    std::string title = AlarmTitle(notice.facts, notice.kind, taal);
    if (notice.kind == NoticeKind::kEnded) {
        return title;
    }
    if (notice.kind == NoticeKind::kReminder) {
        title += fmt::format(" ({})", Word(kReminder, taal));
    } else if (notice.kind == NoticeKind::kWorse) {
        title += fmt::format(" ({})", Word(kWorse, taal));
    }
    return title;
}

// " (limit -15 °C)" when the state crossed one.
std::string LimitText(const AlarmFacts& f, int taal) {
    const auto limit = CrossedLimit(f);
    return limit ? fmt::format(" ({} {}{})", Word(kLimit, taal), *limit, UnitsText(f)) : "";
}

// One line per alarm of a grouped notice: what it is, since when, and for an
// end how long it stood.
std::string GroupLines(const Notice& notice, int taal) {
    std::string lines;
    for (const GroupedAlarm& alarm : AlarmsOf(notice)) {
        lines += "- " + AlarmTitle(alarm.facts, notice.kind, taal);
        if (notice.kind == NoticeKind::kEnded) {
            if (HasValue(alarm.facts)) {
                lines += " " + ValueText(alarm.facts, taal);
            }
            lines += fmt::format(", {} {}\n", Word(kStood, taal),
                                 DurationText(alarm.stoodSeconds, taal));
        } else {
            lines += fmt::format("{}, {} {}\n", LimitText(alarm.facts, taal), Word(kSince, taal),
                                 TimeOfNotice(alarm.rose));
        }
    }
    return lines;
}

std::string BodyOf(const Notice& notice, int taal, const std::string& stationName,
                   const std::string& link) {
    const AlarmFacts& f = notice.facts;
    if (notice.kind == NoticeKind::kTest) {
        return fmt::format("{}\n{}: {}\n{}: {}\n", Word(kTestText, taal), Word(kTime, taal),
                           TimeOfNotice(notice.when), Word(kStation, taal), stationName);
    }
    std::string body = TitleOf(notice, taal, stationName) + "\n";
    if (!notice.unreached.empty()) {
        body += fmt::format("{} {}\n", Word(kNotReached, taal), notice.unreached);
    }
    if (Grouped(notice)) {
        body += GroupLines(notice, taal);
    } else if (HasValue(f)) {
        body +=
            fmt::format("{}: {}{}\n", Word(kValue, taal), ValueText(f, taal), LimitText(f, taal));
    }
    body += fmt::format("{}: {}\n", Word(kTime, taal), TimeOfNotice(notice.when));
    body += fmt::format("{}: {}\n", Word(kSince, taal), TimeOfNotice(EarliestRise(notice)));
    body += fmt::format("{}: {}\n", Word(kStation, taal), stationName);
    body +=
        fmt::format("{}: {}\n", Word(notice.kind == NoticeKind::kEnded ? kStood : kStanding, taal),
                    DurationText(LongestStood(notice), taal));
    if (!notice.acknowledgedBy.empty()) {
        body += fmt::format("{}: {}\n", Word(kAcknowledged, taal), notice.acknowledgedBy);
    } else if (notice.kind == NoticeKind::kEscalation || notice.kind == NoticeKind::kReminder) {
        body += std::string(Word(kNotAcknowledged, taal)) + "\n";
    }
    if (!link.empty()) {
        body += fmt::format("{}: {}\n", Word(kAcknowledge, taal), link);
    }
    return body;
}

std::string SmsTextOf(const Notice& notice, const Message& message, int taal,
                      const std::string& stationName) {
    // A new or worse alarm goes as the station's own alarm SMS; an
    // escalation is the call list's, and says why it comes.
    const bool probeAlarm =
        !Grouped(notice) && !notice.facts.unit && notice.facts.state != kAlarmNone &&
        (notice.kind == NoticeKind::kAlarm || notice.kind == NoticeKind::kWorse);
    if (probeAlarm && notice.facts.timeAlarm) {
        return acquisition::TimeAlarmSmsText(notice.facts.state, notice.facts.name,
                                             static_cast<int>(std::lround(notice.facts.value)),
                                             taal, notice.when, stationName);
    }
    if (probeAlarm) {
        SensorRecord record;
        record.Name = notice.facts.name;
        record.SensorType = notice.facts.sensorType;
        record.Value = notice.facts.value;
        return acquisition::AlarmSmsText(notice.facts.state, record, taal, notice.when,
                                         stationName);
    }
    // A grouped notice names each alarm with its state and value.
    std::string what = message.title;
    if (Grouped(notice)) {
        what.clear();
        for (const GroupedAlarm& alarm : AlarmsOf(notice)) {
            what += (what.empty() ? "" : "; ") + AlarmTitle(alarm.facts, notice.kind, taal);
        }
        if (notice.kind == NoticeKind::kReminder || notice.kind == NoticeKind::kWorse) {
            what += fmt::format(" ({})",
                                Word(notice.kind == NoticeKind::kWorse ? kWorse : kReminder, taal));
        }
    }
    std::string text = fmt::format("{}  {}", text::Plain(Key::TXT_SENT_PRE_TEXT, taal), what);
    if (notice.kind == NoticeKind::kEscalation) {
        if (!Grouped(notice)) {
            text += LimitText(notice.facts, taal);
        }
        text += fmt::format(", {} {}, {}", Word(kStanding, taal),
                            DurationText(LongestStood(notice), taal),
                            WithoutFullStop(Word(kNotAcknowledged, taal)));
        if (!notice.unreached.empty()) {
            text += fmt::format(", {} {}", Word(kNotReached, taal), notice.unreached);
        }
    }
    text += fmt::format(", {}, {}", TimeOfNotice(notice.when), stationName);
    if (notice.kind == NoticeKind::kEnded || notice.kind == NoticeKind::kReminder) {
        text += fmt::format(", {} {}",
                            Word(notice.kind == NoticeKind::kEnded ? kStood : kStanding, taal),
                            DurationText(LongestStood(notice), taal));
    }
    return text;
}

}  // namespace

std::string StateText(int state, int taal) {
    switch (state) {
        case kAlarmHigh:
            return text::Plain(Key::TXT_PROBE_STATUS_HIGH, taal);
        case kAlarmLow:
            return text::Plain(Key::TXT_PROBE_STATUS_LOW, taal);
        case kPreAlarmHigh:
            return text::Plain(Key::TXT_PROBE_STATUS_PREHIGH, taal);
        case kPreAlarmLow:
            return text::Plain(Key::TXT_PROBE_STATUS_PRELOW, taal);
        case kAlarmLost:
            return text::Plain(Key::TXT_PROBE_STATUS_LOST, taal);
        case kUnitLost:
            return std::string(Word(kUnitLostWords, taal));
        case kTimeAlarmHigh:
        case kTimeAlarmLow:
        case kTimeAlarmEnded:
            return WithoutColon(acquisition::AlarmLabel(state, taal));
        default:
            return std::string(Word(kEnded, taal));
    }
}

std::string MailDate(const LocalDateTime& when) {
    static constexpr std::array<std::string_view, 7> kDays{"Sun", "Mon", "Tue", "Wed",
                                                           "Thu", "Fri", "Sat"};
    static constexpr std::array<std::string_view, 12> kMonths{
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t moment = MomentOfLocal(when);
    std::tm local{};
    localtime_r(&moment, &local);
    const long offset = local.tm_gmtoff / 60;
    const long hours = std::labs(offset) / 60;
    const long minutes = std::labs(offset) % 60;
    return fmt::format("{}, {:02} {} {:04} {:02}:{:02}:{:02} {}{:02}{:02}",
                       kDays[static_cast<std::size_t>(local.tm_wday % 7)], local.tm_mday,
                       kMonths[static_cast<std::size_t>(local.tm_mon % 12)], local.tm_year + 1900,
                       local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', hours,
                       minutes);
}

std::string DurationText(double seconds, int taal) {
    const long minutes = std::lround(std::max(0.0, seconds) / 60.0);
    if (minutes < 60) {
        return fmt::format("{} {}", minutes, Word(kMinutes, taal));
    }
    return fmt::format("{} {} {:02} {}", minutes / 60, Word(kHours, taal), minutes % 60,
                       Word(kMinutes, taal));
}

namespace {

// The facts of one alarm as the webhook's JSON has them.
nlohmann::json AlarmJson(const AlarmFacts& f, int taal) {
    nlohmann::json doc;
    doc["probe"] = f.unit ? nlohmann::json() : nlohmann::json(f.name);
    doc["rom"] = f.unit ? nlohmann::json() : nlohmann::json(RomToHex(f.rom));
    doc["state"] = StateWord(f.state);
    doc["state_text"] = StateText(f.state, taal);
    doc["value"] = HasValue(f) ? nlohmann::json(f.value) : nlohmann::json();
    doc["time_alarm"] = f.timeAlarm;
    if (f.timeAlarm) {
        doc["unit"] = "min";
    } else {
        doc["unit"] =
            Trimmed(f.units).empty() ? nlohmann::json() : nlohmann::json(UnitsText(f).substr(1));
    }
    if (!f.unit) {
        doc["limits"] = {{"alarm_low", f.alarmLow},
                         {"alarm_high", f.alarmHigh},
                         {"pre_alarm_low", f.tripLow},
                         {"pre_alarm_high", f.tripHigh}};
    }
    return doc;
}

}  // namespace

std::string AcknowledgeLink(const std::string& publicUrl, const Notice& notice) {
    if (publicUrl.empty() || !Acknowledgeable(notice.kind)) {
        return {};
    }
    // Which alarms, so the page can show them; it grants nothing: the page
    // wants a session like every other.
    std::vector<std::string> alarms;
    for (const GroupedAlarm& alarm : AlarmsOf(notice)) {
        const std::string name = alarm.facts.unit ? "unit" : RomToHex(alarm.facts.rom);
        if (std::find(alarms.begin(), alarms.end(), name) == alarms.end()) {
            alarms.push_back(name);
        }
    }
    return fmt::format("{}/acknowledge?alarm={}&notice={}", publicUrl, fmt::join(alarms, ","),
                       notice.id);
}

Message MessageOf(const Notice& notice, int taal, const std::string& stationName,
                  const std::string& topic, const std::string& publicUrl) {
    const AlarmFacts& f = notice.facts;
    const std::string link = AcknowledgeLink(publicUrl, notice);
    Message message;
    message.title = TitleOf(notice, taal, stationName);
    message.text = BodyOf(notice, taal, stationName, link);
    message.smsText = SmsTextOf(notice, message, taal, stationName);
    message.priority = PriorityOf(notice);
    message.id = notice.id;
    message.date = MailDate(notice.when);
    message.kind = notice.kind;
    if (notice.kind != NoticeKind::kTest) {
        message.alarms = AlarmKeysOf(notice);
    }
    nlohmann::json doc;
    if (!topic.empty()) {
        doc["topic"] = topic;
    }
    doc["title"] = message.title;
    doc["message"] = message.text;
    doc["priority"] = message.priority;
    doc["tags"] = nlohmann::json::array({TagOf(notice)});
    doc["station"] = stationName;
    doc["event"] = NoticeKindName(notice.kind);
    doc["time"] = IsoTime(notice.when);
    doc["id"] = notice.id;
    doc["sequence_id"] = notice.id;
    if (notice.kind != NoticeKind::kTest) {
        // The first alarm's facts at the top, as a notice about one alarm
        // always had them; every alarm of the notice in "alarms".
        doc.update(AlarmJson(f, taal));
        nlohmann::json alarms = nlohmann::json::array();
        for (const GroupedAlarm& alarm : AlarmsOf(notice)) {
            nlohmann::json one = AlarmJson(alarm.facts, taal);
            one["rose"] = IsoTime(alarm.rose);
            one["stood_seconds"] = std::lround(alarm.stoodSeconds);
            alarms.push_back(std::move(one));
        }
        doc["alarms"] = std::move(alarms);
        doc["rose"] = IsoTime(notice.rose);
        if (!notice.unreached.empty()) {
            doc["unreached"] = notice.unreached;
        }
        doc["stood_seconds"] = std::lround(notice.stoodSeconds);
        doc["acknowledged_by"] = notice.acknowledgedBy.empty()
                                     ? nlohmann::json()
                                     : nlohmann::json(notice.acknowledgedBy);
    }
    if (!link.empty()) {
        doc["acknowledge_url"] = link;
        // ntfy shows a button that opens the page.
        doc["actions"] = nlohmann::json::array(
            {{{"action", "view"}, {"label", Word(kAcknowledge, taal)}, {"url", link}}});
    }
    message.document = doc.dump();
    return message;
}

Notice TestNotice(int contact, const LocalDateTime& when) {
    Notice notice;
    notice.contact = contact;
    notice.kind = NoticeKind::kTest;
    notice.when = when;
    return notice;
}

}  // namespace qrv::notify
