// Requantisation of one granule (both channels) in place, with mid/side and
// intensity stereo split around it, and the reordering of short blocks into
// the layout the inverse MDCT reads. Huffman integers in, Q26 out (value x
// 2^26, truncated toward zero, saturated at +-0x7FFFFFFF).
//
// The driver is shared; each build supplies through the policy K:
//
//   K::requantizeBand(src, dst, count, a)   sign(x) |x|^(4/3) 2^(-a/4) in Q26;
//                                          -2 for a magnitude above 8206
//   K::zeroBytes(dst, bytes), K::copyBytes(src, dst, bytes),
//   K::fillWords(dst, count)                the build's memory kernels
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "primitives.h"
#include "primitives/mp3/Mp3FixedPoint.h"
#include "primitives/mp3/Mp3SignalTables.h"
#include "primitives/mp3/Mp3Tables.h"

namespace primitives::mp3 {

// ---- |x|^(4/3) 2^(-a/4) of one value ----------------------------------------

// c << shift, saturated at 0x7FFFFFFF (c >= 0, shift >= 1).
inline int32_t saturatingShiftLeft(int32_t c, int32_t shift) {
    if (c == 0) return 0;
    if (shift >= 31 || c > (0x7FFFFFFF >> shift)) return 0x7FFFFFFF;
    return c << shift;
}

// c >> shift for shift >= 0 (at most 31), else c << -shift saturated.
inline int32_t scaleByShift(int32_t c, int32_t shift) {
    return shift >= 0 ? c >> std::min(shift, 31) : saturatingShiftLeft(c, -shift);
}

// The generic and SSE builds' method: small tables below 129, Horner's rule
// on the normalised magnitude above. m in 1..8206.
inline int32_t powerByPolynomial(int32_t m, int32_t a) {
    const int32_t k = a & 3;
    const int32_t e = a >> 2;
    if (m < 4) return scaleByShift(kPowerSmall[16 * k + m], e + 2);
    if (m < 16) return scaleByShift(kPowerSmall[16 * k + m], e - 1);

    int32_t d;
    int32_t q;
    if (m <= 128) {
        d = kPowerMedium[m - 16];
        q = m < 64 ? 4 : 6;
    } else {
        uint32_t u = static_cast<uint32_t>(m) << 17;
        int32_t shift = 0;
        if (u < (1u << 27)) {
            u <<= 4;
            shift = 4;
        }
        if (u < (1u << 29)) {
            u <<= 2;
            shift += 2;
        }
        if (u < (1u << 30)) {
            u <<= 1;
            shift += 1;
        }
        const int32_t un = static_cast<int32_t>(u);
        int32_t h = mulHigh(un, kPowerPolynomialLead);
        for (int32_t coefficient : kPowerPolynomial) h = mulHigh(un, wrapAdd(h, coefficient));
        const int32_t p = static_cast<int32_t>(static_cast<uint32_t>(wrapAdd(h, kPowerPolynomialOffset)) << 4);
        d = wrapTwice(mulHigh(kNormalisationFactor[shift], p));
        q = 27 - kNormalisationShift[shift];
    }
    const int32_t c = mulHigh(kQuarterStepFractions[k], d);
    return scaleByShift(c, e - q);
}

// The SSE2-class builds' method for one value: the 8207-entry table times
// 2^(k'/4) (Q30) as a 64-bit product, shifted right by 18 - ((-a) >> 2).
inline int32_t powerByTable(int32_t m, int32_t a) {
    const int32_t n = -a;
    const uint64_t product = static_cast<uint64_t>(kPowerTable[m]) * kQuarterStepPowers[n & 3];
    const int32_t shift = 18 - (n >> 2);
    if (shift < 0) return product == 0 ? 0 : 0x7FFFFFFF;
    const uint64_t value = shift >= 64 ? 0 : product >> shift;
    return value >= 0x80000000u ? 0x7FFFFFFF : static_cast<int32_t>(value);
}

inline int32_t withSign(int32_t x, int32_t magnitude) { return x < 0 ? -magnitude : magnitude; }

// Magnitudes of Huffman values never exceed 8206; anything above is corrupt.
constexpr int32_t kLargestMagnitude = 8206;

// ---- The granule ---------------------------------------------------------------

namespace requantization {

constexpr int32_t kMarkRow = 40;

struct Channel {
    const MP3SideInfo* side = nullptr;
    const int8_t* scaleFactors = nullptr;
    int32_t* area = nullptr;  // the channel's 576 values
    int32_t* data = nullptr;  // where its requantised values go: area, or the separate short area
    bool shortBlocks = false;
    bool mixed = false;
    int32_t bound = 0;        // nonzero bound, lines
    int32_t shortStart = 0;   // first short band: 0, or 3 for mixed blocks
    int32_t longCount = 0;    // long bands before the short part (mixed: 8 MPEG-1, 6 MPEG-2)
    int32_t bandBound[3] = {};  // per window: one past the last short band with a nonzero value
    int32_t shortBound = 0;     // largest per-window frequency bound, lines of one window
    uint8_t* marks = nullptr;
};

inline int32_t scaleFactorMagnitude(int8_t value) { return value < 0 ? -value : value; }

// Scale-factor (and mark) index of short band j, window w.
inline int32_t shortIndex(const Channel& c, int32_t j, int32_t w) {
    return c.longCount + (j - c.shortStart) * 3 + w;
}

// Per-window band and frequency bounds of a short-block channel from its
// Huffman values (still in the stream's order: band by band, three windows
// per band).
inline void findShortBounds(Channel& c, const int16_t* bands) {
    int32_t top = -1;
    for (int32_t i = 12; i >= c.shortStart; --i) {
        if (3 * bands[i] < c.bound) {
            top = i;
            break;
        }
    }
    c.shortBound = 0;
    for (int32_t w = 0; w < 3; ++w) {
        c.bandBound[w] = c.shortStart;
        int32_t frequencyBound = bands[c.shortStart];
        for (int32_t j = top; j >= c.shortStart; --j) {
            const int32_t width = bands[j + 1] - bands[j];
            const int32_t* values = c.area + 3 * bands[j] + w * width;
            int32_t last = width - 1;
            while (last >= 0 && values[last] == 0) --last;
            if (last >= 0) {
                c.bandBound[w] = j + 1;
                frequencyBound = bands[j] + last + 1;
                break;
            }
        }
        c.shortBound = std::max(c.shortBound, frequencyBound);
    }
}

// An intensity position that the stream marks as not coded (MPEG-1 7,
// MPEG-2 negative).
inline bool illegalPosition(int32_t id, int32_t position) { return id == 1 ? position == 7 : position < 0; }

template <typename K>
class Granule {
public:
    Granule(int32_t* spectrum, int32_t* work, const int8_t* scaleFactors, const MP3SideInfo* sideInfo,
            const MP3FrameHeader& header)
        : spectrum_(spectrum),
          work_(work),
          scaleFactors_(scaleFactors),
          sideInfo_(sideInfo),
          id_(header.id),
          longBands_(kLongBandBounds[header.id][header.sampling_frequency]),
          shortBands_(kShortBandBounds[header.id][header.sampling_frequency]),
          midSide_(header.mode == 1 && (header.mode_extension & 2) != 0),
          intensity_(header.mode == 1 && (header.mode_extension & 1) != 0),
          channels_(header.mode == 3 ? 1 : 2) {}

    PrimitiveStatus run(int32_t* bounds) {
        const bool stereo = midSide_ || intensity_;
        if (stereo && (sideInfo_[0].block_type != sideInfo_[1].block_type ||
                       sideInfo_[0].mixed_block_flag != sideInfo_[1].mixed_block_flag)) {
            return primitiveStatusBadMp3SideInfo;
        }
        bool workTaken = false;
        for (int32_t c = 0; c < channels_; ++c) {
            const MP3SideInfo& side = sideInfo_[c];
            if (side.block_type < 0 || side.block_type > 3 || side.mixed_block_flag < 0 || side.mixed_block_flag > 1) {
                return primitiveStatusBadMp3SideInfo;
            }
            if (bounds[c] < 0 || bounds[c] > 576) return primitiveStatusBadArgument;
            Channel& x = ch_[c];
            x.side = &side;
            x.scaleFactors = scaleFactors_ + kMarkRow * c;
            x.area = spectrum_ + 576 * c;
            x.data = x.area;
            x.bound = bounds[c];
            x.marks = marks_[c];
            x.shortBlocks = side.block_type == 2;
            if (x.shortBlocks) {
                x.mixed = side.mixed_block_flag == 1;
                x.shortStart = x.mixed ? 3 : 0;
                x.longCount = x.mixed ? (id_ == 1 ? 8 : 6) : 0;
                findShortBounds(x, shortBands_);
                x.data = workTaken ? spectrum_ : work_;
                workTaken = true;
            }
        }

        K::zeroBytes(marks_, sizeof marks_);
        if (stereo) {
            prepareStereo();
        } else {
            for (int32_t c = 0; c < channels_; ++c) {
                if (ch_[c].shortBlocks) ch_[c].bound = 3 * ch_[c].shortBound;
            }
        }

        for (int32_t c = 0; c < channels_; ++c) {
            if (const PrimitiveStatus status = requantizeChannel(ch_[c]); status != primitiveStatusOk) return status;
        }
        if (stereo) {
            if (const PrimitiveStatus status = applyStereo(); status != primitiveStatusOk) return status;
        }

        for (int32_t c = channels_ - 1; c >= 0; --c) {
            Channel& x = ch_[c];
            int32_t limit = x.bound;
            if (x.shortBlocks) {
                limit = (limit + 17) / 18 * 18;
                reorder(x, limit);
            }
            while (limit > 0 && x.area[limit - 1] == 0) --limit;
            bounds[c] = limit;
        }
        return primitiveStatusOk;
    }

private:
    int32_t longStart(int32_t band) const { return longBands_[band]; }
    int32_t shortWidth(int32_t band) const { return shortBands_[band + 1] - shortBands_[band]; }
    // First value of short band j, window w, in the stream's order.
    int32_t shortOffset(int32_t band, int32_t window) const {
        return 3 * shortBands_[band] + window * shortWidth(band);
    }

    int32_t longExponent(const Channel& x, int32_t band, int32_t gain, int32_t shift) const {
        const int32_t emphasis = x.side->preflag * kPretab[band];
        return x.marks[band] - gain + 210 + ((scaleFactorMagnitude(x.scaleFactors[band]) + emphasis) << shift);
    }

    PrimitiveStatus requantizeChannel(Channel& x) {
        const MP3SideInfo& side = *x.side;
        if (side.global_gain < 0 || side.global_gain > 255 || side.scalefac_scale < 0 || side.scalefac_scale > 1 ||
            side.preflag < 0 || side.preflag > 1) {
            return primitiveStatusBadMp3SideInfo;
        }
        const int32_t gain = side.global_gain;
        const int32_t shift = side.scalefac_scale + 1;
        if (!x.shortBlocks) {
            for (int32_t b = 0; b < 22 && longStart(b) < x.bound; ++b) {
                const int32_t begin = longStart(b);
                const PrimitiveStatus status = K::requantizeBand(x.area + begin, x.area + begin,
                                                                 longStart(b + 1) - begin,
                                                                 longExponent(x, b, gain, shift));
                if (status != primitiveStatusOk) return status;
            }
            return primitiveStatusOk;
        }
        for (int32_t b = 0; b < x.longCount; ++b) {
            const int32_t begin = longStart(b);
            const PrimitiveStatus status = K::requantizeBand(x.area + begin, x.data + begin, longStart(b + 1) - begin,
                                                             longExponent(x, b, gain, shift));
            if (status != primitiveStatusOk) return status;
        }
        for (int32_t w = 0; w < 3; ++w) {
            const int32_t subblockGain = side.subblock_gain[w];
            if (subblockGain < 0 || subblockGain > 7) return primitiveStatusUnspecifiedError;
            for (int32_t j = x.shortStart; j < x.bandBound[w]; ++j) {
                const int32_t i = shortIndex(x, j, w);
                const int32_t a =
                    x.marks[i] + (scaleFactorMagnitude(x.scaleFactors[i]) << shift) + 8 * subblockGain - gain + 210;
                const int32_t offset = shortOffset(j, w);
                const PrimitiveStatus status = K::requantizeBand(x.area + offset, x.data + offset, shortWidth(j), a);
                if (status != primitiveStatusOk) return status;
            }
        }
        return primitiveStatusOk;
    }

    // Marks, intensity starts and common bounds, before requantisation.
    void prepareStereo() {
        Channel& left = ch_[0];
        Channel& right = ch_[1];
        if (!left.shortBlocks || left.mixed) {
            int32_t b = intensity_ ? right.bound : std::max(left.bound, right.bound);
            const int32_t bandCount = left.mixed ? left.longCount : 22;
            if (left.mixed) b = std::min(b, 36);
            longStereoStart_ = 0;
            while (longStereoStart_ < bandCount && longStart(longStereoStart_) < b) ++longStereoStart_;
            if (midSide_) {
                for (int32_t band = 0; band < longStereoStart_; ++band) left.marks[band] = right.marks[band] = 2;
                if (intensity_) {
                    for (int32_t band = longStereoStart_; band < bandCount; ++band) {
                        if (illegalPosition(id_, right.scaleFactors[band])) left.marks[band] = 2;
                    }
                }
            }
        }
        if (left.shortBlocks) {
            for (int32_t w = 0; w < 3; ++w) {
                shortStereoStart_[w] =
                    intensity_ ? right.bandBound[w] : std::max(left.bandBound[w], right.bandBound[w]);
                if (midSide_) {
                    for (int32_t j = left.shortStart; j < shortStereoStart_[w]; ++j) {
                        left.marks[shortIndex(left, j, w)] = right.marks[shortIndex(right, j, w)] = 2;
                    }
                    if (intensity_) {
                        for (int32_t j = shortStereoStart_[w]; j < left.bandBound[w]; ++j) {
                            const int32_t i = shortIndex(right, j, w);
                            if (illegalPosition(id_, right.scaleFactors[i])) left.marks[shortIndex(left, j, w)] = 2;
                        }
                    }
                }
                left.bandBound[w] = right.bandBound[w] = std::max(left.bandBound[w], right.bandBound[w]);
            }
        }
    }

    // The intensity weights of one band of `count` lines from position p.
    PrimitiveStatus intensityBand(int32_t* l, int32_t* r, int32_t count, int32_t p, bool longBand) {
        if (id_ == 1) {
            if (p < 0 || p > 7) return primitiveStatusUnspecifiedError;
            if (p == 7 && (midSide_ || longBand)) {
                if (midSide_) K::copyBytes(l, r, 4 * count);
                return primitiveStatusOk;
            }
            const int32_t weight = kIntensityWeights[p];
            for (int32_t i = 0; i < count; ++i) {
                const int32_t scaled = mulQ31(l[i], weight);
                r[i] = wrapSub(l[i], scaled);
                l[i] = scaled;
            }
            return primitiveStatusOk;
        }
        if (p < 0 && !midSide_) {
            if (!longBand) K::fillWords(r, count);
            return primitiveStatusOk;
        }
        const int32_t d = p < 0 ? 0 : ((p + 1) >> 1) << intensityScale_;
        const int32_t fraction = kQuarterStepFractions[d & 3];
        const int32_t shift = std::min(d >> 2, 31);
        const bool odd = p >= 0 && (p & 1) != 0;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t weighted = mulQ31(l[i], fraction) >> shift;
            if (odd) {
                r[i] = l[i];
                l[i] = weighted;
            } else {
                r[i] = weighted;
            }
        }
        return primitiveStatusOk;
    }

    static void midSideBand(int32_t* l, int32_t* r, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            const int32_t m = l[i];
            const int32_t s = r[i];
            l[i] = wrapAdd(m, s);
            r[i] = wrapSub(m, s);
        }
    }

    PrimitiveStatus applyStereo() {
        Channel& left = ch_[0];
        Channel& right = ch_[1];
        intensityScale_ = right.side->scalefac_compress & 1;
        int32_t* l = left.data;
        int32_t* r = right.data;
        if (!left.shortBlocks || left.mixed) {
            int32_t end;
            if (left.mixed) {
                end = std::min(left.bound, 36);
                left.bound = end;
            } else {
                end = std::max(left.bound, right.bound);
                left.bound = right.bound = end;
            }
            if (midSide_) midSideBand(l, r, longStart(longStereoStart_));
            if (intensity_) {
                for (int32_t b = longStereoStart_; b < 22 && longStart(b) < end; ++b) {
                    const int32_t begin = longStart(b);
                    const PrimitiveStatus status =
                        intensityBand(l + begin, r + begin, longStart(b + 1) - begin, right.scaleFactors[b], true);
                    if (status != primitiveStatusOk) return status;
                }
            }
        }
        if (left.shortBlocks) {
            for (int32_t w = 0; w < 3; ++w) {
                for (int32_t j = left.shortStart; j < left.bandBound[w]; ++j) {
                    const int32_t offset = shortOffset(j, w);
                    if (j < shortStereoStart_[w]) {
                        if (midSide_) midSideBand(l + offset, r + offset, shortWidth(j));
                    } else if (intensity_) {
                        const int32_t p = right.scaleFactors[shortIndex(right, j, w)];
                        const PrimitiveStatus status = intensityBand(l + offset, r + offset, shortWidth(j), p, false);
                        if (status != primitiveStatusOk) return status;
                    }
                }
            }
            left.bound = right.bound = 3 * std::max(left.shortBound, right.shortBound);
        }
        return primitiveStatusOk;
    }

    // Short values from the stream's order (band by band, three windows per
    // band) into six values of each window per sub-band, up to `limit` lines
    // (a multiple of 18); slots past a window's last band are zero.
    void reorder(const Channel& x, int32_t limit) {
        if (x.mixed) K::copyBytes(x.data, x.area, 36 * 4);
        const int32_t top = limit / 3;  // lines per window below the limit
        for (int32_t w = 0; w < 3; ++w) {
            int32_t f = shortBands_[x.shortStart];
            for (int32_t j = x.shortStart; j < 13 && f < top; ++j) {
                const int32_t width = shortWidth(j);
                const int32_t* values = x.data + shortOffset(j, w);
                const bool present = j < x.bandBound[w];
                for (int32_t n = 0; n < width && f < top; ++n, ++f) {
                    x.area[18 * (f / 6) + 6 * w + f % 6] = present ? values[n] : 0;
                }
            }
        }
    }

    int32_t* spectrum_;
    int32_t* work_;
    const int8_t* scaleFactors_;
    const MP3SideInfo* sideInfo_;
    int32_t id_;
    const int16_t* longBands_;
    const int16_t* shortBands_;
    bool midSide_;
    bool intensity_;
    int32_t channels_;
    Channel ch_[2];
    alignas(16) uint8_t marks_[2][kMarkRow];
    int32_t longStereoStart_ = 0;
    int32_t shortStereoStart_[3] = {};
    int32_t intensityScale_ = 0;
};

}  // namespace requantization

template <typename K>
PrimitiveStatus requantizeGranule(int32_t* spectrum, int32_t* bounds, const int8_t* scaleFactors,
                                  const MP3SideInfo* sideInfo, const MP3FrameHeader* header, int32_t* work) {
    if (spectrum == nullptr || bounds == nullptr || scaleFactors == nullptr || sideInfo == nullptr ||
        header == nullptr || work == nullptr) {
        return primitiveStatusNullPointer;
    }
    if (header->id < 0 || header->id > 1 || header->sampling_frequency < 0 || header->sampling_frequency > 2 ||
        header->mode < 0 || header->mode > 3 || header->mode_extension < 0 || header->mode_extension > 3) {
        return primitiveStatusBadMp3FrameHeader;
    }
    requantization::Granule<K> granule(spectrum, work, scaleFactors, sideInfo, *header);
    return granule.run(bounds);
}

// The band routine of the generic and SSE builds.
inline PrimitiveStatus requantizeBandByPolynomial(const int32_t* src, int32_t* dst, int32_t count, int32_t a) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = src[i];
        const uint32_t m = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
        if (m > kLargestMagnitude) return primitiveStatusUnspecifiedError;
        dst[i] = m == 0 ? 0 : withSign(x, powerByPolynomial(static_cast<int32_t>(m), a));
    }
    return primitiveStatusOk;
}

// The band routine of the SSE2 and SSE3-class builds: two values at a time,
// their table entries in the even lanes of one register, one packed
// 32 x 32 -> 64-bit product and one 64-bit shift for both.
inline PrimitiveStatus requantizeBandByTable(const int32_t* src, int32_t* dst, int32_t count, int32_t a) {
    const int32_t n = -a;
    const int32_t shift = 18 - (n >> 2);
    int32_t i = 0;
    if (shift >= 0) {
        const __m128i factor = _mm_set_epi32(0, static_cast<int32_t>(kQuarterStepPowers[n & 3]), 0,
                                             static_cast<int32_t>(kQuarterStepPowers[n & 3]));
        const __m128i count64 = _mm_cvtsi32_si128(shift);
        for (; i + 1 < count; i += 2) {
            const int32_t x0 = src[i];
            const int32_t x1 = src[i + 1];
            const uint32_t m0 = x0 < 0 ? 0u - static_cast<uint32_t>(x0) : static_cast<uint32_t>(x0);
            const uint32_t m1 = x1 < 0 ? 0u - static_cast<uint32_t>(x1) : static_cast<uint32_t>(x1);
            if (m0 > kLargestMagnitude || m1 > kLargestMagnitude) break;  // the scalar tail reports it
            const __m128i entries = _mm_set_epi32(0, static_cast<int32_t>(kPowerTable[m1]), 0,
                                                  static_cast<int32_t>(kPowerTable[m0]));
            const __m128i values = _mm_srl_epi64(_mm_mul_epu32(entries, factor), count64);
            const uint64_t v0 = static_cast<uint64_t>(_mm_cvtsi128_si64(values));
            const uint64_t v1 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(values, values)));
            dst[i] = withSign(x0, v0 >= 0x80000000u ? 0x7FFFFFFF : static_cast<int32_t>(v0));
            dst[i + 1] = withSign(x1, v1 >= 0x80000000u ? 0x7FFFFFFF : static_cast<int32_t>(v1));
        }
    }
    for (; i < count; ++i) {
        const int32_t x = src[i];
        const uint32_t m = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
        if (m > kLargestMagnitude) return primitiveStatusUnspecifiedError;
        dst[i] = m == 0 ? 0 : withSign(x, powerByTable(static_cast<int32_t>(m), a));
    }
    return primitiveStatusOk;
}

}  // namespace primitives::mp3
