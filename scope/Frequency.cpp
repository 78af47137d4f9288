#include "scope/Frequency.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const double semitone = std::pow(2.0, 1.0 / 12.0);
const double logOfSemitone = std::log(semitone);

constexpr const char* names[12] = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};
constexpr const char* blank = "       ";

}  // namespace

Frequency::Frequency() { std::memcpy(text_, blank, textLength + 1); }

Frequency::~Frequency() = default;

// A NaN is kept as it is: its text is blanks.
void Frequency::setHz(float hz) { hz_ = std::isnan(hz) ? hz : std::max(hz, 1e-6f); }

void Frequency::setNote(float note) {
    note_ = note;
    setHz(static_cast<float>(440.0 * std::pow(semitone, static_cast<double>(note) - 69.0)));
    hzOfNote_ = hz_;
}

float Frequency::note() {
    if (hzOfNote_ != hz_) {
        note_ = static_cast<float>(std::log(static_cast<double>(hz_) / 440.0) / logOfSemitone + 69.0);
        hzOfNote_ = hz_;
    }
    return note_;
}

const char* Frequency::text() {
    // A NaN never equals itself, so it is formatted (to blanks) every time.
    if (hzOfText_ != hz_) {
        format();
        hzOfText_ = hz_;
    }
    return text_;
}

void Frequency::format() {
    ++textsBuilt_;
    const float x = note();
    std::memcpy(text_, blank, textLength + 1);
    // Octaves run to 99: n / 12 - 1 must fit "%2d", so n stays below 1212.
    if (!std::isfinite(x) || x < 0.0f || x >= 1212.0f) return;
    const int n = static_cast<int>(x);
    if (n / 12 == 0) return;
    const float fraction = x - static_cast<float>(n);
    char formatted[32];
    const int length = std::snprintf(formatted, sizeof formatted, "%s%2d.%2d", names[n % 12], n / 12 - 1,
                                     static_cast<int>(fraction * 100.0f));
    if (length == textLength) std::memcpy(text_, formatted, textLength + 1);
}
