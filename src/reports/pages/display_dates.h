#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <string_view>

#include "runtime/clock.h"

namespace qrv::pages {

// The locale the window writes dates in for the station's language: the
// user's own when it speaks that language (a British user keeps the day
// first), else that language's usual one. The files and printouts keep
// their fixed DD/MM/YYYY whatever this says.
QLocale DisplayLocale(int taal, const QLocale& system = QLocale::system());

// A date as the locale writes it short, with the year in full.
QString DisplayDate(const QLocale& locale, QDate date);
QString DisplayDate(int taal, const LocalDateTime& when);
// The same for a stored "DD/MM/YYYY", which stays as it is if it is none.
QString DisplayEuroDate(int taal, std::string_view euroDate);

}  // namespace qrv::pages
