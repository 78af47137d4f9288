// The attributes of a damaged WMA (ASF) file through the platform layer:
// open, every read, then a value added and saved. A failed save leaves the
// song as it was; a successful one is read back with the value.
#include "FuzzSupport.h"

#include "platform/AsfAttributes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchDirectory() + "/song.wma";
    fuzz::writeFile(path, data, size);
    std::unique_ptr<platform::AsfAttributes> attributes = platform::createAsfAttributes();
    if (!attributes->open(path)) return 0;
    for (const char* name : {"QRT", "PNG", "WM/AlbumTitle", ""}) {
        for (const auto& value : attributes->values(name))
            fuzz::check(value.size() <= size, "a value is longer than the file");
    }
    for (platform::AsfText which : {platform::AsfText::Title, platform::AsfText::Author, platform::AsfText::Description,
                                    platform::AsfText::AlbumTitle, platform::AsfText::Year})
        if (auto text = attributes->text(which)) fuzz::check(text->size() * 2 <= size, "a text is longer than the file");

    const platform::AsfAttributes::Bytes added = {'q', 'r', 't', 0, 0xff, 1};
    attributes->remove("QRT");
    attributes->addBinary("QRT", added);
    const bool saved = attributes->save();
    attributes->close();
    std::vector<std::uint8_t> after;
    fuzz::check(fuzz::readFile(path, after), "the save lost the song");
    if (!saved) {
        fuzz::check(after == std::vector<std::uint8_t>(data, data + size), "a failed save changed the song");
        return 0;
    }
    std::unique_ptr<platform::AsfAttributes> reread = platform::createAsfAttributes();
    fuzz::check(reread->open(path), "a saved song no longer opens");
    const auto values = reread->values("QRT");
    fuzz::check(values.size() == 1 && values[0] == added, "the saved value does not read back");
    fuzz::noteAccepted();
    return 0;
}
