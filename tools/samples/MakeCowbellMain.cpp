// velkarn-cowbell <directory>: writes the beat mapper's metronome click,
// <directory>/cowbell.wav, at build time: 80 ms of a struck bell in CD
// format (stereo, 44,100 Hz, 16 bits). Two square-like partials at 540 and
// 800 Hz (odd harmonics up to the seventh), a 1 ms attack and an
// exponential decay. The file is rewritten only when its bytes change, so
// the archive is packed again only then.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;
constexpr int channels = 2;
constexpr int frames = rate * 80 / 1000;
constexpr double pi = 3.14159265358979323846;

void put16(std::string& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

double partial(double frequency, double t) {
    double sum = 0.0;
    for (int harmonic = 1; harmonic <= 7; harmonic += 2) {
        sum += std::sin(2.0 * pi * frequency * harmonic * t) / harmonic;
    }
    return sum;
}

std::string cowbell() {
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double attack = std::min(1.0, t / 0.001);
        const double decay = std::exp(-t / 0.018);
        // The end fades to silence over the last 5 ms, so no step remains.
        const double tail = std::min(1.0, (static_cast<double>(frames - 1 - i) / rate) / 0.005);
        const double value = 0.45 * attack * decay * tail * (0.6 * partial(540.0, t) + 0.4 * partial(800.0, t));
        const long quantised = std::lround(std::max(-1.0, std::min(1.0, value)) * 32767.0);
        samples.push_back(static_cast<std::int16_t>(quantised));
    }
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
    std::string bytes = "RIFF";
    put32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, 1);  // PCM
    put16(bytes, static_cast<std::uint32_t>(channels));
    put32(bytes, static_cast<std::uint32_t>(rate));
    put32(bytes, static_cast<std::uint32_t>(rate * channels * 2));
    put16(bytes, static_cast<std::uint32_t>(channels * 2));
    put16(bytes, 16);
    bytes += "data";
    put32(bytes, dataBytes);
    for (std::int16_t sample : samples) {
        for (int c = 0; c < channels; ++c) put16(bytes, static_cast<std::uint16_t>(sample));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string path = std::string(argv[1]) + "/cowbell.wav";
    const std::string bytes = cowbell();
    {
        std::ifstream in(path, std::ios::binary);
        const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.good() || in.eof()) {
            if (old == bytes) return 0;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "velkarn-cowbell: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
