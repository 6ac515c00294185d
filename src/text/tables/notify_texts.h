#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// The call list of quorvanel.toml: its menu item and popups.
inline constexpr std::array<TextTable, 4> kNotifyTexts{{
    {"TXT_BAR1_ALARM_NOTIFY_TEST",
     {"Test __contacts", "__Kontakte testen", "Tester les __contacts", "__Contacten testen"}},
    {"TXT_NOTIFY_TEST_CHOOSE",
     {"Send a test message to which contact?", "An welchen Kontakt eine Testnachricht senden?",
      "À quel contact envoyer un message de test ?",
      "Naar welk contact een testbericht versturen?"}},
    {"TXT_NOTIFY_TEST_NUMBER",
     {"Number of the contact (0: all):", "Nummer des Kontakts (0: alle):",
      "Numéro du contact (0 : tous) :", "Nummer van het contact (0: alle):"}},
    {"TXT_NOTIFY_NO_CONTACTS",
     {"There are no contacts in quorvanel.toml: alarms go to the SMS program only.",
      "In quorvanel.toml stehen keine Kontakte: Alarme gehen nur an das SMS-Programm.",
      "Aucun contact dans quorvanel.toml : les alarmes vont seulement au programme SMS.",
      "Er staan geen contacten in quorvanel.toml: alarmen gaan alleen naar het SMS-programma."}},
}};

}  // namespace qrv::text::tables
