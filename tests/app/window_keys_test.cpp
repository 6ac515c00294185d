// The desktop's habits in the window: F1, F5 and Ctrl+P, the results table
// reached by Tab and opened by Enter or a double-click, dates as the
// station's language writes them (the files keep theirs), and Qt's own
// dialogs in that language.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/shell/results_table.h"
#include "app/window/help_window.h"
#include "app/window/main_window.h"
#include "menu_actions.h"
#include "reports/pages/display_dates.h"
#include "storage/result_generator.h"
#include "support/pdf_text.h"
#include "window_fixture.h"

namespace qrv::testing {
namespace {

class WindowKeysTest : public ::testing::Test, protected WindowFixture {
  protected:
    WindowKeysTest() {
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents();
    }
    void AddProbes(int count) {
        for (int i = 0; i < count; ++i) {
            SensorRecord& record = state.sensors.Lock()->SensorArray[static_cast<std::size_t>(i)];
            record.Line = 1;
            record.Rom[0] = 0x10;
            record.Rom[1] = static_cast<std::uint16_t>(i + 1);
            record.Name = "Probe " + std::to_string(i);
            record.SensorType = kTypeTemperature;
            record.Units = "\u00B0C";
            record.Value = 20.0 + i;
            record.AlarmHigh = 30;
        }
        shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
        QCoreApplication::processEvents();
    }
    QAction* FindAction(const QString& text) { return FindMenuAction(window.menuBar(), text); }
    void Choose(const char* language) {
        FindAction(language)->trigger();
        QCoreApplication::processEvents();  // the menus follow on the event loop
    }
    QTableWidget& Table() { return window.Panel().ResultsTable(); }
    // Runs inside the modal panel the next command opens, then closes it.
    void InTheNextPanel(std::function<void(QDialog&)> look) {
        QTimer::singleShot(0, &window, [look = std::move(look)] {
            auto* panel = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (panel != nullptr) {
                look(*panel);
                panel->reject();
            }
        });
    }
    QString Label(const char* name) { return window.findChild<QLabel*>(name)->text(); }
};

TEST_F(WindowKeysTest, TabReachesTheTableAndEnterOrADoubleClickOpensThatProbe) {
    state.WantedUserMode = kModeNormal;
    state.NetWorkInstalled = 1;
    AddProbes(3);
    for (int press = 0; press < 4 && QApplication::focusWidget() != &Table(); ++press) {
        QTest::keyClick(&window, Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), &Table()) << "Tab reaches the results table";
    EXPECT_EQ(Table().currentRow(), 0);
    EXPECT_TRUE(Table().selectionModel()->isRowSelected(0, {})) << "framed, so Enter's row is seen";
    QTest::keyClick(&Table(), Qt::Key_Down);

    QString opened;
    InTheNextPanel([&](QDialog& panel) { opened = panel.findChild<QLabel*>("probeName")->text(); });
    QTest::keyClick(&Table(), Qt::Key_Return);
    EXPECT_EQ(opened, "Probe 1");
    EXPECT_EQ(state.ViewProbeSensor, 1);

    opened.clear();
    InTheNextPanel([&](QDialog& panel) { opened = panel.findChild<QLabel*>("probeName")->text(); });
    const QRect third = Table().visualItemRect(Table().item(2, 0));
    // The second press of a double-click, as the platform delivers it.
    QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, third.center());
    QMouseEvent second(QEvent::MouseButtonDblClick, third.center(),
                       Table().viewport()->mapToGlobal(third.center()), Qt::LeftButton,
                       Qt::LeftButton, {});
    QApplication::sendEvent(Table().viewport(), &second);
    EXPECT_EQ(opened, "Probe 2");
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_EQ(Table().currentRow(), 2) << "back from the view, the user's place is kept";

    // Without a network there is nothing live to open: said, not opened.
    state.NetWorkInstalled = 0;
    QTest::keyClick(&Table(), Qt::Key_Enter);
    ASSERT_EQ(dialogs.Popups().size(), 1U);
    EXPECT_EQ(dialogs.Popups()[0].message, "The network is inactive.");
}

TEST_F(WindowKeysTest, AChosenRowKeepsItsAlarmColours) {
    AddProbes(2);
    state.sensors.Lock()->SensorArray[1].AlarmState = 1;
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    Table().setFocus();
    Table().selectRow(1);
    QCoreApplication::processEvents();
    ASSERT_EQ(Table().item(1, 3)->background().color(), QColor(0xFF0000));
    const QRect cell = Table().visualItemRect(Table().item(1, 2));
    const QImage shown = Table().viewport()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(cell.center()), QColor(0xFF0000)) << "not the selection colour";
    EXPECT_EQ(shown.pixelColor(cell.center().x(), cell.top()),
              Table().palette().color(QPalette::Active, QPalette::Highlight))
        << "the chosen row is framed";
}

TEST_F(WindowKeysTest, F5ReadsTheTableAndTheStoredYearsAnew) {
    AddProbes(2);
    state.sensors.Lock()->SensorArray[0].Name = "Cold room";
    EXPECT_EQ(Table().item(0, 0)->text(), " Probe 0") << "no event announced the change";
    GeneratorOptions options;
    options.year = 2025;
    options.month = 6;
    options.day = 1;
    options.days = 1;
    options.probes = 1;
    options.intervalMinutes = 60;
    const Generation generation =
        GenerateResultFiles(state.paths.DataDirectory(state.WantedUserMode), options);
    ASSERT_TRUE(generation.Written()) << generation.problem;
    EXPECT_EQ(FindAction("2025"), nullptr);

    QTest::keyClick(&window, Qt::Key_F5);

    EXPECT_EQ(Table().item(0, 0)->text(), " Cold room");
    EXPECT_NE(FindAction("2025"), nullptr) << "the year's reports can be printed";
}

TEST_F(WindowKeysTest, CtrlPOpensThePrintMenuAndPrintsTheOpenView) {
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    QAction* print = FindAction("&Print");
    ASSERT_NE(print, nullptr);
    ASSERT_NE(print->menu(), nullptr);
    EXPECT_TRUE(print->menu()->isVisible()) << "to choose what to print";
    print->menu()->close();
    window.menuBar()->actions().front()->menu()->close();

    state.WantedUserMode = kModeNormal;
    state.NetWorkInstalled = 1;
    AddProbes(1);
    const std::filesystem::path pdf = dir.path() / "view.pdf";
    dialogs.QueuePrinter(PrintTarget{"", pdf.string()});
    InTheNextPanel([](QDialog& panel) {
        QApplication::setActiveWindow(&panel);  // as the window manager does
        QTest::keyClick(&panel, Qt::Key_P, Qt::ControlModifier);
    });
    window.DoeProbeViewPanel(0);
    ASSERT_TRUE(std::filesystem::exists(pdf)) << "the current values' hard copy";
    EXPECT_NE(PdfText(pdf, 1, 1).find("Probe 0"), std::string::npos);
}

TEST_F(WindowKeysTest, TheSettingsPrintoutsProposeAFileNamedInTheStationsLanguage) {
    AddProbes(1);
    Choose("&Français");
    dialogs.QueuePrinter(std::nullopt);
    window.PrintSystemSettings();
    dialogs.QueuePrinter(std::nullopt);
    window.PrintProbeSettings();
    ASSERT_EQ(dialogs.Popups().size(), 2U);
    EXPECT_EQ(dialogs.Popups()[0].message, "Quorvanel Réglages du système");
    EXPECT_EQ(dialogs.Popups()[1].message, "Quorvanel Rapport des réglages des capteurs");
}

TEST_F(WindowKeysTest, F1ShowsTheReadmeOrSaysWhereItWasLookedFor) {
    TempDir prefix;
    const std::filesystem::path missing = prefix / "nowhere/README.md";
    window.SetHelpCandidates({missing});
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_EQ(dialogs.Popups().size(), 1U);
    EXPECT_NE(dialogs.Popups()[0].message.find(missing.string()), std::string::npos);

    // An installed program finds the README its package put beside it.
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/doc/quorvanel");
    WriteBytes(prefix / "share/doc/quorvanel/README.md", "# Station help\n\nRead *this* first.\n");
    const auto candidates = window::HelpFileCandidates(prefix / "bin");
    EXPECT_EQ(window::FindHelpFile(candidates), prefix / "share/doc/quorvanel/README.md");
    window.SetHelpCandidates(candidates);
    Choose("&Deutsch");
    QTest::keyClick(&window, Qt::Key_F1);
    auto* help = window.findChild<QDialog*>("helpWindow");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    const QString shown = help->findChild<QTextBrowser*>("helpText")->toPlainText();
    EXPECT_TRUE(shown.startsWith("Station help")) << shown.toStdString();
    EXPECT_FALSE(shown.contains('*')) << "laid out, not the raw text";
    EXPECT_TRUE(help->windowTitle().endsWith("Hilfe (auf Englisch)"));
    EXPECT_EQ(dialogs.Popups().size(), 1U);

    // A build that was not installed shows its source tree's README.
    const auto own = window::FindHelpFile(window::HelpFileCandidates(prefix / "nothing/here"));
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->filename(), "README.md");
    EXPECT_NE(ReadBytes(*own).find("# Quorvanel"), std::string::npos);
}

TEST(DisplayDates, EachLanguageWritesTheDateAsItsLocaleDoesWithTheWholeYear) {
    using pages::DisplayDate;
    using pages::DisplayLocale;
    const QDate day(2026, 12, 9);
    const QLocale c = QLocale::c();
    EXPECT_EQ(DisplayDate(DisplayLocale(0, c), day), "12/9/2026");
    EXPECT_EQ(DisplayDate(DisplayLocale(1, c), day), "09.12.2026");
    EXPECT_EQ(DisplayDate(DisplayLocale(2, c), day), "09/12/2026");
    EXPECT_EQ(DisplayDate(DisplayLocale(3, c), day), "09-12-2026");
    // The user's own locale when it speaks the station's language.
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(DisplayDate(DisplayLocale(0, british), day), "09/12/2026");
    const QLocale flemish(QLocale::Dutch, QLocale::Belgium);
    EXPECT_EQ(DisplayLocale(3, flemish), flemish);
    EXPECT_EQ(DisplayDate(DisplayLocale(2, QLocale(QLocale::German)), day), "09/12/2026");
    EXPECT_EQ(pages::DisplayEuroDate(1, "09/12/2026"), "09.12.2026");
    EXPECT_EQ(pages::DisplayEuroDate(1, "no date"), "no date");
}

TEST_F(WindowKeysTest, TheClockWritesTheLanguagesDateAndTheFilesKeepTheirs) {
    state.DisplayTimerEnable = 1;
    Choose("&Deutsch");
    window.DisplayTick();
    EXPECT_EQ(Label("dateTime"), "09.03.2026   14:05:07");
    EXPECT_EQ(state.dates.EuroDatumString, "09/03/2026");
    EXPECT_EQ(state.dates.FileDatumString, "2026-03-09");
    Choose("&Nederlands");
    EXPECT_EQ(Label("dateTime"), "09-03-2026   14:05:07") << "at once, not a tick later";
}

TEST_F(WindowKeysTest, QtsOwnDialogsSpeakTheStationsLanguageAndFollowItsChange) {
    const auto printTitle = [] { return QCoreApplication::translate("QPrintDialog", "Print"); };
    const auto closeButton = [] {
        QDialogButtonBox box(QDialogButtonBox::Close);
        return box.button(QDialogButtonBox::Close)->text().remove('&');
    };
    EXPECT_EQ(printTitle(), "Print");
    Choose("&Deutsch");
    EXPECT_EQ(printTitle(), "Drucken");
    EXPECT_EQ(closeButton(), "Schließen");
    Choose("&Français");
    EXPECT_EQ(printTitle(), "Imprimer");
    Choose("&Nederlands");
    EXPECT_EQ(closeButton(), "Sluiten");
    Choose("&English");
    EXPECT_EQ(printTitle(), "Print");
    EXPECT_EQ(closeButton(), "Close");
}

}  // namespace
}  // namespace qrv::testing
