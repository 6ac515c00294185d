#include <string>

#include <gtest/gtest.h>

#include "text/texts.h"

namespace qrv::text {
namespace {

TEST(AcceleratorMarks, PlainTextDropsTheMarks) {
    EXPECT_EQ(StripAcceleratorMarks("__Yes"), "Yes");
    EXPECT_EQ(StripAcceleratorMarks("N__ext probe"), "Next probe");
    EXPECT_EQ(StripAcceleratorMarks("<  __Previous Day"), "<  Previous Day");
    EXPECT_EQ(StripAcceleratorMarks("__File  "), "File  ");
    EXPECT_EQ(StripAcceleratorMarks("Save & Exit"), "Save & Exit");
    EXPECT_EQ(StripAcceleratorMarks("Probe name:"), "Probe name:");
    EXPECT_EQ(StripAcceleratorMarks(""), "");
}

TEST(AcceleratorMarks, QtFormMarksTheLetterAndEscapesAmpersands) {
    EXPECT_EQ(ToQtAccelerators("__Yes"), "&Yes");
    EXPECT_EQ(ToQtAccelerators("Save __Copy As"), "Save &Copy As");
    EXPECT_EQ(ToQtAccelerators("P__rev. probe"), "P&rev. probe");
    EXPECT_EQ(ToQtAccelerators("R&D __Tools"), "R&&D &Tools");
    EXPECT_EQ(ToQtAccelerators("Salt & pepper"), "Salt && pepper");
    EXPECT_EQ(ToQtAccelerators("Probe name:"), "Probe name:");
    EXPECT_EQ(ToQtAccelerators(""), "");
}

TEST(AcceleratorMarks, MarkWithoutLetterAtTheEndIsDropped) {
    EXPECT_EQ(StripAcceleratorMarks("COM __"), "COM ");
    EXPECT_EQ(ToQtAccelerators("COM __"), "COM ");
    EXPECT_EQ(ToQtAccelerators("__"), "");
    // Joined before converting, the port number becomes the accelerator.
    EXPECT_EQ(ToQtAccelerators(std::string(Raw(Key::TXT_COMM_PORT_GEN, 0)) + "3"), "COM &3");
    EXPECT_EQ(StripAcceleratorMarks(std::string(Raw(Key::TXT_COMM_PORT_GEN, 2)) + "3"), "COM 3");
}

TEST(AcceleratorMarks, MarkedCharacterIsTakenAsItIs) {
    // An underscore right after a mark is the marked character, not a new mark.
    EXPECT_EQ(StripAcceleratorMarks("a___b"), "a_b");
    EXPECT_EQ(ToQtAccelerators("a___b"), "a&_b");
    EXPECT_EQ(StripAcceleratorMarks("snake_case"), "snake_case");
    // A letter outside ASCII keeps all its bytes behind the '&'.
    EXPECT_EQ(ToQtAccelerators("__Édition"), "&Édition");
    EXPECT_EQ(ToQtAccelerators("É__dition"), "É&dition");
    EXPECT_EQ(StripAcceleratorMarks("À __propos"), "À propos");
}

TEST(AcceleratorMarks, CatalogueAccessorsApplyTheConversion) {
    EXPECT_EQ(Plain(Key::ButtonYes, 1), "Ja");
    EXPECT_EQ(Accel(Key::ButtonYes, 1), "&Ja");
    EXPECT_EQ(Plain(Key::TXT_NEXT_SENSOR, 0), "Next probe");
    EXPECT_EQ(Accel(Key::TXT_NEXT_SENSOR, 0), "N&ext probe");
    EXPECT_EQ(Accel(Key::TXT_BAR1_BESTAND_SAVE_MEAS_COPY, 0), "Save &Copy As");
    EXPECT_EQ(Plain(Key::TXT_SENT_PRE_TEXT, 2), "MESSAGE QUORVANEL:");
}

TEST(AcceleratorMarks, NoPlainTextKeepsAMark) {
    for (const auto& table : Catalogue()) {
        for (int taal = 0; taal < kLanguageCount; ++taal) {
            const std::string plain =
                StripAcceleratorMarks(table.texts[static_cast<std::size_t>(taal)]);
            EXPECT_EQ(plain.find("__"), std::string::npos) << table.name << " language " << taal;
        }
    }
}

TEST(MainPanelTitle, VersionInAFieldOfFiveWithTwoDecimals) {
    EXPECT_EQ(MainPanelTitle(0), "QUORVANEL   Intelligent Probe Network  vs  3.03");
    EXPECT_EQ(MainPanelTitle(1), "QUORVANEL   Intelligentes Fühlernetz  vs 3.03");
    EXPECT_EQ(MainPanelTitle(3), "QUORVANEL   Intelligent Voelernetwerk  vs 3.03");
    EXPECT_EQ(MainPanelTitle(7), MainPanelTitle(0));
}

}  // namespace
}  // namespace qrv::text
