#include "FrameworkTest.h"
#include "ImageTestSupport.h"

#include "framework/Crc32.h"
#include "framework/Png.h"
#include "framework/StringException.h"

#include <zlib.h>

#include <cstring>
#include <memory>

namespace {

using image_test::Bytes;
using testing_support::TemporaryDirectory;

std::uint32_t bigEndianAt(const Bytes& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) | (std::uint32_t{bytes[at + 2]} << 8) |
           bytes[at + 3];
}

class PngWrite : public FrameworkTest {
protected:
    TemporaryDirectory directory;
};

TEST_F(PngWrite, TheFileHasOneHeaderOneDataChunkAndTheEnd) {
    std::unique_ptr<Image> image(image_test::imageFromBytes(
        3, 2, {10, 20, 30, 40, 11, 21, 31, 41, 12, 22, 32, 42, 13, 23, 33, 43, 14, 24, 34, 44, 15, 25, 35, 45}));
    const std::string path = directory.file("layout.png");
    image->writePng(path);
    const Bytes file = image_test::readBytes(path);
    ASSERT_GE(file.size(), 57u);
    const Bytes head(file.begin(), file.begin() + 29);
    const Bytes expectedHead = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 3, 0, 0, 0, 2, 8, 6, 0, 0, 0};
    EXPECT_EQ(head, expectedHead);
    EXPECT_EQ(bigEndianAt(file, 29), computeCrc32(&file[12], 17, nullptr, 0));

    const std::uint32_t n = bigEndianAt(file, 33);
    ASSERT_EQ(file.size(), 57u + n);
    EXPECT_EQ(std::memcmp(&file[37], "IDAT", 4), 0);
    EXPECT_EQ(bigEndianAt(file, 41 + n), computeCrc32(&file[37], 4, &file[41], static_cast<int>(n)));
    const Bytes end(file.begin() + 45 + n, file.end());
    EXPECT_EQ(end, (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));

    // Rows with filter 0 and pixels as red, green, blue, alpha.
    Bytes rows(2 * 13);
    uLongf length = rows.size();
    ASSERT_EQ(uncompress(rows.data(), &length, &file[41], n), Z_OK);
    ASSERT_EQ(length, rows.size());
    EXPECT_EQ(rows, (Bytes{0, 30, 20, 10, 40, 31, 21, 11, 41, 32, 22, 12, 42, 0, 33, 23, 13, 43, 34, 24, 14, 44, 35, 25, 15, 45}));
    EXPECT_EQ(compressPngRows(image->pixels(), 3, 2), Bytes(file.begin() + 41, file.begin() + 41 + n));
}

TEST_F(PngWrite, EveryAlphaValueSurvivesARoundTrip) {
    Bytes bgra;
    for (int alpha = 0; alpha < 256; ++alpha) {
        for (int row = 0; row < 2; ++row) {
            bgra.insert(bgra.end(), {static_cast<std::uint8_t>(alpha * 7), static_cast<std::uint8_t>(255 - alpha),
                                     static_cast<std::uint8_t>(row * 99 + alpha), static_cast<std::uint8_t>(alpha)});
        }
    }
    std::unique_ptr<Image> image(image_test::imageFromBytes(2, 256, bgra));
    const std::string path = directory.file("alpha.png");
    image->writePng(path);
    std::unique_ptr<Image> back(new Image(path, true));
    EXPECT_EQ(back->width(), 2);
    EXPECT_EQ(back->height(), 256);
    EXPECT_TRUE(image_test::pixelBytes(*back) == bgra);
}

TEST_F(PngWrite, ImageMagickReadsTheSameBytes) {
    for (auto [width, height] : {std::pair{1, 1}, std::pair{13, 7}, std::pair{300, 20}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const Bytes rgba = image_test::pattern(width, height, 4, static_cast<unsigned>(width));
        std::unique_ptr<Image> image(image_test::imageFromBytes(width, height, image_test::patternAsBgra(rgba, 4)));
        const std::string path = directory.file("ours.png");
        const std::string raw = directory.file("decoded.rgba");
        image->writePng(path);
        ASSERT_EQ(testing_support::runProgram({"convert", path, "-depth", "8", "rgba:" + raw}), 0)
            << "ImageMagick's convert must be installed (scripts/install-deps.sh)";
        EXPECT_TRUE(image_test::readBytes(raw) == rgba);
    }
}

TEST_F(PngWrite, FailuresToOpenOrWriteAreThrownTexts) {
    Image image(40, 40, 1, 2, 3, 4);
    const std::string missing = directory.file("no/such/directory/out.png");
    EXPECT_STRING_EXCEPTION(image.writePng(missing), "Cannot open " + missing + ".");
    // The disk is full: the writes or the close fail, and the program goes on.
    EXPECT_STRING_EXCEPTION(image.writePng("/dev/full"), "Cannot write /dev/full.");
    image.writePng(directory.file("after.png"));
    EXPECT_FALSE(image_test::readBytes(directory.file("after.png")).empty());
}

TEST(PaethPredictor, PicksTheNeighbourNearestTheLinearGuess) {
    struct Case {
        int left, up, upperLeft, expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0},       {10, 0, 0, 10},  // first row: the left neighbour
        {0, 10, 0, 10},     {10, 20, 10, 20}, {20, 10, 10, 20}, {10, 20, 30, 10},
        {100, 100, 0, 100}, {0, 255, 255, 0}, {255, 0, 128, 128}, {5, 5, 5, 5},
        {50, 60, 55, 55},
        {110, 80, 100, 80},  // up and upper-left equally near: up
    };
    for (const Case& c : cases) {
        EXPECT_EQ(paethPredictor(static_cast<std::uint8_t>(c.left), static_cast<std::uint8_t>(c.up),
                                 static_cast<std::uint8_t>(c.upperLeft)),
                  c.expected)
            << c.left << " " << c.up << " " << c.upperLeft;
    }
}

}  // namespace
