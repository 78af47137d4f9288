// A one-line label drawn with a bitmap font in one colour (its alpha the
// blend weight), left-aligned, centred or right-aligned. Only the leading
// characters whose glyphs fit the width are drawn; the rest are kept. The
// glyphs' top row is the component's top row, and only set glyph pixels are
// painted, so the background shows between them. Presses inside the
// rectangle are reported to the client, when there is one.
#ifndef VELKARN_FRAMEWORK_GUITEXTHORIZONTAL_H
#define VELKARN_FRAMEWORK_GUITEXTHORIZONTAL_H

#include "framework/GUIText.h"

class Font;
class GUITextClient;

class GUITextHorizontal : public GUIText {
public:
    // Font and client are not owned (client may be null). The initial text
    // is fitted without a redraw.
    GUITextHorizontal(int x, int y, int width, int height, const Font* font, Color color, int alignment,
                      GUITextClient* client, const std::string& text = std::string());

    // An alignment other than 0, 1 or 2 stops the program with "Allez!".
    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;

    void setTextAndColor(const std::string& text, Color color) override;
    void setText(const std::string& text) override;
    void setColor(Color color) override;
    void setAlignment(int alignment) override;
    const std::string& text() override { return text_; }

    int fittedCount() const { return fittedCount_; }
    int fittedWidth() const { return fittedWidth_; }
    Color color() const { return color_; }

private:
    void fit(const std::string& text);

    const Font* font_;
    Color color_;
    GUITextClient* client_;
    std::string text_;
    int fittedCount_ = 0;
    int fittedWidth_ = 0;
    int alignment_;
};

#endif
