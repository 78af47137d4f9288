// The MP3 song reader on a whole file in memory: its frame scan, reads at
// positions the input picks (with and without read-ahead), and a second
// open from the stored frame index, once as kept and once with one offset
// altered. Every read gives finite samples; an unaltered index gives the
// same frames as the scan.
//   bytes 0..3  read position, 4..5 read length, 6 which offset to alter,
//   7..10 the change; the song's bytes follow.
#include "FuzzSupport.h"

#include "audio/SampleDiskMP3.h"

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<SampleDiskMP3> open(const std::uint8_t* song, std::size_t size, const std::int32_t* offsets,
                                    std::int32_t count) {
    std::unique_ptr<SampleDiskMP3> reader;
    fuzz::guarded([&] {
        reader = std::make_unique<SampleDiskMP3>(std::make_unique<fuzz::InputFile>(song, size), FormatAudio(), 0,
                                                 static_cast<std::int32_t>(size), 1.0f, offsets, count);
    });
    return reader;
}

void readAndCheck(SampleDiskMP3& reader, std::int32_t position, std::int32_t count, bool readAhead) {
    fuzz::guarded([&] {
        float** channels = reader.read(position, count, readAhead);
        fuzz::check(channels != nullptr && channels[0] != nullptr && channels[1] != nullptr, "a read gave no samples");
        for (int c = 0; c < 2; ++c)
            for (std::int32_t i = 0; i < count; ++i) fuzz::check(std::isfinite(channels[c][i]), "a sample is not finite");
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Cursor cursor(data, size);
    const std::uint32_t positionSeed = cursor.u32();
    const std::int32_t count = static_cast<std::int32_t>((cursor.byte() | (cursor.byte() << 8)) % 44101);
    const std::uint8_t alterAt = cursor.byte();
    const std::int32_t change = static_cast<std::int32_t>(cursor.u32());
    const std::uint8_t* song = cursor.rest();
    const std::size_t songSize = std::min<std::size_t>(cursor.restSize(), 0x7fffffff);

    std::unique_ptr<SampleDiskMP3> reader = open(song, songSize, nullptr, 0);
    if (!reader) return 0;
    const std::int32_t frames = reader->frameCount();
    fuzz::check(frames > 0 && frames <= SampleDiskMP3::kMaxFrames, "frame count out of range");
    const std::vector<std::int32_t> index = reader->frameIndex();
    fuzz::check(index.size() == static_cast<std::size_t>(frames) + 1, "frame index size does not match");
    // Frames start inside the song; the last may be cut short by its end.
    for (std::size_t i = 1; i < index.size(); ++i)
        fuzz::check(index[i] > index[i - 1] && index[i - 1] < static_cast<std::int64_t>(songSize),
                    "frame index not rising inside the song");

    const std::int64_t span = static_cast<std::int64_t>(reader->length()) + 2 * SampleDiskMP3::kSamplesPerFrame;
    const auto position = static_cast<std::int32_t>(static_cast<std::int64_t>(positionSeed % span) -
                                                    SampleDiskMP3::kSamplesPerFrame);
    readAndCheck(*reader, position, count, false);
    readAndCheck(*reader, position / 2, count, true);
    readAndCheck(*reader, 0, std::min<std::int32_t>(count, 2304), false);

    std::unique_ptr<SampleDiskMP3> kept = open(song, songSize, index.data(), frames);
    fuzz::check(kept && kept->frameIndex() == index, "the kept frame index opens to other frames");

    std::vector<std::int32_t> altered = index;
    std::int32_t& entry = altered[alterAt % altered.size()];
    entry = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry) + static_cast<std::uint32_t>(change));
    fuzz::noteAccepted();
    if (std::unique_ptr<SampleDiskMP3> other = open(song, songSize, altered.data(), frames))
        readAndCheck(*other, position, count, false);
    return 0;
}
