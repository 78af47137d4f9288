// The PNG reader on any bytes. A picture it accepts must survive the
// writer: written and read again it gives the same size and pixels.
#include "FuzzSupport.h"

#include "framework/Image.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<Image> image;
    fuzz::guarded([&] {
        fuzz::InputFile file(data, size);
        image = std::make_unique<Image>(file);
    });
    if (!image) return 0;
    fuzz::check(image->width() > 0 && image->height() > 0, "an accepted picture has no pixels");

    const std::string path = fuzz::scratchDirectory() + "/written.png";
    image->writePng(path);
    Image again(path, true);
    fuzz::check(again.width() == image->width() && again.height() == image->height(),
                "the written picture reads back with another size");
    const std::size_t bytes = static_cast<std::size_t>(image->width()) * static_cast<std::size_t>(image->height()) * 4;
    fuzz::check(std::memcmp(again.pixels(), image->pixels(), bytes) == 0,
                "the written picture reads back with other pixels");
    fuzz::noteAccepted();
    return 0;
}
