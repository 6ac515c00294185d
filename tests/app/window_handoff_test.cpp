// The window while an SMS hand-off or the relay test runs: the menus stay
// usable, only what would start a second one is dimmed, and the event loop
// goes on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QTimer>
#include <chrono>

#include "app/window/main_window.h"
#include "menu_actions.h"
#include "runtime/text_file.h"
#include "window_fixture.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

class WindowHandOffTest : public ::testing::Test, protected WindowFixture {
  protected:
    WindowHandOffTest() = default;

    QAction* Item(const char* text) {
        QAction* action = FindMenuAction(window.menuBar(), QString::fromUtf8(text));
        EXPECT_NE(action, nullptr) << text;
        return action;
    }
    // Every item of the menu bar that is dimmed, by its text.
    QStringList DimmedItems() {
        QStringList dimmed;
        std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator() && !action->isEnabled()) {
                    dimmed << action->text();
                }
                if (action->menu() != nullptr) {
                    walk(action->menu());
                }
            }
        };
        for (QAction* top : window.menuBar()->actions()) {
            if (!top->isEnabled()) {
                dimmed << top->text();
            }
            walk(top->menu());
        }
        dimmed.sort();
        return dimmed;
    }
    static QStringList With(QStringList items, const QString& item) {
        items << item;
        items.sort();
        return items;
    }
    void ConfigureSms() {
        WriteBytes(dir.path() / "sms-program", "");
        SystemSettings configured = state.settings;
        configured.SmSProgramSource = (dir.path() / "sms-program").string();
        configured.SmSDestination = "Kees";
        state.settingsOwner.Replace(configured);
    }
    acquisition::SmsWorker& Sms() { return window.Monitoring().Acquisition().Sms(); }
    // Moves virtual time on, a second each time the SMS thread waits for it,
    // until the worker is idle (by a deadline of real time).
    bool FinishHandOffs() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!Sms().WaitUntilIdle(1ms)) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            if (clock.Sleepers() > 0) {
                clock.Advance(1.0);
            }
        }
        return true;
    }
};

TEST_F(WindowHandOffTest, DuringAHandOffOnlyTheTestMessageIsDimmed) {
    ConfigureSms();
    window.HandleSetMenuItems();
    const QStringList before = DimmedItems();
    EXPECT_FALSE(before.contains("Send &test message"));
    launcher.SetRunSeconds(30.0);
    dialogs.QueueText("all well");
    Item("Send &test message")->trigger();
    ASSERT_TRUE(Sms().Busy());
    // What the SMS thread posts to the window has arrived.
    QCoreApplication::processEvents();

    EXPECT_TRUE(window.menuBar()->isEnabled());
    QStringList during = DimmedItems();
    EXPECT_EQ(during, before + QStringList{"Send &test message"})
        << during.join(", ").toStdString();
    window.HandleSetMenuItems();  // the menu timer's next tick keeps it so
    EXPECT_EQ(DimmedItems(), during);
    EXPECT_TRUE(Item("&Exit Quorvanel")->isEnabled());
    EXPECT_TRUE(Item("&Test alarm relay")->isEnabled());

    // A second trigger (the item dimmed a moment late) starts nothing.
    Item("Send &test message")->setEnabled(true);
    Item("Send &test message")->trigger();
    ASSERT_TRUE(FinishHandOffs());
    EXPECT_EQ(launcher.Launched().size(), 1U);
    EXPECT_EQ(dialogs.Popups().back().message, "OK:    SMS was send.");
    window.HandleSetMenuItems();
    EXPECT_EQ(DimmedItems(), before);
}

TEST_F(WindowHandOffTest, TheRelayTestLeavesTheEventLoopRunningAndEndsOnItsTimer) {
    state.NetWorkInstalled = 1;
    window.HandleSetMenuItems();
    const QStringList before = DimmedItems();
    acquisition::AcquisitionCycle& cycle = window.Monitoring().Acquisition().Cycle();
    bool runningWhenTheTimerFired = false;
    bool fired = false;
    QTimer::singleShot(0, &window, [&] {
        runningWhenTheTimerFired = cycle.RelayTestRunning();
        fired = true;
    });
    const double start = clock.Timer();
    dialogs.QueueButton(1);  // continue
    Item("&Test alarm relay")->trigger();
    EXPECT_EQ(clock.Timer(), start) << "the command did not wait";
    ASSERT_TRUE(cycle.RelayTestRunning());
    EXPECT_EQ(DimmedItems(), With(before, "&Test alarm relay"));

    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!fired && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_TRUE(fired);
    EXPECT_TRUE(runningWhenTheTimerFired);

    clock.Advance(4.9);
    timers.RunDue();
    EXPECT_TRUE(cycle.RelayTestRunning());
    clock.Advance(0.2);
    timers.RunDue();
    EXPECT_FALSE(cycle.RelayTestRunning());
    window.HandleSetMenuItems();
    EXPECT_EQ(DimmedItems(), before);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

}  // namespace
}  // namespace qrv::testing
