#include "tools/GUIBeatMap.h"

#include "audio/AlignedFloats.h"
#include "audio/AudioFileReader.h"
#include "framework/DialogProgress.h"
#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/Window.h"
#include "primitives.h"
#include "tools/GUIBeatMapClient.h"
#include "tools/GUIBeatMapData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int32_t sampleRate = 44100;
// zaviSum_32f's accurate mode (double partial sums).
constexpr std::int32_t accurateSum = 2;

// x + 0.5 truncated toward zero.
std::int32_t rounded(float value) { return static_cast<std::int32_t>(value + 0.5f); }

bool report(PrimitiveStatus status, int line) { return reportPrimitiveError(status, __FILE__, line); }

// Fills `product` (length values) with the element-wise product of the
// stretches of `factors` that start at rounded(i x period) for each of
// `periods` periods. A stretch that would run past the count (the float
// quotient that gave `periods` may round up) is cut to what exists.
void foldProducts(const float* factors, std::int32_t count, float period, std::int32_t periods, float* product,
                  std::int32_t length) {
    report(zaviSet_32f(1.0f, product, length), __LINE__);
    for (std::int32_t i = 0; i < periods; ++i) {
        const std::int32_t start = rounded(static_cast<float>(i) * period);
        const std::int32_t n = std::min(length, count - start);
        if (n > 0) report(zaviMul_32f_I(factors + start, product, n), __LINE__);
    }
}

// ln of each factor, in double.
std::vector<double> logarithms(const float* factors, std::int32_t count) {
    std::vector<double> logs(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) logs[static_cast<std::size_t>(i)] = std::log(static_cast<double>(factors[i]));
    return logs;
}

// The logarithm of fold entry k, in double: the sum of the factors'
// logarithms over the same stretches as foldProducts.
double foldLogarithm(const std::vector<double>& logs, float period, std::int32_t periods, std::int32_t k) {
    double sum = 0.0;
    for (std::int32_t i = 0; i < periods; ++i) {
        const std::size_t index = static_cast<std::size_t>(rounded(static_cast<float>(i) * period) + k);
        if (index < logs.size()) sum += logs[index];
    }
    return sum;
}

// ln of the sum over k of exp(logs[k]), without overflow.
double logSumExp(const std::vector<double>& logs) {
    double highest = -std::numeric_limits<double>::infinity();
    for (double v : logs) highest = std::max(highest, v);
    if (!std::isfinite(highest)) return highest;
    double sum = 0.0;
    for (double v : logs) sum += std::exp(v - highest);
    return highest + std::log(sum);
}

}  // namespace

GUIBeatMap::GUIBeatMap(int x, int y, int width, int height, std::int32_t samplesPerValue, GUIBeatMapClient* client)
    : samplesPerValue_(samplesPerValue),
      client_(client),
      image_(std::make_unique<Image>(width, height, 128, 128, 255, 0)) {
    setOriginSize(x, y, width, height);
}

GUIBeatMap::~GUIBeatMap() { releaseArrays(); }

void GUIBeatMap::releaseArrays() {
    releaseAligned(envelope_);
    releaseAligned(onset_);
    releaseAligned(onsetPlusOne_);
    envelope_ = onset_ = onsetPlusOne_ = nullptr;
}

void GUIBeatMap::allocateArrays(std::int32_t count) {
    releaseArrays();
    if (count <= 0) return;
    envelope_ = allocateFloats(count);
    onset_ = allocateFloats(count);
    onsetPlusOne_ = allocateFloats(count);
}

// ---- Analysis -------------------------------------------------------------

bool GUIBeatMap::analyse(AudioFileReader* song, DialogProgress* progress) {
    if (!song->format()->isCdFormat()) fatalError("GUIBeatMap currently only does CD format", __FILE__, __LINE__);
    std::int32_t count = song->length() / samplesPerValue_;
    const std::int32_t valuesPerSecond = sampleRate / samplesPerValue_;
    const std::int32_t chunks = std::max(count / valuesPerSecond, 1);
    const std::int32_t valuesPerChunk = count / chunks;
    count = chunks * valuesPerChunk;

    allocateArrays(count);
    count_ = 0;
    totalSamples_ = 0;
    if (progress != nullptr) progress->setRange(0, chunks - 1);
    if (count == 0) {
        // Shorter than one value: nothing to read, an empty map.
        if (progress != nullptr) progress->setPosition(0);
        return true;
    }

    const std::int32_t chunkFrames = valuesPerChunk * samplesPerValue_;
    for (std::int32_t chunk = 0; chunk < chunks; ++chunk) {
        if (progress != nullptr && progress->isAborted()) return false;
        float** channels = song->read(chunk * chunkFrames, chunkFrames, false);
        const std::int32_t channelCount = song->format()->channels;
        float* out = envelope_ + static_cast<std::ptrdiff_t>(chunk) * valuesPerChunk;
        for (std::int32_t v = 0; v < valuesPerChunk; ++v) {
            float largest = 0.0f;
            for (std::int32_t c = 0; c < channelCount; ++c) {
                float low = 0.0f;
                float high = 0.0f;
                if (report(zaviMinMax_32f(channels[c] + static_cast<std::ptrdiff_t>(v) * samplesPerValue_,
                                          samplesPerValue_, &low, &high),
                           __LINE__)) {
                    largest = std::max({largest, std::fabs(low), std::fabs(high)});
                }
            }
            out[v] = largest;
        }
        if (progress != nullptr) progress->setPosition(chunk);
    }
    count_ = count;
    totalSamples_ = count * samplesPerValue_;
    deriveOnsets();
    return true;
}

void GUIBeatMap::deriveOnsets() {
    if (count_ <= 0) return;
    // First difference over a zeroed delay line: onset[0] = envelope[0].
    const float taps[2] = {1.0f, -1.0f};
    float delayLine[4] = {};
    std::int32_t delayIndex = 0;
    report(zaviFIR_Direct_32f(envelope_, onset_, count_, taps, 2, delayLine, &delayIndex), __LINE__);
    report(zaviThreshold_LT_32f_I(onset_, count_, 0.0f), __LINE__);
    report(zaviAddC_32f(onset_, 1.0f, onsetPlusOne_, count_), __LINE__);
}

void GUIBeatMap::setEnvelope(std::int32_t count, float* envelope) {
    allocateArrays(count);
    releaseAligned(envelope_);
    if (count <= 0) {
        releaseAligned(envelope);
        envelope_ = nullptr;
        count_ = 0;
        totalSamples_ = 0;
        return;
    }
    envelope_ = envelope;
    count_ = count;
    totalSamples_ = count * samplesPerValue_;
    deriveOnsets();
}

float* GUIBeatMap::envelope(std::int32_t* count) {
    *count = count_;
    return envelope_;
}

std::unique_ptr<GUIBeatMapData> GUIBeatMap::saveData() const {
    return std::make_unique<GUIBeatMapData>(count_, totalSamples_, envelope_, onset_, onsetPlusOne_);
}

void GUIBeatMap::restoreData(const GUIBeatMapData& data) {
    releaseArrays();
    count_ = data.envelope() != nullptr ? data.count() : 0;
    totalSamples_ = data.totalSamples();
    envelope_ = GUIBeatMapData::copyValues(data.envelope(), count_);
    onset_ = GUIBeatMapData::copyValues(data.onset(), count_);
    onsetPlusOne_ = GUIBeatMapData::copyValues(data.onsetPlusOne(), count_);
}

// ---- Rows -----------------------------------------------------------------

void GUIBeatMap::refresh(std::int32_t rowHeight, float scroll, float mix, float gain, float bpm,
                         std::int32_t beatsPerRow, bool* twoValuesPerColumn) {
    const int width = image_->width();
    const int height = image_->height();
    image_->fillRect(255, 255, 255, 255, 0, 0, width - 1, height - 1);
    *twoValuesPerColumn = false;

    // The same row length as the marker map's, so that both line up.
    const double perBeat = std::trunc(2646000.0 / bpm + 0.5);
    const double perRow = perBeat * beatsPerRow;
    const bool drawable = count_ > 0 && rowHeight > 0 && perRow >= 1.0 && perRow <= 2147483647.0;
    if (drawable) {
        const std::int32_t samplesPerRow = static_cast<std::int32_t>(perRow);
        const std::int32_t rows = totalSamples_ / samplesPerRow + (totalSamples_ % samplesPerRow != 0 ? 1 : 0);
        const std::int32_t hiddenRows = std::max(rows - height / rowHeight, 0);
        const float shown = static_cast<float>(hiddenRows) * std::clamp(scroll, 0.0f, 1.0f);
        const std::int32_t firstRow = std::isnan(shown) ? 0 : static_cast<std::int32_t>(shown);
        const float position = static_cast<float>(static_cast<std::int64_t>(firstRow) * samplesPerRow) /
                               static_cast<float>(samplesPerValue_);
        const float valuesPerRow = static_cast<float>(samplesPerRow) / static_cast<float>(samplesPerValue_);
        const bool two = static_cast<float>(width) < valuesPerRow;
        *twoValuesPerColumn = two;

        const float mixed = 1.0f - mix;
        auto valueAt = [&](std::int32_t i) { return mixed * envelope_[i] + mix * onset_[i]; };
        float rowEnd = position + valuesPerRow;
        std::int32_t end = rounded(rowEnd);
        std::int32_t x = 0;
        std::int32_t y = 0;
        for (std::int32_t i = rounded(position); i < count_;) {
            if (i >= end) {
                rowEnd += valuesPerRow;
                end = rounded(rowEnd);
                x = 0;
                y += rowHeight;
                if (y >= height) break;
            }
            if (x < width) {
                float value = valueAt(i);
                if (two && i + 1 < count_) {
                    const float next = valueAt(i + 1);
                    if (next >= value) value = next;
                }
                const int grey = 255 - static_cast<int>(std::min(value * gain, 1.0f) * 255.0f);
                const std::uint8_t g = static_cast<std::uint8_t>(grey);
                for (std::int32_t row = y; row < y + rowHeight && row < height; ++row) {
                    std::uint8_t* pixel = image_->pixelAt(x, row);
                    pixel[0] = g;
                    pixel[1] = g;
                    pixel[2] = g;
                    pixel[3] = 255;
                }
            }
            i += two ? 2 : 1;
            ++x;
        }
    }
    redraw();
}

void GUIBeatMap::copyImageTo(Image& target) const {
    const int w = std::min(target.width(), image_->width());
    const int h = std::min(target.height(), image_->height());
    target.copyRect(*image_, 0, 0, 0, 0, w, h);
}

void GUIBeatMap::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (target == nullptr || !isVisible()) return;
    target->copyImage(*image_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
}

void GUIBeatMap::mouseWheel(const GUIPoint& point, int notches) {
    if (client_ != nullptr && contains(point.x, point.y)) client_->beatMapWheel(this, notches);
}

// ---- Tempo ----------------------------------------------------------------

float GUIBeatMap::tempoForPeriod(std::int32_t period, std::int32_t beatsPerBar) const {
    const float samples = static_cast<float>(period * samplesPerValue_);
    return 60.0f / (samples / static_cast<float>(beatsPerBar) / static_cast<float>(sampleRate));
}

void GUIBeatMap::findTempoCandidates(std::int32_t beatsPerBar, float* tempi, std::int32_t* count,
                                     std::int32_t maxCount) {
    *count = 0;
    if (count_ <= 0 || envelope_ == nullptr || maxCount <= 0 || beatsPerBar <= 0) return;
    const float spv = static_cast<float>(samplesPerValue_);
    const std::int32_t longest = rounded(static_cast<float>(beatsPerBar * 29400) / spv);
    const std::int32_t shortest = rounded(static_cast<float>(beatsPerBar * 14700) / spv);
    if (longest < 2) return;
    std::vector<float> ac(static_cast<std::size_t>(longest));
    if (!report(zaviAutoCorr_32f(envelope_, count_, ac.data(), longest), __LINE__)) return;

    std::vector<std::int32_t> lags;
    std::vector<float> strengths;
    bool previousFalling = false;
    for (std::int32_t lag = shortest + 1; lag < longest; ++lag) {
        const bool falling = ac[lag] < ac[lag - 1];
        if (falling && !previousFalling && lag != shortest + 1) {
            const std::int32_t peak = lag - 1;
            const float strength = ac[peak];
            std::size_t place = 0;
            while (place < strengths.size() && !(strengths[place] < strength)) ++place;
            if (place < static_cast<std::size_t>(maxCount)) {
                lags.insert(lags.begin() + static_cast<std::ptrdiff_t>(place), peak);
                strengths.insert(strengths.begin() + static_cast<std::ptrdiff_t>(place), strength);
                if (lags.size() > static_cast<std::size_t>(maxCount)) {
                    lags.pop_back();
                    strengths.pop_back();
                }
            }
        }
        previousFalling = falling;
    }
    for (std::size_t i = 0; i < lags.size(); ++i) tempi[i] = tempoForPeriod(lags[i], beatsPerBar);
    *count = static_cast<std::int32_t>(lags.size());
}

void GUIBeatMap::refineTempo(float* bpm, std::int32_t beatsPerBar) {
    if (count_ <= 0 || onsetPlusOne_ == nullptr || beatsPerBar <= 0 || !(*bpm > 0.0f) || !std::isfinite(*bpm)) return;
    const float bars = static_cast<float>(beatsPerBar);
    const float spv = static_cast<float>(samplesPerValue_);
    const float periodNow = 60.0f / *bpm * static_cast<float>(sampleRate) * bars / spv;
    if (!(periodNow < 2.0e9f)) return;
    const std::int32_t period = rounded(periodNow);
    // The period below must be a whole value at least.
    if (period < 2) return;
    const float low = tempoForPeriod(period + 1, beatsPerBar);
    const float high = tempoForPeriod(period - 1, beatsPerBar);
    const std::int32_t steps = static_cast<std::int32_t>((high - low) * 999.99994f);
    if (steps <= 0) return;

    struct Trial {
        float period;
        std::int32_t length;
        std::int32_t periods;
    };
    auto trialAt = [&](float tempo) {
        const float p = 60.0f / tempo * static_cast<float>(sampleRate) * bars / spv;
        return Trial{p, static_cast<std::int32_t>(p), static_cast<std::int32_t>(static_cast<float>(count_) / p)};
    };

    std::vector<float> product(static_cast<std::size_t>(trialAt(low).length) + 1);
    float best = -1.0f;
    float bestTempo = *bpm;
    bool allFinite = true;
    float tempo = low;
    for (std::int32_t s = 0; s < steps; ++s, tempo += 0.001f) {
        const Trial t = trialAt(tempo);
        float score = 0.0f;
        if (t.length > 0) {
            if (product.size() < static_cast<std::size_t>(t.length)) product.resize(static_cast<std::size_t>(t.length));
            foldProducts(onsetPlusOne_, count_, t.period, t.periods, product.data(), t.length);
            report(zaviSum_32f(product.data(), t.length, &score, accurateSum), __LINE__);
        }
        if (!std::isfinite(score)) {
            allFinite = false;
            break;
        }
        if (score > best) {
            best = score;
            bestTempo = tempo;
        }
    }

    if (!allFinite) {
        // Products overflow single precision on long songs with hard
        // transients: compare every trial by the logarithm of its score.
        const std::vector<double> factorLogs = logarithms(onsetPlusOne_, count_);
        double bestLog = -std::numeric_limits<double>::infinity();
        bool first = true;
        std::vector<double> logs;
        tempo = low;
        for (std::int32_t s = 0; s < steps; ++s, tempo += 0.001f) {
            const Trial t = trialAt(tempo);
            logs.assign(static_cast<std::size_t>(std::max(t.length, 0)), 0.0);
            for (std::int32_t k = 0; k < t.length; ++k)
                logs[static_cast<std::size_t>(k)] = foldLogarithm(factorLogs, t.period, t.periods, k);
            const double score = t.length > 0 ? logSumExp(logs) : -std::numeric_limits<double>::infinity();
            if (first || score > bestLog) {
                bestLog = score;
                bestTempo = tempo;
                first = false;
            }
        }
    }
    *bpm = bestTempo;
}

float* GUIBeatMap::foldedProfile(float bpm, std::int32_t beatsPerBar, std::int32_t offsetSamples,
                                 std::int32_t* count) {
    *count = profileColumns;
    float* columns = allocateZeroedFloats(profileColumns);
    const float periodSamples = 2.0f * static_cast<float>(beatsPerBar) * 60.0f / bpm * static_cast<float>(sampleRate);
    const float periodValues = periodSamples / static_cast<float>(samplesPerValue_);
    // No envelope, or a period that holds no value: an all-zero profile.
    if (count_ <= 0 || onsetPlusOne_ == nullptr || !(periodValues >= 1.0f) ||
        !(periodValues <= static_cast<float>(count_)))
        return columns;
    const std::int32_t length = static_cast<std::int32_t>(periodValues);
    const std::int32_t periods = static_cast<std::int32_t>(static_cast<float>(count_) / periodValues);
    std::vector<float> folded(static_cast<std::size_t>(length));
    foldProducts(onsetPlusOne_, count_, periodValues, periods, folded.data(), length);

    // Rotated so that the first beat comes first.
    const std::int64_t wholePeriod = std::max<std::int64_t>(static_cast<std::int64_t>(periodSamples), 1);
    std::int64_t offset = offsetSamples;
    if (offset < 0) offset += ((-offset + wholePeriod - 1) / wholePeriod) * wholePeriod;
    const std::int64_t shift = offset / samplesPerValue_ % length;
    std::rotate(folded.begin(), folded.begin() + static_cast<std::ptrdiff_t>(shift), folded.end());

    const float step = static_cast<float>(length) / static_cast<float>(profileColumns);
    const std::int32_t width = (length + profileColumns - 1) / profileColumns;
    bool overflow = false;
    for (std::int32_t c = 0; c < profileColumns; ++c) {
        float highest = 0.0f;
        for (std::int32_t j = 0; j < width; ++j) {
            const std::int32_t index = static_cast<std::int32_t>(static_cast<float>(c) * step + static_cast<float>(j));
            if (index >= 0 && index < length) highest = std::max(highest, folded[static_cast<std::size_t>(index)]);
        }
        columns[c] = highest;
        if (!std::isfinite(highest)) overflow = true;
    }
    report(zaviLn_32f_I(columns, profileColumns), __LINE__);
    if (overflow) {
        const std::vector<double> factorLogs = logarithms(onsetPlusOne_, count_);
        // A column whose product overflowed takes the largest logarithm of
        // its entries, summed in double.
        for (std::int32_t c = 0; c < profileColumns; ++c) {
            if (std::isfinite(columns[c])) continue;
            double highest = -std::numeric_limits<double>::infinity();
            for (std::int32_t j = 0; j < width; ++j) {
                const std::int32_t index =
                    static_cast<std::int32_t>(static_cast<float>(c) * step + static_cast<float>(j));
                if (index < 0 || index >= length) continue;
                const std::int32_t unrotated = static_cast<std::int32_t>((index + shift) % length);
                highest = std::max(highest, foldLogarithm(factorLogs, periodValues, periods, unrotated));
            }
            columns[c] = static_cast<float>(highest);
        }
    }
    float maximum = 0.0f;
    report(zaviMax_32f(columns, profileColumns, &maximum), __LINE__);
    if (maximum != 0.0f) report(zaviMulC_32f_I(1.0f / maximum, columns, profileColumns), __LINE__);
    return columns;
}
