#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// The probe editor's section for the alarm on the minutes out of range in
// the last 24 hours. The refusal takes the field's caption, what was typed
// and the largest threshold.
inline constexpr std::array<TextTable, 9> kTimeAlarmEditorTexts{{
    {"TXT_TIME_ALARM_SECTION",
     {"Alarm on time out of range", "Alarm bei Zeit außerhalb der Grenzen",
      "Alarme sur la durée hors limites", "Alarm op duur buiten de grenzen"}},
    {"TXT_TIME_ALARM_HINT",
     {"Alarm when more minutes than these lie beyond the alarm limits in the last 24 hours. "
      "Empty: no alarm.",
      "Alarm, wenn in den letzten 24 Stunden mehr Minuten als diese jenseits der Alarmgrenzen "
      "liegen. Leer: kein Alarm.",
      "Alarme quand, sur les dernières 24 heures, plus de minutes que cela sont hors des seuils "
      "d'alarme. Vide : pas d'alarme.",
      "Alarm als in de laatste 24 uur meer minuten dan deze buiten de alarmgrenzen liggen. "
      "Leeg: geen alarm."}},
    {"TXT_TIME_ALARM_ABOVE",
     {"Minutes above the high limit in 24 h:", "Minuten über der Obergrenze in 24 Std.:",
      "Minutes au-dessus du seuil haut en 24 h :", "Minuten boven de hoge grens in 24 uur:"}},
    {"TXT_TIME_ALARM_BELOW",
     {"Minutes below the low limit in 24 h:", "Minuten unter der Untergrenze in 24 Std.:",
      "Minutes au-dessous du seuil bas en 24 h :", "Minuten onder de lage grens in 24 uur:"}},
    {"TXT_TIME_ALARM_BAD_VALUE",
     {"{} \"{}\" is not a whole number of minutes from 1 to {}. Leave the field empty for no "
      "alarm.",
      "{} „{}“ ist keine ganze Zahl von Minuten von 1 bis {}. Für keinen Alarm das Feld leer "
      "lassen.",
      "{} « {} » n'est pas un nombre entier de minutes de 1 à {}. Laissez le champ vide pour ne "
      "pas avoir d'alarme.",
      "{} \"{}\" is geen geheel aantal minuten van 1 tot {}. Laat het veld leeg voor geen "
      "alarm."}},
    {"TXT_TIME_ALARM_UNREADABLE",
     {"The time alarms cannot be read and cannot be changed here until their file is mended:",
      "Die Zeitalarme können nicht gelesen werden und sind hier erst nach Reparatur ihrer Datei "
      "änderbar:",
      "Les alarmes de durée ne peuvent pas être lues ni modifiées ici avant la réparation de "
      "leur fichier :",
      "De tijdalarmen kunnen niet worden gelezen en zijn hier pas te wijzigen als hun bestand "
      "hersteld is:"}},
    {"TXT_TIME_ALARM_NOT_WRITTEN",
     {"The time alarm could not be saved, so the probe's settings were not saved either:",
      "Der Zeitalarm konnte nicht gespeichert werden, daher wurden auch die Einstellungen des "
      "Fühlers nicht gespeichert:",
      "L'alarme de durée n'a pas pu être enregistrée, les réglages du capteur ne l'ont donc pas "
      "été non plus :",
      "Het tijdalarm kon niet worden opgeslagen, dus de instellingen van de voeler ook niet:"}},
    // The probe panel's reason, written into the audit trail with its changes.
    {"TXT_PROBE_REASON",
     {"Reason for the change (optional):", "Grund der Änderung (freiwillig):",
      "Motif de la modification (facultatif) :", "Reden van de wijziging (optioneel):"}},
    {"TXT_PROBE_REASON_CONTROL",
     {"The reason may not hold tabs, line breaks or other control characters.",
      "Der Grund darf keine Tabulatoren, Zeilenumbrüche oder anderen Steuerzeichen enthalten.",
      "Le motif ne peut contenir ni tabulations, ni sauts de ligne, ni autres caractères de "
      "contrôle.",
      "De reden mag geen tabs, regeleinden of andere stuurtekens bevatten."}},
}};

}  // namespace qrv::text::tables
