#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "text/texts.h"
#include "text/utf8_reader.h"

namespace qrv::text {
namespace {

using testing::CodePointCount;
using testing::DecodeUtf8;
using testing::IsPrintableWindows1252;

constexpr int kEnglish = 0;
constexpr int kGerman = 1;
constexpr int kFrench = 2;
constexpr int kDutch = 3;

// The enumerators of Key as the header declares them, in order: the tables
// are written apart from the enum, and a table moved, dropped or misnamed
// would give every later key another key's text.
std::vector<std::string> DeclaredKeyNames() {
    std::ifstream header(QRV_TEXT_KEYS_HEADER);
    std::vector<std::string> names;
    const std::regex enumerator(R"(^\s+([A-Za-z_][A-Za-z0-9_]*),\s*$)");
    bool inEnum = false;
    for (std::string line; std::getline(header, line);) {
        if (line.starts_with("enum class Key ")) {
            inEnum = true;
        } else if (inEnum && line.starts_with("};")) {
            break;
        } else if (std::smatch match; inEnum && std::regex_match(line, match, enumerator)) {
            names.push_back(match[1]);
        }
    }
    return names;
}

TEST(TextCatalogue, HoldsTheDeclaredKeysInOrder) {
    const std::vector<std::string> declared = DeclaredKeyNames();
    const auto catalogue = Catalogue();
    ASSERT_EQ(declared.size(), kKeyCount) << "read from " << QRV_TEXT_KEYS_HEADER;
    ASSERT_EQ(catalogue.size(), kKeyCount);

    std::set<std::string_view> names;
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        SCOPED_TRACE(declared[i]);
        EXPECT_EQ(catalogue[i].name, declared[i]);
        EXPECT_EQ(FindKey(declared[i]), static_cast<Key>(i));
        names.insert(catalogue[i].name);
    }
    EXPECT_EQ(names.size(), kKeyCount);
}

TEST(TextCatalogue, EveryTableHasFourTexts) {
    for (const auto& table : Catalogue()) {
        for (int taal = 0; taal < kLanguageCount; ++taal) {
            EXPECT_FALSE(table.texts[static_cast<std::size_t>(taal)].empty())
                << table.name << " language " << taal;
        }
    }
}

TEST(TextCatalogue, FindKeyRefusesUnknownNames) {
    EXPECT_EQ(FindKey(""), std::nullopt);
    EXPECT_EQ(FindKey("TXT_DOES_NOT_EXIST"), std::nullopt);
    EXPECT_EQ(FindKey("buttonyes"), std::nullopt);
    EXPECT_EQ(FindKey("ButtonYes "), std::nullopt);
}

TEST(TextCatalogue, LanguageOutsideTheFourFallsBackToEnglish) {
    EXPECT_EQ(Raw(Key::ButtonNo, -1), "__No");
    EXPECT_EQ(Raw(Key::ButtonNo, 4), "__No");
    EXPECT_EQ(Raw(Key::ButtonNo, 1000), "__No");
    EXPECT_EQ(Raw(Key::ButtonNo, kDutch), "__Nee");
}

struct TellingRow {
    Key key;
    std::array<std::string_view, kLanguageCount> texts;
};

TEST(TextCatalogue, TellingRowsInAllFourLanguages) {
    const TellingRow rows[] = {
        {Key::ButtonYes, {"__Yes", "__Ja", "__Oui", "__Ja"}},
        {Key::ButtonNo, {"__No", "__Nein", "__Non", "__Nee"}},
        {Key::ButtonZoeken, {"__Retry", "__Suchen", "__Chercher", "__Zoeken"}},
        {Key::ButtonPutOff, {"__Off", "__Aus", "__Débrancher", "__Uit"}},
        {Key::ButtonDelete, {"__Delete", "__Entfernen", "__Effacer", "__Verwijderen"}},
        {Key::TXT_ERROR_INI_FILE,
         {"File error in QRVNL.INI, operation aborted.",
          "Dateifehler beim öffnen QRVNL.INI, Bearbeitung beendet.",
          "Erreur de fichier en ouvrant QRVNL.INI, opération interrompue.",
          "Fout bij openen QRVNL.INI, bewerking afgebroken"}},
        {Key::TXT_HUMIDITY_TO_HIGH,
         {"Alarm: humidity too high!", "Alarm: Feuchtigkeit zu hoch!",
          "Alarme: humidité trop élevée!", "Alarm: vochtigheid te hoog"}},
        {Key::TXT_REALLY_WANT_SETCOM,
         {"Change com-port?\nmonitoring will stop.",
          "Schnittstelle ändern?\nDie Registrierung stoppt dann.",
          "Changer de port COM?\nL'enregistrement sera interrompu.",
          "com-poort wijzigen?\nDe registratie stopt dan."}},
        {Key::TXT_SENT_PRE_TEXT,
         {"QUORVANEL MESSAGE:", "QUORVANEL BERICHT:", "MESSAGE QUORVANEL:", "QUORVANEL BERICHT:"}},
        {Key::QRVNL_TEXT,
         {"QUORVANEL   Intelligent Probe Network", "QUORVANEL   Intelligentes Fühlernetz",
          "QUORVANEL   Réseau de capteurs intelligents", "QUORVANEL   Intelligent Voelernetwerk"}},
        {Key::QRVNL_MAIN_MENU_TEXT,
         {"QUORVANEL   Intelligent Probe Network  vs ", "QUORVANEL   Intelligentes Fühlernetz  vs",
          "QUORVANEL   Réseau de capteurs intelligents  vs",
          "QUORVANEL   Intelligent Voelernetwerk  vs"}},
    };
    for (const auto& row : rows) {
        for (int taal = 0; taal < kLanguageCount; ++taal) {
            EXPECT_EQ(Raw(row.key, taal), row.texts[static_cast<std::size_t>(taal)])
                << Catalogue()[static_cast<std::size_t>(row.key)].name << " language " << taal;
        }
    }
}

TEST(TextCatalogue, EnglishTextsKeepTheirExactWording) {
    // Blanks, line feeds and misspellings are part of what the station shows.
    EXPECT_EQ(Raw(Key::Main_Quit_2, kEnglish),
              "Do you really want to quit this program?\nThis will halt all monitoring!");
    EXPECT_EQ(Raw(Key::Mess_Ask_Demo, kEnglish),
              "Interface unit not found......   Please select an option:\n");
    EXPECT_EQ(Raw(Key::Not_Poss_In_This_Mode, kEnglish),
              "This action is not possible in the current mode.\n");
    EXPECT_EQ(Raw(Key::COMPORT_NOT_AIVALABLE, kEnglish),
              "The selected Comport is not available.\n");
    EXPECT_EQ(Raw(Key::TXT_MISSING_PROBE_1, kEnglish), "Unable to find probe named:   ");
    EXPECT_EQ(Raw(Key::TXT_MISSING_PROBE_2, kEnglish),
              "\nDo you want to RETRY the search, set the probe to OFF-mode, or delete the "
              "probe?\n\n");
    EXPECT_EQ(Raw(Key::TXT_Relais_On_Sure, kEnglish),
              "This will switch the alarm relay for 5 seconds.");
    EXPECT_EQ(Raw(Key::TXT_REALLY_DELETE_PROBES, kEnglish),
              "Delete probe(s) ?\nAll probe data will be lost!");
    EXPECT_EQ(Raw(Key::TXT_DESTROY_TODAYS_RESULTS, kEnglish),
              "Today's results will be deleted.\nContinue?");
    EXPECT_EQ(Raw(Key::TXT_PROBE_NO_NAME, kEnglish), "Please enter a name fot this probe.");
    EXPECT_EQ(Raw(Key::TXT_PRINTING_ERROR, kEnglish),
              "There was an error during printing: printing aborted.");
    EXPECT_EQ(Raw(Key::TXT_Saterday, kEnglish), "Saterday:");
    EXPECT_EQ(Raw(Key::QRVNL_TEMPERATURE, kEnglish), "Temperature ");
    EXPECT_EQ(Raw(Key::TXT_SWITCH_OPEN, kEnglish), "Open  ");
    EXPECT_EQ(Raw(Key::TXT_SMS_CURRENT_DEST, kEnglish), "Current mobile phone destination:   \n");
    EXPECT_EQ(Raw(Key::TXT_PRNT_LIST_PROBE_STATUS_ON, kEnglish), " On ");
}

TEST(TextGroups, RunsAreContiguousAndInTheirOrder) {
    const std::vector<Key> graph_styles = {Key::TXT_SYS_STYLE_BAR, Key::TXT_SYS_STYLE_LINE,
                                           Key::TXT_SYS_STYLE_POINTS, Key::TXT_SYS_STYLE_DOTS};
    const std::vector<Key> weekdays = {Key::TXT_Monday,   Key::TXT_Tuesday, Key::TXT_Wednesday,
                                       Key::TXT_Thursday, Key::TXT_Friday,  Key::TXT_Saterday,
                                       Key::TXT_Sunday};
    const std::vector<Key> editor_labels = {Key::TXT_PROBE_NAAM, Key::TXT_PROBE_ONLINE,
                                            Key::TXT_PROBE_HIGH, Key::TXT_PROBE_LOW,
                                            Key::TXT_PROBE_DELAY};
    const std::vector<Key> enable_state = {Key::TXT_LIST_PROBE_ALARM_ENA_STAT,
                                           Key::TXT_LIST_PROBE_ALARM_DIS_STAT};
    const std::vector<Key> banner = {Key::TXT_ALARM_INTERFACE, Key::TXT_ALARM_PROBE};

    const std::pair<Group, const std::vector<Key>*> groups[] = {
        {Group::GraphStyles, &graph_styles},
        {Group::Weekdays, &weekdays},
        {Group::ProbeEditorLabels, &editor_labels},
        {Group::AlarmEnableState, &enable_state},
        {Group::AlarmBanner, &banner}};
    for (const auto& [group, keys] : groups) {
        ASSERT_EQ(GroupSize(group), static_cast<int>(keys->size()));
        for (int item = 0; item < GroupSize(group); ++item) {
            const Key expected = (*keys)[static_cast<std::size_t>(item)];
            EXPECT_EQ(GroupKey(group, item), expected);
            // Item i of a run is the table i places after the first one.
            EXPECT_EQ(static_cast<int>(expected), static_cast<int>(keys->front()) + item);
        }
    }
}

TEST(TextGroups, TextsFollowTheLanguage) {
    EXPECT_EQ(GroupText(Group::GraphStyles, 2, kEnglish), "Conn. Points");
    EXPECT_EQ(GroupText(Group::GraphStyles, 3, kEnglish), "Dots");
    EXPECT_EQ(GroupText(Group::Weekdays, 0, kGerman), "Montag:");
    EXPECT_EQ(GroupText(Group::Weekdays, 5, kEnglish), "Saterday:");
    EXPECT_EQ(GroupText(Group::Weekdays, 6, kFrench), "Dimanche:");
    EXPECT_EQ(GroupText(Group::ProbeEditorLabels, 0, kEnglish), "Probe name:");
    EXPECT_EQ(GroupText(Group::AlarmEnableState, 1, kEnglish), "Alarm is deactivated");
    EXPECT_EQ(GroupText(Group::AlarmBanner, 0, kEnglish),
              "Alarm: No communication with the QUORVANEL Network Interface.");
    EXPECT_EQ(GroupText(Group::AlarmBanner, 1, kDutch), "Alarm op een of meer voelers!");
}

TEST(TextGroups, ItemOutsideTheRunIsRefused) {
    EXPECT_THROW(GroupKey(Group::GraphStyles, 4), std::out_of_range);
    EXPECT_THROW(GroupKey(Group::Weekdays, -1), std::out_of_range);
    EXPECT_THROW(GroupText(Group::AlarmBanner, 2, kEnglish), std::out_of_range);
}

TEST(TextEncoding, ReaderSeesThroughBadInput) {
    EXPECT_TRUE(DecodeUtf8("Fühler 20.5 °C").has_value());
    EXPECT_EQ(CodePointCount("Écart"), 5U);
    EXPECT_FALSE(DecodeUtf8("\xC3").has_value());          // cut-off sequence
    EXPECT_FALSE(DecodeUtf8("\xC0\xAF").has_value());      // overlong
    EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80").has_value());  // surrogate
    EXPECT_TRUE(IsPrintableWindows1252(U'\u20AC'));
    EXPECT_TRUE(IsPrintableWindows1252(U'\u00E9'));
    EXPECT_FALSE(IsPrintableWindows1252(U'\u2192'));
    EXPECT_FALSE(IsPrintableWindows1252(U'\t'));
    EXPECT_FALSE(IsPrintableWindows1252(U'\u0081'));
}

TEST(TextEncoding, EveryTextFitsWindows1252) {
    for (const auto& table : Catalogue()) {
        for (int taal = 0; taal < kLanguageCount; ++taal) {
            const std::string_view text = table.texts[static_cast<std::size_t>(taal)];
            const auto decoded = DecodeUtf8(text);
            ASSERT_TRUE(decoded.has_value()) << table.name << " language " << taal;
            for (const char32_t c : *decoded) {
                EXPECT_TRUE(IsPrintableWindows1252(c))
                    << table.name << " language " << taal << " has U+" << std::hex
                    << static_cast<std::uint32_t>(c);
            }
        }
    }
}

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(TextTranslations, KeepLineStructureAndAcceleratorsOfTheEnglish) {
    for (const auto& table : Catalogue()) {
        const std::string_view english = table.texts[0];
        for (int taal = 1; taal < kLanguageCount; ++taal) {
            const std::string_view text = table.texts[static_cast<std::size_t>(taal)];
            SCOPED_TRACE(std::string(table.name) + " language " + std::to_string(taal));
            EXPECT_EQ(Count(text, "\n"), Count(english, "\n"));
            EXPECT_EQ(text.starts_with('\n'), english.starts_with('\n'));
            EXPECT_EQ(text.ends_with('\n'), english.ends_with('\n'));
            EXPECT_EQ(Count(text, "__"), Count(english, "__"));
        }
    }
}

TEST(TextLayout, StatisticsLabelsLineUpInEveryLanguage) {
    const Key labels[] = {Key::TXT_STAT_NUMBER_OF_VALUES,
                          Key::TXT_STAT_MEAN,
                          Key::TXT_STAT_STDDEV,
                          Key::TXT_STAT_MAXIMUM,
                          Key::TXT_STAT_MINIMUM,
                          Key::TXT_STAT_MEDIAN,
                          Key::TXT_STAT_P_10,
                          Key::TXT_STAT_P_25,
                          Key::TXT_STAT_P_75,
                          Key::TXT_STAT_P_90};
    EXPECT_EQ(Raw(Key::TXT_STAT_STDDEV, kEnglish), "Standard deviation :     ");
    for (int taal = 0; taal < kLanguageCount; ++taal) {
        for (const Key key : labels) {
            const std::string_view english = Raw(key, kEnglish);
            const std::string_view text = Raw(key, taal);
            SCOPED_TRACE(std::string(text));
            const auto decoded = DecodeUtf8(text);
            ASSERT_TRUE(decoded.has_value());
            EXPECT_EQ(decoded->size(), CodePointCount(english));
            // The colon stands in the 20th column and five blanks follow it.
            ASSERT_EQ(decoded->size(), 25U);
            EXPECT_EQ((*decoded)[19], U':');
            EXPECT_TRUE(text.ends_with(":     "));
            EXPECT_NE((*decoded)[0], U' ');
        }
    }
}

// Columns (0-based, in characters) where the fields of a fixed-layout line
// begin: at the start of the line or after at least two blanks, so that a
// heading of several words ("Alarm limits") is one field.
std::vector<std::size_t> FieldStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    const auto decoded = DecodeUtf8(text);
    if (!decoded) {
        return starts;
    }
    const auto& c = *decoded;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const bool after_gap = i == 0 || (i >= 2 && c[i - 1] == U' ' && c[i - 2] == U' ');
        if (c[i] != U' ' && after_gap) {
            starts.push_back(i);
        }
    }
    return starts;
}

TEST(TextLayout, ProbeListHeadersKeepTheirColumns) {
    // Over a row with the whole name in 1-28, status from 29 and the limits
    // from 35.
    const std::vector<std::size_t> header1 = {0, 28, 36, 58};
    const std::vector<std::size_t> header2 = {34, 41, 48, 58, 65, 72};
    for (int taal = 0; taal < kLanguageCount; ++taal) {
        SCOPED_TRACE(taal);
        EXPECT_EQ(FieldStarts(Raw(Key::TXT_PRNT_HEADER_PROBES, taal)), header1);
        EXPECT_EQ(FieldStarts(Raw(Key::TXT_PRNT_HEADER_2_PROBES, taal)), header2);
        // No wider than a probe row, which ends with the pre-alarm delay in column 80.
        EXPECT_LE(CodePointCount(Raw(Key::TXT_PRNT_HEADER_2_PROBES, taal)), 80U);
    }
}

TEST(TextLayout, PrintedStatusFitsItsColumn) {
    // The status of a probe row occupies columns 29 to 34 of the list page.
    const Key states[] = {Key::TXT_PRNT_LIST_PROBE_STATUS_ON, Key::TXT_PRNT_LIST_PROBE_STATUS_OFF,
                          Key::TXT_PRNT_LIST_PROBE_STATUS_INH,
                          Key::TXT_PRNT_LIST_PROBE_STATUS_LOST};
    for (int taal = 0; taal < kLanguageCount; ++taal) {
        for (const Key key : states) {
            EXPECT_LE(CodePointCount(Raw(key, taal)), 6U) << Raw(key, taal);
        }
    }
}

}  // namespace
}  // namespace qrv::text
