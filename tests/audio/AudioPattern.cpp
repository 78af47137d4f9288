#include "AudioPattern.h"

#include "audio/SampleConversion.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace audio_test {

float patternSample(int seed, std::int64_t block, int frame, int channel) {
    const std::int64_t mixed = seed * 104729LL + block * 7919LL + frame * 13LL + channel * 5LL;
    const int value = 2 + static_cast<int>(mixed % 30000);
    return static_cast<float>(value) / 32768.0f;
}

std::vector<std::uint8_t> expectedBlock(int seed, std::int64_t block, const FormatAudio& format, int frames) {
    std::vector<std::vector<float>> channels(static_cast<std::size_t>(format.channels), std::vector<float>(frames));
    std::vector<const float*> pointers;
    for (int c = 0; c < format.channels; ++c) {
        for (int f = 0; f < frames; ++f) channels[c][f] = patternSample(seed, block, f, c);
        pointers.push_back(channels[c].data());
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * format.channels * format.bitsPerSample / 8);
    interleaveSamplesScalar(pointers.data(), format.channels, frames, format.bitsPerSample, bytes.data());
    return bytes;
}

void PatternProducer::render(Motor* device, float** channels, std::int32_t frames) {
    rendering_.store(true);
    const std::int64_t block = blocks_.load();
    const int channelCount = device->format()->channels;
    for (int c = 0; c < channelCount; ++c) {
        for (int f = 0; f < frames; ++f) channels[c][f] = patternSample(seed_, block, f, c);
    }
    {
        std::lock_guard lock(mutex_);
        threads_.push_back(std::this_thread::get_id());
        devices_.push_back(device);
    }
    blocks_.store(block + 1);
    rendering_.store(false);
}

std::vector<std::thread::id> PatternProducer::threads() const {
    std::lock_guard lock(mutex_);
    return threads_;
}

std::vector<Motor*> PatternProducer::devices() const {
    std::lock_guard lock(mutex_);
    return devices_;
}

std::vector<Period> readPeriods(const std::vector<std::uint8_t>& capture, const FormatAudio& format, int frames,
                                const std::vector<const PatternProducer*>& producers, std::int64_t upTo) {
    const std::size_t periodBytes = static_cast<std::size_t>(frames) * format.channels * format.bitsPerSample / 8;
    // Blocks by their first bytes, then compared whole.
    std::multimap<std::string, std::pair<int, std::int64_t>> byStart;
    std::map<std::pair<int, std::int64_t>, std::vector<std::uint8_t>> blocks;
    for (const PatternProducer* producer : producers) {
        for (std::int64_t n = 0; n < upTo; ++n) {
            auto bytes = expectedBlock(producer->seed(), n, format, frames);
            byStart.emplace(std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(16, bytes.size())),
                            std::make_pair(producer->seed(), n));
            blocks[{producer->seed(), n}] = std::move(bytes);
        }
    }
    std::vector<Period> periods;
    for (std::size_t at = 0; at + periodBytes <= capture.size(); at += periodBytes) {
        Period period;
        const std::uint8_t* data = capture.data() + at;
        if (std::all_of(data, data + periodBytes, [](std::uint8_t b) { return b == 0; })) {
            period.kind = Period::Silence;
        } else {
            const std::string start(data, data + std::min<std::size_t>(16, periodBytes));
            auto [first, last] = byStart.equal_range(start);
            for (auto it = first; it != last; ++it) {
                const auto& bytes = blocks[it->second];
                if (std::memcmp(bytes.data(), data, periodBytes) == 0) {
                    period.kind = Period::Block;
                    period.seed = it->second.first;
                    period.block = it->second.second;
                    break;
                }
            }
        }
        periods.push_back(period);
    }
    return periods;
}

}  // namespace audio_test
