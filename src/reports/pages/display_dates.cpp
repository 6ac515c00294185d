#include "reports/pages/display_dates.h"

#include <array>

#include "qt_values/qt_values.h"

namespace qrv::pages {

QLocale DisplayLocale(int taal, const QLocale& system) {
    constexpr std::array kLanguages{QLocale::English, QLocale::German, QLocale::French,
                                    QLocale::Dutch};
    const QLocale::Language language =
        kLanguages[static_cast<std::size_t>(taal >= 0 && taal < 4 ? taal : 0)];
    return system.language() == language ? system : QLocale(language);
}

QString DisplayDate(const QLocale& locale, QDate date) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // Some short forms give the year in two digits: 12/9/26 could be any
    // century on a station's screen.
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    return locale.toString(date, format);
}

QString DisplayDate(int taal, const LocalDateTime& when) {
    return DisplayDate(DisplayLocale(taal), QDate(when.year, when.month, when.day));
}

QString DisplayEuroDate(int taal, std::string_view euroDate) {
    const QDate date = QDate::fromString(Q(euroDate), QStringLiteral("dd/MM/yyyy"));
    return date.isValid() ? DisplayDate(DisplayLocale(taal), date) : Q(euroDate);
}

}  // namespace qrv::pages
