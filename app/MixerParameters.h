// The twelve live controls of the two-deck mixer. Every control surface
// sets a parameter by a position between 0 and 1; the render callback reads
// the real values once per block.
//
// Threads: setPosition may be called from any thread (the user interface,
// the controller reader threads) while the output threads read. Each value
// and position is one relaxed atomic float, so a reader sees either the old
// or the new value of a parameter; two parameters read in one block may
// come from different updates. No lock is taken anywhere.
#ifndef VELKARN_APP_MIXERPARAMETERS_H
#define VELKARN_APP_MIXERPARAMETERS_H

#include <atomic>

class MixerParameters {
public:
    static constexpr int count = 12;

    // What each index controls. Cutoffs are in Hz; the filter mode is
    // band-pass between the two cutoffs when exactly 1, band-stop otherwise.
    enum Index : int {
        mainVolume = 0,
        crossfader = 1,  // 0 deck 0 only, 1 deck 1 only
        deck0Gain = 2,
        deck0LowerCutoff = 3,
        deck0UpperCutoff = 4,
        deck0FilterMode = 5,
        deck0EffectLevel = 6,
        deck1Gain = 7,
        deck1LowerCutoff = 8,
        deck1UpperCutoff = 9,
        deck1FilterMode = 10,
        deck1EffectLevel = 11,
    };

    // Every parameter at its default value.
    MixerParameters();
    virtual ~MixerParameters();

    MixerParameters(const MixerParameters&) = delete;
    MixerParameters& operator=(const MixerParameters&) = delete;

    // Stores the position and sets the value to minimum + range x t, where
    // t is the position for a linear parameter and its exponential response
    // for a cutoff. Callers pass an index 0..11 and a position 0..1; neither
    // is checked nor clamped.
    void setPosition(int index, float position);

    float value(int index) const { return values_[index].load(std::memory_order_relaxed); }
    float position(int index) const { return positions_[index].load(std::memory_order_relaxed); }

private:
    std::atomic<float> values_[count];
    std::atomic<float> positions_[count];
    float ranges_[count];  // maximum - minimum, fixed at construction

    static_assert(std::atomic<float>::is_always_lock_free, "the render callback must never wait on a parameter");
};

#endif
