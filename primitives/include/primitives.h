/*
 * Velkarn signal- and image-processing primitives.
 *
 * Every entry is a plain function with C linkage. A call goes through the
 * entry's dispatch stub to one of four builds (generic, SSE, SSE2,
 * SSE3-class); the build is chosen once by initCpuDispatch at start-up and
 * the generic build runs until then.
 *
 * Entries check their arguments before they write anything and report the
 * first failing check as a PrimitiveStatus: 0 success, positive a warning,
 * negative an error. duvAduZurideVizide gives the text of any status.
 *
 * Memory from the allocators below is 32-byte aligned and is released only
 * by zoveZiva.
 */
#ifndef VELKARN_PRIMITIVES_H
#define VELKARN_PRIMITIVES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Shared records ---------------------------------------------------- */

/* 0 success, > 0 warning, < 0 error. */
typedef int32_t PrimitiveStatus;

/* The statuses that the library's own entries return. Other codes have texts
 * too (duvAduZurideVizide): every code in -179..31 except -1, -3, -68,
 * -84..-89 and -165, and -9998 and -9999. */
enum PrimitiveStatusCode {
    primitiveStatusOk = 0,
    primitiveStatusLnZeroArgument = 7,
    primitiveStatusLnNegativeArgument = 8,
    primitiveStatusCpuNotRecognised = 20,
    primitiveStatusCpuCannotBeSet = 21,
    primitiveStatusNoRoiIntersection = 29,
    primitiveStatusUnspecifiedError = -2,
    primitiveStatusBadArgument = -5,
    primitiveStatusBadSize = -6,
    primitiveStatusNullPointer = -8,
    primitiveStatusAllocationFailed = -9,
    primitiveStatusDivisionByZero = -10,
    primitiveStatusBadRowStep = -14,
    primitiveStatusBadFftOrder = -15,
    primitiveStatusBadFftFlag = -16,
    primitiveStatusWrongContext = -17,
    primitiveStatusBadInterpolation = -22,
    primitiveStatusBadResizeFactor = -23,
    primitiveStatusBadDelayLineIndex = -24,
    primitiveStatusBadIirOrder = -25,
    primitiveStatusBadFirLength = -26,
    primitiveStatusBadTonePhase = -44,
    primitiveStatusBadToneFrequency = -45,
    primitiveStatusBadToneMagnitude = -46,
    primitiveStatusBadCompositingOperation = -50,
    primitiveStatusBadMp3SideInfo = -170,
    primitiveStatusBadMp3FrameHeader = -171
};

/* Width and height of an image region in pixels. */
typedef struct ImageSize {
    int32_t width;
    int32_t height;
} ImageSize;

/* A rectangle of an image in pixels: its top-left pixel and its size. */
typedef struct ImageRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
} ImageRect;

/* A Layer III frame header, unpacked by zaviUnpackFrameHeader_MP3. Field
 * names are those of the MPEG audio standard; every field is the raw code
 * from the stream. */
typedef struct MP3FrameHeader {
    int32_t id;                 /* 1 MPEG-1, 0 MPEG-2 lower sampling frequencies */
    int32_t layer;              /* 1 Layer III, 2 Layer II, 3 Layer I */
    int32_t protection_bit;     /* 0: a 16-bit CRC word follows the header */
    int32_t bitrate_index;      /* 0..15 */
    int32_t sampling_frequency; /* 0..3 */
    int32_t padding_bit;
    int32_t private_bit;
    int32_t mode;               /* 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel */
    int32_t mode_extension;     /* 0..3 */
    int32_t copyright;
    int32_t original_copy;
    int32_t emphasis;           /* 0..3 */
    int32_t crc_check;          /* byte 4 + 256 * byte 5; written only when protection_bit is 0 */
} MP3FrameHeader;

/* The side information of one granule and channel, unpacked by
 * zaviUnpackSideInfo_MP3. Fields that the stream does not carry for a
 * record keep the caller's values: table_select[2] and the subblock gains
 * with window switching, the subblock gains without it, and (MPEG-2) preflag,
 * which zaviUnpackScaleFactors_MP3_1u8s sets. */
typedef struct MP3SideInfo {
    int32_t part2_3_length;        /* bits of scale factors plus Huffman data */
    int32_t big_values;
    int32_t global_gain;
    int32_t scalefac_compress;     /* 4 bits MPEG-1, 9 bits MPEG-2 */
    int32_t window_switching_flag;
    int32_t block_type;            /* 0 normal, 1 start, 2 short, 3 stop */
    int32_t mixed_block_flag;
    int32_t table_select[3];
    int32_t subblock_gain[3];
    int32_t region0_count;         /* with window switching: 8 short unmixed, else 7 */
    int32_t region1_count;         /* with window switching: 20 - region0_count */
    int32_t preflag;
    int32_t scalefac_scale;
    int32_t count1table_select;
} MP3SideInfo;

#ifdef __cplusplus
static_assert(sizeof(MP3FrameHeader) == 13 * sizeof(int32_t), "MP3FrameHeader is 13 int32");
static_assert(sizeof(MP3SideInfo) == 18 * sizeof(int32_t), "MP3SideInfo is 18 int32");
#else
_Static_assert(sizeof(MP3FrameHeader) == 13 * sizeof(int32_t), "MP3FrameHeader is 13 int32");
_Static_assert(sizeof(MP3SideInfo) == 18 * sizeof(int32_t), "MP3SideInfo is 18 int32");
#endif

/* ---- Status texts ------------------------------------------------------ */

/* The constant English text of a status; "Unknown Status Code" for a code
 * without one. Never null; the same code always gives the same pointer.
 * Safe on any thread, also before initCpuDispatch. */
const char* duvAduZurideVizide(PrimitiveStatus status);

/* ---- Aligned memory ---------------------------------------------------- */

/* Each returns a 32-byte-aligned block of `length` elements with undefined
 * contents, or null when length <= 0 or the heap has no room. */
uint8_t* vaduRivuro_8v(int32_t length);
float* revoRovara_32z(int32_t length);
int32_t* zaviMalloc_32s(int32_t length);

/* Releases a block of the allocators above; null is ignored. */
void zoveZiva(void* block);

/* ---- Signal entries ----------------------------------------------------- */

/* A complex element: real part, then imaginary part. */
typedef struct Complex32f {
    float re;
    float im;
} Complex32f;

/* Filters numIters samples with taps[0..tapsLen-1] (taps[k] weighs the input
 * k samples back). The caller owns the history: a delay line of 2 * tapsLen
 * floats and an index in 0..tapsLen-1, both updated in place; start a signal
 * with a zeroed line and index 0. dst may equal src. Checks: src or dst null
 * -8, numIters < 1 -6, taps null -8, tapsLen < 1 -26, delay line or index
 * null -8, index outside 0..tapsLen-1 -24. */
PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters, const float* taps,
                                   int32_t tapsLen, float* pDlyLine, int32_t* pDlyLineIndex);

/* Magnitude of every element. Null -8, len <= 0 -6. */
PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len);

/* Magnitude and phase (radians, -pi..pi) of every element. The two outputs
 * are computed one after the other: when one pointer is null the other
 * output is still written in full and -8 is returned. */
PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude, float* phase, int32_t len);

/* dst[i] = magnitude[i] * (cos phase[i], sin phase[i]). Null -8, len <= 0 -6.
 * Phases beyond about +-6.7e9 give unspecified values. */
PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase, Complex32f* dst, int32_t len);

/* Multiply vec[0..len-1] in place by a symmetric window. For an odd length
 * the middle element is left alone; a length of 3 sets both ends to +0.
 * Null -8, len < 3 -6. */
PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len);
PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len);
PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len);

/* Uniform pseudo-random values between low and high. The caller's seed word
 * carries the generator from one call to the next. Null -8, len <= 0 -6. */
PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low, float high, uint32_t* pSeed);

/* The tone's hint: primitiveHintFast lets the SIMD builds restart the
 * recurrence from direct cosines every 1024 samples; any other value takes
 * the sequential recurrence. */
typedef int32_t PrimitiveHint;
enum PrimitiveHintValue { primitiveHintNone = 0, primitiveHintFast = 1, primitiveHintAccurate = 2 };

/* dst[n] = magnitude * cos(*pPhase + 2 pi rFreq n); *pPhase becomes the
 * phase after the last sample, in [0, 2 pi). Checks in order: pPhase null
 * -8, magnitude <= 0 -46, rFreq outside [0, 0.5) -45, phase outside
 * [0, 2 pi) -44, dst null -8, len < 1 -6. */
PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase,
                                    PrimitiveHint hint);

/* ---- IIR filters -------------------------------------------------------- */

/* A caller-owned IIR filter: taps, precomputed tables and the delay line
 * that carries a signal from one filtering call to the next. Made by
 * zaviIIRInitAlloc_32f and released by zaviIIRFree_32f; a state serves the
 * build that made it, and one thread at a time. */
typedef struct IirState IirState;

/* Creates a transposed direct form II filter of order N >= 0 from 2(N + 1)
 * taps b0..bN, a0..aN (transfer function sum bk z^-k / sum ak z^-k) and N
 * initial delay values (null: zeros). The taps are stored times 1/a0.
 * -8 taps or state null, -25 N < 0, -9 no memory, -10 a0 zero or NaN: the
 * state is then already stored through `state` and must be released with
 * zaviIIRFree_32f, and not used for filtering. */
PrimitiveStatus zaviIIRInitAlloc_32f(IirState** state, const float* taps, int32_t order,
                                     const float* delayLine);

/* Releases a state made by zaviIIRInitAlloc_32f. -8 null, -17 not a state. */
PrimitiveStatus zaviIIRFree_32f(IirState* state);

/* Copies the N current delay values to `delayLine` (nothing for N = 0).
 * -8 a null pointer, -17 not a state. */
PrimitiveStatus zaviIIRGetDlyLine_32f(const IirState* state, float* delayLine);

/* Filters len samples; consecutive calls continue one signal. dst may equal
 * src. -8 a null pointer, -6 len < 1, -17 not a state. */
PrimitiveStatus zaviIIR_32f(const float* src, float* dst, int32_t len, IirState* state);
PrimitiveStatus zaviIIR_32f_I(float* srcDst, int32_t len, IirState* state);

/* ---- Image copy, fill and alpha compositing ----------------------------- */

/* Regions of 4-byte pixels (channel 3 is alpha): a pointer to the top-left
 * pixel, a row step in bytes (any value >= 1, also below the row width, in
 * which case rows overlap and later rows win) and a size. No alignment is
 * needed. Checks: null pointer -8, width or height <= 0 or a region of more
 * than 2^31 - 1 bytes -6, a step <= 0 -14; nothing is written on failure. */

/* Copies the region. Source and destination must not overlap. */
PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep,
                                ImageSize size);

/* Sets every pixel to the four bytes at `value`. */
PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size);

/* Sets channels 0-2 of every pixel to the three bytes at `value`; the alpha
 * byte is neither read nor written. */
PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size);

/* Porter-Duff operation of duroAlphaComp_8u_AC4R. The plain forms multiply
 * each source colour by its own alpha first; the premultiplied forms take
 * the colours as already multiplied. The result is premultiplied. */
typedef uint32_t AlphaType;
enum AlphaTypeValue {
    alphaTypeOver = 0,
    alphaTypeIn = 1,
    alphaTypeOut = 2,
    alphaTypeAtop = 3,
    alphaTypeXor = 4,
    alphaTypePlus = 5,
    alphaTypeOverPremultiplied = 6,
    alphaTypeInPremultiplied = 7,
    alphaTypeOutPremultiplied = 8,
    alphaTypeAtopPremultiplied = 9,
    alphaTypeXorPremultiplied = 10,
    alphaTypePlusPremultiplied = 11
};

/* Composites the first source onto the second source into the destination,
 * pixel by pixel. The destination may be either source (same pointer and
 * step); other overlaps are not supported. After the checks above, a type
 * above 11 gives -50. */
PrimitiveStatus duroAlphaComp_8u_AC4R(const uint8_t* src1, int32_t src1Step, const uint8_t* src2, int32_t src2Step,
                                      uint8_t* dst, int32_t dstStep, ImageSize size, AlphaType type);

/* ---- Image resize ------------------------------------------------------ */

/* Interpolation methods of zuzuZivere_8d_OZ4O. */
enum ResizeInterpolation {
    resizeInterpolationNearest = 1,
    resizeInterpolationLinear = 2,
    resizeInterpolationCubic = 4,
    resizeInterpolationSuperSampling = 8,
    resizeInterpolationLanczos = 16
};

/* Scales the region srcRoi of an image of 8-bit pixels with four elements
 * each (src: pixel 0, 0 of the whole image, srcSize its size, srcStep bytes
 * per row) into the destination region whose first pixel is dst. Elements 0
 * to 2 of each destination pixel are written; element 3 is neither read nor
 * written, in source or destination. Factors are destination pixels per
 * source pixel, per axis.
 *
 * The region is clipped to the image. The destination is written only in its
 * first min(dstRoiSize, trunc(factor * region size + 1e-7)) columns and
 * rows, at least one of each; nothing outside them is touched. Linear
 * interpolation maps the first and last destination column (row) onto the
 * first and last region column (row); sources narrower or lower than 2 pixels
 * are resized by nearest neighbour instead.
 *
 * Statuses, in the order of the checks: -8 a null pointer; -6 a source size
 * <= 0; -14 a row step <= 0; -6 a negative region origin or a region size
 * <= 0; 29 (warning, nothing done) the region's origin outside the source;
 * -6 a destination size <= 0; -23 a factor not greater than 0 (or NaN); -22
 * an interpolation other than 1, 2, 4, 16, or 8 with a factor above 1; -9 no
 * memory for the working tables. Cubic and Lanczos interpolation that the
 * source size does not lower to linear or nearest, and super-sampling (8
 * with both factors <= 1), are not available yet: they return -2 after the
 * checks and touch nothing. */
PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi,
                                   uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, double xFactor,
                                   double yFactor, int32_t interpolation);

/* ---- Vector fill, copy and ramp ---------------------------------------- */
/* Lengths are element counts (bytes for zaviCopy_8u). Every entry returns
 * -8 for a null pointer (tested first), -6 for a length below 1, and then
 * writes nothing. Floats are moved as bit patterns. */

/* dst[0..len) = +0.0 */
PrimitiveStatus zaviZero_32f(float* dst, int32_t len);
/* dst[0..len) = val, bit for bit */
PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len);
/* dst[i] = src[i]; overlapping ranges give memmove's result */
PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len);
PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len);
/* dst[i] = offset + slope * i, each element from its own index */
PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope);

/* ---- Element-wise arithmetic -------------------------------------------- */
/* Single-precision results, the same in every build for non-NaN input. The
 * _I forms work in place on their last vector; an out-of-place destination
 * may equal a source. -8 for a null pointer, -6 for len < 1.
 * The constant forms first test their constant with a compare whose "equal"
 * outcome an unordered pair also gives: a NaN constant counts as 1 in the
 * multiply forms and as 0 in the add forms, and -0 counts as 0:
 *   zaviMulC_32f    val 1: copy (dezoRide_32d); val 0: zero (zaviZero_32f)
 *   zaviMulC_32f_I  val 1: vector untouched;   val 0: zero
 *   zaviAddC_32f    val 0: copy
 *   zaviAddC_32f_I  val 0: vector untouched */

/* dst[i] = src1[i] * src2[i] */
PrimitiveStatus zaviMul_32f(const float* src1, const float* src2, float* dst, int32_t len);
/* dst[i] = src[i] * val */
PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len);
/* srcDst[i] = src[i] * srcDst[i] */
PrimitiveStatus zaviMul_32f_I(const float* src, float* srcDst, int32_t len);
/* srcDst[i] = srcDst[i] * val */
PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len);
/* srcDst[i] = src[i] + srcDst[i] */
PrimitiveStatus zaviAdd_32f_I(const float* src, float* srcDst, int32_t len);
/* dst[i] = src[i] + val */
PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len);
/* srcDst[i] = srcDst[i] + val */
PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len);
/* dst[i] = src2[i] - src1[i]: the first vector is subtracted from the second */
PrimitiveStatus zaviSub_32f(const float* src1, const float* src2, float* dst, int32_t len);
/* srcDst[i] = srcDst[i] - src[i] */
PrimitiveStatus zaviSub_32f_I(const float* src, float* srcDst, int32_t len);

/* ---- Element-wise functions --------------------------------------------- */
/* -8 for a null pointer, -6 for len < 1. Abs, Flip and Threshold move bit
 * patterns: NaN payloads survive. */

/* dst[i] = |src[i]|: the sign bit cleared (-0 gives +0) */
PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len);
/* dst[i] = src[i] * src[i] */
PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len);
/* Reverses the order of the elements. */
PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len);
/* srcDst[i] stays only if it is greater than level; equal elements and NaN
 * become level. */
PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level);
/* srcDst[i] = ln(srcDst[i]). +0 gives -inf, anything with the sign bit set
 * (-0 included) the NaN 0xFFC00000, +inf stays, a positive NaN gives
 * 0x7FC00000. Returns 7 (zero) or 8 (negative) when the first such element
 * in index order was a zero or negative; every element is still written. */
PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len);

/* ---- Vector statistics -------------------------------------------------- */
/* -8 when src or a value pointer is null, -6 for len < 1; outputs are
 * written only on success. For data without NaN every build returns the
 * true extreme and the index of its first occurrence; with NaN, or +0 and
 * -0 at the extreme, builds may differ. */

PrimitiveStatus zaviMax_32f(const float* src, int32_t len, float* pMax);
PrimitiveStatus zaviMin_32f(const float* src, int32_t len, float* pMin);
/* pIndex may be null: the call is then zaviMax_32f (zaviMin_32f). */
PrimitiveStatus zaviMaxIndx_32f(const float* src, int32_t len, float* pMax, int32_t* pIndex);
PrimitiveStatus zaviMinIndx_32f(const float* src, int32_t len, float* pMin, int32_t* pIndex);
PrimitiveStatus zaviMinMax_32f(const float* src, int32_t len, float* pMin, float* pMax);
/* hint 1: fast (single-precision blocks); any other hint: accurate (double
 * partial sums). The generic build has one summation. Overflow gives inf. */
PrimitiveStatus zaviSum_32f(const float* src, int32_t len, float* pSum, int32_t hint);

/* ---- MP3 Layer III decoding ------------------------------------------- */

/* The first steps of decoding one Layer III frame. They keep no state: the
 * records, the scale-factor buffers and the stream position belong to the
 * caller. A stream position is a byte pointer, advanced through its address,
 * and where the data need not start on a byte boundary a bit offset 0..7 (the
 * bits of the current byte already consumed, most significant first).
 *
 * Reads are 32-bit big-endian windows, so an entry may look at up to four
 * bytes past the last bit it consumes; Huffman decoding of corrupt side
 * information can run well past its budget (see below). Callers keep the
 * main data readable up to the bits that the part2_3_length values declare
 * (zero-filled where the stream has fewer bytes) plus at least 2 KiB of
 * zero bytes.
 *
 * Order for one frame: frame header, side information; then for each granule
 * and within it each channel the scale factors and the Huffman data, whose
 * size is part2_3_length less the bits the scale factors took. */

/* Splits the header (and the CRC word that may follow) into `header`. No
 * field is validated and byte 0 is not read. Moves *bitstream by 6 when
 * protection_bit is 0, else by 4. Statuses: 0, -8. */
PrimitiveStatus zaviUnpackFrameHeader_MP3(const uint8_t** bitstream, MP3FrameHeader* header);

/* Reads the side information that starts at *bitstream into `sideInfo`
 * (granule after granule, channel 0 first; MPEG-1 two granules, MPEG-2 one;
 * one channel when mode is 3), `mainDataBegin`, `privateBits` and, for
 * MPEG-1, `scfsi` (four flags per channel). Leaves *bitstream after it (17
 * or 32 bytes for MPEG-1, 9 or 17 for MPEG-2).
 * Statuses: 0; -8; -171 (id, layer or mode out of range; nothing read); -170
 * (a switched granule with block_type 0: the earlier records are complete
 * and *bitstream stands after the last bits read). */
PrimitiveStatus zaviUnpackSideInfo_MP3(const uint8_t** bitstream, MP3SideInfo* sideInfo, int32_t* mainDataBegin,
                                       int32_t* privateBits, int32_t* scfsi, const MP3FrameHeader* header);

/* Reads the scale factors of one granule and channel into the channel's
 * buffer of 40 values, which lives across the granules of a frame (MPEG-1
 * granule 1 keeps granule 0's values where scfsi says so). MPEG-2 writes
 * preflag into `sideInfo` and reduces mixed_block_flag to its lowest bit.
 * Leaves the position after the last scale-factor bit.
 * Statuses: 0; -8; -5 (bit offset, granule or channel out of range); -170
 * (scalefac_compress out of range); -171 (MPEG-2 mode_extension out of
 * range). A failing check changes nothing. */
PrimitiveStatus zaviUnpackScaleFactors_MP3_1u8s(const uint8_t** bitstream, int32_t* bitOffset, int8_t* scaleFactors,
                                                MP3SideInfo* sideInfo, const int32_t* scfsi,
                                                const MP3FrameHeader* header, int32_t granule, int32_t channel);

/* Decodes `hufSize` bits of Huffman data into 576 values and writes the
 * nonzero bound (one more than the index of the last nonzero value, 0 when
 * all are zero). On success the position ends exactly hufSize bits after
 * where it started.
 * Statuses: 0; -8; -5 (bit offset, or hufSize below 0 or above
 * part2_3_length); -170 and -171 (side information or header fields out of
 * range); -2 (the big values took more than hufSize bits). The argument checks
 * write nothing; a -170 for a region's table, found while decoding, and -2
 * leave the earlier values written, the position after the bits consumed and
 * the bound unwritten. */
PrimitiveStatus zaviHuffmanDecode_MP3_1u32s(const uint8_t** bitstream, int32_t* bitOffset, int32_t* spectrum,
                                            int32_t* nonzeroBound, const MP3SideInfo* sideInfo,
                                            const MP3FrameHeader* header, int32_t hufSize);

/* ---- MP3 Layer III signal steps --------------------------------------- */

/* The last steps of decoding a Layer III granule. Spectra hold 576 values,
 * 32 sub-bands of 18 lines (line k of sub-band s at 18 s + k; a short-block
 * sub-band holds six values of each of its three windows in turn). The
 * per-channel state (overlap, sub-band count, synthesis history and ring
 * position) belongs to the caller and is zero at the start of a stream. */

/* Requantises the Huffman values of one granule, both channels, in place:
 * `spectrum` holds channel 0 and then channel 1 (576 values each; mono uses
 * channel 0), in and out; `nonzeroBounds` the two channels' bounds, in and
 * out; `scaleFactors` 40 values per channel as zaviUnpackScaleFactors_MP3_1u8s
 * leaves them; `sideInfo` the granule's records, channel 0 first; `workBuffer`
 * 576 values of scratch. Output is Q26 (value x 2^26, truncated toward zero,
 * saturated at +-0x7FFFFFFF), with joint stereo (mid/side and intensity)
 * decoded and short blocks reordered for zaviMDCTInv_MP3_32s. Values at or
 * past a returned bound are zero or not written.
 * Statuses: 0; -8; -171 (id, sampling_frequency, mode or mode_extension out
 * of range); -170 (block type, mixed flag, global gain, scalefac_scale or
 * preflag out of range, or channels whose block types differ under joint
 * stereo); -5 (a bound outside 0..576); -2 (a magnitude above 8206, a
 * subblock gain above 7, or an MPEG-1 intensity position above 7). The
 * checks of the header, the block types and the bounds write nothing; a
 * later failure leaves the spectra and the work buffer partly processed and
 * the bounds as they were. */
PrimitiveStatus zaviReQuantize_MP3_32s_I(int32_t* spectrum, int32_t* nonzeroBounds, const int8_t* scaleFactors,
                                         const MP3SideInfo* sideInfo, const MP3FrameHeader* header,
                                         int32_t* workBuffer);

/* Inverse MDCT of one granule and channel: alias reduction (in place on
 * `spectrum`, which is Q26, value x 2^26), the windowed 36- or 12-point
 * transforms, overlap-add with `overlap` (576 values) and frequency
 * inversion, into 18 slots of 32 sub-band samples of full scale 2^24
 * (sub-band s of slot t at 32 t + s). `nonzeroBound` (0..576) is one more
 * than the index of the last nonzero line; `previousCount` (0..32) is the
 * number of sub-bands the previous call transformed and is updated.
 * Statuses: 0; -8; -5 (bound, block type 0..3, mixed flag 0..1 or previous
 * count out of range). A failing check writes nothing. */
PrimitiveStatus zaviMDCTInv_MP3_32s(int32_t* spectrum, int32_t* subbandSamples, int32_t* overlap,
                                    int32_t nonzeroBound, int32_t* previousCount, int32_t blockType,
                                    int32_t mixedBlockFlag);

/* Polyphase synthesis of one slot: 32 sub-band samples (full scale 2^24)
 * into 32 16-bit PCM samples, rounded and saturated, written at pcm[0],
 * pcm[mode], ..., pcm[31 mode] (mode 1 a plain block, 2 one channel of an
 * interleaved stereo block). `history` (512 values) and `ringPosition`
 * (0..15) carry the filter state from slot to slot.
 * Statuses: 0; -8; -5 (mode or ring position out of range). A failing check
 * writes nothing. */
PrimitiveStatus zaviSynthPQMF_MP3_32s16s(const int32_t* subbandSamples, int16_t* pcm, int32_t* history,
                                         int32_t* ringPosition, int32_t mode);

/* ---- Real FFT of power-of-two length ---------------------------------- */

/* A prepared real FFT of N = 2^order points (opaque). One spec may serve any
 * number of threads at once, each with its own work buffer. */
typedef struct RealFftSpec_32f RealFftSpec_32f;

/* Normalisation flags of zaviFFTInitAlloc_R_32f. */
enum FftNormalisation {
    fftDivideForwardByN = 1,
    fftDivideInverseByN = 2,
    fftDivideBySqrtN = 4,
    fftNoDivision = 8
};

/* Creates the spec of order 0..30 (-15 otherwise) with one flag above (-16
 * otherwise); hint is stored and not used. -8 for a null ppSpec, -9 when
 * memory runs short (always at orders 29 and 30). *ppSpec is written only on
 * success. */
PrimitiveStatus zaviFFTInitAlloc_R_32f(RealFftSpec_32f** ppSpec, int32_t order, int32_t flag, int32_t hint);

/* The work-buffer size in bytes a transform of the spec needs (0: none). -8
 * for a null pointer, -17 for a spec of another kind. */
PrimitiveStatus zaviFFTGetBufSize_R_32f(const RealFftSpec_32f* spec, int32_t* pSize);

/* Releases the spec. -8 for null, -17 for a spec of another kind. */
PrimitiveStatus zaviFFTFree_R_32f(RealFftSpec_32f* spec);

/* Transforms: pSrc and pDst may be the same array. pBuffer is null or at
 * least the GetBufSize bytes, used from its first 16-byte boundary; with null
 * a buffer is allocated for the call (-9 when that fails). Tests in order:
 * null pSpec (-8), spec kind (-17), null pSrc or pDst (-8); nothing is written
 * on failure.
 *   RToPerm: N reals to N floats in Perm order
 *            R(0), R(N/2), R(1), I(1), ..., R(N/2-1), I(N/2-1).
 *   RToCCS:  N reals to N+2 floats R(0), 0, R(1), I(1), ..., R(N/2), 0.
 *   CCSToR:  N+2 floats in CCS order (elements 1 and N+1 never read) to N
 *            reals. */
PrimitiveStatus zaviFFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,
                                       uint8_t* pBuffer);
PrimitiveStatus zaviFFTFwd_RToCCS_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,
                                      uint8_t* pBuffer);
PrimitiveStatus zaviFFTInv_CCSToR_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,
                                      uint8_t* pBuffer);

/* Expands a Perm spectrum of len floats (any len >= 1, odd lengths as the
 * DFT writes them) into len complex values; pDst must not overlap pSrc. -8 for
 * a null pointer, then -6 for len <= 0. */
PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len);

/* ---- Real DFT of any length -------------------------------------------- */

/* A prepared forward real DFT of N >= 1 points (opaque). Like a real FFT
 * spec it is only read by transforms, so one spec may serve several threads
 * that each pass their own buffer. */
typedef struct RealDftSpec_32f RealDftSpec_32f;

/* Makes a spec of `length` points with a normalisation flag of
 * FftNormalisation; `hint` is stored. -8 for a null ppSpec, -6 for length <= 0,
 * -9 when memory runs out or a table would exceed the allocator's limit, -16
 * for another flag; *ppSpec is written only on success. */
PrimitiveStatus zaviDFTInitAlloc_R_32f(RealDftSpec_32f** ppSpec, int32_t length, int32_t flag, int32_t hint);

/* The work-buffer size in bytes a transform of the spec needs (0: none). -8
 * for a null pointer, -17 for a spec of another kind. */
PrimitiveStatus zaviDFTGetBufSize_R_32f(const RealDftSpec_32f* pSpec, int32_t* pSize);

/* Releases the spec. -8 for null, -17 for a spec of another kind. */
PrimitiveStatus zaviDFTFree_R_32f(RealDftSpec_32f* pSpec);

/* The forward DFT of N reals into N floats in Perm order: for even N
 * R(0), R(N/2), R(1), I(1), ..., R(N/2-1), I(N/2-1); for odd N R(0), R(1),
 * I(1), ..., R((N-1)/2), I((N-1)/2). pSrc and pDst may be the same array.
 * pBuffer as for the real FFT (null: allocated for the call, -9 when that
 * fails). Tests in order: null pSpec (-8), spec kind (-17), null pSrc or pDst
 * (-8); nothing is written on failure. */
PrimitiveStatus zaviDFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealDftSpec_32f* pSpec,
                                       uint8_t* pBuffer);

/* ---- Autocorrelation ---------------------------------------------------- */

/* pDst[k] = sum over i of pSrc[i] * pSrc[i + k] for k < min(srcLen, dstLen),
 * unnormalised, and 0 for the lags from srcLen up to dstLen - 1. Few lags are
 * summed directly, more through a zero-padded real FFT. -8 for a null
 * pointer, then -6 for a length <= 0; -9 when memory runs out, -15 when the
 * padded length would exceed 2^30; pDst is written only on success. */
PrimitiveStatus zaviAutoCorr_32f(const float* pSrc, int32_t srcLen, float* pDst, int32_t dstLen);

/* ---- Build selection --------------------------------------------------- */

/* Processor class (see DetectCpuType). */
typedef int32_t CpuTypeCode;

/* What fillCpuInfoRecord reads from the processor identification
 * instruction. Flags are 0 or 1. */
typedef struct CpuInfoRecord {
    uint32_t family;       /* leaf 1 EAX bits 8-11 (extended family not consulted) */
    uint32_t stepping;     /* leaf 1 EAX bits 0-3 */
    uint32_t model;        /* leaf 1 EAX bits 4-7 */
    uint32_t featureWord;  /* leaf 1 EDX */
    uint32_t cacheDescriptorsEax; /* leaf 2 EAX */
    uint32_t cacheDescriptorsEdx; /* leaf 2 EDX */
    uint32_t hasMmx;
    uint32_t hasSse;
    uint32_t hasSse2;
    uint32_t hasSeveralLogicalProcessors;
    uint32_t hasSse3;
    uint32_t has64BitExtensions;
} CpuInfoRecord;

/* The library's constant version record. */
typedef struct CoreVersionRecord {
    int32_t major;
    int32_t minor;
    int32_t build;
    int32_t secondBuild;
    char target[4];           /* "core", not terminated */
    const char* libraryName;
    const char* versionText;
    const char* buildDate;
} CoreVersionRecord;

/* One entry's link in the registration list. `table` points at word 0 of
 * the entry's six-word dispatch table. Only the link changes after the
 * record is made. */
typedef struct RegistrationRecord {
    const char* const domainTag; /* "s" signal, "i" image, "ac" audio coding */
    const char* const name;
    const void* const table;
    struct RegistrationRecord* link;
} RegistrationRecord;

/* Detects the processor and selects its build. Returns 0, or 20 when the
 * processor cannot be identified as one the library serves (the generic
 * build is then used). Call once, before any thread uses primitives. */
PrimitiveStatus initCpuDispatch(void);

/* Selects the build for a given processor class without detection:
 * 0-4 generic, 5, 16, 17 SSE, 6, 7, 9 SSE2, 8, 32 SSE3-class, -1 index 0
 * (which runs the generic build). Any other class returns 21 and changes
 * nothing. */
PrimitiveStatus InitCpuDispatchFor(CpuTypeCode type);

/* The processor class of this machine: 0 unidentified or unknown family,
 * 1-2 family 5, 3-5 and 9 family 6, 16 family 7, 6-8, 17 and 32 family 15. */
CpuTypeCode DetectCpuType(void);

void fillCpuInfoRecord(CpuInfoRecord* record);

/* 1 when the processor identification instruction is available. */
int32_t isCpuidSupported(void);

/* 1 when the vendor identification is twelve printable ASCII characters
 * that are not all blanks. */
int32_t checkCpuVendor(void);

/* Makes `record` the head of the registration list and returns the previous
 * head, which the caller stores in record->link. */
RegistrationRecord* registerDispatchRecord(RegistrationRecord* record);

const CoreVersionRecord* getCoreVersionRecord(void);

/* ---- Processor features and floating-point control --------------------- */

uint32_t cpuMaxStandardLeaf(void);
int32_t cpuHasTsc(void);
int32_t cpuHasMmx(void);
int32_t cpuHasSse(void);
int32_t cpuHasSse2(void);
int32_t cpuHasSeveralLogicalProcessors(void);
int32_t cpuHasSse3(void);
int32_t cpuHas64BitExtensions(void);

uint64_t readTimeStampCounter(void);

/* The setters load (old & ~mask) | (value & mask) and return the old value. */
uint32_t getX87ControlWord(void);
uint32_t setX87ControlWord(uint32_t value, uint32_t mask);
uint32_t getX87StatusWord(void);
/* Returns the status word, then clears the pending exception flags. */
uint32_t clearX87Exceptions(void);

uint32_t getSseControl(void);
uint32_t setSseControl(uint32_t value, uint32_t mask);
/* Loads 0x1F80: all exceptions masked, round to nearest, no flush-to-zero,
 * no denormals-are-zero. Returns the old value. */
uint32_t resetSseControl(void);

#ifdef __cplusplus
}
#endif

#endif
