// A whole installation through the station window, with the new probes named
// in the real probe editor dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <nlohmann/json.hpp>

#include "app/window/main_window.h"
#include "menu_actions.h"
#include "probe_editor/dialog/probe_editor_dialog.h"
#include "window_fixture.h"

namespace qrv::testing {
namespace {

std::shared_ptr<sim::SimulatedNodex> TwoProbes() {
    return sim::BuildNetwork(nlohmann::json::parse(R"({"lines": [
        [{"type": "DS18B20", "temperature": -19.0}],
        [{"type": "DS2406", "input": 1}], []]})"));
}

class InstallationWindow : public ::testing::Test, protected WindowFixture {
  protected:
    InstallationWindow() : WindowFixture(true), unit(TwoProbes()) {
        simulators.Install("simulator:test", unit);
        SystemSettings settings = state.settings;
        settings.SerialPort = 1;
        state.settingsOwner.Replace(settings);
        state.WantedUserMode = kModeNormal;
    }

    QAction* FindAction(const QString& text) { return FindMenuAction(window.menuBar(), text); }

    std::shared_ptr<sim::SimulatedNodex> unit;
};

TEST_F(InstallationWindow, TwoNewProbesAreNamedInTheEditorDialog) {
    dialogs.QueueButton(1);  // save the first
    dialogs.QueueButton(1);  // save the second
    const QStringList names{"Freezer left", "Back door"};
    QStringList types;
    int named = 0;
    bool newProbeLineShown = true;
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog =
            qobject_cast<probe_editor::ProbeEditorDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        if (named >= names.size()) {
            dialog->Finish();  // an opening too many: end it so the test fails, not hangs
            ++named;
            return;
        }
        types << dialog->findChild<QLabel*>("probeType")->text();
        newProbeLineShown =
            newProbeLineShown && dialog->findChild<QLabel*>("newProbeLine")->isVisible();
        dialog->findChild<QLineEdit*>("probeName")->setText(names[named++]);
        dialog->findChild<QPushButton*>("okButton")->click();
    });
    user.start();
    window.show();
    QAction* install = FindAction("&Initialize network");
    ASSERT_NE(install, nullptr);
    install->trigger();
    QCoreApplication::processEvents();  // the menus follow on the event loop
    user.stop();

    EXPECT_EQ(named, 2);
    EXPECT_EQ(types, (QStringList{"Temperature probe", "Status sensor"}));
    EXPECT_TRUE(newProbeLineShown);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    ASSERT_EQ(state.sensors.Lock()->GetMax1820Index(), 1);
    EXPECT_EQ(state.sensors.Lock()->SensorArray[0].Name, "Freezer left");
    EXPECT_EQ(state.sensors.Lock()->SensorArray[1].Line, 102);
    const SensorTable stored = ReadStationSensorFile();
    EXPECT_EQ(stored.SensorArray[1].Name, "Back door");
    EXPECT_EQ(stored.SensorArray[1].Line, 2);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_NE(FindAction("&Freezer left"), nullptr) << "the probe menus list the new names";
    EXPECT_NE(FindAction("&Back door"), nullptr);
    EXPECT_TRUE(window.menuBar()->isEnabled());
}

}  // namespace
}  // namespace qrv::testing
