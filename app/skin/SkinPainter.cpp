#include "app/skin/SkinPainter.h"

#include "framework/Image.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int samplesPerAxis = 4;
constexpr float samples = samplesPerAxis * samplesPerAxis;

std::uint8_t mixByte(int a, int b, float t) {
    return static_cast<std::uint8_t>(std::lround(static_cast<float>(a) + (static_cast<float>(b) - a) * t));
}

// Distance from p to the segment a-b.
float segmentDistance(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax;
    const float dy = by - ay;
    const float length = dx * dx + dy * dy;
    float t = length > 0 ? ((px - ax) * dx + (py - ay) * dy) / length : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = px - (ax + t * dx);
    const float ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float cross(float ax, float ay, float bx, float by, float px, float py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

// Covers the bounding box with 16 samples per pixel; inside(sx, sy) decides
// each sample, colour(px, py) gives the pixel's paint at its centre.
template <typename Inside, typename Colour>
void cover(SkinPainter& painter, float x0, float y0, float x1, float y1, const Inside& inside, const Colour& colour) {
    const Image& image = painter.image();
    const int left = std::max(0, static_cast<int>(std::floor(x0)));
    const int top = std::max(0, static_cast<int>(std::floor(y0)));
    const int right = std::min(image.width() - 1, static_cast<int>(std::ceil(x1)));
    const int bottom = std::min(image.height() - 1, static_cast<int>(std::ceil(y1)));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            int hits = 0;
            for (int sy = 0; sy < samplesPerAxis; ++sy) {
                for (int sx = 0; sx < samplesPerAxis; ++sx) {
                    const float px = static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / samplesPerAxis;
                    const float py = static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / samplesPerAxis;
                    if (inside(px, py)) ++hits;
                }
            }
            if (hits > 0) {
                painter.blend(x, y, colour(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f),
                              static_cast<float>(hits) / samples);
            }
        }
    }
}

}  // namespace

Color Gradient::at(float x, float y) const {
    const float position = horizontal ? x : y;
    float t = end != start ? (position - start) / (end - start) : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return Color(mixByte(from.red, to.red, t), mixByte(from.green, to.green, t), mixByte(from.blue, to.blue, t),
                 mixByte(from.alpha, to.alpha, t));
}

bool insideRoundRect(float px, float py, float x, float y, float width, float height, float radius) {
    if (px < x || py < y || px >= x + width || py >= y + height) return false;
    radius = std::min(radius, std::min(width, height) / 2);
    if (radius <= 0) return true;
    const float cx = std::clamp(px, x + radius, x + width - radius);
    const float cy = std::clamp(py, y + radius, y + height - radius);
    const float dx = px - cx;
    const float dy = py - cy;
    return dx * dx + dy * dy <= radius * radius;
}

void SkinPainter::blend(int x, int y, const Color& paint, float coverage) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height() || coverage <= 0) return;
    std::uint8_t* pixel = image_.pixelAt(x, y);
    const float sa = static_cast<float>(paint.alpha) / 255.0f * std::min(coverage, 1.0f);
    const float da = static_cast<float>(pixel[3]) / 255.0f;
    const float oa = sa + da * (1.0f - sa);
    if (oa <= 0) return;
    // Byte order blue, green, red, alpha.
    const float source[3] = {static_cast<float>(paint.blue), static_cast<float>(paint.green),
                             static_cast<float>(paint.red)};
    for (int c = 0; c < 3; ++c) {
        const float value = (source[c] * sa + static_cast<float>(pixel[c]) * da * (1.0f - sa)) / oa;
        pixel[c] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    pixel[3] = static_cast<std::uint8_t>(std::clamp(std::lround(oa * 255.0f), 0L, 255L));
}

void SkinPainter::fillRect(float x, float y, float width, float height, const Color& paint) {
    fillRoundRect(x, y, width, height, 0, paint);
}

void SkinPainter::fillRect(float x, float y, float width, float height, const Gradient& gradient) {
    fillRoundRect(x, y, width, height, 0, gradient);
}

void SkinPainter::fillRoundRect(float x, float y, float width, float height, float radius, const Color& paint) {
    cover(
        *this, x, y, x + width, y + height,
        [&](float px, float py) { return insideRoundRect(px, py, x, y, width, height, radius); },
        [&](float, float) { return paint; });
}

void SkinPainter::fillRoundRect(float x, float y, float width, float height, float radius,
                                const Gradient& gradient) {
    cover(
        *this, x, y, x + width, y + height,
        [&](float px, float py) { return insideRoundRect(px, py, x, y, width, height, radius); },
        [&](float px, float py) { return gradient.at(px, py); });
}

void SkinPainter::strokeRoundRect(float x, float y, float width, float height, float radius, float thickness,
                                  const Color& paint) {
    const float inner = std::max(0.0f, radius - thickness);
    cover(
        *this, x, y, x + width, y + height,
        [&](float px, float py) {
            return insideRoundRect(px, py, x, y, width, height, radius) &&
                   !insideRoundRect(px, py, x + thickness, y + thickness, width - 2 * thickness,
                                    height - 2 * thickness, inner);
        },
        [&](float, float) { return paint; });
}

void SkinPainter::fillCircle(float cx, float cy, float radius, const Color& paint) {
    cover(
        *this, cx - radius, cy - radius, cx + radius, cy + radius,
        [&](float px, float py) { return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= radius * radius; },
        [&](float, float) { return paint; });
}

void SkinPainter::strokeCircle(float cx, float cy, float radius, float thickness, const Color& paint) {
    const float inner = radius - thickness;
    cover(
        *this, cx - radius, cy - radius, cx + radius, cy + radius,
        [&](float px, float py) {
            const float d = (px - cx) * (px - cx) + (py - cy) * (py - cy);
            return d <= radius * radius && d > inner * inner;
        },
        [&](float, float) { return paint; });
}

void SkinPainter::line(float x0, float y0, float x1, float y1, float thickness, const Color& paint) {
    const float half = thickness / 2;
    cover(
        *this, std::min(x0, x1) - half, std::min(y0, y1) - half, std::max(x0, x1) + half, std::max(y0, y1) + half,
        [&](float px, float py) { return segmentDistance(px, py, x0, y0, x1, y1) <= half; },
        [&](float, float) { return paint; });
}

void SkinPainter::fillTriangle(float x0, float y0, float x1, float y1, float x2, float y2, const Color& paint) {
    const float area = cross(x0, y0, x1, y1, x2, y2);
    cover(
        *this, std::min({x0, x1, x2}), std::min({y0, y1, y2}), std::max({x0, x1, x2}), std::max({y0, y1, y2}),
        [&](float px, float py) {
            const float a = cross(x0, y0, x1, y1, px, py);
            const float b = cross(x1, y1, x2, y2, px, py);
            const float c = cross(x2, y2, x0, y0, px, py);
            return area >= 0 ? (a >= 0 && b >= 0 && c >= 0) : (a <= 0 && b <= 0 && c <= 0);
        },
        [&](float, float) { return paint; });
}

void SkinPainter::maskRoundRect(float x, float y, float width, float height, float radius) {
    for (int py = 0; py < image_.height(); ++py) {
        for (int px = 0; px < image_.width(); ++px) {
            int hits = 0;
            for (int sy = 0; sy < samplesPerAxis; ++sy) {
                for (int sx = 0; sx < samplesPerAxis; ++sx) {
                    if (insideRoundRect(static_cast<float>(px) + (static_cast<float>(sx) + 0.5f) / samplesPerAxis,
                                        static_cast<float>(py) + (static_cast<float>(sy) + 0.5f) / samplesPerAxis,
                                        x, y, width, height, radius)) {
                        ++hits;
                    }
                }
            }
            std::uint8_t* pixel = image_.pixelAt(px, py);
            const bool solid = hits * 2 >= static_cast<int>(samples);
            pixel[0] = pixel[1] = pixel[2] = 255;
            pixel[3] = solid ? 255 : 0;
        }
    }
}
