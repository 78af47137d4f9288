// The MP3 meta-data tools on damaged songs: finding, replacing and taking
// out the block at the song's end (and an ID3v1 tag behind it).
#include "MetaDataToolsCase.h"

#include "audio/Mp3MetaDataTools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ToolsCase c = fuzz::prepareToolsCase(data, size, "mp3");
    fuzz::runToolsCase(
        c, [](const std::string& path) { return mergeMp3MetaData(path); },
        [](const std::string& path) { return splitMp3MetaData(path, false); });
    return 0;
}
