#include "ToneSongs.h"

#include "audio/Beats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace {

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

std::vector<float> toneMarker(const ToneSongSpec& spec) {
    const auto n = static_cast<std::int32_t>(std::lround(spec.markerMs * 44.1));
    std::vector<float> marker(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (k + 0.5) / n);
        const double t = (k - (n - 1) / 2.0) / 44100.0;
        marker[static_cast<std::size_t>(k)] =
            static_cast<float>(spec.markerAmplitude * window * std::sin(2.0 * std::numbers::pi * spec.markerHz * t));
    }
    return marker;
}

ToneSong writeToneSong(const std::string& directory, const std::string& name, const ToneSongSpec& spec,
                       const ToneSongExtras& extras) {
    ToneSong song;
    const auto frames = static_cast<std::int64_t>(spec.seconds * 44100.0);
    song.beatFrames = 44100.0 * 60.0 / spec.bpm;
    const double slowFrames = 44100.0 * 60.0 / extras.slowBpm;
    for (std::int64_t i = 0;; ++i) {
        double position = spec.firstBeat + static_cast<double>(i) * song.beatFrames;
        if (extras.slowBeat >= 1 && i >= extras.slowBeat) position += slowFrames - song.beatFrames;
        if (position >= static_cast<double>(frames) - song.beatFrames / 2) break;
        song.beats.push_back(static_cast<std::int32_t>(std::lround(position)));
    }
    std::vector<double> samples(static_cast<std::size_t>(frames));
    for (std::int64_t k = 0; k < frames; ++k) {
        samples[static_cast<std::size_t>(k)] =
            spec.toneAmplitude * std::sin(2.0 * std::numbers::pi * spec.toneHz * static_cast<double>(k) / 44100.0);
    }
    const std::vector<float> marker = toneMarker(spec);
    const auto half = static_cast<double>(marker.size() - 1) / 2.0;
    for (std::size_t i = 0; i + 1 < song.beats.size(); ++i) {
        // A quarter of the song's own beat after the beat; the marker's
        // first sample sits at a whole frame, its centre half a frame off
        // for an even length.
        const auto start = static_cast<std::int64_t>(std::lround(song.beats[i] + song.beatFrames / 4 - half));
        song.markerCentres.push_back(static_cast<double>(start) + half);
        for (std::size_t k = 0; k < marker.size(); ++k) {
            const std::int64_t at = start + static_cast<std::int64_t>(k);
            if (at >= 0 && at < frames) samples[static_cast<std::size_t>(at)] += marker[k];
        }
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(frames) * 4);
    double previous = 0.0, sum = 0.0;
    std::int64_t counted = 0;
    for (std::int64_t k = 0; k < frames; ++k) {
        const auto value = static_cast<std::int16_t>(std::lround(samples[static_cast<std::size_t>(k)] * 32767.0));
        const double written = value / 32768.0;
        if (k > 0) song.largestStep = std::max(song.largestStep, std::abs(written - previous));
        if (k >= song.beats.front() && k < song.beats.back()) {
            sum += written * written;
            ++counted;
        }
        previous = written;
        put16(data, static_cast<std::uint16_t>(value));
        put16(data, static_cast<std::uint16_t>(value));
    }
    song.rms = std::sqrt(sum / static_cast<double>(std::max<std::int64_t>(counted, 1)));
    std::string fmt;
    put16(fmt, 1);
    put16(fmt, 2);
    put32(fmt, 44100);
    put32(fmt, 44100 * 4);
    put16(fmt, 4);
    put16(fmt, 16);
    std::string body = "WAVEfmt ";
    put32(body, 16);
    body += fmt + "data";
    put32(body, static_cast<std::uint32_t>(data.size()));
    body += data;
    std::string file = "RIFF";
    put32(file, static_cast<std::uint32_t>(body.size()));
    file += body;
    const std::string base = directory + "/" + name;
    song.path = base + ".wav";
    std::ofstream out(song.path, std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out) throw std::runtime_error("cannot write " + song.path);
    out.close();

    Beats beats(44100);
    for (std::int32_t position : song.beats) beats.appendBeat(position, false);
    BTSettings settings;
    settings.strip3 = 0;  // drawn from the level envelope: no overview picture needed
    std::vector<float> levels(static_cast<std::size_t>(frames / 100 + 1), 0.2f);
    PointsRecord points;
    points.samplesPerLevel = 100;
    points.levelCount = static_cast<std::int32_t>(levels.size());
    points.levels = levels.data();
    SongTags tags;
    std::snprintf(tags.title, sizeof tags.title, "%s", extras.title.c_str());
    std::snprintf(tags.artist, sizeof tags.artist, "%s", extras.artist.c_str());
    tags.bpm = static_cast<float>(spec.bpm);
    BeatsWriteSources sources;
    sources.settings = &settings;
    sources.points = &points;
    if (!extras.title.empty()) sources.tags = &tags;
    if (!extras.label.empty()) sources.label = extras.label.c_str();
    beats.writeMetaData(base + ".qrt", sources);
    return song;
}

double markerCentre(const std::vector<float>& signal, double expected) {
    const auto from = static_cast<std::int64_t>(expected) - 1764;
    const auto to = static_cast<std::int64_t>(expected) + 1764;
    double sum = 0.0, weighted = 0.0;
    for (std::int64_t t = std::max<std::int64_t>(from, 1); t < to && t + 1 < static_cast<std::int64_t>(signal.size()); ++t) {
        const double d2 = static_cast<double>(signal[static_cast<std::size_t>(t + 1)]) - 2.0 * signal[static_cast<std::size_t>(t)] +
                          signal[static_cast<std::size_t>(t - 1)];
        sum += d2 * d2;
        weighted += d2 * d2 * static_cast<double>(t);
    }
    return sum > 0.0 ? weighted / sum : -1.0;
}
