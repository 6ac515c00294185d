#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// Network, serial port and probe identification.
inline constexpr std::array<TextTable, 32> kNetworkTexts{{
    {"TXT_MON_NOT_ACTIVE",
     {"Network inactive... ", "Netzwerk inaktiv... ", "Réseau inactif... ",
      "Netwerk inactief... "}},
    {"Mess_NoPlc",
     {"Interface unit not responding.\n"
      "Please check the power cable and the RS232 cable.\n"
      "Check the setting of the COMM port too.",
      "Die Schnittstelleneinheit antwortet nicht.\n"
      "Bitte prüfen Sie das Stromkabel und das RS232-Kabel.\n"
      "Prüfen Sie auch die Einstellung der COM-Schnittstelle.",
      "L'unité d'interface ne répond pas.\n"
      "Veuillez vérifier le câble d'alimentation et le câble RS232.\n"
      "Vérifiez aussi le réglage du port COM.",
      "De interface-eenheid reageert niet.\n"
      "Controleer de voedingskabel en de RS232-kabel.\n"
      "Controleer ook de instelling van de COM-poort."}},
    {"TXT_INSTALLTEKST",
     {"(Re-) initializing the Quorvanel Network, please wait....",
      "Quorvanel-Netzwerk wird (neu) initialisiert, bitte warten....",
      "(Ré)initialisation du réseau Quorvanel, veuillez patienter....",
      "Het Quorvanel-netwerk wordt (opnieuw) geïnitialiseerd, even geduld...."}},
    {"Network_Search_Probes",
     {"Locating network probes...", "Netzwerkfühler werden gesucht...",
      "Recherche des capteurs du réseau...", "Netwerkvoelers worden gezocht..."}},
    {"Network_Search_One",
     {"Locating a probe...", "Fühler wird gesucht...", "Recherche d'un capteur...",
      "Voeler wordt gezocht..."}},
    {"TXT_MISSING_PROBE_1",
     {"Unable to find probe named:   ", "Fühler nicht gefunden:   ",
      "Impossible de trouver le capteur:   ", "Voeler niet gevonden:   "}},
    {"TXT_MISSING_PROBE_2",
     {"\n"
      "Do you want to RETRY the search, set the probe to OFF-mode, or delete the probe?\n\n",
      "\n"
      "Möchten Sie die Suche WIEDERHOLEN, den Fühler AUSSCHALTEN oder den Fühler entfernen?\n\n",
      "\n"
      "Voulez-vous RÉESSAYER la recherche, DÉBRANCHER le capteur ou effacer le capteur?\n\n",
      "\n"
      "Wilt u OPNIEUW zoeken, de voeler op UIT zetten of de voeler verwijderen?\n\n"}},
    {"Ident_First",
     {"Please connect the first probe to the interface unit.\n"
      "Click on Continue when ready.",
      "Bitte schließen Sie den ersten Fühler an die Schnittstelleneinheit an.\n"
      "Klicken Sie auf Weiter, sobald Sie bereit sind.",
      "Veuillez brancher le premier capteur sur l'unité d'interface.\n"
      "Cliquez sur Continuer lorsque vous êtes prêt.",
      "Sluit de eerste voeler aan op de interface-eenheid.\n"
      "Klik op Doorgaan zodra u klaar bent."}},
    {"Ident_Next",
     {"Change probe to continue identifying process.",
      "Fühler wechseln, um die Identifizierung fortzusetzen.",
      "Changez de capteur pour poursuivre l'identification.",
      "Verwissel de voeler om verder te gaan met identificeren."}},
    {"Ident_NoProbe",
     {"No probe found: retry or stop?", "Kein Fühler gefunden: wiederholen oder stoppen?",
      "Aucun capteur trouvé: réessayer ou arrêter?",
      "Geen voeler gevonden: opnieuw proberen of stoppen?"}},
    {"Ident_NoNetwork",
     {"The network is inactive.\n"
      "Please initialize network before proceeding.",
      "Das Netzwerk ist inaktiv.\n"
      "Bitte initialisieren Sie zuerst das Netzwerk.",
      "Le réseau est inactif.\n"
      "Veuillez d'abord initialiser le réseau.",
      "Het netwerk is niet actief.\n"
      "Initialiseer eerst het netwerk."}},
    {"Ident_Sure",
     {"Identify probes?\n"
      "This will halt all monitoring.",
      "Fühler identifizieren?\n"
      "Die gesamte Überwachung wird angehalten.",
      "Identifier les capteurs?\n"
      "Toute la surveillance sera arrêtée.",
      "Voelers identificeren?\n"
      "Alle bewaking wordt gestopt."}},
    {"Ident_Separately",
     {"Each probe has to be identified separately before initialization.\n\n"
      "Please disconnect all network cables from the interface unit.",
      "Jeder Fühler muss vor der Initialisierung einzeln identifiziert werden.\n\n"
      "Bitte ziehen Sie alle Netzwerkkabel von der Schnittstelleneinheit ab.",
      "Chaque capteur doit être identifié séparément avant l'initialisation.\n\n"
      "Veuillez débrancher tous les câbles réseau de l'unité d'interface.",
      "Elke voeler moet vóór de initialisatie afzonderlijk worden geïdentificeerd.\n\n"
      "Koppel alle netwerkkabels los van de interface-eenheid."}},
    {"Ident_CablesOn",
     {"Please reconnect all network cables to the interface unit.\n"
      "The network will be re-initialized.",
      "Bitte schließen Sie alle Netzwerkkabel wieder an die Schnittstelleneinheit an.\n"
      "Das Netzwerk wird neu initialisiert.",
      "Veuillez rebrancher tous les câbles réseau sur l'unité d'interface.\n"
      "Le réseau va être réinitialisé.",
      "Sluit alle netwerkkabels weer aan op de interface-eenheid.\n"
      "Het netwerk wordt opnieuw geïnitialiseerd."}},
    {"Setting_NoProbes",
     {"No probes installed.", "Keine Fühler installiert.", "Aucun capteur installé.",
      "Geen voelers geïnstalleerd."}},
    {"NotActiveNetwork",
     {"The network is inactive.", "Das Netzwerk ist inaktiv.", "Le réseau est inactif.",
      "Het netwerk is niet actief."}},
    {"New_Installment",
     {"Please check the power and computer cable.\n"
      "Continue with network initialization?",
      "Bitte prüfen Sie das Strom- und das Computerkabel.\n"
      "Mit der Netzwerkinitialisierung fortfahren?",
      "Veuillez vérifier le câble d'alimentation et le câble de l'ordinateur.\n"
      "Continuer l'initialisation du réseau?",
      "Controleer de voedingskabel en de computerkabel.\n"
      "Doorgaan met de initialisatie van het netwerk?"}},
    {"TXT_NO_PROBES", {"No probes", "Keine Fühler", "Aucun capteur", "Geen voelers"}},
    {"TXT_FOUND_PROBE",
     {"Found probe:  ", "Fühler gefunden:  ", "Capteur trouvé:  ", "Voeler gevonden:  "}},
    {"TXT_FOUND_NEW_PROBE",
     {"New probe found...", "Neuer Fühler gefunden...", "Nouveau capteur trouvé...",
      "Nieuwe voeler gevonden..."}},
    {"MESS_CHECK_SERIAL",
     {"Checking serial port connection...", "Serielle Verbindung wird geprüft...",
      "Vérification de la liaison série...", "Seriële verbinding wordt gecontroleerd..."}},
    {"MESS_RETRY_ON_SERIAL",
     {"Locating serial port connection...", "Serielle Verbindung wird gesucht...",
      "Recherche de la liaison série...", "Seriële verbinding wordt gezocht..."}},
    {"MESS_INIT_NETWORK",
     {"Initialising Network...", "Netzwerk wird initialisiert...", "Initialisation du réseau...",
      "Netwerk wordt geïnitialiseerd..."}},
    {"MESS_TEST_INTERFACE",
     {"Testing interface and cable system...", "Schnittstelle und Verkabelung werden getestet...",
      "Test de l'interface et du câblage...", "Interface en bekabeling worden getest..."}},
    {"TXT_ABORT_INSTALL",
     {"Network initialization aborted.", "Netzwerkinitialisierung abgebrochen.",
      "Initialisation du réseau interrompue.", "Initialisatie van het netwerk afgebroken."}},
    {"TXT_NETWORK_ADDRESS",
     {"Network address: ", "Netzwerkadresse: ", "Adresse réseau: ", "Netwerkadres: "}},
    {"TXT_NETWORK_NAME", {"Network:   ", "Netzwerk:   ", "Réseau:   ", "Netwerk:   "}},
    {"TXT_EDIT_NETWORK_NAME",
     {"Edit network name:    ", "Netzwerkname bearbeiten:    ", "Modifier le nom du réseau:    ",
      "Netwerknaam bewerken:    "}},
    {"COMPORT_NOT_AIVALABLE",
     {"The selected Comport is not available.\n",
      "Die gewählte COM-Schnittstelle ist nicht verfügbar.\n",
      "Le port COM choisi n'est pas disponible.\n", "De gekozen COM-poort is niet beschikbaar.\n"}},
    {"TXT_REALLY_WANT_SETCOM",
     {"Change com-port?\n"
      "monitoring will stop.",
      "Schnittstelle ändern?\n"
      "Die Registrierung stoppt dann.",
      "Changer de port COM?\n"
      "L'enregistrement sera interrompu.",
      "com-poort wijzigen?\n"
      "De registratie stopt dan."}},
    {"MESS_CHECK_SERIAL_ERROR",
     {"Check COM-port", "COM-Schnittstelle prüfen", "Vérifiez le port COM",
      "Controleer de COM-poort"}},
    {"TXT_StopNetwork",
     {"Continue?\n"
      "This stop monitoring!",
      "Fortfahren?\n"
      "Die Überwachung wird gestoppt!",
      "Continuer?\n"
      "La surveillance sera arrêtée!",
      "Doorgaan?\n"
      "De bewaking wordt gestopt!"}},
}};

}  // namespace qrv::text::tables
