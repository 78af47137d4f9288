// A full-client redraw and present of a 1024 x 768 window (the root panel
// copies its background into the back image and marks it; the present
// copies the marked area into the frame the layer holds) against a plain
// memcpy of the same bytes. Runs on Qt's offscreen screen.
#include "framework/GUIPanel.h"
#include "framework/Image.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

constexpr int width = 1024;
constexpr int height = 768;

Window* theWindow = nullptr;

void redrawAndPresent(benchmark::State& state) {
    const GUIRectangle all(0, 0, width - 1, height - 1);
    for (auto _ : state) {
        theWindow->redraw(all);
        theWindow->present();
    }
    state.SetBytesProcessed(state.iterations() * width * height * 4);
}

void memcpyFrame(benchmark::State& state) {
    std::vector<std::uint8_t> from(static_cast<std::size_t>(width) * height * 4, 7);
    std::vector<std::uint8_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * width * height * 4);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    platform::setUiThread();
    if (!platform::initializePlatform(argc, argv)) {
        std::fprintf(stderr, "no user interface\n");
        return 1;
    }
    // A skin written for the run: a gradient the size of the window.
    const std::filesystem::path directory = std::filesystem::temp_directory_path() / "velkarn-window-bench";
    std::filesystem::create_directories(directory / "images");
    Image background(width, height, 0, 0, 0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) background.setPixel(Color(x / 4, y / 3, (x + y) / 8, 255), x, y);
    background.writePng((directory / "images" / "background.png").string());
    supportSettings().archiveMode = false;
    supportSettings().filesDirectory = directory.string() + "/";
    initializeFileSystem();

    WindowParameters parameters;
    parameters.backgroundKey = "background";
    parameters.title = "Benchmark";
    {
        Window window(parameters);
        theWindow = &window;
        benchmark::RegisterBenchmark("redraw and present, 1024 x 768", redrawAndPresent);
        benchmark::RegisterBenchmark("memcpy of the same bytes", memcpyFrame);
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        window.nativeWindow()->takePresentedRects();
    }
    cleanUpFileSystem();
    std::filesystem::remove_all(directory);
    platform::shutdownPlatform();
    return 0;
}
