// The spectrum of a block of mono audio as the heights of display columns
// spread over a frequency range, linearly or on the logarithmic response
// scale, and optionally the strongest bin. It hides the choice between the
// real FFT of power-of-two lengths (the block zero-padded) and the DFT of
// any length, and rebuilds window, transform and column table when the
// block length changes. One thread at a time (the scope's drawing).
#ifndef VELKARN_AUDIO_DFT_H
#define VELKARN_AUDIO_DFT_H

#include "primitives.h"

#include <cstdint>
#include <vector>

class DFT {
public:
    // points: the longest block (rounded up to a power of two in
    // power-of-two mode, the block's own length otherwise); 0 or less is a fatal stop "Cannot do a 0-point
    // DFT.". tableSize: room for the column table, at least the column
    // count plus one. Nothing is built until the first block.
    DFT(std::int32_t points, std::int32_t tableSize, bool powerOfTwo);
    virtual ~DFT();
    DFT(const DFT&) = delete;
    DFT& operator=(const DFT&) = delete;

    // Reads n samples of a ring of ringLength samples from `start` (wrapping
    // at the ring's end) and writes columns + 1 values to out: column u the
    // summed magnitudes of its bins, value `columns` the magnitude of the
    // last table bin, each as 1 + (4/9) log10(max(v, 1e-6)), so 0 dB gives
    // 1.0 and -45 dB 0.0. from and to are fractions of half the sample rate.
    // With findPeak, the strongest bin of the table's range gives
    // peakFraction (its frequency as such a fraction) and the columns where
    // it starts and ends, counted from 1. Allocates nothing while n, the
    // columns, the range and the scale stay the same. A block longer than
    // the capacity is a fatal stop "Not enough space allocated for DFT.".
    void spectrumColumns(const float* ring, std::int32_t start, std::int32_t n, std::int32_t ringLength,
                         std::int32_t columns, float from, float to, bool logScale, float* out, bool findPeak,
                         float& peakFraction, std::int32_t& peakColumnLow, std::int32_t& peakColumnHigh);

    // Refills the column table for the current transform length: entry u of
    // 0..columns is the bin at a + u (b - a) / columns of half the spectrum,
    // a and b being from and to (on the logarithmic scale with logScale). A
    // table larger than tableSize is a fatal stop "Not enough space
    // allocated for DFT.".
    void mapColumnsToBins(std::int32_t columns, float from, float to, bool logScale);

    // The first steps of spectrumColumns: the block as the transform reads
    // it (zero padding around it, scaled by L / n and windowed); valid until
    // the next call. Rebuilds for a new length like spectrumColumns.
    const float* windowedBlock(const float* ring, std::int32_t start, std::int32_t n, std::int32_t ringLength);

    std::int32_t capacity() const { return capacity_; }
    // L: the transform length for the current block length (0 before the
    // first block).
    std::int32_t transformLength() const { return transformLength_; }
    // The column table, columns + 1 entries as last built.
    const std::int32_t* columnTable() const { return table_.data(); }

private:
    void prepareLength(std::int32_t n);
    void releaseTransform();
    void transform();

    bool powerOfTwo_;
    float* time_ = nullptr;      // 2 x capacity
    float* spectrum_ = nullptr;  // 2 x capacity
    float* window_ = nullptr;    // capacity
    std::vector<std::int32_t> table_;
    RealFftSpec_32f* fftSpec_ = nullptr;  // power-of-two mode
    RealDftSpec_32f* dftSpec_ = nullptr;  // any-length mode
    std::uint8_t* workBuffer_ = nullptr;
    std::int32_t capacity_ = 0;
    std::int32_t transformLength_ = 0;
    std::int32_t fftLength_ = 0;     // what fftSpec_ or dftSpec_ was made for
    std::int32_t windowLength_ = 0;  // the block length n in force

    // What the column table was built for.
    struct TableKey {
        std::int32_t length = 0;
        std::int32_t columns = -1;
        float from = 0.0f;
        float to = 0.0f;
        bool logScale = false;
    } tableKey_;
};

#endif
