#include "app/window/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include "reports/pages/display_dates.h"

namespace qrv::window {

bool QtTranslations::Use(int taal) {
    if (taal == taal_ && (translator_ || taal == 0)) {
        return true;
    }
    // The translator leaves the application as it is destroyed.
    translator_.reset();
    taal_ = taal;
    if (taal == 0) {
        return true;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(pages::DisplayLocale(taal), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
    return true;
}

}  // namespace qrv::window
