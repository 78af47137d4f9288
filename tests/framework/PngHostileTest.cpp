// The reader against files made to hurt it: every outcome must be an image
// or a thrown text, with no fatal stop and no access outside its buffers
// (the sanitizer build checks the latter).
#include "FrameworkTest.h"
#include "ImageTestSupport.h"

#include "framework/StringException.h"

#include <zlib.h>

#include <climits>
#include <functional>
#include <memory>
#include <random>

namespace {

using image_test::Bytes;
using image_test::PngBuilder;

class PngHostile : public FrameworkTest {};

Bytes rowsOf(int width, int height, unsigned seed) {
    return image_test::filteredRows(image_test::pattern(width, height, 4, seed), width * 4, height, 0);
}

TEST_F(PngHostile, SizesOutsideWhatTheReaderTakes) {
    const Bytes stream = image_test::deflateBytes(rowsOf(2, 2, 1));
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {-1, 4}, {4, -1}, {0, 4}, {4, 0}, {INT_MIN, 1}, {1, INT_MIN}, {INT_MAX, INT_MAX},
        {16385, 4096},  // one row more than 2^28 bytes of pixels
        {65536, 1025}, {1, 67108865},
    };
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const Bytes png = PngBuilder().header(width, height).chunk("IDAT", stream).end().bytes();
        EXPECT_STRING_EXCEPTION(delete image_test::readPngBytes(png), "PNG image size is not supported.");
    }
}

TEST_F(PngHostile, LargeSizesWithinTheLimitAreTakenAtTheirWord) {
    // 2^28 bytes of pixels exactly: allowed, but the data does not hold them.
    const Bytes tiny = image_test::deflateBytes(rowsOf(2, 2, 1));
    const Bytes png = PngBuilder().header(8192, 8192).chunk("IDAT", tiny).end().bytes();
    EXPECT_STRING_EXCEPTION(delete image_test::readPngBytes(png), "PNG trouble: 268443648 != 18.");

    // A twenty-minute song's overview picture.
    Bytes pixels(24000 * 60 * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i / 4 % 24000 / 97 + i % 4 * 50);
    const Bytes rows = image_test::filteredRows(pixels, 24000 * 4, 60, 0);
    std::unique_ptr<Image> overview(
        image_test::readPngBytes(PngBuilder().header(24000, 60).chunk("IDAT", image_test::deflateBytes(rows, 1)).end().bytes()));
    EXPECT_EQ(overview->width(), 24000);
    EXPECT_EQ(overview->height(), 60);
    EXPECT_TRUE(image_test::pixelBytes(*overview) == image_test::patternAsBgra(pixels, 4));
}

TEST_F(PngHostile, ChunkLengthsAndEndsThatTheFileDoesNotHold) {
    const Bytes stream = image_test::deflateBytes(rowsOf(3, 2, 3));
    const auto header = [] { return PngBuilder().header(3, 2); };
    struct Case {
        const char* name;
        std::function<Bytes()> build;
    };
    const Case cases[] = {
        {"negative ancillary length", [&] { return header().chunkWithLength("tEXt", -1, Bytes(8, 0)).chunk("IDAT", stream).bytes(); }},
        {"ancillary length past the end", [&] { return header().chunkWithLength("tEXt", 1000, Bytes(8, 0)).chunk("IDAT", stream).bytes(); }},
        {"negative IDAT length", [&] { return header().chunkWithLength("IDAT", INT_MIN, stream).bytes(); }},
        {"IDAT length past the end",
         [&] { return header().chunkWithLength("IDAT", static_cast<std::int32_t>(stream.size()) + 1, stream).bytes(); }},
        {"second IDAT length past the end",
         [&] { return header().chunk("IDAT", stream).chunkWithLength("IDAT", 5000, Bytes(20, 1)).bytes(); }},
        {"the file ends after the header", [&] { return header().bytes(); }},
        {"the file ends inside the header's CRC",
         [&] {
             Bytes bytes = header().bytes();
             bytes.pop_back();
             return bytes;
         }},
        {"the file ends before the first IDAT", [&] { return header().chunk("gAMA", Bytes(4, 0)).bytes(); }},
        {"the file ends inside a chunk header", [&] { return header().chunk("gAMA", Bytes(4, 0)).raw({0, 0, 0}).bytes(); }},
        {"the file ends inside the data",
         [&] {
             return header().chunkWithLength("IDAT", static_cast<std::int32_t>(stream.size()), Bytes(stream.begin(), stream.end() - 3)).bytes();
         }},
        {"the IHDR is cut short",
         [] {
             Bytes bytes = PngBuilder().header(3, 2).bytes();
             bytes.resize(8 + 8 + 6);
             return bytes;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STRING_EXCEPTION(delete image_test::readPngBytes(c.build()), "Unexpected end of file.");
    }
}

// A legal zlib stream much larger than its rows: one stored block per row
// and a sync flush after each (the old fixed gathering buffer overflowed).
TEST_F(PngHostile, DataFarLargerThanTheRowsStillReads) {
    constexpr int width = 1;
    constexpr int height = 500;
    const Bytes pixels = image_test::pattern(width, height, 4, 9);
    const Bytes rows = image_test::filteredRows(pixels, width * 4, height, 0);
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 0), Z_OK);
    Bytes stream(rows.size() * 8 + 1024);
    zs.next_out = stream.data();
    zs.avail_out = static_cast<uInt>(stream.size());
    for (int y = 0; y < height; ++y) {
        zs.next_in = const_cast<Bytef*>(rows.data() + y * (width * 4 + 1));
        zs.avail_in = width * 4 + 1;
        ASSERT_EQ(deflate(&zs, y + 1 == height ? Z_FINISH : Z_SYNC_FLUSH), y + 1 == height ? Z_STREAM_END : Z_OK);
    }
    stream.resize(zs.total_out);
    deflateEnd(&zs);
    ASSERT_GT(static_cast<double>(stream.size()), 1.1 * ((4 * width + 1) * height) + 12);

    std::unique_ptr<Image> image(image_test::readPngBytes(PngBuilder().header(width, height).chunk("IDAT", stream).end().bytes()));
    EXPECT_TRUE(image_test::pixelBytes(*image) == image_test::patternAsBgra(pixels, 4));
}

// Flipped bits, truncations and extensions of a small valid file (with an
// ancillary chunk and a split data run): each variant gives an image or a
// thrown text, never a fatal stop or another exception.
TEST_F(PngHostile, MutatedFilesGiveAnImageOrAText) {
    const Bytes stream = image_test::deflateBytes(rowsOf(7, 5, 4));
    const Bytes original = PngBuilder()
                               .header(7, 5)
                               .chunk("tEXt", {'k', 0, 'v'})
                               .chunk("IDAT", Bytes(stream.begin(), stream.begin() + 9))
                               .chunk("IDAT", Bytes(stream.begin() + 9, stream.end()))
                               .end()
                               .bytes();
    std::mt19937 random(2024);
    int images = 0;
    int texts = 0;
    for (int variant = 0; variant < 10000; ++variant) {
        Bytes bytes = original;
        switch (variant % 3) {
        case 0: {
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
            break;
        }
        case 1: bytes.resize(random() % bytes.size()); break;
        default: {
            const std::size_t extra = 1 + random() % 64;
            for (std::size_t i = 0; i < extra; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
            bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(random());
            break;
        }
        }
        try {
            std::unique_ptr<Image> image(image_test::readPngBytes(bytes));
            ASSERT_GT(image->width(), 0);
            ++images;
        } catch (const StringException&) {
            ++texts;
        } catch (const std::exception& other) {
            FAIL() << "variant " << variant << ": " << other.what();
        }
    }
    // Both outcomes occur: the loop reaches past the first checks.
    EXPECT_GT(images, 100);
    EXPECT_GT(texts, 100);
}

}  // namespace
