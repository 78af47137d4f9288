// Constant tables of requantisation, stereo, the inverse MDCT and the
// synthesis, shared by the four builds (no caller can tell per-build copies
// apart). The computed tables are generated at build time (generator/
// SignalTables.cpp); the constants below them are typed as the formats fix
// them.
#pragma once

#include <cstdint>

namespace primitives::mp3 {

// ---- Generated -------------------------------------------------------------

// Synthesis window D_0..D_511 in Q30 (D_i x 2^30, rounded).
extern const int32_t kSynthesisWindow[512];
// The same taps as [age 0..15][sample 0..31], D_(j+32 age) with the sign of
// the history value that meets it folded in (Mp3TransformLayout.h).
extern const int32_t kSynthesisTaps[16 * 32];

// Odd rows of the N-point DCT-II, cos(pi (2m + 1)(2k + 1) / 2N), m, k < N/2,
// row-major: Q31 rounded for the integer builds, double for the others.
extern const int32_t kDctOddRowsQ31_32[256];
extern const int32_t kDctOddRowsQ31_16[64];
extern const int32_t kDctOddRowsQ31_8[16];
extern const int32_t kDctOddRowsQ31_4[4];
extern const int32_t kDctOddRowsQ31_2[1];
extern const double kDctOddRows_32[256];
extern const double kDctOddRows_16[64];
extern const double kDctOddRows_8[16];
extern const double kDctOddRows_4[4];
extern const double kDctOddRows_2[1];

// Long inverse MDCT. The 18-point DCT-IV c_j = sum_k X_k cos(pi/72 (2j + 1)(2k + 1))
// is taken as Y = DCT-II of x_k = X_k cos(pi (2k + 1) / 72), with c_0 = Y_0 and
// c_j = 2 Y_j - c_(j-1); the DCT-II splits into a 9-point DCT-II of
// x_k + x_(17-k) (even outputs, cos(pi m (2k + 1) / 18)) and a 9 x 9 matrix of
// x_k - x_(17-k) (odd outputs, cos(pi (2m + 1)(2k + 1) / 36)), [m][k]. Q31
// rounded (1.0 held as 0x7FFFFFFF) and double. Then the windows by block
// type [type][i] with the output signs folded in (row 2 is the type-0
// window): Q30, and as w / 4 in double.
extern const int32_t kImdctPrescaleQ31[18];
extern const double kImdctPrescale[18];
extern const int32_t kImdctEvenQ31[81];
extern const double kImdctEven[81];
extern const int32_t kImdctOddQ31[81];
extern const double kImdctOdd[81];
extern const int32_t kLongWindowQ30[4 * 36];
extern const double kLongWindowQuarter[4 * 36];

// Short inverse MDCT. Integer builds: C_ik = cos(pi/24 (2i + 7)(2k + 1)) x 2^31
// truncated toward zero for i = 3..8 ([i - 3][k]), and W_i = sin(pi/12 (i + 1/2))
// x 2^31 rounded. Double builds: the full [12][6] matrix and the window / 4.
extern const int32_t kShortImdctQ31[6 * 6];
extern const int32_t kShortWindowQ31[12];
extern const double kShortImdct[12 * 6];
extern const double kShortWindowQuarter[12];

// |x|^(4/3). Integer builds: [k][m] m^(4/3) x 2^(-k/4) for m = 1..15, in Q28
// for m = 1..3 and in Q25 for 4..15 (entry 0 is 0); m^(4/3) for m = 16..128
// (index m - 16), in Q23 below 64 and in Q21 from 64. SSE2-class builds:
// m^(4/3) x 2^14 for m = 0..8206. All rounded to nearest.
extern const int32_t kPowerSmall[4 * 16];
extern const int32_t kPowerMedium[113];
extern const uint32_t kPowerTable[8207];

// ---- Typed -------------------------------------------------------------------

// Alias-reduction butterflies, round(x 2^31) of cs_i and ca_i.
inline constexpr int32_t kAliasCs[8] = {1841452036, 1893526521, 2039311996, 2111652008,
                                        2137858231, 2145680960, 2147267171, 2147468949};
inline constexpr int32_t kAliasCa[8] = {-1104871222, -1013036689, -672972959, -390655622,
                                        -203096532,  -87972919,   -30491194,  -7945635};

// 2^(-k/4) in Q31, k = 0..3.
inline constexpr int32_t kQuarterStepFractions[4] = {0x7FFFFFFF, 0x6BA27E65, 0x5A82799A, 0x4C1BF829};
// 2^(k/4) in Q30, k = 0..3.
inline constexpr uint32_t kQuarterStepPowers[4] = {0x40000000, 0x4C1BF828, 0x5A827999, 0x6BA27E65};

// u^(4/3) for u in [0.5, 1) in Q31: Horner's rule from the leading
// coefficient through the six others, then the offset.
inline constexpr int32_t kPowerPolynomialLead = -457764518;  // 0xE4B9115A
inline constexpr int32_t kPowerPolynomial[6] = {
    0x562F89DE, static_cast<int32_t>(0x869EACD7), 0x65CB31EC, static_cast<int32_t>(0xC4E02D07),
    0x1FEEBC56, 0x079A1F60,
};
inline constexpr int32_t kPowerPolynomialOffset = static_cast<int32_t>(0xFFE762C9);
// By the normalisation shift q (0..6): the factor that the fractional third
// powers of 2 leave (2^(-1/3), 2^(-2/3) or 1), and the matching shift.
inline constexpr int32_t kNormalisationFactor[7] = {0x6597FA94, 0x50A28BE6, 0x7FFFFFFF, 0x6597FA94,
                                                    0x50A28BE6, 0x7FFFFFFF, 0x6597FA94};
inline constexpr int32_t kNormalisationShift[7] = {12, 13, 15, 16, 17, 19, 20};

// MPEG-1 intensity weights kL(p), Q31, p = 0..7.
inline constexpr int32_t kIntensityWeights[8] = {0,          0x1B0CB175, 0x2ED9EBA1, 0x40000000,
                                                 0x5126145F, 0x64F34E8B, 0x7FFFFFFF, 0x7FFFFFFF};

}  // namespace primitives::mp3
