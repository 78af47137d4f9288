#include "RequantizationModel.h"

#include <cmath>
#include <numbers>

namespace primitives::test {
namespace {

constexpr int32_t kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

struct Layout {
    const std::vector<int32_t>* longBands;
    const std::vector<int32_t>* shortBands;
    bool shortBlocks;
    bool mixed;
    int32_t longCount;   // long bands before the short part
    int32_t shortStart;  // first short band

    int32_t shortWidth(int32_t j) const { return (*shortBands)[j + 1] - (*shortBands)[j]; }
    int32_t shortOffset(int32_t j, int32_t w) const { return 3 * (*shortBands)[j] + w * shortWidth(j); }
    int32_t shortIndex(int32_t j, int32_t w) const { return longCount + 3 * (j - shortStart) + w; }
    int32_t longEnd() const { return shortBlocks ? (mixed ? 36 : 0) : 576; }
};

Layout layoutOf(const GranuleInput& in, int32_t channel, const mp3gen::BandData& bands) {
    const int32_t row = in.header.id * 3 + in.header.sampling_frequency;
    Layout layout{&bands.longRows[row].bounds, &bands.shortRows[row].bounds, in.side[channel].block_type == 2,
                  false, 22, 0};
    if (layout.shortBlocks) {
        layout.mixed = in.side[channel].mixed_block_flag == 1;
        layout.longCount = layout.mixed ? (in.header.id == 1 ? 8 : 6) : 0;
        layout.shortStart = layout.mixed ? 3 : 0;
    }
    return layout;
}

std::array<double, 576> requantizeChannel(const GranuleInput& in, int32_t c, const Layout& layout) {
    const MP3SideInfo& side = in.side[c];
    const double multiplier = 0.5 * (1 + side.scalefac_scale);
    const int8_t* sf = in.scaleFactors[c];
    std::array<double, 576> xr{};
    const auto power = [&](int32_t x, double exponent) {
        return (x < 0 ? -1 : 1) * std::pow(std::abs(x), 4.0 / 3) * std::exp2(exponent) * 67108864.0;
    };
    for (int32_t b = 0; b < 22 && (*layout.longBands)[b] < layout.longEnd(); ++b) {
        const double exponent =
            0.25 * (side.global_gain - 210) - multiplier * (std::abs(sf[b]) + side.preflag * kPretab[b]);
        for (int32_t i = (*layout.longBands)[b]; i < (*layout.longBands)[b + 1]; ++i) {
            xr[i] = power(in.values[c][i], exponent);
        }
    }
    if (layout.shortBlocks) {
        for (int32_t j = layout.shortStart; j < 13; ++j) {
            for (int32_t w = 0; w < 3; ++w) {
                const double exponent = 0.25 * (side.global_gain - 210 - 8 * side.subblock_gain[w]) -
                                        multiplier * std::abs(sf[layout.shortIndex(j, w)]);
                const int32_t offset = layout.shortOffset(j, w);
                for (int32_t n = 0; n < layout.shortWidth(j); ++n) {
                    xr[offset + n] = power(in.values[c][offset + n], exponent);
                }
            }
        }
    }
    return xr;
}

// Left and right of one band of intensity-coded lines from position p.
void intensity(const GranuleInput& in, double* l, double* r, int32_t count, int32_t p, bool midSide) {
    const bool illegal = in.header.id == 1 ? p == 7 : p < 0;
    if (illegal) {
        if (midSide) {
            for (int32_t i = 0; i < count; ++i) l[i] = r[i] = (l[i] + r[i]) / std::numbers::sqrt2;
        }
        return;
    }
    double kl, kr;
    if (in.header.id == 1) {
        if (p == 6) {
            kl = 1;
            kr = 0;
        } else {
            const double ratio = std::tan(p * std::numbers::pi / 12);
            kl = ratio / (1 + ratio);
            kr = 1 / (1 + ratio);
        }
    } else {
        const double i0 = (in.side[1].scalefac_compress & 1) != 0 ? std::exp2(-0.5) : std::exp2(-0.25);
        kl = (p & 1) != 0 ? std::pow(i0, (p + 1) / 2) : 1;
        kr = (p & 1) != 0 ? 1 : std::pow(i0, p / 2);
    }
    for (int32_t i = 0; i < count; ++i) {
        r[i] = l[i] * kr;
        l[i] *= kl;
    }
}

void midSide(double* l, double* r, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double m = l[i];
        const double s = r[i];
        l[i] = (m + s) / std::numbers::sqrt2;
        r[i] = (m - s) / std::numbers::sqrt2;
    }
}

}  // namespace

std::array<std::array<double, 576>, 2> requantizeModel(const GranuleInput& in, const mp3gen::BandData& bands) {
    const int32_t channels = in.header.mode == 3 ? 1 : 2;
    std::array<std::array<double, 576>, 2> xr{};
    Layout layouts[2];
    for (int32_t c = 0; c < channels; ++c) {
        layouts[c] = layoutOf(in, c, bands);
        xr[c] = requantizeChannel(in, c, layouts[c]);
    }

    const bool joint = in.header.mode == 1;
    const bool ms = joint && (in.header.mode_extension & 2) != 0;
    const bool is = joint && (in.header.mode_extension & 1) != 0;
    if (ms || is) {
        const Layout& layout = layouts[0];
        const int32_t* right = in.values[1];
        double* l = xr[0].data();
        double* r = xr[1].data();
        // Long bands: intensity from the band after the right channel's last
        // nonzero long band.
        int32_t longIntensityStart = 0;
        for (int32_t b = 0; b < 22 && (*layout.longBands)[b] < layout.longEnd(); ++b) {
            for (int32_t i = (*layout.longBands)[b]; i < (*layout.longBands)[b + 1]; ++i) {
                if (right[i] != 0) longIntensityStart = b + 1;
            }
        }
        // A right channel that is coded in the short part of a mixed block
        // codes the whole long part too.
        if (layout.mixed) {
            for (int32_t i = 36; i < 576; ++i) {
                if (right[i] != 0) longIntensityStart = layout.longCount;
            }
        }
        for (int32_t b = 0; b < 22 && (*layout.longBands)[b] < layout.longEnd(); ++b) {
            const int32_t begin = (*layout.longBands)[b];
            const int32_t count = (*layout.longBands)[b + 1] - begin;
            if (is && b >= longIntensityStart) {
                intensity(in, l + begin, r + begin, count, in.scaleFactors[1][b], ms);
            } else if (ms) {
                midSide(l + begin, r + begin, count);
            }
        }
        if (layout.shortBlocks) {
            for (int32_t w = 0; w < 3; ++w) {
                int32_t start = layout.shortStart;
                for (int32_t j = layout.shortStart; j < 13; ++j) {
                    for (int32_t n = 0; n < layout.shortWidth(j); ++n) {
                        if (right[layout.shortOffset(j, w) + n] != 0) start = j + 1;
                    }
                }
                for (int32_t j = layout.shortStart; j < 13; ++j) {
                    const int32_t offset = layout.shortOffset(j, w);
                    if (is && j >= start) {
                        intensity(in, l + offset, r + offset, layout.shortWidth(j),
                                  in.scaleFactors[1][layout.shortIndex(j, w)], ms);
                    } else if (ms) {
                        midSide(l + offset, r + offset, layout.shortWidth(j));
                    }
                }
            }
        }
    }

    for (int32_t c = 0; c < channels; ++c) {
        const Layout& layout = layouts[c];
        if (!layout.shortBlocks) continue;
        std::array<double, 576> ordered{};
        for (int32_t i = 0; i < layout.longEnd(); ++i) ordered[i] = xr[c][i];
        for (int32_t j = layout.shortStart; j < 13; ++j) {
            for (int32_t w = 0; w < 3; ++w) {
                for (int32_t n = 0; n < layout.shortWidth(j); ++n) {
                    const int32_t f = (*layout.shortBands)[j] + n;
                    ordered[18 * (f / 6) + 6 * w + f % 6] = xr[c][layout.shortOffset(j, w) + n];
                }
            }
        }
        xr[c] = ordered;
    }
    return xr;
}

}  // namespace primitives::test
