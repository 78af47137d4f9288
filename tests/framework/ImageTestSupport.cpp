#include "ImageTestSupport.h"

#include "framework/Crc32.h"
#include "framework/FileMemory.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace image_test {

Bytes pixelBytes(const Image& image) {
    const std::uint8_t* pixels = image.pixels();
    return Bytes(pixels, pixels + static_cast<std::size_t>(image.rowStep()) * static_cast<std::size_t>(image.height()));
}

Image* imageFromBytes(int width, int height, const Bytes& bgra) {
    auto* image = new Image(width, height, 0, 0, 0, 0);
    std::memcpy(image->pixels(), bgra.data(), bgra.size());
    return image;
}

int glyphMismatches(const Image& shown, int x, int y, const Image& glyph, int& judged) {
    auto level = [](Color c) { return (c.red + c.green + c.blue) / 3; };
    // Half the ink's lightness divides light from dark (a blank glyph has
    // no ink: half of mid grey then).
    int ink = 128;
    for (int row = 0; row < glyph.height(); ++row) {
        for (int column = 0; column < glyph.width(); ++column) {
            if (glyph.getPixel(column, row).alpha >= 192) ink = level(glyph.getPixel(column, row));
        }
    }
    int mismatches = 0;
    for (int row = 0; row < glyph.height(); ++row) {
        for (int column = 0; column < glyph.width(); ++column) {
            const int alpha = glyph.getPixel(column, row).alpha;
            const bool light = level(shown.getPixel(x + column, y + row)) >= ink / 2;
            if (alpha >= 192 || alpha <= 64) {
                ++judged;
                mismatches += light != (alpha >= 192);
            }
        }
    }
    return mismatches;
}

Bytes pattern(int width, int height, int channels, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(channels));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int gradient = c == 3 ? x * 5 + y * 11 : x * (c + 1) * 3 + y * (7 - c) + c * 40;
                bytes.push_back(static_cast<std::uint8_t>(gradient + static_cast<int>(random() % 24)));
            }
        }
    }
    return bytes;
}

Bytes patternAsBgra(const Bytes& source, int channels) {
    Bytes bgra;
    for (std::size_t at = 0; at < source.size(); at += static_cast<std::size_t>(channels)) {
        bgra.push_back(source[at + 2]);
        bgra.push_back(source[at + 1]);
        bgra.push_back(source[at]);
        bgra.push_back(channels == 4 ? source[at + 3] : 255);
    }
    return bgra;
}

// ---- Skins -------------------------------------------------------------------

SkinDirectory::SkinDirectory() {
    testing_support::makeDirectories(directory_.file("images"));
    // The program's dialog templates live beside the skins.
    std::filesystem::copy(testing_support::sourceDirectory() + "/resources/dialogs", directory_.file("dialogs"));
    supportSettings().archiveMode = false;
    supportSettings().filesDirectory = directory_.path() + "/";
    initializeFileSystem();
}

SkinDirectory::~SkinDirectory() { cleanUpFileSystem(); }

std::string SkinDirectory::path(const std::string& key) const { return directory_.file("images/" + key + ".png"); }

void SkinDirectory::write(const std::string& key, const Image& image) {
    const std::string file = path(key);
    testing_support::makeDirectories(file.substr(0, file.find_last_of('/')));
    image.writePng(file);
}

void SkinDirectory::write(const std::string& key, int width, int height, int red, int green, int blue, int alpha) {
    write(key, Image(width, height, red, green, blue, alpha));
}

// ---- PNG files -------------------------------------------------------------------

namespace {

void putBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

PngBuilder::PngBuilder() : bytes_{137, 80, 78, 71, 13, 10, 26, 10} {}

PngBuilder& PngBuilder::header(std::int32_t width, std::int32_t height, int bitDepth, int colorType, int compression,
                               int filter, int interlace) {
    Bytes data;
    putBigEndian(data, static_cast<std::uint32_t>(width));
    putBigEndian(data, static_cast<std::uint32_t>(height));
    for (int field : {bitDepth, colorType, compression, filter, interlace}) data.push_back(static_cast<std::uint8_t>(field));
    return chunk("IHDR", data);
}

PngBuilder& PngBuilder::chunk(const std::string& type, const Bytes& data, bool goodCrc) {
    putBigEndian(bytes_, static_cast<std::uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), type.begin(), type.end());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    std::uint32_t crc = computeCrc32(reinterpret_cast<const std::uint8_t*>(type.data()), 4, data.data(),
                                     static_cast<int>(data.size()));
    putBigEndian(bytes_, goodCrc ? crc : ~crc);
    return *this;
}

PngBuilder& PngBuilder::chunkWithLength(const std::string& type, std::int32_t length, const Bytes& data) {
    putBigEndian(bytes_, static_cast<std::uint32_t>(length));
    bytes_.insert(bytes_.end(), type.begin(), type.end());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
}

PngBuilder& PngBuilder::raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

PngBuilder& PngBuilder::end() { return chunk("IEND", {}); }

Bytes deflateBytes(const Bytes& data, int level) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    EXPECT_EQ(compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
    out.resize(length);
    return out;
}

Bytes filteredRows(const Bytes& pixels, int rowBytes, int rows, int filter) {
    Bytes out;
    for (int y = 0; y < rows; ++y) {
        out.push_back(static_cast<std::uint8_t>(filter));
        auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y) * rowBytes;
        out.insert(out.end(), row, row + rowBytes);
    }
    return out;
}

Image* readPngBytes(const Bytes& png) {
    FileMemory file(static_cast<int>(png.size()));
    if (!png.empty()) file.write(png.data(), static_cast<int>(png.size()));
    file.seek(0);
    return new Image(file);
}

std::vector<int> rowFilters(const Bytes& png, int rowBytes, int rows) {
    Bytes data;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = (std::uint32_t{png[at]} << 24) | (std::uint32_t{png[at + 1]} << 16) |
                                     (std::uint32_t{png[at + 2]} << 8) | png[at + 3];
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) data.insert(data.end(), &png[at + 8], &png[at + 8 + length]);
        at += 12 + length;
    }
    Bytes raw((static_cast<std::size_t>(rowBytes) + 1) * static_cast<std::size_t>(rows));
    uLongf rawLength = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &rawLength, data.data(), static_cast<uLong>(data.size())), Z_OK);
    std::vector<int> filters;
    for (std::size_t row = 0; row < rawLength; row += static_cast<std::size_t>(rowBytes) + 1) filters.push_back(raw[row]);
    return filters;
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool goldenRewritten(const Image& shot, const std::string& goldenPath) {
    if (const char* update = std::getenv("VELKARN_UPDATE_GOLDENS"); update != nullptr && std::string(update) == "1") {
        shot.writePng(goldenPath);
        return true;
    }
    const Image expected(goldenPath, true);
    EXPECT_EQ(expected.width(), shot.width()) << goldenPath;
    EXPECT_EQ(expected.height(), shot.height()) << goldenPath;
    if (expected.width() != shot.width() || expected.height() != shot.height()) return false;
    int differing = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) differing += shot.getPixel(x, y).differs(expected.getPixel(x, y));
    }
    EXPECT_EQ(differing, 0) << "pixels that differ from " << goldenPath;
    return false;
}

}  // namespace image_test
