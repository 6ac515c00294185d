#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// The probe settings printout's lines below each probe: its SMS and relay
// choices, the alarm on time out of range and the daily alarm windows.
inline constexpr std::array<TextTable, 9> kPrintoutTexts{{
    {"TXT_PRNT_WEEKDAYS",
     {"Mo Tu We Th Fr Sa Su", "Mo Di Mi Do Fr Sa So", "Lu Ma Me Je Ve Sa Di",
      "Ma Di Wo Do Vr Za Zo"}},
    {"TXT_PRNT_ALARM_TIMES", {"Alarm times:", "Alarmzeiten:", "Heures d'alarme :", "Alarmtijden:"}},
    {"TXT_PRNT_NO_ALARM", {"no alarm", "kein Alarm", "pas d'alarme", "geen alarm"}},
    {"TXT_PRNT_TIME_ALARM_UNREAD",
     {"not known, the file could not be read", "unbekannt, die Datei war nicht lesbar",
      "inconnue, le fichier n'a pas pu être lu", "onbekend, het bestand was niet leesbaar"}},
    {"TXT_PRNT_PROBE_SMS", {"SMS: {}", "SMS: {}", "SMS : {}", "SMS: {}"}},
    {"TXT_PRNT_PROBE_RELAY", {"Relay: {}", "Relais: {}", "Relais : {}", "Relais: {}"}},
    {"TXT_PRNT_TIME_ALARM",
     {"Time out of range in 24 h:", "Zeit außerhalb der Grenzen in 24 Std.:",
      "Durée hors limites en 24 h :", "Tijd buiten de grenzen in 24 uur:"}},
    {"TXT_PRNT_TIME_ABOVE",
     {"more than {} min above", "mehr als {} Min. darüber", "plus de {} min au-dessus",
      "meer dan {} min erboven"}},
    {"TXT_PRNT_TIME_BELOW",
     {"more than {} min below", "mehr als {} Min. darunter", "plus de {} min au-dessous",
      "meer dan {} min eronder"}},
}};

}  // namespace qrv::text::tables
