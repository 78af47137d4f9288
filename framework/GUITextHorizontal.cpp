#include "framework/GUITextHorizontal.h"

#include "framework/Font.h"
#include "framework/GUITextClient.h"
#include "framework/Log.h"
#include "framework/Window.h"

namespace {
constexpr int glyphRows = 16;
}

GUITextHorizontal::GUITextHorizontal(int x, int y, int width, int height, const Font* font, Color color,
                                     int alignment, GUITextClient* client, const std::string& text)
    : font_(font), color_(color), client_(client), alignment_(alignment) {
    setOriginSize(x, y, width, height);
    fit(text);
}

void GUITextHorizontal::fit(const std::string& text) {
    text_ = text;
    fittedCount_ = 0;
    fittedWidth_ = 0;
    for (char character : text_) {
        // A zero byte ends the text, as it would end a C string.
        if (character == '\0') break;
        const int glyph = font_->glyphWidth(static_cast<unsigned char>(character));
        if (fittedWidth_ + glyph > width) break;
        fittedWidth_ += glyph;
        ++fittedCount_;
    }
}

void GUITextHorizontal::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    GUIRectangle local = clip;
    local.offset(-x0, -y0);
    int start = 0;
    switch (alignment_) {
    case 0: start = 0; break;
    case 1: start = (width - fittedWidth_) / 2; break;
    case 2: start = width - fittedWidth_; break;
    default: fatalError("Allez!", __FILE__, __LINE__);
    }
    Window* target = window();
    if (target == nullptr) return;
    int pen = 0;
    for (int i = 0; i < fittedCount_; ++i) {
        const auto character = static_cast<unsigned char>(text_[static_cast<std::size_t>(i)]);
        const int glyphWidth = font_->glyphWidth(character);
        for (int column = 0; column < glyphWidth; ++column) {
            for (int row = 0; row < glyphRows; ++row) {
                if (font_->isPixelSet(character, column, row) && local.contains(start + pen + column, row)) {
                    target->blendPixel(color_, x0 + start + pen + column, y0 + row);
                }
            }
        }
        pen += glyphWidth;
    }
}

void GUITextHorizontal::mouseDown(const GUIPoint& point, bool doubleClick) {
    if (client_ != nullptr && contains(point)) client_->clicked(this, doubleClick);
}

void GUITextHorizontal::setTextAndColor(const std::string& text, Color color) {
    color_ = color;
    setText(text);
}

void GUITextHorizontal::setText(const std::string& text) {
    fit(text);
    redraw();
}

void GUITextHorizontal::setColor(Color color) {
    color_ = color;
    redraw();
}

void GUITextHorizontal::setAlignment(int alignment) {
    alignment_ = alignment;
    redraw();
}
