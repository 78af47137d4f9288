#include "audio/DirectSoundOut.h"

#include "audio/AudioResultNames.h"
#include "audio/FormatAudio.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"

using namespace platform::audio;

namespace {
constexpr const char* cannotOpen = "Cannot open DirectSoundOut device.";
constexpr const char* cannotCreateBuffer = "Could not create DirectSound buffer.";
}  // namespace

DirectSoundOut::DirectSoundOut(const Guid* device, FormatAudio& format, float latencyMs, AudioClient* producer,
                               Window* window)
    : core_(format, latencyMs, producer, cannotOpen) {
    installAudioResultNames();
    if (!reportDirectXError(createSoundDevice(device, device_), __FILE__, __LINE__)) throw StringException(cannotOpen);

    // The window only names the device's owner; the layer takes it as it is.
    reportDirectXError(device_->setCooperativeLevel(window, cooperativePriority), __FILE__, __LINE__);

    BufferDescription description;
    description.flags = bufferPositionNotify;
    description.bytes = 2 * static_cast<std::uint32_t>(core_.blockBytes());
    format.toWaveFormat(description.format);
    // A device without its buffer, or a buffer without its notifications,
    // would never render or never let stop return: both end construction.
    if (!reportDirectXError(device_->createBuffer(description, buffer_), __FILE__, __LINE__)) {
        throw StringException(cannotCreateBuffer);
    }
    const PositionNotify notifies[2] = {{0, &startEvent_}, {static_cast<std::uint32_t>(core_.blockBytes()), &middleEvent_}};
    if (!reportDirectXError(buffer_->setNotificationPositions(2, notifies), __FILE__, __LINE__)) {
        throw StringException(cannotCreateBuffer);
    }
}

DirectSoundOut::~DirectSoundOut() {
    stop();
    core_.detachSinks(this);
    buffer_.reset();
    device_.reset();
}

void DirectSoundOut::fillHalf(int half) {
    void* first = nullptr;
    std::uint32_t firstBytes = 0;
    void* second = nullptr;
    std::uint32_t secondBytes = 0;
    const auto offset = static_cast<std::uint32_t>(half * core_.blockBytes());
    // Without the memory there is nowhere to render: the block is skipped.
    if (!reportDirectXError(buffer_->lock(offset, static_cast<std::uint32_t>(core_.blockBytes()), &first, &firstBytes,
                                          &second, &secondBytes),
                            __FILE__, __LINE__)) {
        return;
    }
    core_.renderBlock(this, static_cast<std::uint8_t*>(first));
    reportDirectXError(buffer_->unlock(first, firstBytes, second, secondBytes), __FILE__, __LINE__);
}

void DirectSoundOut::start() {
    if (playing_) return;
    reportDirectXError(buffer_->setCurrentPosition(0), __FILE__, __LINE__);
    // Both halves before play: no notification fires at play, so the
    // second half would otherwise play what it last held.
    fillHalf(0);
    fillHalf(1);
    reportDirectXError(buffer_->play(playLooping), __FILE__, __LINE__);
    if (!thread_.start([this] { renderLoop(); })) {
        buffer_->stop();
        fatalError("Could not create thread.", __FILE__, __LINE__);
    }
    playing_ = true;
}

void DirectSoundOut::stop() {
    if (!playing_) return;
    reportDirectXError(buffer_->stop(), __FILE__, __LINE__);
    quitEvent_.set();
    thread_.join();
    playing_ = false;
}

void DirectSoundOut::renderLoop() {
    platform::setCurrentThreadTimeCritical();
    platform::Event* events[3] = {&startEvent_, &middleEvent_, &quitEvent_};
    while (true) {
        switch (platform::Event::waitForAny(events, 3)) {
        case 0: fillHalf(1); break;  // the cursor wrapped: the second half has played
        case 1: fillHalf(0); break;
        case 2: return;
        default: logMessage("WaitForMultipleObjects() has returned a weird value.", __FILE__, __LINE__); break;
        }
    }
}
