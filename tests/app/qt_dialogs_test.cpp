#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

#include "app/window/qt_dialogs.h"

namespace qrv::window {
namespace {

// Closes every modal popup as soon as it is shown, remembering its text and
// clicking its default button.
class PopupCloser {
  public:
    PopupCloser() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                box->defaultButton() != nullptr ? box->defaultButton()->click() : box->accept();
            }
        });
        timer_.start();
    }
    QStringList texts;

  private:
    QTimer timer_;
};

// processEvents returns at once when nothing is pending yet (the other
// thread may not have posted its popup), so the wait is bounded by a clock.
void RunEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

TEST(QtDialogsFromOtherThreads, AMessageDoesNotMakeTheCallerWait) {
    QtDialogs dialogs;
    PopupCloser closer;
    std::atomic<bool> returned{false};
    std::thread acquisition([&] {
        dialogs.MessagePopup("QUORVANEL", "Error 4: NODEX Timing could not be written !!!!");
        returned = true;
    });
    acquisition.join();  // nobody has answered yet: the GUI thread has not run
    EXPECT_TRUE(returned);
    EXPECT_TRUE(closer.texts.isEmpty());

    RunEventsUntil([&] { return !closer.texts.isEmpty(); });
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_EQ(closer.texts[0], "Error 4: NODEX Timing could not be written !!!!");
}

TEST(QtDialogsFromOtherThreads, AQuestionWaitsForItsAnswerOnTheGuiThread) {
    QtDialogs dialogs;
    PopupCloser closer;
    std::atomic<bool> done{false};
    int answer = 0;
    std::thread worker([&] {
        answer = dialogs.GenericMessagePopup("QUORVANEL", "Continue?", {"__Yes", "__No"}, 2, 2);
        done = true;
    });
    RunEventsUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(answer, 2) << "the default (Enter) button was clicked";
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_EQ(closer.texts[0], "Continue?");
}

}  // namespace
}  // namespace qrv::window
