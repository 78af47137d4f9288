// A label whose text runs from top to bottom, turned a quarter turn
// clockwise (the glyphs' tops face right). The text is drawn once into an
// image when it is set; drawing composites that image at the component's
// top-left corner. Characters that do not fit the height are left out.
#ifndef VELKARN_FRAMEWORK_GUITEXTVERTICAL_H
#define VELKARN_FRAMEWORK_GUITEXTVERTICAL_H

#include "framework/Color.h"
#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class Font;
class Image;

class GUITextVertical : public GUIComponent {
public:
    // The font is not owned. No text and no image at first.
    GUITextVertical(int x, int y, int width, int height, const Font* font, Color color);
    ~GUITextVertical() override;

    // Builds the turned image (none when not even the first character
    // fits) and redraws.
    void setText(const std::string& text);
    void draw(const GUIRectangle& clip) override;

    // The turned text, or null.
    const Image* image() const { return image_.get(); }

private:
    const Font* font_;
    Color color_;
    std::unique_ptr<Image> image_;
};

#endif
