// Without a user interface (as in the ThreadSanitizer build) the progress
// dialog cannot be shown: the job still runs on its own thread and is
// waited for.
#include "FrameworkTest.h"

#include "framework/DialogProgress.h"
#include "framework/DialogProgressClient.h"
#include "platform/DialogTemplate.h"
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

TEST_F(DialogProgressWithoutScreen, TheTemplateHasTheBarAndTheAbortButton) {
    platform::DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(platform::parseDialogTemplate(
        testing_support::readFile(testing_support::sourceDirectory() + "/resources/dialogs/106.dlg"), dialog, error))
        << error;
    EXPECT_EQ(dialog.id, DialogProgress::templateId);
    EXPECT_EQ(dialog.caption, "Progress Dialog");
    EXPECT_EQ(dialog.width, 243);
    EXPECT_EQ(dialog.height, 28);
    EXPECT_EQ(dialog.fontName, "MS Shell Dlg");
    EXPECT_EQ(dialog.fontPointSize, 8);
    EXPECT_FALSE(dialog.child);
    EXPECT_FALSE(dialog.systemMenu);
    ASSERT_EQ(dialog.controls.size(), 2u);
    const platform::ControlTemplate* abort = dialog.control(platform::cancelButton);
    ASSERT_NE(abort, nullptr);
    EXPECT_EQ(abort->kind, platform::ControlKind::Button);
    EXPECT_EQ(abort->text, "Abort");
    EXPECT_EQ((std::vector<int>{abort->x, abort->y, abort->width, abort->height}), (std::vector<int>{186, 7, 50, 14}));
    const platform::ControlTemplate* bar = dialog.control(DialogProgress::progressBarId);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->kind, platform::ControlKind::Progress);
    EXPECT_EQ((std::vector<int>{bar->x, bar->y, bar->width, bar->height}), (std::vector<int>{7, 7, 170, 14}));
    EXPECT_NE(bar->style & platform::controlStyle::border, 0u);
}

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
