#include "audio/WaveOut.h"

#include "audio/AudioResultNames.h"
#include "audio/FormatAudio.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "primitives.h"

#include <cstring>

using namespace platform::audio;

namespace {
constexpr const char* cannotOpen = "Cannot open WaveOut device.";
}  // namespace

WaveOut::WaveOut(std::int32_t deviceNumber, FormatAudio& format, float latencyMs, AudioClient* producer)
    : core_(format, latencyMs, producer, cannotOpen), number_(deviceNumber) {
    installAudioResultNames();
    const std::uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0x00;
    for (std::uint8_t*& data : data_) {
        data = vaduRivuro_8v(core_.blockBytes());
        if (data == nullptr) {
            freeData();
            logMessage("Out of memory for the output's blocks.", __FILE__, __LINE__);
            throw StringException(cannotOpen);
        }
        std::memset(data, silence, static_cast<std::size_t>(core_.blockBytes()));
    }

    WaveFormat record;
    format.toWaveFormat(record);
    if (AudioResult result = openWaveOut(handle_, deviceNumber, record, deviceCallback, this); result != resultOk) {
        logMessage(waveOutErrorText(result), __FILE__, __LINE__);
        freeData();
        throw StringException(cannotOpen);
    }
    for (int i = 0; i < 2; ++i) {
        WaveHeader& header = headers_[i];
        header.data = data_[i];
        header.bufferLength = static_cast<std::uint32_t>(core_.blockBytes());
        header.bytesRecorded = 0;
        header.user = 0;
        header.flags = 0;
        header.loops = 1;
        header.next = nullptr;
        // Unprepared headers can never be written: the device would never
        // play, nor render, and the mix clock would stand still.
        if (AudioResult result = prepareWaveHeader(handle_, &header); result != resultOk) {
            logMessage(waveOutErrorText(result), __FILE__, __LINE__);
            for (int j = 0; j < i; ++j) unprepareWaveHeader(handle_, &headers_[j]);
            closeWaveOut(handle_);
            freeData();
            throw StringException(cannotOpen);
        }
    }
    open_ = true;
}

WaveOut::~WaveOut() {
    if (open_) {
        stopping_.store(true);
        resetWaveOut(handle_);
        unprepareWaveHeader(handle_, &headers_[0]);
        unprepareWaveHeader(handle_, &headers_[1]);
        closeWaveOut(handle_);
    }
    core_.detachSinks(this);
    freeData();
}

void WaveOut::freeData() {
    for (std::uint8_t*& data : data_) {
        zoveZiva(data);
        data = nullptr;
    }
}

void WaveOut::fillHeader(WaveHeader& header) {
    core_.renderBlock(this, header.data);
    writeWaveHeader(handle_, &header);
}

void WaveOut::start() {
    // A second start would render into headers the device is playing.
    if (playing_) return;
    stopping_.store(false);
    {
        // The first write starts the device, which may hand the first
        // header back at once: its next block must wait until the second
        // header is queued, or the second block would play after the third.
        std::lock_guard lock(core_.deviceLock());
        fillHeader(headers_[0]);
        fillHeader(headers_[1]);
    }
    playing_ = true;
}

void WaveOut::stop() {
    if (!playing_) return;
    stopping_.store(true);
    resetWaveOut(handle_);
    playing_ = false;
}

void WaveOut::deviceCallback(WaveOutHandle*, unsigned message, void* instance, WaveHeader* header) {
    auto* self = static_cast<WaveOut*>(instance);
    if (message == waveOutDone && !self->stopping_.load()) self->fillHeader(*header);
}
