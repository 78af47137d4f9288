#include "audio/SampleConversion.h"

#include <cstring>
#include <emmintrin.h>

namespace {

struct Width {
    float scale;
    float low;   // the smallest integer, as a float
    float high;  // products at or above it give highInt
    std::int32_t lowInt;
    std::int32_t highInt;
};

constexpr Width width16{32767.0f, -32768.0f, 32767.0f, -32768, 32767};
constexpr Width width24{8388607.0f, -8388608.0f, 8388607.0f, -8388608, 8388607};
// 2^31 - 1 is not a float: products from 2^31 up clamp to the top.
constexpr Width width32{2147483648.0f, -2147483648.0f, 2147483648.0f, INT32_MIN, INT32_MAX};

const Width* widthOf(int bits) {
    switch (bits) {
    case 16: return &width16;
    case 24: return &width24;
    case 32: return &width32;
    default: return nullptr;
    }
}

inline std::int32_t convertOne(float sample, const Width& width) {
    const float product = sample * width.scale;
    if (product != product) return 0;
    if (product >= width.high) return width.highInt;
    if (product <= width.low) return width.lowInt;
    return static_cast<std::int32_t>(product);
}

inline void store(std::uint8_t* out, std::int32_t value, int bits) {
    // Little-endian, the low bits of the value.
    switch (bits) {
    case 16: {
        const auto sample = static_cast<std::int16_t>(value);
        std::memcpy(out, &sample, 2);
        break;
    }
    case 24:
        out[0] = static_cast<std::uint8_t>(value);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[2] = static_cast<std::uint8_t>(value >> 16);
        break;
    default: std::memcpy(out, &value, 4); break;
    }
}

void convertScalar(const float* const* channels, int channelCount, int first, int frames, const Width& width,
                   int bits, std::uint8_t* out) {
    const int bytes = bits / 8;
    std::uint8_t* at = out + static_cast<std::size_t>(first) * static_cast<std::size_t>(channelCount) * bytes;
    for (int frame = first; frame < frames; ++frame) {
        for (int channel = 0; channel < channelCount; ++channel) {
            store(at, convertOne(channels[channel][frame], width), bits);
            at += bytes;
        }
    }
}

// Four samples at once, with the same results as convertOne.
struct Lanes {
    __m128 scale;
    __m128 low;
    __m128 high;
    bool wide;  // 32 bits: the top is found by comparison, not by min
};

inline Lanes lanesOf(const Width& width, int bits) {
    return {_mm_set1_ps(width.scale), _mm_set1_ps(width.low), _mm_set1_ps(width.high), bits == 32};
}

inline __m128i convert4(__m128 samples, const Lanes& lanes) {
    __m128 product = _mm_mul_ps(samples, lanes.scale);
    product = _mm_and_ps(product, _mm_cmpord_ps(product, product));  // NaN -> 0
    if (lanes.wide) {
        // cvttps gives 0x80000000 from 2^31 up; flipping every bit of those
        // lanes makes them 0x7FFFFFFF. Below -2^31 it already is the bottom.
        const __m128 top = _mm_cmpge_ps(product, lanes.high);
        return _mm_xor_si128(_mm_cvttps_epi32(product), _mm_castps_si128(top));
    }
    product = _mm_min_ps(_mm_max_ps(product, lanes.low), lanes.high);
    return _mm_cvttps_epi32(product);
}

// Returns the number of frames done; the rest goes the scalar way.
int convertStereo16(const float* left, const float* right, int frames, const Lanes& lanes, std::uint8_t* out) {
    int frame = 0;
    for (; frame + 8 <= frames; frame += 8) {
        const __m128i l = _mm_packs_epi32(convert4(_mm_loadu_ps(left + frame), lanes),
                                          convert4(_mm_loadu_ps(left + frame + 4), lanes));
        const __m128i r = _mm_packs_epi32(convert4(_mm_loadu_ps(right + frame), lanes),
                                          convert4(_mm_loadu_ps(right + frame + 4), lanes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 4), _mm_unpacklo_epi16(l, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 4 + 16), _mm_unpackhi_epi16(l, r));
    }
    return frame;
}

int convertMono16(const float* samples, int frames, const Lanes& lanes, std::uint8_t* out) {
    int frame = 0;
    for (; frame + 8 <= frames; frame += 8) {
        const __m128i packed = _mm_packs_epi32(convert4(_mm_loadu_ps(samples + frame), lanes),
                                               convert4(_mm_loadu_ps(samples + frame + 4), lanes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 2), packed);
    }
    return frame;
}

int convertStereo32(const float* left, const float* right, int frames, const Lanes& lanes, std::uint8_t* out) {
    int frame = 0;
    for (; frame + 4 <= frames; frame += 4) {
        const __m128i l = convert4(_mm_loadu_ps(left + frame), lanes);
        const __m128i r = convert4(_mm_loadu_ps(right + frame), lanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 8), _mm_unpacklo_epi32(l, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 8 + 16), _mm_unpackhi_epi32(l, r));
    }
    return frame;
}

int convertMono32(const float* samples, int frames, const Lanes& lanes, std::uint8_t* out) {
    int frame = 0;
    for (; frame + 4 <= frames; frame += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + frame * 4), convert4(_mm_loadu_ps(samples + frame), lanes));
    }
    return frame;
}

// Any channel count and width: four frames of every channel into 32-bit
// lanes, then stored interleaved.
int convertGeneral(const float* const* channels, int channelCount, int frames, const Lanes& lanes, int bits,
                   std::uint8_t* out) {
    constexpr int maxChannels = 32;
    if (channelCount > maxChannels) return 0;
    alignas(16) std::int32_t values[maxChannels][4];
    const int bytes = bits / 8;
    int frame = 0;
    for (; frame + 4 <= frames; frame += 4) {
        for (int channel = 0; channel < channelCount; ++channel) {
            _mm_store_si128(reinterpret_cast<__m128i*>(values[channel]),
                            convert4(_mm_loadu_ps(channels[channel] + frame), lanes));
        }
        std::uint8_t* at = out + static_cast<std::size_t>(frame) * static_cast<std::size_t>(channelCount) * bytes;
        for (int lane = 0; lane < 4; ++lane) {
            for (int channel = 0; channel < channelCount; ++channel) {
                store(at, values[channel][lane], bits);
                at += bytes;
            }
        }
    }
    return frame;
}

}  // namespace

float conversionScale(int bitsPerSample) {
    if (bitsPerSample < 2 || bitsPerSample > 32) return 0.0f;
    return static_cast<float>((std::int64_t{1} << (bitsPerSample - 1)) - 1);
}

std::int32_t convertSample(float sample, int bitsPerSample) {
    const Width* width = widthOf(bitsPerSample);
    return width == nullptr ? 0 : convertOne(sample, *width);
}

void interleaveSamplesScalar(const float* const* channels, int channelCount, int frames, int bitsPerSample,
                             std::uint8_t* out) {
    const Width* width = widthOf(bitsPerSample);
    if (width == nullptr || channelCount < 1 || frames < 1) return;
    convertScalar(channels, channelCount, 0, frames, *width, bitsPerSample, out);
}

void interleaveSamples(const float* const* channels, int channelCount, int frames, int bitsPerSample,
                       std::uint8_t* out) {
    const Width* width = widthOf(bitsPerSample);
    if (width == nullptr || channelCount < 1 || frames < 1) return;
    const Lanes lanes = lanesOf(*width, bitsPerSample);
    int done = 0;
    if (bitsPerSample == 16 && channelCount == 2) {
        done = convertStereo16(channels[0], channels[1], frames, lanes, out);
    } else if (bitsPerSample == 16 && channelCount == 1) {
        done = convertMono16(channels[0], frames, lanes, out);
    } else if (bitsPerSample == 32 && channelCount == 2) {
        done = convertStereo32(channels[0], channels[1], frames, lanes, out);
    } else if (bitsPerSample == 32 && channelCount == 1) {
        done = convertMono32(channels[0], frames, lanes, out);
    } else {
        done = convertGeneral(channels, channelCount, frames, lanes, bitsPerSample, out);
    }
    convertScalar(channels, channelCount, done, frames, *width, bitsPerSample, out);
}
