// Helpers of the image, PNG and window tests: test skins written at run
// time, pixel comparison, and PNG files assembled chunk by chunk.
#ifndef VELKARN_TESTS_FRAMEWORK_IMAGETESTSUPPORT_H
#define VELKARN_TESTS_FRAMEWORK_IMAGETESTSUPPORT_H

#include "TestEnvironment.h"
#include "framework/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace image_test {

using Bytes = std::vector<std::uint8_t>;

// The pixels of an image, row after row.
Bytes pixelBytes(const Image& image);

// An image of the given size whose pixels are the bytes (blue, green, red,
// alpha, row after row).
Image* imageFromBytes(int width, int height, const Bytes& bgra);

// Gradient plus seeded noise: `channels` bytes per pixel (3: red, green,
// blue; 4: with alpha), row after row.
Bytes pattern(int width, int height, int channels, unsigned seed);

// The same pattern as an image would hold it (blue, green, red, alpha; alpha
// 255 for three channels).
Bytes patternAsBgra(const Bytes& pattern, int channels);

// A character image drawn at (x, y) of `shown` over a dark ground: where
// the glyph is ink (alpha at least 3/4) the screen must be light, where it
// is clear (alpha at most 1/4) dark; the pixels in between are not
// judged. Returns the pixels that disagree and adds the judged ones to
// `judged`.
int glyphMismatches(const Image& shown, int x, int y, const Image& glyph, int& judged);

// A directory of test skins (and the program's dialog templates): archive
// mode off and relative names read from it while the object lives.
class SkinDirectory {
public:
    SkinDirectory();
    ~SkinDirectory();
    SkinDirectory(const SkinDirectory&) = delete;
    SkinDirectory& operator=(const SkinDirectory&) = delete;

    // Writes images/<key>.png.
    void write(const std::string& key, const Image& image);
    // A plain skin of one colour.
    void write(const std::string& key, int width, int height, int red, int green, int blue, int alpha);
    std::string path(const std::string& key) const;
    const std::string& root() const { return directory_.path(); }

private:
    testing_support::TemporaryDirectory directory_;
};

// A PNG file assembled chunk by chunk, CRCs computed unless told otherwise.
class PngBuilder {
public:
    PngBuilder();
    PngBuilder& header(std::int32_t width, std::int32_t height, int bitDepth = 8, int colorType = 6,
                       int compression = 0, int filter = 0, int interlace = 0);
    PngBuilder& chunk(const std::string& type, const Bytes& data, bool goodCrc = true);
    PngBuilder& chunkWithLength(const std::string& type, std::int32_t length, const Bytes& data);
    PngBuilder& raw(const Bytes& bytes);
    PngBuilder& end();  // IEND
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// The zlib stream of filtered rows (filter byte then the row) at a level.
Bytes deflateBytes(const Bytes& data, int level = 6);
// Rows of `rowBytes` with one filter byte each.
Bytes filteredRows(const Bytes& pixels, int rowBytes, int rows, int filter);

// Reads a PNG image from bytes in memory.
Image* readPngBytes(const Bytes& png);

// The filter bytes of each row of a PNG file's image data.
std::vector<int> rowFilters(const Bytes& png, int rowBytes, int rows);

Bytes readBytes(const std::string& path);

// Compares the picture pixel for pixel with the PNG at goldenPath (a
// difference fails the test) and returns false. With
// VELKARN_UPDATE_GOLDENS=1 it writes the picture there instead and returns
// true; look at the file before committing it.
bool goldenRewritten(const Image& shot, const std::string& goldenPath);
void writeBytes(const std::string& path, const Bytes& bytes);

}  // namespace image_test

#endif
