// The beat meta-data reader on any bytes, with every record asked for. A
// file it accepts is written again from what was read; that file must read
// back to the same beats and records (compared through a second write,
// which must give the same bytes).
#include "FuzzSupport.h"

#include "audio/Beats.h"

namespace {

// What was read, to be written again with the frame table when one was read
// (a count still at -1 after the read says none was).
BeatsWriteSources sourcesOf(const SongRecords& read) {
    BeatsWriteSources sources = read.sources();
    if (read.frameCount >= 0) {
        sources.frames = read.frames.data();
        sources.frameCount = read.frameCount;
    }
    return sources;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SongRecords first;
    first.frameCount = -1;
    std::unique_ptr<Beats> beats;
    fuzz::guarded([&] {
        fuzz::InputFile file(data, size);
        beats = std::make_unique<Beats>(file, 44100, first.targets());
    });
    if (!beats) return 0;
    fuzz::check(beats->count() >= 0 && beats->count() <= Beats::capacity, "beat count out of range");
    fuzz::check(first.frameCount < 0 || first.frames.size() == static_cast<std::size_t>(first.frameCount) + 1,
                "frame table size does not match its count");

    const std::string written = beats->metaDataBytes(sourcesOf(first));
    SongRecords second;
    second.frameCount = -1;
    std::unique_ptr<Beats> again;
    try {
        fuzz::InputFile file(reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
        again = std::make_unique<Beats>(file, 44100, second.targets());
    } catch (const std::exception&) {
        fuzz::fail("a file written from an accepted one is refused");
    }
    fuzz::check(again->count() == beats->count(), "beat count changed through a write");
    for (std::int32_t i = 0; i < beats->count(); ++i)
        fuzz::check((*again)[i].position == (*beats)[i].position && (*again)[i].generated == (*beats)[i].generated,
                    "a beat changed through a write");
    fuzz::check(second.hasTags == first.hasTags && second.hasLabel == first.hasLabel &&
                    second.hasKey == first.hasKey && second.hasPoints == first.hasPoints &&
                    second.frameCount == first.frameCount,
                "the records found changed through a write");
    fuzz::check(again->metaDataBytes(sourcesOf(second)) == written, "a second write gives other bytes");
    fuzz::noteAccepted();
    return 0;
}
