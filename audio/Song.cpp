#include "audio/Song.h"

#include "audio/SampleDisk.h"
#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/StringException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {
constexpr double sampleRate = 44100.0;
}

Song::Song(const std::vector<SongSpan>& spans, std::int32_t firstBeat, bool fixedTempo,
           std::int32_t fixedBeatLength, SongTexts texts)
    : firstBeat_(firstBeat),
      endBeat_(firstBeat),
      firstSourcePosition_(0),
      fixedTempo_(fixedTempo),
      fixedBeatLength_(fixedBeatLength),
      texts_(std::move(texts)) {
    if (spans.empty()) throw StringException("A song must count at least one beat.");
    if (spans.size() > static_cast<std::size_t>(maximumSlots)) {
        throw StringException("Too many beats in this song.");
    }
    spans_.assign(maximumSlots, SongSpan{0, 0});
    play_.assign(maximumSlots, SongBeat{});
    std::copy(spans.begin(), spans.end(), spans_.begin());
    endBeat_ = firstBeat + static_cast<std::int32_t>(spans.size());
    firstSourcePosition_ = spans[0].position;
    resetRecords();
}

namespace {

// A song file's reader as the renderer's frame source.
class ReaderFrames : public SongFrameSource {
public:
    ReaderFrames(std::unique_ptr<AudioFileReader> reader, std::int32_t maximumRead)
        : reader_(std::move(reader)), maximumRead_(maximumRead) {}
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override {
        return reader_->read(position, count, readAhead);
    }
    std::int32_t channels() const override { return reader_->format()->channels; }
    std::int32_t maximumRead() const override { return maximumRead_; }

private:
    std::unique_ptr<AudioFileReader> reader_;
    std::int32_t maximumRead_;
};

std::vector<SongSpan> checkedSpans(const Beats& beats) {
    std::vector<SongSpan> spans = beats.beatLengths();
    if (spans.empty()) throw StringException("A song must count at least one beat.");
    if (spans.size() > static_cast<std::size_t>(Song::maximumSlots)) {
        throw StringException("Too many beats in this song.");
    }
    return spans;
}

}  // namespace

Song::Song(const std::string& path, std::int32_t firstBeat, Interpolator& interpolator, TimeScaler& timeScaler,
           float minimumTempo, bool fixedTempo, std::int32_t fixedBeatLength)
    : firstBeat_(firstBeat),
      endBeat_(firstBeat),
      firstSourcePosition_(0),
      fixedTempo_(fixedTempo),
      fixedBeatLength_(fixedBeatLength) {
    std::unique_ptr<Beats> beats;
    BTSettings settings;
    SongTags tags;
    bool hasTags = false;
    char label[songTextSize] = {};
    bool hasLabel = false;
    bool hasPoints = false;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    outputs.image = &overview_;
    outputs.records.settings = &settings;
    outputs.records.tags = &tags;
    outputs.records.hasTags = &hasTags;
    outputs.records.label = label;
    outputs.records.hasLabel = &hasLabel;
    outputs.records.points = &envelope_;
    outputs.records.hasPoints = &hasPoints;
    // The longest read the renderer may ask: a 3-second cache.
    const auto cacheFrames = static_cast<std::int32_t>(SongRenderer::cacheSeconds * 44100.0f);
    std::unique_ptr<AudioFileReader> reader;
    try {
        reader = SampleDisk::open(path, true, false, SongRenderer::cacheSeconds, outputs);
        if (!beats) throw NoMetadataAvailable();
        // A song drawn from its level envelope needs no overview; one drawn
        // from its overview needs it.
        if (settings.strip3 != 0) {
            envelope_.release();
        } else if (hasPoints) {
            overview_.reset();
            beatCanvas_ = std::make_unique<Image>(200, 200, 255, 255, 255, 255);
        }
        if (!beatCanvas_ && !overview_) throw StringException("Cannot find the graphical meta-data.");
        const std::vector<SongSpan> spans = checkedSpans(*beats);
        spans_.assign(maximumSlots, SongSpan{0, 0});
        play_.assign(maximumSlots, SongBeat{});
        std::copy(spans.begin(), spans.end(), spans_.begin());
        endBeat_ = firstBeat + static_cast<std::int32_t>(spans.size());
        firstSourcePosition_ = spans[0].position;
        if (overview_) {
            const SongSpan& last = spans.back();
            samplesPerPixel_ = static_cast<float>(last.position + last.length - firstSourcePosition_) /
                               static_cast<float>(overview_->width());
        }
    } catch (...) {
        envelope_.release();
        throw;
    }
    if (hasTags) {
        texts_.title = tags.title;
        texts_.artist = tags.artist;
    }
    if (hasLabel) texts_.label = label;
    beatsPerBar_ = settings.strip[1];
    resetRecords();
    renderer_ = std::make_unique<SongRenderer>(interpolator, timeScaler, minimumTempo, cacheFrames);
    source_ = std::make_unique<ReaderFrames>(std::move(reader), cacheFrames);
}

Song::~Song() { envelope_.release(); }

const Image& Song::beatImage(std::int32_t beat, int width, int height, bool highlight, bool barStart) {
    if (!beatCanvas_ || width > beatCanvas_->width() || height > beatCanvas_->height() || width < 1 ||
        height < 1) {
        fatalError("This is not happening.", __FILE__, __LINE__);
    }
    Image& canvas = *beatCanvas_;
    SongSpan span{0, 0};
    SongBeat play{};
    const bool held = spanAt(beat, &span, &play, nullptr);
    // A bar count from a damaged file must not divide by zero.
    const std::int32_t bar = std::max(beatsPerBar_, 1);
    const std::int32_t s = play.sourceBeat;
    if (s % (8 * bar) >= 4 * bar) {
        canvas.fillRect(100, 100, 127, 255, 0, 0, width - 1, height - 1);
    } else {
        canvas.fillRect(200, 200, 255, 255, 0, 0, width - 1, height - 1);
    }
    if (!held) return canvas;

    // Value j covers the levels from g = span start - e + j * e on; column
    // x shows value x + 1, so values 0 and width + 1 are the neighbours of
    // the edge columns.
    const PointsRecord& points = envelope_;
    const bool levels = points.levels != nullptr && points.levelCount > 0 && points.samplesPerLevel > 0;
    const float perLevel = static_cast<float>(points.samplesPerLevel);
    const float e = levels ? static_cast<float>(span.length) / static_cast<float>(width) / perLevel : 0.0f;
    const auto k = static_cast<std::int64_t>(std::ceil(e));
    std::array<std::int32_t, 202> top{};
    std::array<std::int32_t, 202> bottom{};
    float g = levels ? static_cast<float>(span.position) / perLevel - e : 0.0f;
    for (int j = 0; j <= width + 1; ++j, g += e) {
        float h = 0.0f;
        if (levels) {
            const auto first = static_cast<std::int64_t>(g);
            const std::int64_t from = std::max<std::int64_t>(first, 0);
            const std::int64_t to = std::min<std::int64_t>(first + k, points.levelCount);
            for (std::int64_t i = from; i < to; ++i) h = std::max(h, points.levels[i]);
        }
        // Levels from a file are not trusted to stay within 0..1.
        h = std::clamp(h, 0.0f, 1.0f);
        top[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(static_cast<float>(height - 1) * (1.0f - h) * 0.5f);
        bottom[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(static_cast<float>(height - 1) * (1.0f + h) * 0.5f);
    }
    for (int x = 0; x < width; ++x) {
        const auto j = static_cast<std::size_t>(x + 1);
        const std::int32_t t = top[j], b = bottom[j];
        if (highlight) {
            canvas.fillRect(220, 100, 0, 255, x, t, x, b);
        } else {
            canvas.fillRect(220, 0, 0, 255, x, t, x, b);
        }
        const std::int32_t lowerTop = std::max(top[j - 1], top[j + 1]);
        if (lowerTop > t) canvas.fillRect(0, 0, 0, 255, x, t, x, lowerTop - 1);
        const std::int32_t higherBottom = std::min(bottom[j - 1], bottom[j + 1]);
        if (higherBottom < b) canvas.fillRect(0, 0, 0, 255, x, higherBottom + 1, x, b);
        canvas.fillRect(0, 0, 0, 255, x, t, x, t);
        canvas.fillRect(0, 0, 0, 255, x, b, x, b);
    }
    if (barStart && s % bar == 0) canvas.fillRect(255, 255, 255, 255, 0, 0, 0, height - 1);
    return canvas;
}

Song::Song(const std::vector<SongSpan>& spans, std::int32_t firstBeat, bool fixedTempo,
           std::int32_t fixedBeatLength, SongTexts texts, std::unique_ptr<SongFrameSource> source,
           Interpolator& interpolator, TimeScaler& timeScaler, float minimumTempo)
    : Song(spans, firstBeat, fixedTempo, fixedBeatLength, std::move(texts)) {
    renderer_ = std::make_unique<SongRenderer>(interpolator, timeScaler, minimumTempo, source->maximumRead());
    source_ = std::move(source);
}

void Song::renderBeat(std::int32_t beat, const DeckRings& rings, std::int32_t b, std::int32_t count,
                      std::int32_t n, std::int32_t /*interpolationPoints*/, bool timeScaling, float knee) {
    SongSpan span{};
    SongBeat play{};
    if (!renderer_ || !spanAt(beat, &span, &play, nullptr)) {
        SongRenderer::renderSilence(rings, b, count, std::min(n, count));
        return;
    }
    renderer_->renderBeat(*source_, span, play, rings, b, count, n, timeScaling, knee);
}

void Song::resetRecords() {
    for (std::int32_t i = 0; i < maximumSlots; ++i) play_[static_cast<std::size_t>(i)] = SongBeat{i, false, false, 1.0f, 1.0f};
}

void Song::moveSlots(std::int32_t from, std::int32_t to, std::int32_t n) {
    if (n <= 0 || from == to) return;
    std::memmove(&spans_[static_cast<std::size_t>(to)], &spans_[static_cast<std::size_t>(from)],
                 sizeof(SongSpan) * static_cast<std::size_t>(n));
    std::memmove(&play_[static_cast<std::size_t>(to)], &play_[static_cast<std::size_t>(from)],
                 sizeof(SongBeat) * static_cast<std::size_t>(n));
}

bool Song::spanAt(std::int32_t beat, SongSpan* span, SongBeat* play, std::int32_t* firstSourcePosition) const {
    if (!holds(beat)) return false;
    const auto slot = static_cast<std::size_t>(beat - firstBeat_);
    if (span != nullptr) *span = spans_[slot];
    if (play != nullptr) *play = play_[slot];
    if (firstSourcePosition != nullptr) *firstSourcePosition = firstSourcePosition_;
    return true;
}

float Song::beatLengthAt(std::int32_t beat) const {
    if (fixedTempo_) return static_cast<float>(fixedBeatLength_);
    if (!holds(beat)) return 0.0f;
    return static_cast<float>(spans_[static_cast<std::size_t>(beat - firstBeat_)].length);
}

float Song::minimumBpm() const {
    std::int32_t longest = 0;
    for (std::int32_t i = 0; i < count(); ++i) longest = std::max(longest, spans_[static_cast<std::size_t>(i)].length);
    return longest > 0 ? static_cast<float>(60.0 / (longest / sampleRate)) : 0.0f;
}

float Song::maximumBpm() const {
    std::int32_t shortest = 1000000;
    for (std::int32_t i = 0; i < count(); ++i) shortest = std::min(shortest, spans_[static_cast<std::size_t>(i)].length);
    return count() > 0 && shortest > 0 ? static_cast<float>(60.0 / (shortest / sampleRate)) : 0.0f;
}

bool Song::tagsAtBeat(std::int32_t beat, std::string* title, std::string* artist, std::string* label) const {
    if (!holds(beat)) return false;
    if (title != nullptr) *title = texts_.title;
    if (artist != nullptr) *artist = texts_.artist;
    if (label != nullptr) *label = texts_.label;
    return true;
}

bool Song::beatsLeft(std::int32_t beat, std::int32_t& n) const {
    if (!holds(beat)) return false;
    n = endBeat_ - beat;
    return true;
}

std::int32_t Song::halveBeats() {
    const std::int32_t old = count();
    // Halving one slot would leave none: a song with no beats.
    if (old < 2) return 0;
    const std::int32_t halved = old / 2;
    for (std::int32_t i = 0; i < halved; ++i) {
        const SongSpan a = spans_[static_cast<std::size_t>(2 * i)];
        const SongSpan b = spans_[static_cast<std::size_t>(2 * i + 1)];
        spans_[static_cast<std::size_t>(i)] = SongSpan{a.position, a.length + b.length};
    }
    resetRecords();
    endBeat_ = firstBeat_ + halved;
    return halved - old;
}

std::int32_t Song::doubleBeats() {
    const std::int32_t old = count();
    if (2 * old > maximumSlots) throw StringException("Too many beats in this song.");
    for (std::int32_t i = old - 1; i >= 0; --i) {
        const SongSpan s = spans_[static_cast<std::size_t>(i)];
        const std::int32_t half = s.length / 2;
        spans_[static_cast<std::size_t>(2 * i)] = SongSpan{s.position, half};
        spans_[static_cast<std::size_t>(2 * i + 1)] = SongSpan{s.position + half, half + s.length % 2};
    }
    resetRecords();
    endBeat_ = firstBeat_ + 2 * old;
    return old;
}

bool Song::deleteBeats(std::int32_t beat, const std::string& type, std::int32_t& firstAffected) {
    if (type != "all" && type != "allBefore" && type != "allAfter") {
        fatalError("Unknown type of delete.", __FILE__, __LINE__);
    }
    if (!holds(beat)) return false;
    if (type == "all") {
        endBeat_ = firstBeat_;
        firstAffected = firstBeat_;
    } else if (type == "allBefore") {
        const std::int32_t slot = beat - firstBeat_;
        moveSlots(slot, 0, count() - slot);
        firstAffected = firstBeat_;
        firstBeat_ = beat;
    } else {
        endBeat_ = beat + 1;
        firstAffected = beat + 1;
    }
    return true;
}

bool Song::skipBeats(std::int32_t beat, std::int32_t n) {
    if (!holds(beat)) return false;
    n = std::clamp(n, 0, endBeat_ - beat);
    const std::int32_t slot = beat - firstBeat_;
    moveSlots(slot + n, slot, count() - slot - n);
    endBeat_ -= n;
    return true;
}

bool Song::pauseBeats(std::int32_t beat, std::int32_t n) {
    if (!holds(beat) || n < 0 || count() + n > maximumSlots) return false;
    const std::int32_t slot = beat - firstBeat_;
    moveSlots(slot, slot + n, count() - slot);
    for (std::int32_t i = slot; i < slot + n; ++i) {
        spans_[static_cast<std::size_t>(i)] = spans_[static_cast<std::size_t>(slot + n)];
        play_[static_cast<std::size_t>(i)] = play_[static_cast<std::size_t>(slot + n)];
        play_[static_cast<std::size_t>(i)].paused = true;
    }
    endBeat_ += n;
    return true;
}

bool Song::repeatBeats(std::int32_t beat, std::int32_t n, std::int32_t times, bool overwrite) {
    if (n < 1 || times < 1) return false;
    if (beat - n < firstBeat_ || beat - 1 >= endBeat_) return false;
    const std::int64_t added = static_cast<std::int64_t>(n) * times;
    const std::int32_t slot = beat - firstBeat_;
    if (!overwrite) {
        if (count() + added > maximumSlots) return false;
        moveSlots(slot, slot + static_cast<std::int32_t>(added), count() - slot);
        endBeat_ += static_cast<std::int32_t>(added);
    } else {
        const std::int64_t end = slot + added;
        if (end > maximumSlots) return false;
        if (end > count()) endBeat_ = firstBeat_ + static_cast<std::int32_t>(end);
    }
    // The copied run lies before slot and is never overwritten.
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(added); ++k) {
        const auto from = static_cast<std::size_t>(slot - n + k % n);
        spans_[static_cast<std::size_t>(slot + k)] = spans_[from];
        play_[static_cast<std::size_t>(slot + k)] = play_[from];
    }
    return true;
}

bool Song::reverseBeats(std::int32_t beat, std::int32_t n) {
    if (!holds(beat)) return false;
    n = std::clamp(n, 0, endBeat_ - beat);
    const auto first = static_cast<std::ptrdiff_t>(beat - firstBeat_);
    std::reverse(spans_.begin() + first, spans_.begin() + first + n);
    std::reverse(play_.begin() + first, play_.begin() + first + n);
    for (std::ptrdiff_t i = first; i < first + n; ++i) {
        play_[static_cast<std::size_t>(i)].reversed = !play_[static_cast<std::size_t>(i)].reversed;
    }
    return true;
}

void Song::moveByBeats(std::int32_t n) {
    firstBeat_ += n;
    endBeat_ += n;
}

bool Song::fade(std::int32_t beat, const std::string& type, std::int32_t n) {
    if (type != "in" && type != "out") fatalError("Unknown type of fade.", __FILE__, __LINE__);
    if (!holds(beat)) return false;
    const float from = type == "in" ? 0.0f : 1.0f;
    const float to = 1.0f - from;
    const std::int32_t slot = beat - firstBeat_;
    n = std::clamp(n, 0, count() - slot);
    std::int64_t total = 0;
    for (std::int32_t i = slot; i < slot + n; ++i) total += spans_[static_cast<std::size_t>(i)].length;
    if (total <= 0) return true;
    const float step = (to - from) / static_cast<float>(total);
    std::int64_t before = 0;
    for (std::int32_t i = slot; i < slot + n; ++i) {
        SongBeat& play = play_[static_cast<std::size_t>(i)];
        play.gainStart = from + step * static_cast<float>(before);
        before += spans_[static_cast<std::size_t>(i)].length;
        play.gainEnd = from + step * static_cast<float>(before);
    }
    return true;
}
