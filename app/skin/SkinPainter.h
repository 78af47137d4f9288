// The skin generator's painter: filled shapes over a framework Image with
// 4 x 4 supersampled antialiasing, composited "over" with both alphas, so
// shapes may be drawn on transparent images. Coordinates are floats in
// pixels; pixel (x, y) covers the square x .. x + 1, y .. y + 1. Shapes
// that leave the image are cut to it. No randomness: the same calls give
// the same bytes.
#ifndef VELKARN_APP_SKIN_SKINPAINTER_H
#define VELKARN_APP_SKIN_SKINPAINTER_H

#include "framework/Color.h"


class Image;

// A fill that changes colour along y (top to bottom) or x: from `from` at
// the start coordinate to `to` at the end coordinate, clamped outside.
struct Gradient {
    Color from;
    Color to;
    float start = 0;
    float end = 1;
    bool horizontal = false;
    Color at(float x, float y) const;
};

class SkinPainter {
public:
    explicit SkinPainter(Image& image) : image_(image) {}

    Image& image() { return image_; }

    void fillRect(float x, float y, float width, float height, const Color& paint);
    void fillRect(float x, float y, float width, float height, const Gradient& gradient);
    void fillRoundRect(float x, float y, float width, float height, float radius, const Color& paint);
    void fillRoundRect(float x, float y, float width, float height, float radius, const Gradient& gradient);
    // The ring between the rounded rectangle and the one `thickness` inside it.
    void strokeRoundRect(float x, float y, float width, float height, float radius, float thickness,
                         const Color& paint);
    void fillCircle(float cx, float cy, float radius, const Color& paint);
    void strokeCircle(float cx, float cy, float radius, float thickness, const Color& paint);
    // A straight line of the given thickness with round ends.
    void line(float x0, float y0, float x1, float y1, float thickness, const Color& paint);
    // A filled triangle.
    void fillTriangle(float x0, float y0, float x1, float y1, float x2, float y2, const Color& paint);

    // Composites one pixel with the given coverage (0 .. 1) of the colour.
    void blend(int x, int y, const Color& paint, float coverage);
    // Every pixel's alpha set to 255 where the inside test holds for at least
    // half of its samples, else 0, colour white: a hit mask of the shape.
    void maskRoundRect(float x, float y, float width, float height, float radius);

private:
    Image& image_;
};

// Rounded-rectangle inside test shared by the fills and the mask.
bool insideRoundRect(float px, float py, float x, float y, float width, float height, float radius);

#endif
