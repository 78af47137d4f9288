#include "AppTestSupport.h"

#include "BrowserTestSupport.h"
#include "GuiTestSkins.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues3.h"
#include "app/skin/SkinTable.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "framework/Log.h"
#include "framework/GUIButton.h"
#include "framework/Support.h"
#include "network/PanelNetwork.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Registry.h"
#include "platform/Sockets.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <filesystem>
#include <sstream>
#include <thread>

namespace app_test {

namespace {

const Color chrome{30, 32, 36, 255};
const Color face{90, 90, 100, 255};
const Color lit{220, 140, 40, 255};

}  // namespace

void writeApplicationSkins(image_test::SkinDirectory& skins) {
    using namespace gui_test;
    writeFace(skins, "velkarn/background/main", 1000, 665, chrome);
    writeFace(skins, "velkarn/image/overlayRows", 808, 424, Color{255, 255, 255, 40});
    writeFace(skins, "velkarn/strip/pointer", 800, 60, Color{0, 0, 0, 90});
    for (const char* tool : {"drop", "tempo", "repeat", "delete", "skip", "pause", "reverse", "move", "fade", "listen"}) {
        writeFace(skins, std::string("velkarn/panelGroup/") + tool, 160, 430, face);
    }
    for (const char* panel : {"decks", "effects", "recorder", "player", "network", "settings"}) {
        writeFace(skins, std::string("velkarn/panelGroup/") + panel, 800, 210, face);
    }
    writeButtonSkin(skins, "velkarn/button/zoomIn", 28, 28, face, lit);
    writeButtonSkin(skins, "velkarn/button/zoomOut", 28, 28, face, lit);
    for (const char* button : {"browser", "scope", "beatMapper"}) {
        writeButtonSkin(skins, std::string("velkarn/button/") + button, 72, 32, face, lit);
    }
    writeButtonSkin(skins, "velkarn/button/play", 72, 44, face, lit);
    writeButtonSkin(skins, "velkarn/button/network/talk", 80, 32, face, lit);
    for (const char* button : {"standAlone", "server", "client"}) {
        writeButtonSkin(skins, std::string("velkarn/button/network/") + button, 96, 32, face, lit);
    }
    writeButtonSkin(skins, "velkarn/button/network/setServer", 90, 32, face, lit);
    writeFace(skins, "velkarn/meter/volume", 30, 206, Color{40, 200, 60, 255});
    writeSliderSkin(skins, "velkarn/slider/volume", 75, 12, Color{200, 200, 200, 255});
    writeIndicatorSkin(skins, "velkarn/indicator/recording", 40, 18, Color{230, 40, 40, 255}, face, chrome);
    writeIndicatorSkin(skins, "velkarn/indicator/playing", 40, 18, lit, face, chrome);
    for (const char* window : {"beatMapper/background/main"}) {
        writeFace(skins, window, 200, 150, chrome);
    }
    browser_test::writeBrowserSkins(skins);
    // Every other key of the program's skin at its generated size: plain
    // faces, masks open but for the corners, digits that read as numbers.
    for (const SkinRow& row : skinTable().rows) {
        if (std::filesystem::exists(skins.path(row.key + skinSuffixes(row.kind).front()))) continue;
        switch (row.kind) {
        case SkinKind::Button:
            writeButtonSkin(skins, row.key, row.width, row.height, face, lit);
            break;
        case SkinKind::Slider:
            writeSliderSkin(skins, row.key, row.width, row.height, Color{200, 200, 200, 255});
            break;
        case SkinKind::Indicator:
            writeIndicatorSkin(skins, row.key, row.width, row.height, lit, face, chrome);
            break;
        case SkinKind::DigitSet:
            writeDigitSkin(skins, row.key, row.width, row.height, Color{20, 20, 20, 255}, Color{200, 200, 200, 255});
            break;
        case SkinKind::Image:  // laid over panels: translucent, so it shows
            writeFace(skins, row.key, row.width, row.height, Color{255, 255, 255, 40});
            break;
        default:
            writeFace(skins, row.key, row.width, row.height, face);
            break;
        }
    }
}

void storeSecondOutput(int type, const char* name) {
    VelkarnStartUpValues3 startUp3;
    startUp3.secondOutputOn = true;
    startUp3.secondOutputType = type;
    std::strncpy(startUp3.secondOutputDevice, name, sizeof startUp3.secondOutputDevice - 1);
    startUp3.save();
}

void storeOutputsOnTwoNullDevices() {
    VelkarnStartUpValues startUp;
    startUp.outputType = 1;
    std::strcpy(startUp.outputDevice, platform::audio::nullOutputName);
    startUp.save();
    storeSecondOutput(0, platform::audio::nullOutputName);
}

void chooseNetworkMode(Velkarn& app, int mode) {
    GUIButton* button = app.panelNetwork()->modeButton(mode);
    const GUIPoint centre((button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2);
    button->mouseDown(centre, false);
    button->mouseUp(centre);
}

std::vector<std::string> boxes() {
    std::vector<std::string> asked;
    for (const platform::UiRequest& request : platform::uiScript::requests()) {
        if (request.kind == platform::UiRequestKind::MessageBox) asked.push_back(request.caption + "|" + request.text);
    }
    return asked;
}

std::optional<std::string> storedValue(const std::string& name) {
    namespace registry = platform::registry;
    registry::Key key = 0;
    bool created = false;
    if (registry::createKey(registry::currentUser, "Software\\Pelgrave Software\\Velkarn\\1", key, created) !=
        registry::success) {
        return std::nullopt;
    }
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::optional<std::string> bytes;
    if (registry::queryValue(key, name, &type, nullptr, &size) == registry::success) {
        std::string data(size, '\0');
        if (registry::queryValue(key, name, &type, data.data(), &size) == registry::success) bytes = data;
    }
    registry::closeKey(key);
    return bytes;
}

std::string pythonFloat(float value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(value)).ptr;
    std::string shown(text, end);
    if (shown.find_first_of(".e") == std::string::npos) shown += ".0";
    return shown;
}

Fields decodeStored(const std::string& name) {
    const std::optional<std::string> bytes = storedValue(name);
    if (!bytes) {
        ADD_FAILURE() << name << " was not stored";
        return {};
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : *bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    std::istringstream lines(testing_support::runPython("app/settings_records.py", {"decode", name, hex}));
    Fields fields;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

std::vector<std::pair<std::string, std::string>> firstStartRecords() {
    std::istringstream lines(testing_support::runPython("app/settings_records.py", {}));
    std::vector<std::pair<std::string, std::string>> records;
    for (std::string name, hex; lines >> name >> hex;) {
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        records.emplace_back(name, bytes);
    }
    return records;
}

void AppTest::SetUp() {
    home.emplace();
    homeVariable.emplace("VELKARN_HOME", home->path());
    {
        const platform::SocketHandle probe = platform::openTcpSocket();
        int port = 0;
        platform::bindToAnyAddress(probe, 0);
        platform::localPort(probe, port);
        platform::closeSocket(probe);
        portVariable.emplace("VELKARN_NET_PORT", std::to_string(port));
    }
    skins.emplace();
    writeApplicationSkins(*skins);
    setFatalErrorHook(throwFatalStop);
    testing_support::clearLog();
    platform::uiScript::enable();
    platform::VirtualClock::enable();
    platform::audio::NullAudio::setMemoryCapture(true);
    fake.emplace();
    useDevices(1, 1);
}

void AppTest::TearDown() {
    application.reset();
    fake.reset();
    platform::audio::NullAudio::setMemoryCapture(false);
    platform::audio::NullAudio::forget();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    setFatalErrorHook(nullptr);
    setVerboseLogging(false);
    skins.reset();
    portVariable.reset();
    homeVariable.reset();
    home.reset();
}

void AppTest::useDevices(int waveOuts, int directSounds) {
    using namespace platform::audio;
    fake->waveOut.clear();
    fake->outputs.clear();
    for (int i = 0; i < waveOuts; ++i) {
        fake->waveOut.push_back({WaveDeviceCaps{i == 0 ? "Fake Wave" : "Fake Wave " + std::to_string(i + 1),
                                                waveFormat4S16, 2},
                                 false});
    }
    if (directSounds > 0) {
        fake->outputs.push_back({std::nullopt, "Primary Sound Driver", OutputCaps{0x0F}, false, false});
        for (int i = 0; i < directSounds; ++i) {
            Guid guid;
            guid.bytes[0] = static_cast<std::uint8_t>(i + 1);
            fake->outputs.push_back(
                {guid, i == 0 ? "Fake Sound" : "Fake Sound " + std::to_string(i + 1), OutputCaps{0x0F}, false, false});
        }
    }
}

Velkarn& AppTest::start() { return start(std::make_unique<Velkarn>(nullptr, 1)); }

Velkarn& AppTest::start(std::unique_ptr<Velkarn> made) {
    application = std::move(made);
    // Earlier applications closed theirs: the open streams are this one's,
    // output 0's first.
    streams.clear();
    for (const platform::audio::NullStreamRecord& record : platform::audio::NullAudio::streams()) {
        if (!record.closed) streams.push_back(record.openOrder);
    }
    return *application;
}

void AppTest::stepMainOutput() {
    Velkarn& app = *application;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (app.playback(0)->framesAhead() < 44100 || app.playback(1)->framesAhead() < 44100) {
        if (std::chrono::steady_clock::now() > deadline) {
            FAIL() << "the render threads fell behind at " << app.currentSampleTime();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(platform::audio::NullAudio::advanceToDeadline(streamOf(0), 1));
    platform::dispatchPostedMessages();
}

int AppTest::streamOf(int output) const {
    return output < static_cast<int>(streams.size()) ? streams[static_cast<std::size_t>(output)] : 0;
}

std::pair<double, double> toneLevels(const std::vector<float>& signal, std::size_t from, std::size_t count,
                                     std::int64_t time0, double f0, double f1) {
    constexpr int m = 5;
    double a[m][m + 1] = {};
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(time0 + static_cast<std::int64_t>(i)) / 44100.0;
        const double w0 = 2.0 * std::numbers::pi * f0 * t, w1 = 2.0 * std::numbers::pi * f1 * t;
        const double x[m] = {std::sin(w0), std::cos(w0), std::sin(w1), std::cos(w1), 1.0};
        const double y = signal[from + i];
        for (int r = 0; r < m; ++r) {
            for (int c = 0; c < m; ++c) a[r][c] += x[r] * x[c];
            a[r][m] += x[r] * y;
        }
    }
    for (int c = 0; c < m; ++c) {
        for (int r = 0; r < m; ++r) {
            if (r == c) continue;
            const double f = a[r][c] / a[c][c];
            for (int k = c; k <= m; ++k) a[r][k] -= f * a[c][k];
        }
    }
    double coefficient[m];
    for (int r = 0; r < m; ++r) coefficient[r] = a[r][m] / a[r][r];
    return {std::hypot(coefficient[0], coefficient[1]), std::hypot(coefficient[2], coefficient[3])};
}

}  // namespace app_test
