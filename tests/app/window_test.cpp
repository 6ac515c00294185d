#include <gtest/gtest.h>

#include <QActionGroup>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTextLayout>
#include <QTimer>
#include <thread>

#include "app/shell/commands.h"
#include "app/window/instance_channel.h"
#include "app/window/main_window.h"
#include "app/window/window_placement.h"
#include "menu_actions.h"
#include "notify/acknowledgement.h"
#include "reports/pages/daily_sheet_panel.h"
#include "runtime/instance_lock.h"
#include "settings/settings_file.h"
#include "station/startup.h"
#include "storage/result_generator.h"
#include "support/pdf_text.h"
#include "support/qt_app.h"
#include "window_fixture.h"

namespace qrv::testing {
namespace {

const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class WindowTest : public ::testing::Test, protected WindowFixture {
  protected:
    WindowTest() = default;

    QString Label(const char* name) { return window.findChild<QLabel*>(name)->text(); }
    bool Visible(const char* name) { return !window.findChild<QWidget*>(name)->isHidden(); }
    QStringList MenuTitles() {
        QStringList titles;
        for (QAction* action : window.menuBar()->actions()) {
            titles << action->text();
        }
        return titles;
    }
    QAction* FindAction(const QString& text) { return FindMenuAction(window.menuBar(), text); }
    std::optional<int> Start() {
        window.ShowMainPanel();
        const std::optional<int> exit = shell::RunStartup(state, window.Services(), {});
        // What the start-up announced reaches the menus on the event loop.
        QCoreApplication::processEvents();
        return exit;
    }
};

TEST_F(WindowTest, StartupWithoutAUnitAsksTheModeAndOffLineBlinks) {
    dialogs.QueueButton(2);  // off line
    dialogs.QueueButton(1);  // continue without a sensor file
    dialogs.QueueButton(1);

    ASSERT_EQ(Start(), std::nullopt);

    ASSERT_FALSE(dialogs.Popups().empty());
    EXPECT_EQ(dialogs.Popups()[0].buttons.size(), 3u);
    state.SensorAlarm = 1;
    QStringList texts;
    for (int tick = 0; tick < 4; ++tick) {
        window.DisplayTick();
        EXPECT_TRUE(Visible("modeText"));
        EXPECT_FALSE(Visible("alarmBox"));
        EXPECT_FALSE(Visible("alarmButton"));
        texts << Label("modeText");
    }
    EXPECT_EQ(texts, (QStringList{"Off line mode", "", "Off line mode", ""}));
    EXPECT_EQ(Label("statusLine"), "Network inactive... ");
    EXPECT_TRUE(window.menuBar()->isEnabled());
    EXPECT_EQ(window.windowTitle().toStdString(),
              "QUORVANEL   Intelligent Probe Network  vs  3.03");
}

TEST_F(WindowTest, BesideTheServiceTheTitleSaysThatTheServiceMonitors) {
    dialogs.QueueButton(1);  // continue without a sensor file
    dialogs.QueueButton(1);
    state.serviceMonitors = true;

    ASSERT_EQ(Start(), std::nullopt);

    window.DisplayTick();
    EXPECT_EQ(Label("modeText"), "Off line mode");
    EXPECT_EQ(window.windowTitle().toStdString(),
              "QUORVANEL   Intelligent Probe Network  vs  3.03 - the service monitors the network");
    FindAction("&Deutsch")->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop
    EXPECT_EQ(window.windowTitle().toStdString(),
              "QUORVANEL   Intelligentes Fühlernetz  vs 3.03 - der Dienst überwacht das Netz");
}

TEST_F(WindowTest, AChangeOfLanguageInOffLineModeKeepsTheOffLineText) {
    dialogs.QueueButton(2);  // off line
    dialogs.QueueButton(1);  // continue without a sensor file
    dialogs.QueueButton(1);
    ASSERT_EQ(Start(), std::nullopt);
    window.DisplayTick();
    if (Label("modeText").isEmpty()) {
        window.DisplayTick();  // the blinking phase that shows the text
    }
    EXPECT_EQ(Label("modeText"), "Off line mode");

    FindAction("&Deutsch")->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop

    EXPECT_EQ(Label("modeText"), "Offline-Betrieb") << "before the next display tick";
}

TEST_F(WindowTest, NoToTheBadSensorFileQuestionEndsTheStartUpBeforeTheSecond) {
    dialogs.QueueButton(1);  // normal mode
    dialogs.QueueButton(2);  // do not continue

    EXPECT_EQ(Start(), shell::kExitDeclined);

    EXPECT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    EXPECT_FALSE(window.menuBar()->isEnabled());
}

TEST_F(WindowTest, ClosingWithAnInstalledNetworkWarnsThatMonitoringStops) {
    state.NetWorkInstalled = 1;
    window.show();
    dialogs.QueueButton(2);
    EXPECT_FALSE(window.close());
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "Do you really want to quit this program?\nThis will halt all monitoring!");
    EXPECT_EQ(LogText().find("User shutdown"), std::string::npos);
}

TEST_F(WindowTest, TheMenuBarCarriesTheTreeWithAcceleratorsAndDimsLaterCommands) {
    EXPECT_EQ(MenuTitles(), (QStringList{"&File", "&Network", "&System", "&Alarm", "&Probes",
                                         "&View", "&Extra", "&Help"}));
    window.HandleSetMenuItems();
    ASSERT_NE(FindAction("&Exit Quorvanel"), nullptr);
    EXPECT_TRUE(FindAction("&Exit Quorvanel")->isEnabled());
    ASSERT_NE(FindAction("&Initialize network"), nullptr);
    EXPECT_TRUE(FindAction("&Initialize network")->isEnabled());
    ASSERT_NE(FindAction("&Test alarm relay"), nullptr);
    EXPECT_TRUE(FindAction("&Test alarm relay")->isEnabled());
    ASSERT_NE(FindAction("Send &test message"), nullptr);
    EXPECT_FALSE(FindAction("Send &test message")->isEnabled()) << "no SMS program linked";
    ASSERT_NE(FindAction("Conn. Points"), nullptr);
    window.SetComPortItems({1, 3});
    ASSERT_NE(FindAction("COM &3"), nullptr);
    EXPECT_FALSE(FindAction("COM &3")->isChecked());
    EXPECT_TRUE(FindAction("COM &1")->isChecked());
}

TEST_F(WindowTest, TheDailySheetItemPrintsTheChosenMonthAndProbe) {
    GeneratorOptions options;
    options.year = 2026;
    options.month = 1;
    options.day = 30;
    options.days = 3;  // 30 and 31 January, 1 February
    options.probes = 3;
    options.intervalMinutes = 60;
    const Generation generation =
        GenerateResultFiles(state.paths.DataDirectory(state.WantedUserMode), options);
    ASSERT_TRUE(generation.Written()) << generation.problem;
    window.SetYearItems({2025, 2026});
    QAction* sheet = FindAction("Daily minimum and maximum &sheet");
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(sheet->menu(), nullptr) << "a submenu of the years";
    QAction* year = FindMenuAction(sheet->menu(), "2026");
    ASSERT_NE(year, nullptr);

    const std::filesystem::path pdf = dir.path() / "sheet.pdf";
    dialogs.QueuePrinter(PrintTarget{"", pdf.string()});
    int month = 0;
    std::string probe;
    QTimer::singleShot(0, &window, [&] {
        auto* panel = qobject_cast<pages::DailySheetPanel*>(QApplication::activeModalWidget());
        if (panel == nullptr) {
            return;
        }
        panel->findChild<QListWidget*>("monthList")->setCurrentRow(0);
        month = panel->Month();
        panel->findChild<QListWidget*>("probeList")->setCurrentRow(1);
        probe = panel->findChild<QListWidget*>("probeList")->currentItem()->text().toStdString();
        panel->findChild<QPushButton*>("printOne")->click();
        panel->reject();
    });
    year->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop

    ASSERT_EQ(month, 1) << "the panel opened on the stored months of 2026";
    ASSERT_EQ(PdfPages(pdf).size(), 1U);
    const std::string text = PdfText(pdf, 1, 1);
    EXPECT_NE(text.find("Daily minimum and maximum 01/2026"), std::string::npos) << text;
    EXPECT_NE(text.find("Probe: " + probe), std::string::npos) << probe;

    FindAction("&Français")->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop
    EXPECT_NE(FindAction("&Feuille des minima et maxima journaliers"), nullptr);
}

TEST_F(WindowTest, ChoosingALanguageRelabelsAtOnceAndWritesTheSettings) {
    window.UpdateCheckMarks();
    EXPECT_TRUE(FindAction("&English")->isChecked());

    FindAction("&Deutsch")->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop

    EXPECT_EQ(MenuTitles().first(), "&Datei");
    EXPECT_TRUE(FindAction("&Deutsch")->isChecked());
    EXPECT_FALSE(FindAction("&English")->isChecked());
    EXPECT_EQ(window.windowTitle().toStdString(), "QUORVANEL   Intelligentes Fühlernetz  vs 3.03");
    SystemSettings stored;
    EXPECT_EQ(ReadIniFile(state.paths.IniFileName(), stored), 0);
    EXPECT_EQ(stored.Taal, 1);

    std::filesystem::remove(state.paths.IniFileName());
    FindAction("&Deutsch")->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop
    EXPECT_FALSE(std::filesystem::exists(state.paths.IniFileName()));
    EXPECT_TRUE(FindAction("&Deutsch")->isChecked());
}

TEST_F(WindowTest, TheAlarmButtonSwapsItsLabelAndMutes) {
    auto* button = window.findChild<QPushButton*>("alarmButton");
    window.Display().SetAlarmButton(1);
    EXPECT_EQ(button->text(), "Deactivate Alarm");
    dialogs.QueueText("");
    button->click();
    EXPECT_EQ(button->text(), "Alarm is deactivated");
    EXPECT_EQ(state.AlarmUserStatus, 0);
    EXPECT_NE(LogText().find("Alarm switched OFF by " + notify::LoginName() + " (window)"),
              std::string::npos);
}

TEST(WindowPlacement, ASmallScreenTakesTheWholeWindowFrameAndAllAndARememberedPlaceFits) {
    const QRect screen(0, 0, 1366, 768);
    const QSize minimum(800, 600);
    const QMargins frame = window::kFrameAllowance;
    QRect wanted(QPoint(), QSize(1280, 800));
    wanted.moveCenter(screen.center());
    const QRect first = window::FitIntoScreen(wanted, screen, minimum, frame);
    EXPECT_TRUE(screen.contains(first.marginsAdded(frame))) << "the status line is on screen";
    EXPECT_EQ(first.size(), QSize(1280, 768 - frame.top() - frame.bottom()));

    const QRect pushed = window::FitIntoScreen(QRect(900, 400, 1000, 700), screen, minimum, frame);
    EXPECT_TRUE(screen.contains(pushed.marginsAdded(frame)));
    EXPECT_EQ(pushed.size(), QSize(1000, 700));
    const QRect gone = window::FitIntoScreen(QRect(3000, 0, 1000, 700), screen, minimum, frame);
    EXPECT_EQ(gone.center(), screen.marginsRemoved(frame).center()) << "its screen is gone";
    EXPECT_EQ(
        window::FitIntoScreen(QRect(0, 0, 1280, 800), QRect(0, 0, 640, 480), minimum, frame).size(),
        minimum);
}

TEST_F(WindowTest, TheWindowOpensInsideTheScreenAndComesBackMaximisedAsItWasLeft) {
    TempDir settings;
    const QString file = QString::fromStdString((settings / "window.ini").string());
    const auto open = [&] {
        auto shown = std::make_unique<window::MainWindow>(
            StationPaths{dir.path()},
            window::MainWindow::Platform{
                clock, dialogs, programLog, editor, {ports, launcher, timers}});
        shown->RememberPlacementIn(file);
        shown->ShowMainPanel();
        QCoreApplication::processEvents();
        return shown;
    };
    auto first = open();
    const QRect available = first->screen()->availableGeometry();
    // This screen is exactly as wide as the window's minimum: only its frame
    // may stick out at the sides, never at the top or bottom.
    const auto onScreen = [&available](const window::MainWindow& shown) {
        const QRect frame = shown.frameGeometry();
        return frame.top() >= available.top() && frame.bottom() <= available.bottom() &&
               shown.geometry().width() <= available.width() &&
               shown.geometry().left() >= available.left();
    };
    EXPECT_TRUE(onScreen(*first));
    auto* statusLine = first->findChild<QLabel*>("statusLine");
    EXPECT_LE(statusLine->mapToGlobal(statusLine->rect().bottomLeft()).y(), available.bottom())
        << "the status line can be read";
    EXPECT_FALSE(first->isMaximized());
    first->showMaximized();
    QCoreApplication::processEvents();
    first.reset();

    auto second = open();
    EXPECT_TRUE(second->isMaximized());
    second->showNormal();
    QCoreApplication::processEvents();
    second.reset();
    EXPECT_FALSE(open()->isMaximized());

    // A place remembered on a bigger screen: back inside this one.
    QSettings stored(file, QSettings::IniFormat);
    stored.setValue("mainWindow/geometry", QRect(2500, 1900, 1280, 800));
    stored.sync();
    auto third = open();
    EXPECT_TRUE(onScreen(*third));
    EXPECT_GE(third->width(), 800);
    EXPECT_GE(third->height(), 600);
}

TEST_F(WindowTest, AStoppedNetworkAndDisabledAlarmsShowBesideTheClock) {
    state.WantedUserMode = kModeNormal;
    state.DisplayTimerEnable = 1;
    window.show();
    window.DisplayTick();
    EXPECT_TRUE(Visible("monitoringState"));
    EXPECT_EQ(Label("monitoringState"), "NOT MONITORING: network stopped");
    auto* state_label = window.findChild<QLabel*>("monitoringState");
    auto* clock_label = window.findChild<QLabel*>("dateTime");
    EXPECT_EQ(state_label->parentWidget(), clock_label->parentWidget()) << "in the header";

    state.NetWorkInstalled = 1;
    window.DisplayTick();
    EXPECT_FALSE(Visible("monitoringState"));
    dialogs.QueueButton(1);
    FindAction("&Disable Alarm")->trigger();
    EXPECT_EQ(Label("monitoringState"), "ALARMS DISABLED") << "at once, not a tick later";
    FindAction("&Deutsch")->trigger();
    window.DisplayTick();
    EXPECT_EQ(Label("monitoringState"), "ALARME AUSGESCHALTET");
}

TEST_F(WindowTest, ChoicesAreRadioItemsAndDeletingAllStandsApart) {
    QAction* english = FindAction("&English");
    QAction* german = FindAction("&Deutsch");
    ASSERT_NE(english, nullptr);
    ASSERT_NE(german, nullptr);
    ASSERT_NE(english->actionGroup(), nullptr);
    EXPECT_EQ(english->actionGroup(), german->actionGroup());
    EXPECT_TRUE(english->actionGroup()->isExclusive());
    EXPECT_NE(FindAction("&Enable Alarm")->actionGroup(), english->actionGroup());
    EXPECT_EQ(FindAction("&Exit Quorvanel")->shortcut(), QKeySequence(QKeySequence::Quit));

    QAction* deleteAll = FindAction("Delete &All probes");
    ASSERT_NE(deleteAll, nullptr);
    const QList<QAction*> siblings =
        deleteAll->associatedObjects().isEmpty()
            ? QList<QAction*>()
            : qobject_cast<QMenu*>(deleteAll->associatedObjects()[0])->actions();
    const auto at = siblings.indexOf(deleteAll);
    ASSERT_GT(at, 0);
    EXPECT_TRUE(siblings[at - 1]->isSeparator());
    EXPECT_TRUE(window.minimumSize().width() <= 800 && window.minimumSize().height() <= 600);
}

TEST_F(WindowTest, ClosingTheWindowAsksFirstAndNoKeepsItRunning) {
    window.show();
    dialogs.QueueButton(2);
    EXPECT_FALSE(window.close());
    EXPECT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowTest, StatusCallsFromAnotherThreadArePostedToTheGuiThread) {
    std::thread acquisition([this] {
        window.Display().SetStatusLine("Reading probe 3", colors::kProgressBlue);
        window.Display().ShowAlarmButton(true);
    });
    acquisition.join();
    EXPECT_NE(Label("statusLine"), "Reading probe 3");
    QCoreApplication::processEvents();
    EXPECT_EQ(Label("statusLine"), "Reading probe 3");
    EXPECT_TRUE(Visible("alarmButton"));
}

// Whether wrapping text at width ever ends a line with "1-" and so splits
// the name "1-Wire".
bool SplitsTheNameOneWire(const QString& text, const QFont& font, int width) {
    static const QRegularExpression kSplit("1[-\u2011]$");
    for (const QString& paragraph : text.split('\n')) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (paragraph.mid(line.textStart(), line.textLength()).trimmed().contains(kSplit)) {
                return true;
            }
        }
        layout.endLayout();
    }
    return false;
}

TEST(AboutBox, TheNameOneWireIsNeverSplitOverTwoLines) {
    const QFont font = QApplication::font("QMessageBoxLabel");
    for (int taal = 0; taal < 4; ++taal) {
        const QString about = QString::fromStdString(shell::AboutText(taal));
        ASSERT_TRUE(about.contains("Wire"));
        for (int width = 60; width <= 600; ++width) {
            ASSERT_FALSE(SplitsTheNameOneWire(about, font, width))
                << "language " << taal << ", " << width << " pixels wide";
        }
    }
}

TEST(InstanceTest, ASecondStartRaisesTheFirstAndExitsWithOneSilently) {
    TempDir station;
    InstanceLock lock(station.path());
    ASSERT_EQ(lock.state(), InstanceLock::State::Acquired);
    int raises = 0;
    window::InstanceChannelServer server(window::InstanceChannelName(station.path()),
                                         [&raises] { ++raises; });
    ASSERT_TRUE(server.IsListening());

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    QEventLoop loop;
    QObject::connect(&second, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    second.start(QRV_STATION_EXECUTABLE,
                 {"--station", QString::fromStdString(station.path().string())});
    loop.exec();
    QCoreApplication::processEvents();

    ASSERT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(raises, 1);
    // Nothing of the second start reaches the station's files.
    EXPECT_FALSE(std::filesystem::exists(station.path() / "QRVLog.txt"));
}

TEST(InstanceTest, StationDirectoriesHaveTheirOwnChannels) {
    TempDir one;
    TempDir two;
    EXPECT_NE(window::InstanceChannelName(one.path()), window::InstanceChannelName(two.path()));
    EXPECT_EQ(window::InstanceChannelName(one.path()),
              window::InstanceChannelName(one.path() / "." / ""));
    EXPECT_FALSE(window::AskRunningInstanceToRaise(window::InstanceChannelName(one.path())));
}

}  // namespace
}  // namespace qrv::testing
