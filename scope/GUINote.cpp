#include "scope/GUINote.h"

#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Window.h"
#include "scope/Frequency.h"

#include <cmath>

GUINote::GUINote(int x, int y, const std::string& keyPrefix, bool noteMode) : noteMode_(noteMode) {
    static const char* const named[] = {"Point", "Plus",  "Minus", "Exp", "Space", "Default", "A",
                                        "B",     "C",     "D",     "E",   "F",     "G",       "Sharp", "Bemol"};
    for (int digit = 0; digit <= 9; ++digit) {
        images_[static_cast<std::size_t>(digit)] = std::make_unique<Image>(keyPrefix + std::to_string(digit), false);
    }
    for (int i = 0; i < imageCount - point; ++i) {
        images_[static_cast<std::size_t>(point + i)] = std::make_unique<Image>(keyPrefix + named[i], false);
    }
    characterWidth_ = images_[point]->width();
    characterHeight_ = images_[point]->height();
    for (const auto& image : images_) {
        if (image->width() != characterWidth_ || image->height() != characterHeight_) {
            fatalError("Not all character images have the same dimensions.", __FILE__, __LINE__);
        }
    }
    setOriginSize(x, y, cellCount * characterWidth_, characterHeight_);
    cells_.fill(space);
}

GUINote::~GUINote() = default;

int GUINote::imageIndex(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'A' && character <= 'G') return letterA + (character - 'A');
    switch (character) {
    case '.': return point;
    case '+': return plus;
    case '-': return minus;
    case 'e': return exponent;
    case ' ': return space;
    case '#': return sharp;
    case 'b': return bemol;
    default: return fallback;
    }
}

void GUINote::setFrequency(float hz) {
    Frequency frequency;
    frequency.setHz(hz);
    if (noteMode_) frequency.setNote(std::floor(frequency.note() + 0.5f));
    const char* text = frequency.text();
    if (noteMode_) {
        // Name and octave only, right-aligned.
        for (int i = 0; i < 4; ++i) cells_[static_cast<std::size_t>(3 + i)] = imageIndex(text[i]);
    } else {
        for (int i = 0; i < cellCount; ++i) cells_[static_cast<std::size_t>(i)] = imageIndex(text[i]);
    }
    redraw();
}

void GUINote::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    Window* target = window();
    if (target == nullptr) return;
    GUIRectangle part;
    for (int i = 0; i < cellCount; ++i) {
        GUIRectangle cellArea;
        cellArea.setOriginSize(x0 + i * characterWidth_, y0, characterWidth_, characterHeight_);
        if (!clip.intersect(cellArea, part)) continue;
        const Image& image = *images_[static_cast<std::size_t>(cells_[static_cast<std::size_t>(i)])];
        target->blendImage(image, part.x0, part.y0, part.x0 - cellArea.x0, part.y0 - cellArea.y0, part.width,
                           part.height);
    }
}
