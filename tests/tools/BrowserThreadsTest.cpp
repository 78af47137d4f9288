// The browser's threads together: an output thread rendering the second
// output's blocks, the browser's own read-ahead thread, and the
// user-interface thread opening and closing the previewer, starting and
// stopping direct play and deleting the browser. The output thread's lock
// is passed before the browser is deleted, as the application does. No
// display library: this also runs under ThreadSanitizer.
#include "BrowserTestSupport.h"
#include "TestEnvironment.h"
#include "framework/GUIButton.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"
#include "tools/Previewer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using browser_test::SongSpec;

class BrowserThreads : public browser_test::WindowTest {};

TEST_F(BrowserThreads, TheUiThreadChangesPreListenWhileBothRenderThreadsRun) {
    testing_support::TemporaryDirectory files;
    const std::string root = files.path() + "/root";
    SongSpec analysed;
    analysed.seconds = 3.0;
    browser_test::writeSong(root + "/a.wav", analysed);
    SongSpec direct = analysed;
    direct.withPoints = false;
    browser_test::writeSong(root + "/b.wav", direct);
    BrowserData data("", BrowserData::Roots{root, "", "", ""});
    ASSERT_TRUE(data.build(root, nullptr));
    ASSERT_EQ(data.shownCount(), 2);
    browser_test::FakeApplication application;

    std::mutex outputLock;
    std::atomic<Browser*> open{nullptr};
    std::atomic<bool> done{false};
    std::atomic<std::int64_t> blocks{0};
    std::thread output([&] {
        browser_test::FakeDevice device;
        std::vector<float> left(512);
        std::vector<float> right(512);
        float* channels[2] = {left.data(), right.data()};
        while (!done.load()) {
            std::lock_guard<std::mutex> hold(outputLock);
            if (Browser* browser = open.load()) {
                browser->render(&device, channels, 512);
                blocks.fetch_add(1);
            }
        }
    });

    for (int round = 0; round < 4; ++round) {
        auto* browser = new Browser(nullptr, 1, &data, &application);
        open.store(browser);
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(browser->openPreviewer(root + "/a.wav"));
            std::this_thread::yield();
            browser->closePreviewer();
            // Row 1 is b.wav (no level envelope): it plays directly.
            browser->buttonPressed(browser->playButton(1));
            EXPECT_TRUE(browser->isDirectPlaying());
            std::this_thread::yield();
            browser->buttonPressed(browser->stopButton());
            EXPECT_FALSE(browser->isDirectPlaying());
        }
        // Leave something playing for the deletion.
        if (round % 2 == 0) {
            ASSERT_TRUE(browser->openPreviewer(root + "/a.wav"));
        } else {
            browser->buttonPressed(browser->playButton(1));
        }
        {
            std::lock_guard<std::mutex> pass(outputLock);
            open.store(nullptr);
        }
        delete browser;
    }
    done.store(true);
    output.join();
    EXPECT_GT(blocks.load(), 0);
}

}  // namespace
