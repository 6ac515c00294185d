#pragma once

#include <array>

#include "text/texts.h"

namespace qrv::text::tables {

// Banners, probe-type words, pop-up buttons, and the texts of start-up, files, modes and shutdown.
inline constexpr std::array<TextTable, 46> kShellTexts{{
    {"QRVNL_TEXT",
     {"QUORVANEL   Intelligent Probe Network", "QUORVANEL   Intelligentes Fühlernetz",
      "QUORVANEL   Réseau de capteurs intelligents", "QUORVANEL   Intelligent Voelernetwerk"}},
    {"QRVNL_MAIN_MENU_TEXT",
     {"QUORVANEL   Intelligent Probe Network  vs ", "QUORVANEL   Intelligentes Fühlernetz  vs",
      "QUORVANEL   Réseau de capteurs intelligents  vs",
      "QUORVANEL   Intelligent Voelernetwerk  vs"}},
    {"QRVNL_TEMPERATURE", {"Temperature ", "Temperatur ", "Température ", "Temperatuur "}},
    {"QRVNL_HUMIDITY", {"Humidity ", "Feuchtigkeit ", "Humidité ", "Vochtigheid "}},
    {"QRVNL_SWITCH", {"Switch", "Schalter", "Contact", "Schakelaar"}},
    {"ButtonYes", {"__Yes", "__Ja", "__Oui", "__Ja"}},
    {"ButtonNo", {"__No", "__Nein", "__Non", "__Nee"}},
    {"ButtonRetry", {"__Retry", "__Wiederholen", "__Réessayer", "__Opnieuw"}},
    {"ButtonCancel", {"__Cancel", "__Abbrechen", "__Annuler", "__Annuleren"}},
    {"ButtonCont", {"__Continue", "__Weiter", "__Continuer", "__Doorgaan"}},
    {"ButtonStop", {"__Stop", "__Stopp", "__Arrêter", "__Stoppen"}},
    {"ButtonOK", {"__OK", "__OK", "__OK", "__OK"}},
    {"ButtonDiscard", {"__Ignore", "__Ignorieren", "__Ignorer", "__Negeren"}},
    {"ButtonZoeken", {"__Retry", "__Suchen", "__Chercher", "__Zoeken"}},
    {"ButtonPutOff", {"__Off", "__Aus", "__Débrancher", "__Uit"}},
    {"ButtonDelete", {"__Delete", "__Entfernen", "__Effacer", "__Verwijderen"}},
    {"ButtonNormalMode", {"__Normal mode", "__Normalbetrieb", "Mode __normal", "__Normale modus"}},
    {"ButtonOffLineMode",
     {"__Off line mode", "__Offline-Betrieb", "Mode __hors ligne", "__Offline-modus"}},
    {"ButtonDemoMode", {"__Demo mode", "__Demobetrieb", "Mode __démo", "__Demomodus"}},
    {"TXT_ERROR_QRVNOTES",
     {"File error in QRVNotes.txt, operation aborted.",
      "Dateifehler beim Öffnen von QRVNotes.txt, Bearbeitung beendet.",
      "Erreur de fichier en ouvrant QRVNotes.txt, opération interrompue.",
      "Fout bij openen QRVNotes.txt, bewerking afgebroken."}},
    {"TXT_ERROR_INI_FILE",
     {"File error in QRVNL.INI, operation aborted.",
      "Dateifehler beim öffnen QRVNL.INI, Bearbeitung beendet.",
      "Erreur de fichier en ouvrant QRVNL.INI, opération interrompue.",
      "Fout bij openen QRVNL.INI, bewerking afgebroken"}},
    {"TXT_ERROR_SNS_FILE",
     {"File error in QRVNL.SNS, operation aborted.",
      "Dateifehler beim Öffnen von QRVNL.SNS, Bearbeitung beendet.",
      "Erreur de fichier en ouvrant QRVNL.SNS, opération interrompue.",
      "Fout bij openen QRVNL.SNS, bewerking afgebroken."}},
    {"MESS_SAVING_TEMPS",
     {"Saving temperature data to disk..", "Temperaturdaten werden gespeichert..",
      "Enregistrement des données de température..", "Temperatuurgegevens worden opgeslagen.."}},
    {"MESS_READING_TEMPS",
     {"Reading temperature data from disk..", "Temperaturdaten werden gelesen..",
      "Lecture des données de température..", "Temperatuurgegevens worden gelezen.."}},
    {"MESS_READING_HISTORY",
     {"Reading previously recorded temperature data from disk..",
      "Früher aufgezeichnete Temperaturdaten werden gelesen..",
      "Lecture des données de température enregistrées..",
      "Eerder geregistreerde temperatuurgegevens worden gelezen.."}},
    {"TXT_SELECT_FILE",
     {"Select a file", "Datei auswählen", "Choisir un fichier", "Kies een bestand"}},
    {"Main_Quit_1",
     {"Do you really want to quit this program ?", "Möchten Sie das Programm wirklich beenden?",
      "Voulez-vous vraiment quitter le programme?", "Wilt u het programma echt afsluiten?"}},
    {"Main_Quit_2",
     {"Do you really want to quit this program?\n"
      "This will halt all monitoring!",
      "Möchten Sie das Programm wirklich beenden?\n"
      "Die gesamte Überwachung wird dann angehalten!",
      "Voulez-vous vraiment quitter le programme?\n"
      "Toute la surveillance sera arrêtée!",
      "Wilt u het programma echt afsluiten?\n"
      "Alle bewaking wordt dan gestopt!"}},
    {"Mess_Close",
     {"Closing the program...", "Programm wird geschlossen...", "Fermeture du programme...",
      "Programma wordt gesloten..."}},
    {"Mess_Read_Message",
     {"Reading data file", "Datendatei wird gelesen", "Lecture du fichier de données",
      "Gegevensbestand wordt gelezen"}},
    {"Missing_File",
     {"File error, the application will be aborted.", "Dateifehler, das Programm wird beendet.",
      "Erreur de fichier, l'application va être interrompue.",
      "Bestandsfout, het programma wordt afgebroken."}},
    {"Missing_Setup",
     {"The settings file QRVNL.INI was not found.\n"
      "Default settings will be used.",
      "Die Einstellungsdatei QRVNL.INI wurde nicht gefunden.\n"
      "Es werden Standardeinstellungen verwendet.",
      "Le fichier de configuration QRVNL.INI est introuvable.\n"
      "Les réglages par défaut seront utilisés.",
      "Het instellingenbestand QRVNL.INI is niet gevonden.\n"
      "De standaardinstellingen worden gebruikt."}},
    {"MissingIni_Abort",
     {"The settings file QRVNL.INI is missing or bad.\n"
      "The application will be aborted.",
      "Die Einstellungsdatei QRVNL.INI fehlt oder ist fehlerhaft.\n"
      "Das Programm wird beendet.",
      "Le fichier de configuration QRVNL.INI est absent ou corrompu.\n"
      "L'application va être interrompue.",
      "Het instellingenbestand QRVNL.INI ontbreekt of is beschadigd.\n"
      "Het programma wordt afgebroken."}},
    {"BadSns_Continu",
     {"The probe file .sns is bad or corrupted.\n"
      "Do you want to continue ?",
      "Die Fühlerdatei .sns ist fehlerhaft oder beschädigt.\n"
      "Möchten Sie fortfahren?",
      "Le fichier des capteurs .sns est défectueux ou corrompu.\n"
      "Voulez-vous continuer?",
      "Het voelerbestand .sns is ongeldig of beschadigd.\n"
      "Wilt u doorgaan?"}},
    {"Mess_CloseData",
     {"Saving data and network status.", "Daten und Netzwerkstatus werden gespeichert.",
      "Enregistrement des données et de l'état du réseau.",
      "Gegevens en netwerkstatus worden opgeslagen."}},
    {"Mess_Afsluiten",
     {"Shutting down, please wait...", "Programm wird beendet, bitte warten...",
      "Arrêt en cours, veuillez patienter...", "Bezig met afsluiten, even geduld..."}},
    {"Mess_Ready", {"Ready.", "Bereit.", "Prêt.", "Gereed."}},
    {"Mess_Ask_Demo",
     {"Interface unit not found......   Please select an option:\n",
      "Schnittstelleneinheit nicht gefunden......   Bitte wählen Sie eine Option:\n",
      "Unité d'interface introuvable......   Veuillez choisir une option:\n",
      "Interface-eenheid niet gevonden......   Kies een optie:\n"}},
    {"TXT_DEMO_TEXT", {"Demo mode", "Demobetrieb", "Mode démo", "Demomodus"}},
    {"TXT_OFFLINE_TEXT", {"Off line mode", "Offline-Betrieb", "Mode hors ligne", "Offline-modus"}},
    {"TXT_SERVICE_MONITORS",
     {"the service monitors the network", "der Dienst überwacht das Netz",
      "le service surveille le réseau", "de dienst bewaakt het netwerk"}},
    {"Not_Poss_In_This_Mode",
     {"This action is not possible in the current mode.\n",
      "Diese Aktion ist in der aktuellen Betriebsart nicht möglich.\n",
      "Cette action n'est pas possible dans le mode actuel.\n",
      "Deze actie is in de huidige modus niet mogelijk.\n"}},
    {"TXT_No_DataFile_To_Save",
     {"No measurement data on disk, operation aborted.",
      "Keine Messdaten auf der Festplatte, Bearbeitung beendet.",
      "Aucune donnée de mesure sur le disque, opération interrompue.",
      "Geen meetgegevens op schijf, bewerking afgebroken."}},
    {"TXT_Save_File_Failed",
     {"File error, operation aborted.", "Dateifehler, Bearbeitung beendet.",
      "Erreur de fichier, opération interrompue.", "Bestandsfout, bewerking afgebroken."}},
    {"TXT_SELECT_VIEW_FILE",
     {"__Select File", "__Datei wählen", "Choisir un __fichier", "__Bestand kiezen"}},
    {"TXT_DESTROY_TODAYS_RESULTS",
     {"Today's results will be deleted.\n"
      "Continue?",
      "Die heutigen Messwerte werden gelöscht.\n"
      "Fortfahren?",
      "Les résultats d'aujourd'hui seront supprimés.\n"
      "Continuer?",
      "De resultaten van vandaag worden verwijderd.\n"
      "Doorgaan?"}},
}};

}  // namespace qrv::text::tables
