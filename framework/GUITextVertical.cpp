#include "framework/GUITextVertical.h"

#include "framework/Font.h"
#include "framework/Image.h"
#include "framework/Window.h"

#include <algorithm>

namespace {
constexpr int glyphRows = 16;
}

GUITextVertical::GUITextVertical(int x, int y, int width, int height, const Font* font, Color color)
    : font_(font), color_(color) {
    setOriginSize(x, y, width, height);
}

GUITextVertical::~GUITextVertical() = default;

void GUITextVertical::setText(const std::string& text) {
    // The run of glyphs along the height, and the tallest of them across
    // the width.
    int length = 0;
    int rows = 0;
    std::size_t count = 0;
    for (char character : text) {
        if (character == '\0') break;
        const auto code = static_cast<unsigned char>(character);
        if (length + font_->glyphWidth(code) > height) break;
        length += font_->glyphWidth(code);
        rows = std::max(rows, font_->glyphHeight(code));
        ++count;
    }
    rows = std::min(rows, width);
    image_.reset();
    if (count == 0 || length == 0 || rows <= 0) {
        redraw();
        return;
    }
    Image work(length, rows, 0, 0, 0, 0);
    int pen = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto code = static_cast<unsigned char>(text[i]);
        const int glyphWidth = font_->glyphWidth(code);
        for (int column = 0; column < glyphWidth; ++column) {
            for (int row = 0; row < std::min(rows, glyphRows); ++row) {
                if (font_->isPixelSet(code, column, row)) work.setPixel(color_, pen + column, row);
            }
        }
        pen += glyphWidth;
    }
    // Pixel (i, j) of the turned image is pixel (j, rows - 1 - i) of the
    // work image: a quarter turn clockwise.
    image_ = std::make_unique<Image>(rows, length, 0, 0, 0, 0);
    for (int j = 0; j < length; ++j) {
        for (int i = 0; i < rows; ++i) image_->setPixel(work.getPixel(j, rows - 1 - i), i, j);
    }
    redraw();
}

void GUITextVertical::draw(const GUIRectangle& clip) {
    if (!isVisible() || !image_) return;
    Window* target = window();
    if (target == nullptr) return;
    const GUIRectangle picture(x0, y0, x0 + image_->width() - 1, y0 + image_->height() - 1);
    GUIRectangle part;
    if (!clip.intersect(picture, part)) return;
    target->blendImage(*image_, part.x0, part.y0, part.x0 - x0, part.y0 - y0, part.width, part.height);
}
