#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// Texts the older station did not have: station files it cannot read or
// load whole, and a network file of the simulated unit it cannot use. The
// file and the reason follow each text on a line of their own.
inline constexpr std::array<TextTable, 7> kStationFileTexts{{
    {"TXT_INI_FILE_UNREADABLE",
     {"The settings file cannot be read. The default settings are used, and the file is "
      "left as it is:",
      "Die Einstellungsdatei kann nicht gelesen werden. Es gelten die Standardeinstellungen, "
      "und die Datei bleibt unverändert:",
      "Le fichier de configuration ne peut pas être lu. Les réglages par défaut sont utilisés "
      "et le fichier reste tel quel :",
      "Het instellingenbestand kan niet gelezen worden. De standaardinstellingen gelden, en "
      "het bestand blijft zoals het is:"}},
    {"TXT_SNS_FILE_UNREADABLE",
     {"The probe file cannot be read and is left as it is.\n"
      "Do you want to continue ?",
      "Die Fühlerdatei kann nicht gelesen werden und bleibt unverändert.\n"
      "Möchten Sie fortfahren?",
      "Le fichier des capteurs ne peut pas être lu et reste tel quel.\n"
      "Voulez-vous continuer?",
      "Het voelerbestand kan niet gelezen worden en blijft zoals het is.\n"
      "Wilt u doorgaan?"}},
    {"TXT_SNS_FILE_TOO_MANY",
     {"The probe file holds more probes than the station has room for (100): only the first "
      "100 are loaded.",
      "Die Fühlerdatei enthält mehr Fühler, als die Station aufnehmen kann (100): nur die "
      "ersten 100 werden geladen.",
      "Le fichier des capteurs contient plus de capteurs que la station ne peut en gérer "
      "(100) : seuls les 100 premiers sont chargés.",
      "Het voelerbestand bevat meer voelers dan het station kan opnemen (100): alleen de "
      "eerste 100 worden geladen."}},
    {"TXT_SNS_FILE_COPY_KEPT",
     {"The file as it was is kept in:", "Die Datei wird unverändert aufbewahrt in:",
      "Le fichier tel qu'il était est conservé dans :",
      "Het bestand zoals het was wordt bewaard in:"}},
    {"TXT_SNS_FILE_COPY_FAILED",
     {"No copy of it could be kept; save one yourself before probe settings are changed:",
      "Es konnte keine Kopie aufbewahrt werden; sichern Sie selbst eine, bevor Fühler "
      "geändert werden:",
      "Aucune copie n'a pu être conservée ; sauvegardez-en une avant de modifier les "
      "capteurs :",
      "Er kon geen kopie bewaard worden; maak er zelf een voordat voelers gewijzigd worden:"}},
    // {0} whole records read, of {1} in the file; {2} the damaged byte.
    {"TXT_SNS_FILE_CUT",
     {"The probe file is cut short: the settings of {0} of its {1} probes were read whole "
      "and are used; from byte {2} on the file is damaged. The other probes are treated as "
      "new.",
      "Die Fühlerdatei ist abgeschnitten: die Einstellungen von {0} ihrer {1} Fühler wurden "
      "vollständig gelesen und werden verwendet; ab Byte {2} ist die Datei beschädigt. Die "
      "übrigen Fühler gelten als neu.",
      "Le fichier des capteurs est tronqué : les réglages de {0} de ses {1} capteurs ont été "
      "lus en entier et sont utilisés ; à partir de l'octet {2} le fichier est endommagé. Les "
      "autres capteurs sont traités comme nouveaux.",
      "Het voelerbestand is afgebroken: de instellingen van {0} van zijn {1} voelers zijn "
      "volledig gelezen en worden gebruikt; vanaf byte {2} is het bestand beschadigd. De "
      "overige voelers gelden als nieuw."}},
    {"TXT_SIM_NETWORK_FILE_BAD",
     {"The network file of the simulated interface unit cannot be used:",
      "Die Netzwerkdatei der simulierten Schnittstelle kann nicht verwendet werden:",
      "Le fichier réseau de l'interface simulée est inutilisable :",
      "Het netwerkbestand van de gesimuleerde interface is onbruikbaar:"}},
}};

}  // namespace qrv::text::tables
