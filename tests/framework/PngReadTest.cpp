#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "LibpngWriter.h"

#include "framework/StringException.h"

#include <functional>
#include <memory>
#include <set>

namespace {

using image_test::Bytes;
using image_test::PngBuilder;
using testing_support::TemporaryDirectory;

struct Size {
    int width;
    int height;
};
const Size fixtureSizes[] = {{1, 1}, {3, 5}, {17, 4}, {257, 3}, {4000, 60}};

std::string describe(const Size& size, int channels) {
    return std::to_string(size.width) + "x" + std::to_string(size.height) + (channels == 4 ? " RGBA" : " RGB");
}

class PngRead : public FrameworkTest {
protected:
    // Reads the file and compares every pixel with the pattern it was made from.
    void expectPattern(const std::string& path, const Size& size, int channels, const Bytes& source) {
        std::unique_ptr<Image> image;
        try {
            image.reset(new Image(path, true));
        } catch (const StringException& error) {
            ADD_FAILURE() << path << ": " << error.what();
            return;
        }
        ASSERT_EQ(image->width(), size.width) << path;
        ASSERT_EQ(image->height(), size.height) << path;
        EXPECT_TRUE(image_test::pixelBytes(*image) == image_test::patternAsBgra(source, channels)) << path;
    }

    TemporaryDirectory directory;
};

// libpng writes each filter type on every row.
TEST_F(PngRead, FilesWithEachFilterTypeFromAnOutsideEncoder) {
    unsigned seed = 1;
    for (const Size& size : fixtureSizes) {
        for (int channels : {3, 4}) {
            const Bytes source = image_test::pattern(size.width, size.height, channels, seed++);
            // libpng writes a single pixel with filter 0 whatever it is asked
            // (the files made in the test give one every filter byte).
            const int lastFilter = size.width == 1 && size.height == 1 ? 0 : 4;
            for (int filter = 0; filter <= lastFilter; ++filter) {
                SCOPED_TRACE(describe(size, channels) + " filter " + std::to_string(filter));
                const std::string path = directory.file("libpng.png");
                ASSERT_TRUE(writeWithLibpng(path, size.width, size.height, channels, source, filter));
                // The case means something only if the rows really carry the filter.
                const std::vector<int> filters = image_test::rowFilters(image_test::readBytes(path),
                                                                        size.width * channels, size.height);
                ASSERT_EQ(filters, std::vector<int>(static_cast<std::size_t>(size.height), filter));
                expectPattern(path, size, channels, source);
            }
        }
    }
}

// ImageMagick's own choice of filters per row, with its ancillary chunks.
TEST_F(PngRead, FilesFromImageMagickWithAdaptiveFilters) {
    std::set<int> filtersSeen;
    unsigned seed = 100;
    for (const Size& size : fixtureSizes) {
        for (int channels : {3, 4}) {
            SCOPED_TRACE(describe(size, channels));
            const Bytes source = image_test::pattern(size.width, size.height, channels, seed++);
            const std::string raw = directory.file("pattern.raw");
            const std::string path = directory.file("magick.png");
            image_test::writeBytes(raw, source);
            const std::string geometry = std::to_string(size.width) + "x" + std::to_string(size.height);
            ASSERT_EQ(testing_support::runProgram({"convert", "-size", geometry, "-depth", "8",
                                                   (channels == 4 ? "rgba:" : "rgb:") + raw, "-define",
                                                   "png:compression-filter=5", (channels == 4 ? "PNG32:" : "PNG24:") + path}),
                      0)
                << "ImageMagick's convert must be installed (scripts/install-deps.sh)";
            const Bytes file = image_test::readBytes(path);
            ASSERT_EQ(file[25], channels == 4 ? 6 : 2);
            for (int filter : image_test::rowFilters(file, size.width * channels, size.height)) filtersSeen.insert(filter);
            expectPattern(path, size, channels, source);
        }
    }
    EXPECT_GE(filtersSeen.size(), 3u) << "the adaptive fixtures should mix filter types";
}

TEST_F(PngRead, FormatsTheProgramDoesNotUseAreRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* text;
    };
    const Case cases[] = {
        {"interlaced", {"-interlace", "PNG", "PNG32:"}, "PNG interlace method is different from 0."},
        {"16-bit", {"-depth", "16", "PNG64:"}, "PNG bit depth is different from 8."},
        {"palette", {"PNG8:"}, "PNG color type is different from 2 or 6."},
        {"grey", {"-colorspace", "Gray", "-alpha", "off", "-define", "png:color-type=0", "-depth", "8", "PNG:"},
         "PNG color type is different from 2 or 6."},
        {"grey and alpha", {"-colorspace", "Gray", "-define", "png:color-type=4", "-depth", "8", "PNG:"},
         "PNG color type is different from 2 or 6."},
    };
    const std::string raw = directory.file("pattern.raw");
    image_test::writeBytes(raw, image_test::pattern(9, 7, 4, 5));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory.file("refused.png");
        std::vector<std::string> command = {"convert", "-size", "9x7", "-depth", "8", "rgba:" + raw};
        command.insert(command.end(), c.options.begin(), c.options.end() - 1);
        command.push_back(c.options.back() + path);
        ASSERT_EQ(testing_support::runProgram(command), 0);
        EXPECT_STRING_EXCEPTION(Image(path, true), c.text);
    }
}

// ---- Files made in the test -------------------------------------------------------

constexpr int craftedWidth = 6;
constexpr int craftedHeight = 4;
constexpr int craftedRow = craftedWidth * 4;

Bytes craftedPixels() { return image_test::pattern(craftedWidth, craftedHeight, 4, 77); }

Bytes craftedStream(int filter = 0) {
    return image_test::deflateBytes(image_test::filteredRows(craftedPixels(), craftedRow, craftedHeight, filter));
}

std::vector<Bytes> split(const Bytes& data, const std::vector<std::size_t>& sizes) {
    std::vector<Bytes> parts;
    std::size_t at = 0;
    for (std::size_t size : sizes) {
        parts.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    parts.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at), data.end());
    return parts;
}

PngBuilder craftedHeader() {
    PngBuilder png;
    png.header(craftedWidth, craftedHeight);
    return png;
}

TEST_F(PngRead, CraftedFilesThatRead) {
    const Bytes stream = craftedStream();
    struct Case {
        const char* name;
        std::function<Bytes()> build;
    };
    const Case cases[] = {
        {"one IDAT", [&] { return craftedHeader().chunk("IDAT", stream).end().bytes(); }},
        {"ancillary chunks before the data",
         [&] {
             return craftedHeader()
                 .chunk("gAMA", {0, 0, 0xB1, 0x8F})
                 .chunk("tEXt", Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'})
                 .chunk("pHYs", Bytes(9, 1))
                 .chunk("IDAT", stream)
                 .end()
                 .bytes();
         }},
        {"data split over several IDATs",
         [&] {
             PngBuilder png = craftedHeader();
             for (const Bytes& part : split(stream, {1, 1, 5, 3})) png.chunk("IDAT", part);
             return png.end().bytes();
         }},
        {"one byte per IDAT",
         [&] {
             PngBuilder png = craftedHeader();
             for (std::uint8_t byte : stream) png.chunk("IDAT", {byte});
             return png.end().bytes();
         }},
        {"empty IDATs in the run",
         [&] {
             const std::vector<Bytes> parts = split(stream, {4});
             return craftedHeader().chunk("IDAT", {}).chunk("IDAT", parts[0]).chunk("IDAT", {}).chunk("IDAT", parts[1]).end().bytes();
         }},
        {"an IDAT after another chunk is ignored",
         [&] {
             return craftedHeader().chunk("IDAT", stream).chunk("tEXt", {'a', 0}).chunk("IDAT", Bytes(40, 0xEE)).end().bytes();
         }},
        {"bad CRCs everywhere",
         [&] {
             PngBuilder png;
             png.header(craftedWidth, craftedHeight);
             Bytes bytes = png.bytes();
             bytes[29] ^= 0xFF;  // the header's CRC
             return PngBuilder().raw(Bytes(bytes.begin() + 8, bytes.end())).chunk("gAMA", Bytes(4, 0), false).chunk("IDAT", stream, false).chunk("IEND", {}, false).bytes();
         }},
        {"no IEND", [&] { return craftedHeader().chunk("IDAT", stream).bytes(); }},
        {"the file ends with the data", [&] { return craftedHeader().chunkWithLength("IDAT", static_cast<std::int32_t>(stream.size()), stream).bytes(); }},
        {"the file ends inside the CRC",
         [&] {
             Bytes bytes = craftedHeader().chunk("IDAT", stream).bytes();
             bytes.erase(bytes.end() - 2, bytes.end());
             return bytes;
         }},
    };
    const Bytes expected = image_test::patternAsBgra(craftedPixels(), 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            std::unique_ptr<Image> image(image_test::readPngBytes(c.build()));
            EXPECT_EQ(image->width(), craftedWidth);
            EXPECT_EQ(image->height(), craftedHeight);
            EXPECT_TRUE(image_test::pixelBytes(*image) == expected);
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

TEST_F(PngRead, ASinglePixelWithEveryFilterType) {
    // No neighbours: every filter adds 0.
    for (int filter = 0; filter <= 4; ++filter) {
        SCOPED_TRACE(filter);
        const Bytes rows = {static_cast<std::uint8_t>(filter), 9, 8, 7, 6};
        std::unique_ptr<Image> image(
            image_test::readPngBytes(PngBuilder().header(1, 1).chunk("IDAT", image_test::deflateBytes(rows)).end().bytes()));
        EXPECT_EQ(image_test::pixelBytes(*image), (Bytes{7, 8, 9, 6}));
    }
}

TEST_F(PngRead, ColourType2GivesOpaquePixels) {
    const Bytes rgb = image_test::pattern(5, 3, 3, 8);
    const Bytes png = PngBuilder()
                          .header(5, 3, 8, 2)
                          .chunk("IDAT", image_test::deflateBytes(image_test::filteredRows(rgb, 15, 3, 0)))
                          .end()
                          .bytes();
    std::unique_ptr<Image> image(image_test::readPngBytes(png));
    EXPECT_TRUE(image_test::pixelBytes(*image) == image_test::patternAsBgra(rgb, 3));
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image->getPixel(x, 2).alpha, 255);
}

TEST_F(PngRead, PaethOnTheFirstRowIsTheLeftNeighbour) {
    // Row 0 coded with Sub but labelled Paeth: above and upper-left count as 0.
    const Bytes pixels = craftedPixels();
    Bytes rows = image_test::filteredRows(pixels, craftedRow, craftedHeight, 0);
    rows[0] = 4;
    for (int i = craftedRow - 1; i >= 4; --i) {
        rows[static_cast<std::size_t>(1 + i)] = static_cast<std::uint8_t>(pixels[static_cast<std::size_t>(i)] - pixels[static_cast<std::size_t>(i - 4)]);
    }
    std::unique_ptr<Image> image(image_test::readPngBytes(craftedHeader().chunk("IDAT", image_test::deflateBytes(rows)).end().bytes()));
    EXPECT_TRUE(image_test::pixelBytes(*image) == image_test::patternAsBgra(pixels, 4));
}

TEST_F(PngRead, CraftedFilesThatAreRefused) {
    const Bytes stream = craftedStream();
    const Bytes rows = image_test::filteredRows(craftedPixels(), craftedRow, craftedHeight, 0);
    struct Case {
        const char* name;
        std::function<Bytes()> build;
        std::string text;
    };
    const Case cases[] = {
        {"empty file", [] { return Bytes{}; }, "Not a valid PNG file."},
        {"another signature", [] { return Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}; }, "Not a valid PNG file."},
        {"no IHDR first", [&] { return PngBuilder().chunk("gAMA", Bytes(4, 0)).bytes(); }, "PNG IHDR chunck not present."},
        {"bit depth 16", [&] { return PngBuilder().header(6, 4, 16, 6).bytes(); }, "PNG bit depth is different from 8."},
        {"palette", [&] { return PngBuilder().header(6, 4, 8, 3).bytes(); }, "PNG color type is different from 2 or 6."},
        {"compression method 1", [&] { return PngBuilder().header(6, 4, 8, 6, 1).bytes(); },
         "PNG compression method is different from 0."},
        {"filter method 1", [&] { return PngBuilder().header(6, 4, 8, 6, 0, 1).bytes(); }, "PNG filter method is different from 0."},
        {"interlace method 1", [&] { return PngBuilder().header(6, 4, 8, 6, 0, 0, 1).bytes(); },
         "PNG interlace method is different from 0."},
        {"filter type 5",
         [&] {
             Bytes bad = rows;
             bad[static_cast<std::size_t>(2 * (craftedRow + 1))] = 5;
             return craftedHeader().chunk("IDAT", image_test::deflateBytes(bad)).end().bytes();
         },
         "PNG filter type is greater than 4."},
        {"corrupt zlib data",
         [&] {
             Bytes bad = stream;
             bad[0] = 0x00;  // not a zlib header
             return craftedHeader().chunk("IDAT", bad).end().bytes();
         },
         "PNG ZLIB trouble: input data corrupted."},
        {"zlib data cut short",
         [&] { return craftedHeader().chunk("IDAT", Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2))).end().bytes(); },
         "PNG ZLIB trouble: input data corrupted."},
        {"one row too many",
         [&] {
             Bytes more = rows;
             more.insert(more.end(), rows.begin(), rows.begin() + craftedRow + 1);
             return craftedHeader().chunk("IDAT", image_test::deflateBytes(more)).end().bytes();
         },
         "PNG ZLIB trouble: not enough memory in the output buffer."},
        {"one byte too many",
         [&] {
             Bytes more = rows;
             more.push_back(0);
             return craftedHeader().chunk("IDAT", image_test::deflateBytes(more)).end().bytes();
         },
         "PNG ZLIB trouble: not enough memory in the output buffer."},
        {"one row too few",
         [&] {
             Bytes fewer(rows.begin(), rows.end() - (craftedRow + 1));
             return craftedHeader().chunk("IDAT", image_test::deflateBytes(fewer)).end().bytes();
         },
         "PNG trouble: 100 != 75."},
        {"no data at all", [&] { return craftedHeader().chunk("IDAT", image_test::deflateBytes({})).end().bytes(); },
         "PNG trouble: 100 != 0."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STRING_EXCEPTION(delete image_test::readPngBytes(c.build()), c.text);
    }
}

}  // namespace
