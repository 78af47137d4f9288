// The WAV meta-data tools on damaged songs: the RIFF header and chunk walk
// of merge and split, and the merge's wrap of an MP3 song into a new WAV
// file. Byte 0 bit 2 picks the wrap (the song is then "song.mp3").
#include "MetaDataToolsCase.h"

#include "audio/WavMetaDataTools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool wrap = size > 0 && (data[0] & 4) != 0;
    fuzz::ToolsCase c = fuzz::prepareToolsCase(data, size, wrap ? "mp3" : "wav");
    if (wrap) c.result = c.side("wav");
    fuzz::runToolsCase(
        c, [](const std::string& path) { return mergeWavMetaData(path); },
        [](const std::string& path) { return splitWavMetaData(path, false); });
    return 0;
}
