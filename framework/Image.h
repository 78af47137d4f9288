// The program's one bitmap: 32 bits per pixel in blue, green, red, alpha
// byte order, rows packed from the top (row step = 4 x width). Skin
// elements, every window's back image, deck strips, song overviews and
// exported pictures are Images.
//
// Every drawing operation checks its coordinates and stops the program with
// "Invalid coordinates." when they leave the image (blendPixel alone trusts
// its caller). Rectangle copies, fills, compositing and scaling go through
// the primitives library; a primitive's failure is logged and the image
// keeps whatever it wrote. An Image is drawn on by one thread at a time.
#ifndef VELKARN_FRAMEWORK_IMAGE_H
#define VELKARN_FRAMEWORK_IMAGE_H

#include "framework/Color.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class File;
class Font;

class Image {
public:
    // Filled with the colour; only the low byte of each component counts.
    // A width or height <= 0, or memory that cannot be had, stops the
    // program with "Could not create bitmap.".
    Image(int width, int height, int red, int green, int blue, int alpha);
    // A PNG file: "images/" + key + ".png" through openFile (the archive
    // while archive mode is on), or, with asPath, the disk file key. The
    // reader's texts are thrown on; the opened file is released either way.
    Image(const std::string& key, bool asPath);
    // A PNG picture from the stream's current position; the stream stays
    // the caller's.
    explicit Image(File& stream);
    virtual ~Image();

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    int rowStep() const { return rowStep_; }
    std::uint8_t* pixels() { return pixels_.get(); }
    const std::uint8_t* pixels() const { return pixels_.get(); }
    // The four bytes of pixel (x, y); no check.
    std::uint8_t* pixelAt(int x, int y) {
        return pixels_.get() + static_cast<std::ptrdiff_t>(y) * rowStep_ + static_cast<std::ptrdiff_t>(x) * 4;
    }
    const std::uint8_t* pixelAt(int x, int y) const {
        return pixels_.get() + static_cast<std::ptrdiff_t>(y) * rowStep_ + static_cast<std::ptrdiff_t>(x) * 4;
    }

    bool isTransparent(int x, int y) const;
    Color getPixel(int x, int y) const;
    void setPixel(Color color, int x, int y);

    // Rectangles given by origin and size must be at least one pixel and
    // lie wholly inside; the destination is checked before the source.
    void copyRect(const Image& source, int dstX, int dstY, int srcX, int srcY, int width, int height);
    // The source composited over this image ("over" with both alphas).
    void blendRect(const Image& source, int dstX, int dstY, int srcX, int srcY, int width, int height);
    void blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height);
    // Colour bytes only; the alpha bytes stay.
    void fillRectRgb(int red, int green, int blue, int x, int y, int width, int height);
    // The inclusive rectangle (x0, y0)-(x1, y1), all four bytes.
    void fillRect(int red, int green, int blue, int alpha, int x0, int y0, int x1, int y1);
    void blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1);
    void blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y);
    // Unchecked: the caller keeps (x, y) inside.
    void blendPixel(int red, int green, int blue, int alpha, int x, int y);
    void blendPixel(Color color, int x, int y);

    // One line of text with its top-left corner at (x, y): the characters
    // that fit whole, cut at the bottom edge, pixels set to the colour
    // (alpha included, not blended). The text ends at its end or at a zero.
    void drawText(std::string_view text, int x, int y, const Font* font, Color color);

    // The whole source, which must have this image's size ("Cannot copy
    // from an image with different dimensions." otherwise).
    void copyFrom(const Image& source);
    // The inclusive source rectangle scaled onto the inclusive rectangle of
    // this image, all four bytes, linear interpolation.
    void stretchFrom(const Image& source, int x0, int y0, int x1, int y1, int sx0, int sy0, int sx1, int sy1);
    // Reverses the pixels x0..x1 of every row y0..y1.
    void mirrorRows(int x0, int y0, int x1, int y1);

    // Replaces the picture with the PNG one read from the stream's current
    // position. Throws StringException with the reader's texts; the image is
    // unchanged when it throws.
    void readPng(File& stream);
    // A new disk file (replacing one of that name): 8-bit RGBA, filter 0,
    // one IDAT chunk. Throws StringException "Cannot open <path>." or
    // "Cannot write <path>."; a partial file is left as it is.
    void writePng(const std::string& path) const;

private:
    // Pixels allocated, contents undefined (the PNG reader fills them).
    Image(int width, int height) { createBitmap(width, height); }
    // Allocates the pixels for the size; see the colour constructor.
    void createBitmap(int width, int height);

    void checkPoint(int x, int y) const;
    void checkRect(int x, int y, int width, int height) const;
    void checkCorners(int x0, int y0, int x1, int y1) const;

    int width_ = 0;
    int height_ = 0;
    int rowStep_ = 0;
    std::unique_ptr<std::uint8_t[]> pixels_;
};

#endif
