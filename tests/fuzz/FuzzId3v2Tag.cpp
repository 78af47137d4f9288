// The ID3v2 tag reader on any bytes at the start of a file. A tag it reads
// gives texts no longer than the file and ends after its header.
#include "FuzzSupport.h"

#include "audio/ID3v2Tag.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::guarded([&] {
        fuzz::InputFile file(data, size);
        ID3v2Tag tag(file);
        fuzz::check(tag.version() == 3 || tag.version() == 4, "a tag of another version was read");
        fuzz::check(tag.tagEnd() >= 10, "the tag ends inside its header");
        for (const char* text : {tag.title(), tag.artist(), tag.album(), tag.comment(), tag.year()})
            if (text != nullptr) fuzz::check(std::strlen(text) <= size, "a text is longer than the file");
        fuzz::noteAccepted();
    });
    return 0;
}
