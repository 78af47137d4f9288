// Uses the library exactly as an outside program does: through primitives.h
// alone, calling every entry and helper the header declares. Exits non-zero
// when one misbehaves.
#include "primitives.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

bool aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

}  // namespace

int main() {
    check(initCpuDispatch() == 0, "initCpuDispatch recognises this processor");
    check(std::strcmp(duvAduZurideVizide(-8), "Null pointer error") == 0, "status text of -8");

    uint8_t* bytes = vaduRivuro_8v(100);
    float* floats = revoRovara_32z(100);
    int32_t* ints = zaviMalloc_32s(100);
    check(bytes && floats && ints, "allocators return blocks");
    check(aligned(bytes) && aligned(floats) && aligned(ints), "blocks are 32-byte aligned");
    check(vaduRivuro_8v(0) == nullptr, "length 0 gives null");
    zoveZiva(bytes);
    zoveZiva(floats);
    zoveZiva(ints);
    zoveZiva(nullptr);

    check(InitCpuDispatchFor(10) == 21, "type 10 is refused");
    check(InitCpuDispatchFor(5) == 0, "type 5 is accepted");
    check(std::strcmp(duvAduZurideVizide(0), "No error, it's OK") == 0, "status text on the SSE build");

    // Signal entries, each once on a few values.
    const float in[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float out[4], line[4] = {0, 0, 0, 0};
    const float taps[2] = {1.0f, -1.0f};
    int32_t index = 0;
    check(zaviFIR_Direct_32f(in, out, 4, taps, 2, line, &index) == 0 && out[3] == 1.0f && index == 0,
          "zaviFIR_Direct_32f");
    check(zaviFIR_Direct_32f(in, out, 4, taps, 2, line, &index) == 0 && index == 0, "zaviFIR_Direct_32f again");
    index = 2;
    check(zaviFIR_Direct_32f(in, out, 4, taps, 2, line, &index) == -24, "FIR index out of range is refused");
    const Complex32f c[2] = {{3.0f, 4.0f}, {0.0f, -2.0f}};
    float magnitude[2], phase[2];
    check(zaviMagnitude_32fc(c, magnitude, 2) == 0 && magnitude[0] > 4.99f && magnitude[0] < 5.01f,
          "zaviMagnitude_32fc");
    check(zaviCartToPolar_32fc(c, magnitude, phase, 2) == 0 && phase[1] < -1.57f && phase[1] > -1.58f,
          "zaviCartToPolar_32fc");
    Complex32f back[2];
    check(zaviPolarToCart_32fc(magnitude, phase, back, 2) == 0 && back[1].im < -1.99f && back[1].im > -2.01f,
          "zaviPolarToCart_32fc");
    float window[5] = {1, 1, 1, 1, 1};
    check(zaviWinBartlett_32f_I(window, 5) == 0 && window[0] == 0.0f && window[2] == 1.0f, "zaviWinBartlett_32f_I");
    check(zaviWinHann_32f_I(window, 5) == 0 && window[1] > 0.24f && window[1] < 0.26f, "zaviWinHann_32f_I");
    check(zaviWinBlackmanStd_32f_I(window, 2) == -6, "zaviWinBlackmanStd_32f_I refuses length 2");
    uint32_t seed = 1;
    check(zaviRandUniform_Direct_32f(out, 4, -1.0f, 1.0f, &seed) == 0 && out[0] >= -1.0f && out[0] <= 1.0f,
          "zaviRandUniform_Direct_32f");
    float tonePhase = 0.0f;
    check(zaviTone_Direct_32f(out, 4, 1.0f, 0.25f, &tonePhase, primitiveHintFast) == 0 && out[0] == 1.0f,
          "zaviTone_Direct_32f");

    // A 2 x 1 image: fill, copy, colour fill keeping alpha, composite.
    uint8_t image[8], copy[8];
    const uint8_t colour[4] = {1, 2, 3, 255};
    check(duroSet_8u_C4R(colour, image, 8, {2, 1}) == 0 && image[4] == 1 && image[7] == 255, "duroSet_8u_C4R");
    check(duroCopy_8u_C4R(image, 8, copy, 8, {2, 1}) == 0 && std::memcmp(image, copy, 8) == 0, "duroCopy_8u_C4R");
    const uint8_t grey[3] = {9, 9, 9};
    check(duroSet_8u_AC4R(grey, copy, 8, {2, 1}) == 0 && copy[4] == 9 && copy[7] == 255, "duroSet_8u_AC4R");
    check(duroAlphaComp_8u_AC4R(image, 8, copy, 8, copy, 8, {2, 1}, alphaTypeOver) == 0 && copy[0] == 1,
          "duroAlphaComp_8u_AC4R");
    check(duroAlphaComp_8u_AC4R(image, 8, copy, 8, copy, 8, {2, 1}, 12) == -50, "compositing type 12 is refused");

    // The 2 x 1 image doubled along x into 4 x 1 (one row: nearest), alpha kept.
    uint8_t wide[16];
    std::memset(wide, 7, sizeof wide);
    check(zuzuZivere_8d_OZ4O(image, {2, 1}, 8, {0, 0, 2, 1}, wide, 16, {4, 1}, 2.0, 1.0, resizeInterpolationLinear) ==
                  0 &&
              wide[8] == 1 && wide[11] == 7,
          "zuzuZivere_8d_OZ4O");
    check(zuzuZivere_8d_OZ4O(image, {2, 1}, 8, {0, 0, 2, 1}, wide, 16, {4, 1}, 2.0, 1.0, 3) == -22,
          "interpolation 3 is refused");

    // Vectors of four floats through every vector entry.
    const float a[4] = {1, 2, 3, 4};
    const float b[4] = {2, 2, -2, 2};
    float v[4], w[4], x = 0, y = 0;
    int32_t where = -1;
    auto equals = [&](float a0, float a1, float a2, float a3) {
        return v[0] == a0 && v[1] == a1 && v[2] == a2 && v[3] == a3;
    };
    check(zaviSet_32f(7, v, 4) == 0 && equals(7, 7, 7, 7), "zaviSet_32f");
    check(zaviZero_32f(v, 4) == 0 && equals(0, 0, 0, 0), "zaviZero_32f");
    check(dezoRide_32d(a, v, 4) == 0 && equals(1, 2, 3, 4), "dezoRide_32d");
    check(zaviCopy_8u(reinterpret_cast<const uint8_t*>(b), reinterpret_cast<uint8_t*>(v), 16) == 0 &&
              equals(2, 2, -2, 2), "zaviCopy_8u");
    check(zaviVectorRamp_32f(v, 4, 1, 2) == 0 && equals(1, 3, 5, 7), "zaviVectorRamp_32f");
    check(zaviMul_32f(a, b, v, 4) == 0 && equals(2, 4, -6, 8), "zaviMul_32f");
    check(zaviMulC_32f(a, 2, v, 4) == 0 && equals(2, 4, 6, 8), "zaviMulC_32f");
    check(zaviMul_32f_I(b, v, 4) == 0 && equals(4, 8, -12, 16), "zaviMul_32f_I");
    check(zaviMulC_32f_I(0.5f, v, 4) == 0 && equals(2, 4, -6, 8), "zaviMulC_32f_I");
    check(zaviAdd_32f_I(a, v, 4) == 0 && equals(3, 6, -3, 12), "zaviAdd_32f_I");
    check(zaviAddC_32f(a, 1, v, 4) == 0 && equals(2, 3, 4, 5), "zaviAddC_32f");
    check(zaviAddC_32f_I(-1, v, 4) == 0 && equals(1, 2, 3, 4), "zaviAddC_32f_I");
    check(zaviSub_32f(a, b, v, 4) == 0 && equals(1, 0, -5, -2), "zaviSub_32f: the second minus the first");
    check(zaviSub_32f_I(b, v, 4) == 0 && equals(-1, -2, -3, -4), "zaviSub_32f_I");
    check(zaviAbs_32f(v, w, 4) == 0 && w[0] == 1 && w[3] == 4, "zaviAbs_32f");
    check(zaviSqr_32f(a, v, 4) == 0 && equals(1, 4, 9, 16), "zaviSqr_32f");
    check(zaviFlip_32f_I(v, 4) == 0 && equals(16, 9, 4, 1), "zaviFlip_32f_I");
    check(zaviThreshold_LT_32f_I(v, 4, 5) == 0 && equals(16, 9, 5, 5), "zaviThreshold_LT_32f_I");
    v[0] = 1;
    v[1] = 0;
    check(zaviLn_32f_I(v, 2) == primitiveStatusLnZeroArgument && v[0] == 0, "zaviLn_32f_I");
    check(zaviMax_32f(b, 4, &x) == 0 && x == 2, "zaviMax_32f");
    check(zaviMin_32f(b, 4, &x) == 0 && x == -2, "zaviMin_32f");
    check(zaviMaxIndx_32f(a, 4, &x, &where) == 0 && x == 4 && where == 3, "zaviMaxIndx_32f");
    check(zaviMinIndx_32f(b, 4, &x, &where) == 0 && x == -2 && where == 2, "zaviMinIndx_32f");
    check(zaviMinMax_32f(a, 4, &x, &y) == 0 && x == 1 && y == 4, "zaviMinMax_32f");
    check(zaviSum_32f(a, 4, &x, 2) == 0 && x == 10, "zaviSum_32f");

    // Real FFT of 16 points: forward to CCS and Perm, back from CCS, expansion.
    RealFftSpec_32f* spec = nullptr;
    check(zaviFFTInitAlloc_R_32f(&spec, 4, fftDivideInverseByN, 0) == 0, "zaviFFTInitAlloc_R_32f");
    int32_t bufferBytes = -1;
    check(zaviFFTGetBufSize_R_32f(spec, &bufferBytes) == 0 && bufferBytes == 80, "zaviFFTGetBufSize_R_32f");
    float signal[16], spectrum[18], perm[16], again[16];
    for (int i = 0; i < 16; ++i) signal[i] = i % 4 == 0 ? 1.0f : 0.0f;
    check(zaviFFTFwd_RToCCS_32f(signal, spectrum, spec, nullptr) == 0 && spectrum[0] == 4.0f && spectrum[8] == 4.0f,
          "zaviFFTFwd_RToCCS_32f");
    check(zaviFFTFwd_RToPerm_32f(signal, perm, spec, nullptr) == 0 && perm[1] == 4.0f, "zaviFFTFwd_RToPerm_32f");
    check(zaviFFTInv_CCSToR_32f(spectrum, again, spec, nullptr) == 0 && again[4] == 1.0f && again[5] == 0.0f,
          "zaviFFTInv_CCSToR_32f");
    Complex32f full[16];
    check(zaviConjPerm_32fc(perm, full, 16) == 0 && full[12].re == 4.0f, "zaviConjPerm_32fc");
    check(zaviFFTFree_R_32f(spec) == 0, "zaviFFTFree_R_32f");
    check(zaviFFTInitAlloc_R_32f(&spec, 31, fftNoDivision, 0) == -15, "order 31 is refused");

    // Real DFT of 9 points (a plan of 3 x 3) and the autocorrelation.
    RealDftSpec_32f* dft = nullptr;
    check(zaviDFTInitAlloc_R_32f(&dft, 9, fftNoDivision, 0) == 0, "zaviDFTInitAlloc_R_32f");
    check(zaviDFTGetBufSize_R_32f(dft, &bufferBytes) == 0 && bufferBytes == 88, "zaviDFTGetBufSize_R_32f");
    const float nine[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    float bins[9];
    check(zaviDFTFwd_RToPerm_32f(nine, bins, dft, nullptr) == 0 && bins[0] == 9.0f && bins[1] == 0.0f,
          "zaviDFTFwd_RToPerm_32f");
    check(zaviDFTFree_R_32f(dft) == 0, "zaviDFTFree_R_32f");
    float lags[3];
    check(zaviAutoCorr_32f(a, 4, lags, 3) == 0 && lags[0] == 30 && lags[1] == 20 && lags[2] == 11,
          "zaviAutoCorr_32f");

    const CoreVersionRecord* version = getCoreVersionRecord();
    check(version->major == 4 && version->minor == 1, "version record");

    static RegistrationRecord own = {"s", "ownRecord", nullptr, nullptr};
    own.link = registerDispatchRecord(&own);
    const RegistrationRecord* last = own.link;
    while (last != nullptr && last->link != nullptr) last = last->link;
    check(last != nullptr && std::strcmp(last->name, "zoveZiva") == 0, "registration list ends at zoveZiva");

    // Layer III signal steps: a granule of one value through requantisation,
    // the inverse MDCT and the synthesis.
    {
        MP3FrameHeader header = {};
        header.id = 1;
        header.layer = 1;
        header.mode = 3;
        MP3SideInfo side[2] = {};
        side[0].global_gain = 210;
        int8_t scaleFactors[80] = {};
        static int32_t spectrum[1152], work[576], samples[576], overlap[576], history[512];
        int32_t bounds[2] = {1, 0};
        spectrum[0] = 1;
        check(zaviReQuantize_MP3_32s_I(spectrum, bounds, scaleFactors, side, &header, work) == 0 &&
                  spectrum[0] == 0x04000000 && bounds[0] == 1,
              "requantisation of one value");
        int32_t count = 0;
        check(zaviMDCTInv_MP3_32s(spectrum, samples, overlap, bounds[0], &count, 0, 0) == 0 && count == 1,
              "inverse MDCT of one granule");
        int16_t pcm[32];
        int32_t position = 0;
        check(zaviSynthPQMF_MP3_32s16s(samples, pcm, history, &position, 1) == 0 && position == 15,
              "synthesis of one slot");
        check(zaviSynthPQMF_MP3_32s16s(samples, pcm, history, &position, 3) == -5, "synthesis refuses mode 3");
    }

    CpuInfoRecord info;
    fillCpuInfoRecord(&info);
    check(info.hasSse2 == 1 && cpuHasSse2() == 1, "x86-64 has SSE2");
    check(DetectCpuType() != 0 && isCpuidSupported() == 1 && checkCpuVendor() == 1, "detection");
    check(cpuMaxStandardLeaf() >= 1, "standard leaf 1 exists");
    check(cpuHasTsc() == 1 && cpuHasMmx() == 1 && cpuHasSse() == 1 && cpuHas64BitExtensions() == 1,
          "what every x86-64 processor has");
    check(cpuHasSse3() == static_cast<int32_t>(info.hasSse3) &&
              cpuHasSeveralLogicalProcessors() == static_cast<int32_t>(info.hasSeveralLogicalProcessors),
          "feature queries agree with the info record");

    const uint64_t before = readTimeStampCounter();
    check(readTimeStampCounter() >= before, "time-stamp counter runs forward");

    // Round to zero in both units, then put the old modes back.
    const uint32_t x87 = setX87ControlWord(0x0C00, 0x0C00);
    check((getX87ControlWord() & 0x0C00) == 0x0C00, "x87 rounding control set");
    check(setX87ControlWord(x87, 0xFFFF) == (x87 | 0x0C00), "x87 setter returns the word it replaces");
    check(getX87ControlWord() == x87, "x87 control word restored");
    clearX87Exceptions();
    check((getX87StatusWord() & 0x3F) == 0, "x87 exception flags cleared");

    const uint32_t mxcsr = setSseControl(0x6000, 0x6000);
    check((getSseControl() & 0x6000) == 0x6000, "SSE rounding control set");
    check((resetSseControl() & 0xFFC0) == ((mxcsr | 0x6000) & 0xFFC0), "reset returns the value it replaces");
    check((getSseControl() & 0xFFC0) == 0x1F80, "SSE control at its default");
    setSseControl(mxcsr, 0xFFFF);

    // y[n] = x[n] + y[n-1] / 2 on an impulse: 1, 1/2, 1/4, ...
    const float iirTaps[] = {1.0f, 0.0f, 1.0f, -0.5f};
    IirState* iir = nullptr;
    check(zaviIIRInitAlloc_32f(&iir, iirTaps, 1, nullptr) == 0, "IIR state created");
    float impulse[3] = {1.0f, 0.0f, 0.0f};
    float response[3] = {};
    check(zaviIIR_32f(impulse, response, 3, iir) == 0 && response[2] == 0.25f, "IIR impulse response");
    check(zaviIIR_32f_I(impulse, 3, iir) == 0 && impulse[0] == 1.125f && impulse[2] == 0.28125f, "IIR continues in place");
    float delay = 0.0f;
    check(zaviIIRGetDlyLine_32f(iir, &delay) == 0 && delay == 0.140625f, "IIR delay line");
    check(zaviIIRFree_32f(iir) == 0, "IIR state freed");

    if (failures == 0) std::puts("primitives.h: every entry and helper linked and answered");
    return failures == 0 ? 0 : 1;
}
