#include "probe_editor/calibration_section.h"

#include <chrono>

#include <fmt/format.h>

#include "records/calibration_request.h"
#include "records/calibration_text.h"
#include "records/file_restore_point.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

std::string DateText(std::chrono::year_month_day day) {
    return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(day.year()),
                       static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
}

std::chrono::year_month_day DayOf(const LocalDateTime& now) {
    return std::chrono::year{now.year} / static_cast<unsigned>(now.month) /
           static_cast<unsigned>(now.day);
}

// A year on, the interval most certificates are renewed at; 29 February
// falls to 1 March.
std::string YearLater(const LocalDateTime& now) {
    const std::chrono::year_month_day next = DayOf(now) + std::chrono::years{1};
    return DateText(next.ok() ? next : std::chrono::year_month_day{std::chrono::sys_days{next}});
}

std::string ValueText(double value, std::string_view units) {
    return fmt::format("{:.2f}{}{}", value, units.starts_with(' ') ? "" : " ", units);
}

Key ProblemKey(records::CalibrationProblem problem) {
    switch (problem) {
        case records::CalibrationProblem::kValueOutOfRange:
            return Key::TXT_CALIB_OUT_OF_RANGE;
        case records::CalibrationProblem::kMissingRecord:
            return Key::TXT_CALIB_MISSING_RECORD;
        case records::CalibrationProblem::kBadDate:
            return Key::TXT_CALIB_BAD_DATE;
        case records::CalibrationProblem::kDateInTheFuture:
            return Key::TXT_CALIB_FUTURE_DATE;
        case records::CalibrationProblem::kControlCharacter:
            return Key::TXT_CALIB_CONTROL_CHARACTER;
        case records::CalibrationProblem::kNextDueNotAfterDate:
            return Key::TXT_CALIB_DUE_NOT_AFTER;
        case records::CalibrationProblem::kUnsoundPoints:
            return Key::TXT_CALIB_UNSOUND_POINTS;
        case records::CalibrationProblem::kNone:
        case records::CalibrationProblem::kNoSingleCorrection:
            break;
    }
    return Key::TXT_CALIB_NO_CORRECTION;
}

// The probe has been read since the installation found it.
bool HasReading(const SensorRecord& record) {
    return record.FoundOnNetwork != 0 && !IsErrorValue(record.Value);
}

}  // namespace

std::string CalibrationPanelText(const records::Calibration& c, std::string_view units, int taal) {
    const auto label = [taal](Key key) { return text::Plain(key, taal); };
    std::string correction;
    if (c.points) {
        const auto& p = *c.points;
        const std::string_view at = text::Raw(Key::TXT_CALIB_REFERENCE_AT, taal);
        correction = fmt::format("{} {:.5f}, {} {:+.3f}\n({}; {})", label(Key::TXT_CALIB_GAIN),
                                 c.gain, label(Key::TXT_CALIB_OFFSET), c.offset,
                                 fmt::format(fmt::runtime(at), p[0], p[1]),
                                 fmt::format(fmt::runtime(at), p[2], p[3]));
    } else {
        correction = fmt::format("{} {:+.2f}{}{}", label(Key::TXT_CALIB_OFFSET), c.offset,
                                 units.starts_with(' ') ? "" : " ", units);
    }
    return fmt::format("{}\n{} {}\n{} {}\n{} {}\n{} {}\n{} {}", correction,
                       label(Key::TXT_CALIB_DATE), c.date, label(Key::TXT_CALIB_INSTRUMENT),
                       c.instrument, label(Key::TXT_CALIB_CERTIFICATE), c.certificate,
                       label(Key::TXT_CALIB_NEXT_DUE), c.nextDue, label(Key::TXT_CALIB_WHO), c.who);
}

bool CalibrationSection::Probe(SensorRecord& record) const {
    const auto table = table_.Lock();
    if (index_ < 0 || index_ > table->GetMax1820Index()) {
        return false;
    }
    record = table->SensorArray[static_cast<std::size_t>(index_)];
    return true;
}

CalibrationReadings CalibrationSection::ReadingsOf(const SensorRecord& record) const {
    if (!HasReading(record)) {
        return {"----", "----"};
    }
    return {ValueText(record.RawValue, record.Units), ValueText(record.Value, record.Units)};
}

void CalibrationSection::ShowFor(int index) {
    index_ = index;
    SensorRecord record;
    if (access_ == nullptr || !Probe(record) || !records::IsCalibratable(record)) {
        display_ = {};
        view_.ShowCalibration(display_, {});
        return;
    }
    const auto book = access_->book.Get();
    const records::Calibration* old = book->Find(record.Rom);
    const LocalDateTime today = clock_.Now();
    CalibrationPanelDisplay display;
    display.shown = true;
    display.canClear = old != nullptr;
    CalibrationPanelValues values;
    values.date = DateText(DayOf(today));
    values.nextDue = YearLater(today);
    // A new calibration is worked out from the raw reading, whatever the old
    // one corrected: its fields start from the old record, its readings from
    // the probe as it reads now.
    const double raw = HasReading(record) ? record.RawValue : 0.0;
    values.points = {0.0, raw, 0.0, raw};
    if (old == nullptr) {
        display.current = text::Plain(Key::TXT_CALIB_NONE, taal_);
    } else {
        display.current = CalibrationPanelText(*old, record.Units, taal_);
        switch (records::DueState(*old, today)) {
            case records::CalibrationDue::kDueSoon:
                display.due = text::Plain(Key::TXT_CALIB_DUE_SOON, taal_);
                break;
            case records::CalibrationDue::kOverdue:
                display.due = text::Plain(Key::TXT_CALIB_OVERDUE, taal_);
                break;
            case records::CalibrationDue::kNotDue:
                break;
        }
        values.twoPoint = old->points.has_value();
        values.offset = old->offset;
        if (old->points) {
            values.points[0] = (*old->points)[0];
            values.points[2] = (*old->points)[2];
        }
        values.instrument = old->instrument;
    }
    display_ = display;
    view_.ShowCalibration(display, values);
    view_.ShowCalibrationReadings(ReadingsOf(record));
}

void CalibrationSection::RefreshReadings() {
    SensorRecord record;
    if (access_ != nullptr && Probe(record) && records::IsCalibratable(record)) {
        view_.ShowCalibrationReadings(ReadingsOf(record));
    }
}

void CalibrationSection::TakeRawReading(int point) {
    SensorRecord record;
    if (access_ == nullptr || !Probe(record) || !HasReading(record)) {
        return;
    }
    CalibrationPanelValues values = view_.ReadCalibration();
    values.points[point == 0 ? 1 : 3] = record.RawValue;
    view_.ShowCalibration(display_, values);
}

void CalibrationSection::Popup(std::string_view message) {
    dialogs_.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal_), message);
}

void CalibrationSection::Set() {
    SensorRecord record;
    if (access_ == nullptr || !Probe(record) || !records::IsCalibratable(record)) {
        return;
    }
    const CalibrationPanelValues values = view_.ReadCalibration();
    records::CalibrationRequest request;
    if (values.twoPoint) {
        request.points = values.points;
    } else {
        request.offset = values.offset;
    }
    request.date = values.date;
    request.instrument = values.instrument;
    request.certificate = values.certificate;
    request.nextDue = values.nextDue;
    request.who = access_->who;
    const records::CalibrationOutcome outcome =
        records::MakeCalibration(record.Rom, request, clock_.Now());
    if (!outcome.calibration) {
        Popup(text::Plain(ProblemKey(outcome.problem), taal_));
        return;
    }
    Store(record, outcome.calibration);
}

void CalibrationSection::Clear() {
    SensorRecord record;
    if (access_ == nullptr || !Probe(record) || access_->book.Get()->Find(record.Rom) == nullptr) {
        return;
    }
    const int answer = dialogs_.GenericMessagePopup(text::Raw(Key::QRVNL_TEXT, taal_),
                                                    text::Plain(Key::TXT_CALIB_REALLY_CLEAR, taal_),
                                                    {std::string(text::Raw(Key::ButtonYes, taal_)),
                                                     std::string(text::Raw(Key::ButtonNo, taal_))},
                                                    2, 2);
    if (answer == 1) {
        Store(record, std::nullopt);
    }
}

void CalibrationSection::Store(const SensorRecord& record,
                               const std::optional<records::Calibration>& calibration) {
    const records::FileRestorePoint before(access_->file);
    const records::CalibrationUpdate update =
        records::UpdateCalibrationFile(access_->file, record.Rom, calibration);
    if (!update.error.empty()) {
        Popup(text::Plain(Key::TXT_CALIB_NOT_WRITTEN, taal_) + "\n" + update.error);
        return;
    }
    if (update.changed && access_->audit &&
        !access_->audit(records::CalibrationSubject(record), update.before, update.after)) {
        before.Restore();
        Popup(text::Plain(Key::TXT_CALIB_NOT_WRITTEN, taal_) + "\n" +
              records::TrailNotWrittenReason());
        return;
    }
    // The book as written, so that a change made meanwhile from the command
    // line is applied as well.
    access_->book.Replace(update.book);
    ShowFor(index_);
}

}  // namespace qrv
