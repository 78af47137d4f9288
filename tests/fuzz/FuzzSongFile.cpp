// The song-file factory on a damaged song: the RIFF walk of a WAV file, the
// MP3 song's tags and end block, the meta-data and image kept inside, and
// the reader it makes, read at places the input picks. Byte 0 picks the
// song's name (".wav", ".mp3", ".wma"), bytes 1..4 the read position; the
// song's bytes follow. The RIFF walk alone must place every part inside
// the file; every read gives finite samples.
#include "FuzzSupport.h"

#include "audio/ID3v2Tag.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskWMA.h"
#include "framework/Support.h"
#include "framework/Image.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The start-up check that offers ".wma" through the reader's decoder.
    static const bool wma = [] {
        SampleDiskWMA::installLoader();
        checkWmaLibrary();
        return isWmaAvailable();
    }();
    if (!wma) fuzz::fail("the WMA decoder did not load");
    fuzz::Cursor cursor(data, size);
    static const char* const extensions[] = {"wav", "mp3", "wma"};
    const char* extension = extensions[cursor.byte() % 3];
    const std::uint32_t positionSeed = cursor.u32();
    const std::uint8_t* song = cursor.rest();
    const std::size_t songSize = std::min<std::size_t>(cursor.restSize(), 0x7fffffff);

    if (extension[1] == 'a') {
        fuzz::guarded([&] {
            fuzz::InputFile file(song, songSize);
            const WavLayout layout = SampleDisk::parseWav(file);
            const auto inside = [songSize](std::int64_t offset) { return offset >= 0 && offset <= std::int64_t(songSize); };
            fuzz::check(inside(layout.dataStart) && layout.dataBytes >= 0 &&
                            inside(std::int64_t{layout.dataStart} + layout.dataBytes),
                        "the data chunk lies outside the file");
            fuzz::check(!layout.hasQrt || inside(layout.qrtOffset), "the qrt chunk lies outside the file");
            fuzz::check(!layout.hasPng || inside(layout.pngOffset), "the png chunk lies outside the file");
        });
    }

    const std::string path = fuzz::scratchDirectory() + "/song." + extension;
    fuzz::writeFile(path, song, songSize);
    std::unique_ptr<Beats> beats;
    std::unique_ptr<Image> image;
    std::unique_ptr<ID3v2Tag> id3v2;
    std::uint8_t id3v1[128] = {};
    bool hasId3v1 = false, hasId3v2 = false;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    outputs.image = &image;
    outputs.id3v1 = id3v1;
    outputs.hasId3v1 = &hasId3v1;
    outputs.id3v2 = &id3v2;
    outputs.hasId3v2 = &hasId3v2;
    std::unique_ptr<AudioFileReader> reader;
    fuzz::guarded([&] { reader = SampleDisk::open(path, true, false, 1.0f, outputs); });
    fuzz::removeFile(path);
    if (!reader) return 0;
    fuzz::check(reader->length() >= 0 && reader->length() <= SampleDisk::kMaxFrames, "song length out of range");
    fuzz::check(hasId3v2 == (id3v2 != nullptr), "the ID3v2 flag does not match the tag");

    const std::int64_t span = std::int64_t{reader->length()} + 4096;
    const auto position = static_cast<std::int32_t>(static_cast<std::int64_t>(positionSeed % span) - 2048);
    const int channels = reader->format()->channels;
    fuzz::check(channels >= 1 && channels <= 2, "a song of another channel count was opened");
    const struct {
        std::int32_t at;
        std::int32_t count;
        bool ahead;
    } reads[] = {{position, 4410, false}, {0, 1152, true}};
    for (const auto& r : reads) {
        fuzz::guarded([&] {
            float** samples = reader->read(r.at, r.count, r.ahead);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < r.count; ++i) fuzz::check(std::isfinite(samples[c][i]), "a sample is not finite");
        });
    }
    fuzz::noteAccepted();
    return 0;
}
