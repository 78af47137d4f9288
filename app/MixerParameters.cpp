#include "app/MixerParameters.h"

#include "framework/ResponseCurves.h"

namespace {

struct Mapping {
    float defaultValue;
    float minimum;
    float maximum;
    bool exponential;
};

// The four cutoffs follow the exponential response so that the lower half of
// a control covers the frequencies up to about 1.7 kHz.
constexpr Mapping mappings[MixerParameters::count] = {
    {0.9f, 0.0f, 2.0f, false},         // main volume
    {0.5f, 0.0f, 1.0f, false},         // crossfader
    {1.0f, 1.0f, 3.0f, false},         // deck 0 gain: unity at the minimum
    {5.0f, 5.0f, 22000.0f, true},      // deck 0 lower cutoff
    {22000.0f, 5.0f, 22000.0f, true},  // deck 0 upper cutoff
    {1.0f, 0.0f, 1.0f, false},         // deck 0 filter mode
    {0.0f, 0.0f, 1.0f, false},         // deck 0 effect level
    {1.0f, 1.0f, 3.0f, false},         // deck 1 gain
    {5.0f, 5.0f, 22000.0f, true},      // deck 1 lower cutoff
    {22000.0f, 5.0f, 22000.0f, true},  // deck 1 upper cutoff
    {1.0f, 0.0f, 1.0f, false},         // deck 1 filter mode
    {0.0f, 0.0f, 1.0f, false},         // deck 1 effect level
};

}  // namespace

MixerParameters::MixerParameters() {
    for (int i = 0; i < count; ++i) {
        const Mapping& m = mappings[i];
        ranges_[i] = m.maximum - m.minimum;
        const float fraction = (m.defaultValue - m.minimum) / ranges_[i];
        values_[i].store(m.defaultValue, std::memory_order_relaxed);
        positions_[i].store(m.exponential ? logarithmicScale(fraction) : fraction, std::memory_order_relaxed);
    }
}

MixerParameters::~MixerParameters() = default;

void MixerParameters::setPosition(int index, float position) {
    const Mapping& m = mappings[index];
    const float t = m.exponential ? exponentialScale(position) : position;
    positions_[index].store(position, std::memory_order_relaxed);
    values_[index].store(m.minimum + ranges_[index] * t, std::memory_order_relaxed);
}
