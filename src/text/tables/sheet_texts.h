#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// The daily minimum and maximum sheet's printed page. The column titles fit
// the page's fixed columns: "min", "max" 6 characters, "time", "above",
// "below" 5, "Day" 32, the rest 26.
inline constexpr std::array<TextTable, 24> kSheetTexts{{
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
    {"TXT_SHEET_SKIPPED_ALARM_LINES",
     {"Alarm file lines that could not be read, not shown:",
      "Nicht lesbare Zeilen der Alarmdatei, nicht gezeigt:",
      "Lignes illisibles du fichier d'alarmes, non affichées :",
      "Onleesbare regels van het alarmbestand, niet getoond:"}},
    {"TXT_SHEET_TRAIL_HEAD",
     {"Audit trail when printed:", "Prüfpfad beim Drucken:", "Piste d'audit à l'impression :",
      "Audittrail bij het afdrukken:"}},
    {"TXT_SHEET_STORED", {"stored", "gespeichert", "enregistré", "opgeslagen"}},
    {"TXT_SHEET_TRAIL_UNREADABLE",
     {"The audit trail cannot be read: the minutes out of range are counted against today's limits",
      "Der Prüfpfad kann nicht gelesen werden: die Minuten außerhalb zählen nach den heutigen "
      "Grenzen",
      "La piste d'audit ne peut pas être lue : les minutes hors limites sont comptées selon les "
      "limites actuelles",
      "De audittrail kan niet gelezen worden: de minuten buiten bereik tellen tegen de huidige "
      "grenzen"}},
    {"TXT_SHEET_MENU",
     {"Daily minimum and maximum __sheet", "Tages__blatt Minimum und Maximum",
      "__Feuille des minima et maxima journaliers", "Dag__staat minimum en maximum"}},
}};

}  // namespace qrv::text::tables
