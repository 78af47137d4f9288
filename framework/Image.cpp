#include "framework/Image.h"

#include "framework/File.h"
#include "framework/Font.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"

#include "primitives.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

[[noreturn]] void invalidCoordinates(int line) { fatalError("Invalid coordinates.", __FILE__, line); }

// Single-colour blending as the whole program does it: the shift divides by
// 256, so an opaque colour darkens by one step (255 becomes 254).
inline void blendInto(std::uint8_t* pixel, int red, int green, int blue, int alpha) {
    const unsigned a = static_cast<std::uint8_t>(alpha);
    const unsigned keep = 255 - a;
    pixel[0] = static_cast<std::uint8_t>((pixel[0] * keep + static_cast<std::uint8_t>(blue) * a) >> 8);
    pixel[1] = static_cast<std::uint8_t>((pixel[1] * keep + static_cast<std::uint8_t>(green) * a) >> 8);
    pixel[2] = static_cast<std::uint8_t>((pixel[2] * keep + static_cast<std::uint8_t>(red) * a) >> 8);
    pixel[3] = static_cast<std::uint8_t>(a + ((pixel[3] * keep) >> 8));
}

std::uint8_t lowByte(int value) { return static_cast<std::uint8_t>(value); }

}  // namespace

// ---- Creation --------------------------------------------------------------

void Image::createBitmap(int width, int height) {
    // Rows are addressed with a 32-bit step, as every caller and primitive
    // expects.
    if (width <= 0 || height <= 0 || width > INT_MAX / 4) fatalError("Could not create bitmap.", __FILE__, __LINE__);
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bytes]);
    if (!pixels) fatalError("Could not create bitmap.", __FILE__, __LINE__);
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
    rowStep_ = 4 * width;
}

Image::Image(int width, int height, int red, int green, int blue, int alpha) {
    createBitmap(width, height);
    const std::uint8_t value[4] = {lowByte(blue), lowByte(green), lowByte(red), lowByte(alpha)};
    reportPrimitiveError(duroSet_8u_C4R(value, pixels_.get(), rowStep_, ImageSize{width_, height_}), __FILE__, __LINE__);
}

Image::Image(const std::string& key, bool asPath) {
    std::unique_ptr<File> file(openFile(asPath ? key : "images/" + key + ".png", asPath, false));
    readPng(*file);
}

Image::Image(File& stream) { readPng(stream); }

Image::~Image() = default;

// ---- Checks ------------------------------------------------------------------

void Image::checkPoint(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) invalidCoordinates(__LINE__);
}

void Image::checkRect(int x, int y, int width, int height) const {
    // In 64 bits: x + width - 1 must not wrap around.
    const std::int64_t right = static_cast<std::int64_t>(x) + width - 1;
    const std::int64_t bottom = static_cast<std::int64_t>(y) + height - 1;
    if (x < 0 || right < x || right >= width_ || y < 0 || bottom < y || bottom >= height_) invalidCoordinates(__LINE__);
}

void Image::checkCorners(int x0, int y0, int x1, int y1) const {
    if (x0 < 0 || x0 > x1 || x1 >= width_ || y0 < 0 || y0 > y1 || y1 >= height_) invalidCoordinates(__LINE__);
}

// ---- Pixels --------------------------------------------------------------------

bool Image::isTransparent(int x, int y) const {
    checkPoint(x, y);
    return pixelAt(x, y)[3] == 0;
}

Color Image::getPixel(int x, int y) const {
    checkPoint(x, y);
    const std::uint8_t* pixel = pixelAt(x, y);
    return Color(pixel[2], pixel[1], pixel[0], pixel[3]);
}

void Image::setPixel(Color color, int x, int y) {
    checkPoint(x, y);
    std::uint8_t* pixel = pixelAt(x, y);
    pixel[0] = color.blue;
    pixel[1] = color.green;
    pixel[2] = color.red;
    pixel[3] = color.alpha;
}

// ---- Rectangles ------------------------------------------------------------------

void Image::copyRect(const Image& source, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    checkRect(dstX, dstY, width, height);
    source.checkRect(srcX, srcY, width, height);
    reportPrimitiveError(duroCopy_8u_C4R(source.pixelAt(srcX, srcY), source.rowStep_, pixelAt(dstX, dstY), rowStep_,
                                         ImageSize{width, height}),
                         __FILE__, __LINE__);
}

void Image::blendRect(const Image& source, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    checkRect(dstX, dstY, width, height);
    source.checkRect(srcX, srcY, width, height);
    std::uint8_t* target = pixelAt(dstX, dstY);
    reportPrimitiveError(duroAlphaComp_8u_AC4R(source.pixelAt(srcX, srcY), source.rowStep_, target, rowStep_, target,
                                               rowStep_, ImageSize{width, height}, alphaTypeOver),
                         __FILE__, __LINE__);
}

void Image::blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height) {
    checkRect(x, y, width, height);
    for (int row = y; row < y + height; ++row) {
        std::uint8_t* pixel = pixelAt(x, row);
        for (int column = 0; column < width; ++column, pixel += 4) blendInto(pixel, red, green, blue, alpha);
    }
}

void Image::fillRectRgb(int red, int green, int blue, int x, int y, int width, int height) {
    checkRect(x, y, width, height);
    const std::uint8_t value[3] = {lowByte(blue), lowByte(green), lowByte(red)};
    reportPrimitiveError(duroSet_8u_AC4R(value, pixelAt(x, y), rowStep_, ImageSize{width, height}), __FILE__, __LINE__);
}

void Image::fillRect(int red, int green, int blue, int alpha, int x0, int y0, int x1, int y1) {
    checkCorners(x0, y0, x1, y1);
    const std::uint8_t value[4] = {lowByte(blue), lowByte(green), lowByte(red), lowByte(alpha)};
    reportPrimitiveError(duroSet_8u_C4R(value, pixelAt(x0, y0), rowStep_, ImageSize{x1 - x0 + 1, y1 - y0 + 1}),
                         __FILE__, __LINE__);
}

// ---- Lines and pixels --------------------------------------------------------------

void Image::blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1) {
    if (x < 0 || x >= width_ || y0 < 0 || y0 > y1 || y1 >= height_) invalidCoordinates(__LINE__);
    for (int y = y0; y <= y1; ++y) blendInto(pixelAt(x, y), red, green, blue, alpha);
}

void Image::blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y) {
    if (x0 < 0 || x0 > x1 || x1 >= width_ || y < 0 || y >= height_) invalidCoordinates(__LINE__);
    std::uint8_t* pixel = pixelAt(x0, y);
    for (int x = x0; x <= x1; ++x, pixel += 4) blendInto(pixel, red, green, blue, alpha);
}

void Image::blendPixel(int red, int green, int blue, int alpha, int x, int y) {
    blendInto(pixelAt(x, y), red, green, blue, alpha);
}

void Image::blendPixel(Color color, int x, int y) {
    blendInto(pixelAt(x, y), color.red, color.green, color.blue, color.alpha);
}

// ---- Text ----------------------------------------------------------------------------

void Image::drawText(std::string_view text, int x, int y, const Font* font, Color color) {
    checkPoint(x, y);
    // Whole characters only: the first one that would pass the right edge
    // ends the text.
    std::size_t fitted = 0;
    std::int64_t used = 0;
    int rows = 0;
    for (; fitted < text.size() && text[fitted] != '\0'; ++fitted) {
        const auto c = static_cast<unsigned char>(text[fitted]);
        if (used + font->glyphWidth(c) + x > width_) break;
        used += font->glyphWidth(c);
        rows = std::max(rows, font->glyphHeight(c));
    }
    if (y + rows > height_) rows = height_ - y;
    const std::uint8_t bytes[4] = {color.blue, color.green, color.red, color.alpha};
    int pen = x;
    for (std::size_t i = 0; i < fitted; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int columns = font->glyphWidth(c);
        for (int column = 0; column < columns; ++column) {
            for (int row = 0; row < rows; ++row) {
                if (!font->isPixelSet(c, column, row)) continue;
                checkPoint(pen + column, y + row);
                std::memcpy(pixelAt(pen + column, y + row), bytes, 4);
            }
        }
        pen += columns;
    }
}

// ---- Whole images -----------------------------------------------------------------------

void Image::copyFrom(const Image& source) {
    if (source.width_ != width_ || source.height_ != height_) {
        fatalError("Cannot copy from an image with different dimensions.", __FILE__, __LINE__);
    }
    reportPrimitiveError(duroCopy_8u_C4R(source.pixels_.get(), source.rowStep_, pixels_.get(), rowStep_,
                                         ImageSize{width_, height_}),
                         __FILE__, __LINE__);
}

void Image::stretchFrom(const Image& source, int x0, int y0, int x1, int y1, int sx0, int sy0, int sx1, int sy1) {
    checkCorners(x0, y0, x1, y1);
    source.checkCorners(sx0, sy0, sx1, sy1);
    const ImageSize sourceSize{sx1 - sx0 + 1, sy1 - sy0 + 1};
    const ImageSize targetSize{x1 - x0 + 1, y1 - y0 + 1};
    const double xFactor = static_cast<double>(targetSize.width) / sourceSize.width;
    const double yFactor = static_cast<double>(targetSize.height) / sourceSize.height;
    const ImageRect region{0, 0, sourceSize.width, sourceSize.height};
    // The resize scales three bytes of each pixel and leaves the fourth
    // alone: once for blue, green, red, and once one byte on for green, red,
    // alpha (green and red come out the same both times).
    for (int shift = 0; shift < 2; ++shift) {
        reportPrimitiveError(zuzuZivere_8d_OZ4O(source.pixelAt(sx0, sy0) + shift, sourceSize, source.rowStep_, region,
                                                pixelAt(x0, y0) + shift, rowStep_, targetSize, xFactor, yFactor,
                                                resizeInterpolationLinear),
                             __FILE__, __LINE__);
    }
}

void Image::mirrorRows(int x0, int y0, int x1, int y1) {
    checkCorners(x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y) {
        std::uint8_t* left = pixelAt(x0, y);
        std::uint8_t* right = pixelAt(x1, y);
        for (; left < right; left += 4, right -= 4) {
            std::uint8_t swap[4];
            std::memcpy(swap, left, 4);
            std::memcpy(left, right, 4);
            std::memcpy(right, swap, 4);
        }
    }
}
