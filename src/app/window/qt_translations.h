#pragma once

#include <QTranslator>
#include <memory>

namespace qrv::window {

// Qt's own texts (the print and file dialogs, the standard buttons) in the
// station's language, from the translations Debian ships for Qt
// (qt6-translations-l10n). English needs none.
class QtTranslations {
  public:
    // Puts the language's translation in place of the one before; false when
    // Qt has none installed for it (its dialogs then stay English).
    bool Use(int taal);

  private:
    std::unique_ptr<QTranslator> translator_;
    int taal_ = 0;
};

}  // namespace qrv::window
