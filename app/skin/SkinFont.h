// Text for the skin: one face of a TrueType file at one pixel size,
// rendered by FreeType with its 8-bit antialiasing and composited through
// the painter. Left-to-right, one line, kerning left out (the same text
// always gives the same pixels).
#ifndef VELKARN_APP_SKIN_SKINFONT_H
#define VELKARN_APP_SKIN_SKINFONT_H

#include "framework/Color.h"

#include <memory>
#include <string>

class SkinPainter;

class SkinFont {
public:
    // Throws std::runtime_error when the file cannot be read as a face.
    SkinFont(const std::string& path, int pixelSize);
    ~SkinFont();
    SkinFont(const SkinFont&) = delete;
    SkinFont& operator=(const SkinFont&) = delete;

    int pixelSize() const { return pixelSize_; }

    // The ink box of the text relative to its pen origin on the baseline:
    // left, top (negative above the baseline), right, bottom, and the
    // advance width.
    struct Extent {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        int advance = 0;
    };
    Extent measure(const std::string& text) const;

    // The pen starts at (x, baseline).
    void draw(SkinPainter& painter, const std::string& text, int x, int baseline, Color colour) const;
    // The text's ink box centred on (cx, cy), rounded to whole pixels.
    void drawCentred(SkinPainter& painter, const std::string& text, float cx, float cy, Color colour) const;

private:
    struct Face;
    std::unique_ptr<Face> face_;
    int pixelSize_;
};

#endif
