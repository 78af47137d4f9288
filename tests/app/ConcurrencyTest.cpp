// Tool windows opened and closed on the user-interface thread while the
// main output renders block after block on its own thread and a third
// thread moves the mixer: no block may use a closed tool window.
#include "AppTestSupport.h"

#include "app/MixerParameters.h"
#include "platform/audio/NullAudio.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"

#include <atomic>
#include <thread>

using app_test::AppTest;
using platform::audio::NullAudio;

namespace {

TEST_F(AppTest, ToolWindowsComeAndGoWhileTheOutputRenders) {
    app_test::storeSecondOutput(1, "Fake Sound");
    Velkarn& app = start();
    ASSERT_TRUE(app.hasOutputDevice(1));
    const int mainStream = streamOf(0);
    const int secondStream = streamOf(1);
    ASSERT_NE(mainStream, 0);
    ASSERT_NE(secondStream, 0);

    std::atomic<bool> done{false};
    std::atomic<std::int64_t> periods{0};
    std::thread device([&] {
        while (!done.load()) {
            for (int stream : {mainStream, secondStream}) {
                if (NullAudio::advanceToDeadline(stream)) periods.fetch_add(1);
            }
        }
    });
    std::thread controls([&] {
        for (int i = 0; !done.load(); ++i) {
            const int index = i % MixerParameters::count;
            app.mixerParameters()->setPosition(index, static_cast<float>(i % 101) / 100.0f);
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 30; ++round) {
        app.openBrowser();
        app.openBeatMapper("");
        std::this_thread::yield();
        app.closeBeatMapper();
        app.closeBrowser();
    }
    done.store(true);
    device.join();
    controls.join();
    EXPECT_GT(periods.load(), 0);

    // Settled: an open beat mapper takes the next main block, a closed one
    // none.
    BeatMapper* mapper = app.openBeatMapper("");
    ASSERT_TRUE(NullAudio::advanceToDeadline(mainStream));
    EXPECT_EQ(mapper->renderCount(), 1);
    app.closeBeatMapper();
    Browser* browser = app.openBrowser();
    ASSERT_TRUE(NullAudio::advanceToDeadline(secondStream));
    EXPECT_EQ(browser->renderCount(), 1);
    app.closeBrowser();
    EXPECT_TRUE(NullAudio::advanceToDeadline(mainStream));
    EXPECT_TRUE(NullAudio::advanceToDeadline(secondStream));
}

}  // namespace
