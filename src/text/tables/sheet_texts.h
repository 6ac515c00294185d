#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// The daily minimum and maximum sheet: its menu item and choice panel, and
// the printed page. The column titles fit the page's fixed columns: "min",
// "max" 6 characters, "time", "above", "below" 5, "Day" 32, the rest 26.
inline constexpr std::array<TextTable, 25> kSheetTexts{{
    {"TXT_SHEET_MENU",
     {"Daily min/max __sheet", "Tägliche Min/Max-__Liste", "__Fiche min/max journalière",
      "Dagelijkse min/max-__lijst"}},
    {"TXT_SHEET_PANEL",
     {"Daily minimum and maximum sheet", "Tägliche Minimum- und Maximumliste",
      "Fiche des minima et maxima journaliers", "Dagelijkse minimum- en maximumlijst"}},
    {"TXT_SHEET_ALL_PROBES", {"All probes", "Alle Fühler", "Tous les capteurs", "Alle voelers"}},
    {"TXT_SHEET_PRINT", {"__Print", "__Drucken", "__Imprimer", "__Afdrukken"}},
    {"TXT_SHEET_NO_VALUES_OF",
     {"No stored values of this probe in the month.",
      "Keine gespeicherten Werte dieses Fühlers im Monat.",
      "Aucune valeur enregistrée de ce capteur dans le mois.",
      "Geen opgeslagen waarden van deze voeler in de maand."}},
    {"TXT_SHEET_TITLE",
     {"Daily minimum and maximum", "Tägliches Minimum und Maximum",
      "Minimum et maximum journaliers", "Dagelijks minimum en maximum"}},
    {"TXT_SHEET_PAGE", {"Page", "Seite", "Page", "Pagina"}},
    {"TXT_SHEET_OF", {"of", "von", "sur", "van"}},
    {"TXT_SHEET_PROBE", {"Probe:", "Fühler:", "Capteur:", "Voeler:"}},
    {"TXT_SHEET_LIMITS", {"Alarm limits:", "Alarmgrenzen:", "Limites d'alarme :", "Alarmgrenzen:"}},
    {"TXT_SHEET_LOW", {"low", "tief", "basse", "laag"}},
    {"TXT_SHEET_HIGH", {"high", "hoch", "haute", "hoog"}},
    {"TXT_SHEET_NO_LIMITS",
     {"No alarm limits: time out of range not counted",
      "Keine Alarmgrenzen: Zeit außerhalb nicht gezählt",
      "Pas de limites d'alarme : durée hors limites non comptée",
      "Geen alarmgrenzen: tijd buiten bereik niet geteld"}},
    {"TXT_SHEET_DAY", {"Day", "Tag", "Jour", "Dag"}},
    {"TXT_SHEET_MINUTES_OUT",
     {"minutes out", "Minuten außerhalb", "minutes hors limites", "minuten buiten"}},
    {"TXT_SHEET_ALARMS",
     {"Alarms and acknowledgements", "Alarme und Quittierungen", "Alarmes et acquittements",
      "Alarmen en bevestigingen"}},
    {"TXT_SHEET_MIN", {"min", "min", "min", "min"}},
    {"TXT_SHEET_MAX", {"max", "max", "max", "max"}},
    {"TXT_SHEET_TIME", {"time", "Zeit", "heure", "tijd"}},
    {"TXT_SHEET_ABOVE", {"above", "hoch", "haut", "boven"}},
    {"TXT_SHEET_BELOW", {"below", "tief", "bas", "onder"}},
    {"TXT_SHEET_INITIALS", {"Initials", "Kürzel", "Visa", "Paraaf"}},
    {"TXT_SHEET_NO_VALUES",
     {"no stored values", "keine Werte gespeichert", "aucune valeur enregistrée",
      "geen opgeslagen waarden"}},
    {"TXT_SHEET_ACK", {"ack", "quitt.", "acq.", "bev."}},
    {"TXT_SHEET_PROBE_LIST", {"Probe", "Fühler", "Capteur", "Voeler"}},
}};

}  // namespace qrv::text::tables
