#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// Texts of the network installation and the probe editor that the older
// station did not have: a full probe table, names a file cannot hold, the
// editor's SMS choice and a line that could not be switched.
inline constexpr std::array<TextTable, 4> kInstallationTexts{{
    {"TXT_PROBE_TABLE_FULL",
     {"The probe table is full (100 probes). These probes were found but not added:\n",
      "Die Fühlertabelle ist voll (100 Fühler). Diese Fühler wurden gefunden, aber nicht "
      "aufgenommen:\n",
      "La table des capteurs est pleine (100 capteurs). Ces capteurs ont été trouvés mais pas "
      "ajoutés:\n",
      "De voelertabel is vol (100 voelers). Deze voelers zijn gevonden maar niet toegevoegd:\n"}},
    {"TXT_NAME_NOT_STORABLE",
     {"This name cannot be stored: use letters, digits and signs of Western European text "
      "only, without control characters.",
      "Dieser Name kann nicht gespeichert werden: nur Buchstaben, Ziffern und Zeichen "
      "westeuropäischer Schrift, ohne Steuerzeichen.",
      "Ce nom ne peut pas être enregistré: uniquement des lettres, chiffres et signes "
      "d'écriture ouest-européenne, sans caractères de contrôle.",
      "Deze naam kan niet worden opgeslagen: alleen letters, cijfers en tekens van "
      "West-Europees schrift, zonder stuurtekens."}},
    {"TXT_PROBE_ACTION_SMS",
     {"Send an SMS message", "SMS-Nachricht senden", "Envoyer un SMS", "SMS-bericht versturen"}},
    {"TXT_LINE_NOT_SEARCHED",
     {"Network line could not be switched on, not searched: ",
      "Netzwerkleitung ließ sich nicht einschalten, nicht durchsucht: ",
      "Impossible d'activer la ligne réseau, non explorée: ",
      "Netwerklijn kon niet worden ingeschakeld, niet doorzocht: "}},
}};

}  // namespace qrv::text::tables
