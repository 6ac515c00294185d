#include <gtest/gtest.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "app/window/qt_dialogs.h"
#include "app/window/text_viewer_window.h"
#include "shell_fixture.h"
#include "station/startup.h"

namespace qrv::window {
namespace {

using namespace std::chrono_literals;

// Long enough for a loaded machine; a test that needs it has failed anyway.
constexpr auto kDeadline = 10s;

QMessageBox* OpenMessageBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Acts on every modal message box as soon as it is shown, remembering its
// text; by default it clicks the default button.
class PopupWatcher {
  public:
    explicit PopupWatcher(std::function<void(QMessageBox&)> act = ClickDefault)
        : act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QMessageBox* box = OpenMessageBox(); box != nullptr && box != handled_) {
                handled_ = box;
                texts.push_back(box->text());
                act_(*box);
            }
        });
        timer_.start();
    }
    QStringList texts;

  private:
    static void ClickDefault(QMessageBox& box) {
        box.defaultButton() != nullptr ? box.defaultButton()->click() : box.accept();
    }

    std::function<void(QMessageBox&)> act_;
    QPointer<QMessageBox> handled_;
    QTimer timer_;
};

// Runs the GUI thread's events until done() holds or the time is up. A popup
// still open then is closed, so that a failing test ends instead of hanging
// in the popup's own event loop.
bool RunEventsUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = kDeadline) {
    const QDeadlineTimer deadline(limit);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (deadline.hasExpired()) {
            if (auto* popup = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                popup->reject();
            }
            loop.quit();
        }
    });
    poll.start();
    if (!done()) {
        loop.exec();
    }
    return done();
}

void RunEventsFor(std::chrono::milliseconds time) {
    RunEventsUntil([] { return false; }, time);
}

// A plain thread standing in for the acquisition thread: it asks one Yes/No
// question (Enter: Yes, Escape: No) and ends.
class AskingThread {
  public:
    explicit AskingThread(QtDialogs& dialogs)
        : dialogs_(dialogs), answer_(promise_.get_future()), thread_([this] {
              promise_.set_value(
                  dialogs_.GenericMessagePopup("QUORVANEL", "Continue?", {"__Yes", "__No"}, 1, 2));
          }) {}

    // Never joins a thread that may still wait for this one: the refusal
    // releases it, and should that fail, the question is answered on screen.
    ~AskingThread() {
        const QuestionsFromOtherThreadsRefused refused(dialogs_);
        if (!Answered(1s)) {
            const PopupWatcher clicker;
            RunEventsUntil([this] { return Answered(0ms); });
        }
        thread_.join();
    }

    // Waits without running the GUI thread's events.
    bool Answered(std::chrono::milliseconds limit = kDeadline) const {
        return answer_.wait_for(limit) == std::future_status::ready;
    }
    // nullopt while the question is still waiting.
    std::optional<int> Answer() const {
        return Answered(0ms) ? std::optional<int>(answer_.get()) : std::nullopt;
    }

  private:
    QtDialogs& dialogs_;
    std::promise<int> promise_;
    std::shared_future<int> answer_;
    std::thread thread_;
};

constexpr int kYes = 1;
constexpr int kNo = 2;

// A print to a file proposes the report's name, made a file name, not print.pdf.
TEST(QtDialogs, ThePrinterDialogProposesAFileNamedAfterTheDocument) {
    QtDialogs dialogs;
    QString proposed;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"))) {
                proposed = file->text();
            }
            dialog->reject();
        }
    });
    poll.start();
    EXPECT_EQ(dialogs.PrinterDialog("QUORVANEL", "Quorvanel 2026-01-31 Fridge 2/3.5"),
              std::nullopt);
    EXPECT_TRUE(proposed.endsWith("/Quorvanel 2026-01-31 Fridge 2-3-5.pdf"))
        << proposed.toStdString();
}

TEST(QtDialogsFromOtherThreads, AMessageDoesNotMakeTheCallerWait) {
    QtDialogs dialogs;
    PopupWatcher watcher;
    std::thread acquisition([&] {
        dialogs.MessagePopup("QUORVANEL", "Error 4: NODEX Timing could not be written !!!!");
    });
    acquisition.join();  // nobody has answered: the GUI thread has not run
    EXPECT_TRUE(watcher.texts.isEmpty());

    ASSERT_TRUE(RunEventsUntil([&] { return !watcher.texts.isEmpty(); }));
    EXPECT_EQ(watcher.texts, QStringList{"Error 4: NODEX Timing could not be written !!!!"});
}

TEST(QtDialogsFromOtherThreads, AQuestionWaitsForItsAnswerOnTheGuiThread) {
    QtDialogs dialogs;
    PopupWatcher watcher;
    AskingThread asker(dialogs);
    EXPECT_FALSE(asker.Answered(50ms)) << "answered before the GUI thread ran";

    ASSERT_TRUE(RunEventsUntil([&] { return asker.Answered(0ms); }));
    EXPECT_EQ(asker.Answer(), kYes) << "the default (Enter) button was clicked";
    EXPECT_EQ(watcher.texts, QStringList{"Continue?"});
}

TEST(QtDialogsFromOtherThreads, ARefusedQuestionGetsItsEscapeAnswerWithoutBeingShown) {
    QtDialogs dialogs;
    PopupWatcher watcher;
    {
        const QuestionsFromOtherThreadsRefused refused(dialogs);
        AskingThread asker(dialogs);
        ASSERT_TRUE(asker.Answered()) << "a refused question must not wait for the GUI thread";
        EXPECT_EQ(asker.Answer(), kNo);
    }
    RunEventsFor(100ms);
    EXPECT_TRUE(watcher.texts.isEmpty());

    AskingThread later(dialogs);
    ASSERT_TRUE(RunEventsUntil([&] { return later.Answered(0ms); }));
    EXPECT_EQ(later.Answer(), kYes) << "once the refusal ends, questions are shown again";
}

// Stands in for the acquisition thread's timer: its pause waits for the
// thread, as the real one waits for a tick in progress to finish.
class ThreadWaitingNetworkTimer final : public shell::NetworkTimerControl {
  public:
    explicit ThreadWaitingNetworkTimer(const AskingThread& thread) : thread_(thread) {}
    void StopNetworkTimer() override { threadFinished = thread_.Answered(); }
    void StartNetworkTimer() override {}
    bool threadFinished = false;

  private:
    const AskingThread& thread_;
};

TEST(QtDialogsFromOtherThreads, APauseOfAcquisitionReleasesAQuestionWaitingForItsTurn) {
    QtDialogs dialogs;
    PopupWatcher watcher;
    AskingThread asker(dialogs);
    ASSERT_FALSE(asker.Answered(50ms));
    ThreadWaitingNetworkTimer timer(asker);
    shell::QuestionRefusingNetworkTimer commands(timer, dialogs);

    // A command pauses acquisition while the question waits in the queue.
    commands.StopNetworkTimer();

    EXPECT_TRUE(timer.threadFinished) << "the pause waited for a thread waiting for it";
    EXPECT_EQ(asker.Answer(), kNo);
    RunEventsFor(100ms);
    EXPECT_TRUE(watcher.texts.isEmpty()) << "an answered question is not shown any more";
}

class QtDialogsAtShutdown : public ::testing::Test, protected testing::ShellFixture {
  protected:
    QtDialogs qtDialogs;
};

TEST_F(QtDialogsAtShutdown, TheShutdownClosesAnOpenQuestionOfTheThreadItStops) {
    AskingThread asker(qtDialogs);
    ThreadWaitingNetworkTimer timer(asker);
    const shell::ShellServices qtServices{clock, qtDialogs, display, log,         editor,
                                          ports, session,   timer,   probeEditor, monitoring};
    std::optional<int> exitCode;
    // The shutdown path runs while the question is open (from the popup's
    // own event loop, as a quit request arriving then would).
    PopupWatcher watcher([&](QMessageBox&) { exitCode = shell::RunShutdown(state, qtServices); });

    ASSERT_TRUE(
        RunEventsUntil([&] { return exitCode.has_value() && OpenMessageBox() == nullptr; }));

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(watcher.texts, QStringList{"Continue?"});
    EXPECT_TRUE(timer.threadFinished) << "the shutdown waited for a thread waiting for it";
    EXPECT_EQ(asker.Answer(), kNo);
}

// Acts once on the station's text viewer as soon as it is shown.
void OnTextViewer(const std::function<void(QDialog&, QPlainTextEdit&)>& act) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->objectName() == "textViewer") {
            poll->stop();
            poll->deleteLater();
            act(*dialog, *dialog->findChild<QPlainTextEdit*>("textViewerText"));
        }
    });
    poll->start();
}

TEST(TextViewerWindow, ShowsTheLogReadOnlyAndReturnsEditedNotes) {
    TextViewerWindow viewer;
    bool readOnly = false;
    QString shown;
    OnTextViewer([&](QDialog& dialog, QPlainTextEdit& page) {
        readOnly = page.isReadOnly();
        shown = page.toPlainText();
        EXPECT_EQ(dialog.findChild<QPushButton*>("textViewerCancel"), nullptr);
        dialog.findChild<QPushButton*>("textViewerOk")->click();
    });
    EXPECT_EQ(viewer.ShowText("QRVLog.txt", "line one\nline \u00B0C\n", false, 0), std::nullopt);
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(shown.toStdString(), "line one\nline \u00B0C\n");

    OnTextViewer([](QDialog& dialog, QPlainTextEdit& page) {
        EXPECT_FALSE(page.isReadOnly());
        page.insertPlainText(QStringLiteral("checked"));  // at the end, where the cursor stands
        dialog.findChild<QPushButton*>("textViewerOk")->click();
    });
    EXPECT_EQ(viewer.ShowText("QRVNotes.txt", "head\n", true, 0), "head\nchecked");

    OnTextViewer([](QDialog& dialog, QPlainTextEdit& page) {
        page.insertPlainText(QStringLiteral("dropped"));
        dialog.findChild<QPushButton*>("textViewerCancel")->click();
    });
    EXPECT_EQ(viewer.ShowText("QRVNotes.txt", "head\n", true, 0), std::nullopt);
}

}  // namespace
}  // namespace qrv::window
