#include "audio/SongRenderer.h"

#include "audio/AlignedFloats.h"
#include "audio/CrossfadeCurve.h"
#include "audio/Interpolator.h"
#include "audio/TimeScaler.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>
#include <cmath>

namespace {

// Ring index b + t, for negative t too.
std::int32_t wrap(std::int64_t position, std::int32_t size) {
    const std::int64_t r = position % size;
    return static_cast<std::int32_t>(r < 0 ? r + size : r);
}

void zeroRange(float* ring, std::int32_t size, std::int64_t from, std::int64_t count) {
    for (std::int64_t t = 0; t < count; ++t) ring[wrap(from + t, size)] = 0.0f;
}

}  // namespace

SongRenderer::SongRenderer(Interpolator& interpolator, TimeScaler& timeScaler, float minimumTempo,
                           std::int32_t maximumRead)
    : interpolator_(interpolator),
      timeScaler_(timeScaler),
      workFrames_(static_cast<std::int32_t>((60.0f / minimumTempo + 0.5f) * 44100.0f + 0.5f)),
      maximumRead_(maximumRead) {
    work_[0] = allocateZeroedFloats(workFrames_);
    work_[1] = allocateZeroedFloats(workFrames_);
    scratch_ = allocateZeroedFloats(maximumRead_);
}

SongRenderer::~SongRenderer() {
    releaseAligned(work_[0]);
    releaseAligned(work_[1]);
    releaseAligned(scratch_);
}

void SongRenderer::renderSilence(const DeckRings& rings, std::int32_t b, std::int32_t count, std::int32_t n) {
    const std::int32_t half = n / 2;
    float* overlap[] = {rings.overlapLeft, rings.overlapRight};
    float* main[] = {rings.mainLeft, rings.mainRight};
    for (int c = 0; c < 2; ++c) {
        zeroRange(overlap[c], rings.size, static_cast<std::int64_t>(b) - half, half);
        zeroRange(main[c], rings.size, b, count);
        // Between the previous beat's tail and the next beat's fade-in, as
        // a played beat leaves it.
        zeroRange(overlap[c], rings.size, static_cast<std::int64_t>(b) + (n - half),
                  std::max(0, count - n));
        // Where this beat's own fade-out would end: all n - half frames, so
        // that an odd overlap leaves nothing of an earlier render.
        zeroRange(overlap[c], rings.size, static_cast<std::int64_t>(b) + count, n - half);
    }
}

void SongRenderer::renderBeat(SongFrameSource& source, const SongSpan& span, const SongBeat& play,
                              const DeckRings& rings, std::int32_t b, std::int32_t count, std::int32_t n,
                              bool timeScaling, float knee) {
    if (n > count) {
        // Only a damaged grid or overlap setting gets here; the beat plays
        // with the largest overlap it has room for.
        if (!overlapLogged_) logMessage("Overlap too big.", __FILE__, __LINE__);
        overlapLogged_ = true;
        n = count;
    }
    if (play.paused || count <= 0) {
        renderSilence(rings, b, std::max(count, 0), n);
        return;
    }
    const std::int32_t half = n / 2;
    const std::int32_t p = span.position;
    const std::int32_t v = span.length;
    const float h = static_cast<float>(count) / static_cast<float>(v);
    const bool copy = count == v;
    const std::int32_t a = timeScaling && !copy ? timeScaler_.frameSize() : 4;
    const auto halfSong = static_cast<std::int32_t>(static_cast<float>(half) / h + 0.5f);
    const std::int64_t d64 = static_cast<std::int64_t>(v) + 2 * a + 2 * halfSong + 1;
    // Frames the fit writes: the interpolator one more than the time scaler.
    const std::int64_t fitted =
        copy ? d64 : static_cast<std::int64_t>(static_cast<double>(d64) * h) + (timeScaling ? 0 : 1);
    const std::int32_t e = copy ? a : (timeScaling ? static_cast<std::int32_t>(a * h + 0.5f) : 0);
    // Every work frame the lay-down reads must have been written.
    if (v <= 0 || d64 > maximumRead_ || fitted > workFrames_ || e + count + n > fitted) {
        if (!tooLongLogged_) {
            logMessage("A beat of " + std::to_string(count) + " frames from " + std::to_string(v) +
                           " song frames does not fit: it plays as silence.",
                       __FILE__, __LINE__);
        }
        tooLongLogged_ = true;
        renderSilence(rings, b, count, n);
        return;
    }
    const auto d = static_cast<std::int32_t>(d64);
    float** frames = source.read(p - a - halfSong, d, false);
    const bool reversed = play.reversed;
    for (int c = 0; c < 2; ++c) {
        const float* in = frames[source.channels() > 1 ? c : 0];
        float* work = work_[c];
        if (copy) {
            reportPrimitiveError(dezoRide_32d(in, work, d), __FILE__, __LINE__);
            if (reversed) reportPrimitiveError(zaviFlip_32f_I(work, d), __FILE__, __LINE__);
        } else if (timeScaling) {
            timeScaler_.process(in, work, d, h);
            if (reversed) {
                const auto flipped = static_cast<std::int32_t>(static_cast<double>(d) * h);
                reportPrimitiveError(zaviFlip_32f_I(work, flipped), __FILE__, __LINE__);
            }
        } else {
            // The read frames are the reader's; a reversed slot fits a
            // reversed copy of them, so its margins lie after the span's
            // end and before its start.
            const float* fitFrom = in;
            if (reversed) {
                reportPrimitiveError(dezoRide_32d(in, scratch_, d), __FILE__, __LINE__);
                reportPrimitiveError(zaviFlip_32f_I(scratch_, d), __FILE__, __LINE__);
                fitFrom = scratch_;
            }
            interpolator_.process(fitFrom, work, d, h, d);
        }
    }
    float* mains[] = {rings.mainLeft, rings.mainRight};
    float* overlaps[] = {rings.overlapLeft, rings.overlapRight};
    const float nf = static_cast<float>(n);
    const std::int64_t start = static_cast<std::int64_t>(b) - half;
    for (int c = 0; c < 2; ++c) {
        const float* w = work_[c] + e;
        float* main = mains[c];
        float* overlap = overlaps[c];
        for (std::int32_t j = 0; j < count + n; ++j) {
            const std::int32_t at = wrap(start + j, rings.size);
            if (j < half) {
                overlap[at] = static_cast<float>(j) / nf * w[j];
            } else if (j < n) {
                main[at] = static_cast<float>(j) / nf * w[j];
            } else if (j < count) {
                main[at] = w[j];
                overlap[at] = 0.0f;
            } else if (j < count + half) {
                main[at] = (1.0f - static_cast<float>(j - count) / nf) * w[j];
            } else {
                overlap[at] = (1.0f - static_cast<float>(j - count) / nf) * w[j];
            }
        }
    }
    if (play.gainStart == 1.0f && play.gainEnd == 1.0f) return;
    const float from = reversed ? play.gainEnd : play.gainStart;
    const float to = reversed ? play.gainStart : play.gainEnd;
    const float countF = static_cast<float>(count);
    const auto gain = [&](std::int64_t t) {
        return crossfadeCurve(1.0f - (from + (static_cast<float>(t) / countF) * (to - from)), knee);
    };
    for (int c = 0; c < 2; ++c) {
        for (std::int64_t t = -half; t < 0; ++t) overlaps[c][wrap(b + t, rings.size)] *= gain(t);
        for (std::int64_t t = 0; t < count; ++t) mains[c][wrap(b + t, rings.size)] *= gain(t);
        for (std::int64_t t = count; t < count + n - half; ++t) overlaps[c][wrap(b + t, rings.size)] *= gain(t);
    }
}
