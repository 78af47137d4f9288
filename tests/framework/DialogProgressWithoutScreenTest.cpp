// Without a user interface (as in the ThreadSanitizer build) the progress
// dialog cannot be shown: the job still runs on its own thread and is
// waited for.
#include "FrameworkTest.h"

#include "framework/DialogProgress.h"
#include "framework/DialogProgressClient.h"
#include "platform/EventLoop.h"

#include <atomic>
#include <thread>

namespace {

class CountingJob : public DialogProgressClient {
public:
    void run(DialogProgress* dialog, const std::string& title) override {
        onUiThread = platform::onUiThread();
        thread = std::this_thread::get_id();
        heardTitle = title;
        for (int position = 0; position <= 1000; ++position) {
            dialog->setPosition(position);
            if (dialog->isAborted()) aborted = true;
        }
        dialog->setRange(0, 0);
        dialog->setPosition(5);
    }
    bool onUiThread = true;
    bool aborted = false;
    std::thread::id thread;
    std::string heardTitle;
};

class DialogProgressWithoutScreen : public FrameworkTest {};

TEST_F(DialogProgressWithoutScreen, TheJobStillRunsAndIsWaitedFor) {
    CountingJob job;
    bool abort = true;
    DialogProgress dialog(nullptr, &job, "Scanning", &abort, 0, 1000);
    EXPECT_FALSE(abort);
    EXPECT_FALSE(job.aborted);
    EXPECT_FALSE(job.onUiThread);
    EXPECT_NE(job.thread, std::this_thread::get_id());
    EXPECT_EQ(job.heardTitle, "Scanning");
    EXPECT_EQ(platform::queuedMessageCount(), 0) << "no bar, nothing posted";
    const std::vector<std::string> log = testing_support::logTexts();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Windows trouble in file DialogProgress.cpp"), std::string::npos) << log.back();
}

}  // namespace
