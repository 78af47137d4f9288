// Songs for whole-deck runs, written as 16-bit stereo 44.1 kHz WAV files
// with their beat meta-data: a steady low tone, and a short 1 kHz marker
// (Hann-windowed) centred a quarter beat after every marked beat, so that
// where each beat lands in a rendered mix can be measured.
#ifndef VELKARN_TESTS_AUDIO_TONESONGS_H
#define VELKARN_TESTS_AUDIO_TONESONGS_H

#include <cstdint>
#include <string>
#include <vector>

struct ToneSongSpec {
    double bpm = 120.0;
    double seconds = 60.0;
    double toneHz = 110.0;
    double toneAmplitude = 0.15;
    double markerHz = 1000.0;
    double markerAmplitude = 0.3;
    double markerMs = 30.0;
    std::int32_t firstBeat = 2000;  // frame of the first marked beat
};

// What only some songs carry.
struct ToneSongExtras {
    // Not empty: tags with this title, the artist and the song's bpm as
    // their tempo.
    std::string title{};
    std::string artist{};
    // Not empty: the label chunk.
    std::string label{};
    // From this beat on (>= 1), the marked beats come one beat at slowBpm
    // later: beat slowBeat - 1 lasts that long.
    std::int32_t slowBeat = -1;
    double slowBpm = 39.0;
};

struct ToneSong {
    std::string path;                  // the WAV file; its meta-data sits beside it
    std::vector<std::int32_t> beats;   // the marked beats' frames
    std::vector<double> markerCentres; // frame of each marker's centre (one per beat but the last)
    double beatFrames = 0.0;           // 44100 x 60 / bpm
    double largestStep = 0.0;          // largest sample-to-sample step of the written samples
    double rms = 0.0;                  // of the written samples between the first and last beat
};

// Writes <directory>/<name>.wav and its side file; the meta-data draws the
// song from a flat level envelope.
ToneSong writeToneSong(const std::string& directory, const std::string& name, const ToneSongSpec& spec,
                       const ToneSongExtras& extras = {});

// The energy centre, in frames of the signal, of the marker near
// `expected` (within 40 ms): the second difference removes the low tone and
// keeps the marker's burst. -1 when the stretch is silent.
double markerCentre(const std::vector<float>& signal, double expected);

// The marker as written: Hann-windowed sine of markerMs, sample k of n.
std::vector<float> toneMarker(const ToneSongSpec& spec);

#endif
