#include "app/skin/SkinContactSheet.h"

#include "app/skin/SkinPainter.h"
#include "framework/Image.h"

#include <algorithm>

namespace {

constexpr int margin = 12;
constexpr int gap = 8;
constexpr int labelHeight = 18;
constexpr int sheetWidth = 3100;

struct Placed {
    const SkinImage* image;
    int x;
    int y;
};

// The image scaled by `scale`, composited over a checkerboard at (x, y).
void show(SkinPainter& painter, const Image& image, int x, int y, int scale) {
    for (int v = 0; v < image.height() * scale; ++v) {
        for (int u = 0; u < image.width() * scale; ++u) {
            const bool dark = ((u / 6) + (v / 6)) % 2 == 0;
            const std::uint8_t shade = dark ? 96 : 128;
            std::uint8_t* target = painter.image().pixelAt(x + u, y + v);
            target[0] = target[1] = target[2] = shade;
            target[3] = 255;
            const std::uint8_t* source = image.pixelAt(u / scale, v / scale);
            painter.blend(x + u, y + v, Color(source[2], source[1], source[0], 255),
                          static_cast<float>(source[3]) / 255.0f);
        }
    }
}

}  // namespace

std::unique_ptr<Image> makeContactSheet(const std::vector<SkinImage>& images, const SkinFont& font) {
    // Shelves: entries left to right, a new shelf when the next would not fit.
    std::vector<Placed> placed;
    int x = margin;
    int y = margin;
    int shelf = 0;
    int width = 0;
    for (const SkinImage& entry : images) {
        const int w = std::max(entry.image->width() * 3 + gap, font.measure(entry.name).advance);
        const int h = entry.image->height() * 2 + labelHeight;
        if (x > margin && x + w > sheetWidth - margin) {
            x = margin;
            y += shelf + gap * 2;
            shelf = 0;
        }
        placed.push_back({&entry, x, y});
        x += w + gap * 3;
        width = std::max(width, x);
        shelf = std::max(shelf, h);
    }
    const int height = y + shelf + margin;
    auto sheet = std::make_unique<Image>(std::max(width, sheetWidth), height, 54, 56, 60, 255);
    SkinPainter painter(*sheet);
    for (const Placed& entry : placed) {
        const Image& image = *entry.image->image;
        show(painter, image, entry.x, entry.y, 1);
        show(painter, image, entry.x + image.width() + gap, entry.y, 2);
        font.draw(painter, entry.image->name, entry.x, entry.y + image.height() * 2 + labelHeight - 5,
                  Color{230, 230, 230, 255});
    }
    return sheet;
}
