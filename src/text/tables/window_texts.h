#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// What the window and the probe editor tell a user so that nothing changes
// unseen: a limit moved by another, a refused decimal, a stopped network or
// disabled alarms in the header, an acknowledged alarm, text that the
// station's files cannot hold, a notice of the call list that was given up,
// a call list that cannot be used; the help the F1 key opens.
inline constexpr std::array<TextTable, 18> kWindowTexts{{
    {"TXT_LIMIT_WHOLE_UNITS",
     {"Whole units only: a limit takes no decimals.",
      "Nur ganze Einheiten: Grenzen haben keine Nachkommastellen.",
      "Unités entières seulement : un seuil n'a pas de décimales.",
      "Alleen hele eenheden: een grens heeft geen decimalen."}},
    {"TXT_LIMIT_ALARM_HIGH", {"Alarm high", "Alarmgrenze hoch", "Alarme haute", "Alarm hoog"}},
    {"TXT_LIMIT_ALARM_LOW", {"Alarm low", "Alarmgrenze tief", "Alarme basse", "Alarm laag"}},
    {"TXT_LIMIT_TRIP_HIGH",
     {"Pre-alarm high", "Voralarm hoch", "Préalarme haute", "Vooralarm hoog"}},
    {"TXT_LIMIT_TRIP_LOW", {"Pre-alarm low", "Voralarm tief", "Préalarme basse", "Vooralarm laag"}},
    {"TXT_LIMIT_MOVED",
     {"{0} moved to {1} to follow {2}. Check it before saving.",
      "{0} wurde passend zu {2} auf {1} gesetzt. Vor dem Speichern prüfen.",
      "{0} passe à {1} pour suivre {2}. Vérifiez avant d'enregistrer.",
      "{0} is verschoven naar {1} om {2} te volgen. Controleer dit voor het opslaan."}},
    {"TXT_HEADER_NOT_MONITORING",
     {"NOT MONITORING: network stopped", "KEINE ÜBERWACHUNG: Netzwerk gestoppt",
      "PAS DE SURVEILLANCE : réseau arrêté", "GEEN BEWAKING: netwerk gestopt"}},
    {"TXT_HEADER_ALARMS_OFF",
     {"ALARMS DISABLED", "ALARME AUSGESCHALTET", "ALARMES DÉSACTIVÉES", "ALARMEN UITGESCHAKELD"}},
    {"TXT_REALLY_DISABLE_ALARMS",
     {"Disable all alarms?\nNo probe will raise an alarm, switch the relay or send a message "
      "until the alarms are enabled again.",
      "Alle Alarme ausschalten?\nKein Fühler löst einen Alarm aus, schaltet das Relais oder "
      "sendet eine Nachricht, bis die Alarme wieder eingeschaltet sind.",
      "Désactiver toutes les alarmes ?\nAucun capteur ne déclenchera d'alarme, n'activera le "
      "relais ni n'enverra de message tant que les alarmes ne seront pas réactivées.",
      "Alle alarmen uitschakelen?\nGeen enkele voeler geeft alarm, schakelt het relais of "
      "verstuurt een bericht tot de alarmen weer ingeschakeld zijn."}},
    {"TXT_ALARM_ACKNOWLEDGED_BY",
     {"acknowledged by {}", "quittiert von {}", "acquittée par {}", "bevestigd door {}"}},
    {"TXT_ROW_ACKNOWLEDGED", {"acknowledged", "quittiert", "acquittée", "bevestigd"}},
    {"TXT_ACKNOWLEDGE_PROMPT",
     {"Acknowledge the alarm as {}? It will be muted.\nComment (optional). OK acknowledges, "
      "Cancel leaves the alarm sounding:",
      "Alarm als {} quittieren? Er wird stummgeschaltet.\nKommentar (freiwillig). OK "
      "quittiert, Abbrechen lässt den Alarm weiter ertönen:",
      "Acquitter l'alarme en tant que {} ? Elle sera coupée.\nCommentaire (facultatif). OK "
      "acquitte, Annuler laisse l'alarme sonner :",
      "Het alarm bevestigen als {}? Het wordt gedempt.\nOpmerking (optioneel). OK bevestigt, "
      "Annuleren laat het alarm klinken:"}},
    {"TXT_NOT_IN_CP1252",
     {"These characters cannot be stored in the station's files: {}\nPlease replace them.",
      "Diese Zeichen können in den Dateien der Station nicht gespeichert werden: {}\nBitte "
      "ersetzen Sie sie.",
      "Ces caractères ne peuvent pas être enregistrés dans les fichiers de la station : {}\n"
      "Veuillez les remplacer.",
      "Deze tekens kunnen niet in de bestanden van het station worden opgeslagen: {}\n"
      "Vervang ze alstublieft."}},
    {"TXT_SMS_NAME_ONE_WORD",
     {"\"{}\" was not saved: the phone name must be one word without blanks, exactly as in "
      "the SMS program's phone book.",
      "„{}“ wurde nicht gespeichert: Der Telefonname muss ein Wort ohne Leerzeichen sein, "
      "genau wie im Telefonbuch des SMS-Programms.",
      "« {} » n'a pas été enregistré : le nom du téléphone doit être un seul mot sans espace, "
      "exactement comme dans l'annuaire du programme SMS.",
      "\"{}\" is niet opgeslagen: de telefoonnaam moet één woord zonder spaties zijn, precies "
      "zoals in het telefoonboek van het SMS-programma."}},
    {"TXT_HEADER_NOTICE_GIVEN_UP",
     {"NOTICE NOT DELIVERED to {0} by {1} ({2}): {3}",
      "BENACHRICHTIGUNG NICHT ZUGESTELLT an {0} per {1} ({2}): {3}",
      "NOTIFICATION NON REMISE à {0} par {1} ({2}) : {3}",
      "MELDING NIET AFGELEVERD aan {0} via {1} ({2}): {3}"}},
    {"TXT_CALL_LIST_NOT_USED",
     {"The call list in {} cannot be used: {}\nAlarm SMS go to the SMS program's single "
      "destination, as without a call list. The program log names each problem.",
      "Die Anrufliste in {} kann nicht verwendet werden: {}\nAlarm-SMS gehen an das eine Ziel "
      "des SMS-Programms, wie ohne Anrufliste. Das Programmprotokoll nennt jedes Problem.",
      "La liste d'appel de {} est inutilisable : {}\nLes SMS d'alarme vont à l'unique "
      "destinataire du programme SMS, comme sans liste d'appel. Le journal du programme "
      "indique chaque problème.",
      "De bellijst in {} is niet bruikbaar: {}\nAlarm-SMS gaan naar de ene bestemming van "
      "het SMS-programma, zoals zonder bellijst. Het programmalogboek noemt elk probleem."}},
    {"TXT_HELP_TITLE",
     {"Help", "Hilfe (auf Englisch)", "Aide (en anglais)", "Help (in het Engels)"}},
    {"TXT_HELP_NOT_FOUND",
     {"No help file was found. It is looked for in:\n{}",
      "Keine Hilfedatei gefunden. Gesucht wurde in:\n{}",
      "Aucun fichier d'aide trouvé. Il a été cherché dans :\n{}",
      "Geen helpbestand gevonden. Er is gezocht in:\n{}"}},
}};

}  // namespace qrv::text::tables
