#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// Time out of range: the statistics block's extra lines and the alarm on the
// minutes out of range in the last 24 hours.
inline constexpr std::array<TextTable, 6> kRecordsTexts{{
    {"TXT_STAT_MINUTES_ABOVE",
     {"Minutes above high :     ", "Minuten zu hoch    :     ", "Minutes trop haut  :     ",
      "Minuten boven hoog :     "}},
    {"TXT_STAT_MINUTES_BELOW",
     {"Minutes below low  :     ", "Minuten zu tief    :     ", "Minutes trop bas   :     ",
      "Minuten onder laag :     "}},
    {"TXT_LOG_ALARM_TIME_HIGH",
     {"Time High Alarm:", "Zeitalarm hoch:", "Alarme durée haute:", "Tijdalarm hoog:"}},
    {"TXT_LOG_ALARM_TIME_LOW",
     {"Time Low Alarm:", "Zeitalarm tief:", "Alarme durée basse:", "Tijdalarm laag:"}},
    {"TXT_LOG_ALARM_TIME_ENDED", {"Time OK:", "Zeit OK:", "Durée OK:", "Tijd OK:"}},
    {"TXT_LOG_TIME_IN_DAY", {" min in 24 h", " min in 24 Std.", " min en 24 h", " min in 24 uur"}},
}};

}  // namespace qrv::text::tables
