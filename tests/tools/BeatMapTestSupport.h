// Shared by the beat-map tests: the NumPy model, the tempo songs written
// once per test program, envelopes as float files, WAV files written here,
// and an in-memory song reader.
#ifndef VELKARN_TESTS_TOOLS_BEATMAPTESTSUPPORT_H
#define VELKARN_TESTS_TOOLS_BEATMAPTESTSUPPORT_H

#include "FrameworkTest.h"
#include "audio/AudioFileReader.h"
#include "audio/FormatAudio.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class GUIBeatMap;

namespace beatmap_test {

constexpr std::int32_t samplesPerValue = 153;

struct TempoSong {
    std::string name;
    double bpm;
    int meter;
    std::string kind;  // "accented", "plain" or "music"
    std::string path;
};

// The songs of tests/tools/data/make_tempo_signals.py (60 s each), written
// on first use into a directory that lives as long as the program.
const std::vector<TempoSong>& tempoSongs();
const TempoSong& tempoSong(const std::string& name);

// A song's envelope as the map analyses it (cached per program).
const std::vector<float>& songEnvelope(const TempoSong& song);

// The model's output lines for a command.
std::vector<std::string> model(const std::vector<std::string>& arguments);
// A little-endian float32 file of the values, in the program's temporary
// directory; returns its path.
std::string writeFloats(const std::string& name, const std::vector<float>& values);
std::string temporaryFile(const std::string& name);
float floatFromHex(const std::string& hex);
std::vector<float> floatsFromHex(const std::vector<std::string>& lines, std::size_t first, std::size_t count);

// A 16-bit stereo 44.1 kHz WAV file of interleaved samples.
void writeWav(const std::string& path, const std::vector<std::int16_t>& interleaved);
std::unique_ptr<AudioFileReader> openWav(const std::string& path);

// Hands the map an aligned copy of the values.
void setEnvelope(GUIBeatMap& map, const std::vector<float>& values);

// Runs the body once per build of the primitives that this processor
// runs, with that build selected and a new map holding the envelope.
void forEachBuild(const std::vector<float>& envelope, const std::function<void(GUIBeatMap& map)>& body);

// Ten minutes of accented clicks at 120 BPM as an envelope: downbeats 1.0,
// other beats 0.5, over a faint seeded floor. Its bar products overflow
// single precision (about 2^300).
std::vector<float> longAccentedEnvelope();

// A song held in memory as floats per channel. It records each read and,
// when asked, sets an abort flag while it serves the read of a given chunk
// (as a user pressing Abort during that chunk would).
class MemoryReader : public AudioFileReader {
public:
    MemoryReader(FormatAudio format, std::int32_t frames);
    FormatAudio* format() override { return &format_; }
    int length() const override { return frames_; }
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override;
    bool isFrameBased() const override { return false; }

    void abortOnRead(int readIndex, bool* flag) {
        abortRead_ = readIndex;
        abortFlag_ = flag;
    }
    const std::vector<std::pair<std::int32_t, std::int32_t>>& reads() const { return reads_; }

private:
    FormatAudio format_;
    std::int32_t frames_;
    std::vector<std::vector<float>> buffers_;
    std::vector<float*> pointers_;
    std::vector<std::pair<std::int32_t, std::int32_t>> reads_;
    int abortRead_ = -1;
    bool* abortFlag_ = nullptr;
};

}  // namespace beatmap_test

#endif
