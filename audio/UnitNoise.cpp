#include "audio/UnitNoise.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "primitives.h"

UnitNoise::UnitNoise(const FormatAudio& format, float amplitude)
    : format_(format), amplitude_(amplitude), buffer_(allocateZeroedFloats(maximumBlock)) {}

UnitNoise::~UnitNoise() { releaseAligned(buffer_); }

void UnitNoise::fill(float* buffer, std::int32_t n) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (n <= 0) return;
    reportPrimitiveError(zaviRandUniform_Direct_32f(buffer, n, -amplitude_, amplitude_, &seed_),
                         __FILE__, __LINE__);
}

void UnitNoise::add(float* const* channels, std::int32_t start, std::int32_t n) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (n <= 0) return;
    fill(buffer_, n);
    for (std::int32_t c = 0; c < format_.channels; ++c) {
        reportPrimitiveError(zaviAdd_32f_I(buffer_, channels[c] + start, n), __FILE__, __LINE__);
    }
}
