#include "FrameworkTest.h"
#include "ImageTestSupport.h"

#include "BuildTest.h"
#include "framework/Font.h"
#include "framework/ImageHolder.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "primitives.h"

#include <dirent.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace {

using image_test::Bytes;

class ImageTest : public FrameworkTest {};

Bytes pixelOf(const Image& image, int x, int y) {
    const std::uint8_t* p = image.pixelAt(x, y);
    return Bytes(p, p + 4);
}

// An image whose every byte differs from its neighbours'.
std::unique_ptr<Image> patterned(int width, int height, unsigned seed) {
    return std::unique_ptr<Image>(
        image_test::imageFromBytes(width, height, image_test::pattern(width, height, 4, seed)));
}

TEST_F(ImageTest, PixelsAndColours) {
    Image image(2, 1, 10, 20, 30, 40);
    EXPECT_EQ(image_test::pixelBytes(image), (Bytes{30, 20, 10, 40, 30, 20, 10, 40}));
    EXPECT_EQ(image.rowStep(), 8);
    const Color pixel = image.getPixel(1, 0);
    EXPECT_FALSE(pixel.differs(Color(10, 20, 30, 40)));
    image.setPixel(Color(1, 2, 3, 0), 0, 0);
    EXPECT_EQ(pixelOf(image, 0, 0), (Bytes{3, 2, 1, 0}));
    EXPECT_TRUE(image.isTransparent(0, 0));
    EXPECT_FALSE(image.isTransparent(1, 0));
    // Only the low byte of a component counts.
    Image wrapped(1, 1, 256 + 5, -1, 512, 255 + 256);
    EXPECT_EQ(pixelOf(wrapped, 0, 0), (Bytes{0, 255, 5, 255}));
}

TEST_F(ImageTest, BlendingDividesBy256) {
    struct Case {
        const char* name;
        Bytes before;
        std::function<void(Image&)> blend;
        Bytes after;
    };
    const Case cases[] = {
        {"opaque white over anything", {0, 100, 255, 17},
         [](Image& i) { i.blendFill(255, 255, 255, 255, 0, 0, 1, 1); }, {254, 254, 254, 255}},
        {"opaque black over anything", {0, 100, 255, 17},
         [](Image& i) { i.blendFill(0, 0, 0, 255, 0, 0, 1, 1); }, {0, 0, 0, 255}},
        {"opaque white over white", {255, 255, 255, 255},
         [](Image& i) { i.blendFill(255, 255, 255, 255, 0, 0, 1, 1); }, {254, 254, 254, 255}},
        {"half over transparent black", {0, 0, 0, 0}, [](Image& i) { i.blendPixel(200, 100, 0, 128, 0, 0); },
         {0, 50, 100, 128}},
        {"colour form", {0, 0, 0, 0}, [](Image& i) { i.blendPixel(Color(200, 100, 0, 128), 0, 0); }, {0, 50, 100, 128}},
        {"weight 0 darkens by one step", {10, 0, 255, 200},
         [](Image& i) { i.blendVerticalLine(99, 99, 99, 0, 0, 0, 0); }, {9, 0, 254, 199}},
        {"alpha grows toward opaque", {40, 40, 40, 100},
         [](Image& i) { i.blendHorizontalLine(0, 0, 0, 64, 0, 0, 0); }, {29, 29, 29, 138}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Image> image(image_test::imageFromBytes(1, 1, c.before));
        c.blend(*image);
        EXPECT_EQ(pixelOf(*image, 0, 0), c.after);
    }
}

TEST_F(ImageTest, LinesAndFillsTouchOnlyTheirPixels) {
    Image image(5, 4, 0, 0, 0, 7);
    image.blendVerticalLine(255, 0, 0, 255, 1, 1, 2);
    image.blendHorizontalLine(0, 255, 0, 255, 2, 4, 3);
    image.blendFill(0, 0, 255, 255, 3, 0, 2, 2);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            Bytes expected = {0, 0, 0, 7};
            if (x == 1 && (y == 1 || y == 2)) expected = {0, 0, 254, 255};
            if (y == 3 && x >= 2) expected = {0, 254, 0, 255};
            if (x >= 3 && y <= 1) expected = {254, 0, 0, 255};
            EXPECT_EQ(pixelOf(image, x, y), expected) << x << "," << y;
        }
    }
    image.fillRectRgb(9, 8, 7, 0, 0, 2, 4);
    image.fillRect(1, 2, 3, 4, 4, 3, 4, 3);
    EXPECT_EQ(pixelOf(image, 0, 0), (Bytes{7, 8, 9, 7}));    // alpha kept
    EXPECT_EQ(pixelOf(image, 1, 1), (Bytes{7, 8, 9, 255}));  // alpha kept
    EXPECT_EQ(pixelOf(image, 4, 3), (Bytes{3, 2, 1, 4}));    // all four bytes
    EXPECT_EQ(pixelOf(image, 3, 3), (Bytes{0, 254, 0, 255}));
}

TEST_F(ImageTest, CoordinatesOutsideTheImageStopTheProgram) {
    struct Case {
        const char* name;
        std::function<void(Image&, Image&)> call;
    };
    // Both images are 10 x 8.
    const Case cases[] = {
        {"copy width 0", [](Image& i, Image& s) { i.copyRect(s, 0, 0, 0, 0, 0, 1); }},
        {"copy height 0", [](Image& i, Image& s) { i.copyRect(s, 0, 0, 0, 0, 1, 0); }},
        {"copy one past the right edge", [](Image& i, Image& s) { i.copyRect(s, 1, 0, 0, 0, 10, 8); }},
        {"copy one past the bottom", [](Image& i, Image& s) { i.copyRect(s, 0, 1, 0, 0, 10, 8); }},
        {"copy from past the source's edge", [](Image& i, Image& s) { i.copyRect(s, 0, 0, 5, 0, 6, 1); }},
        {"copy with a size that wraps", [](Image& i, Image& s) { i.copyRect(s, 5, 0, 0, 0, 2147483647, 1); }},
        {"copy from a negative origin", [](Image& i, Image& s) { i.copyRect(s, 0, 0, -1, 0, 2, 2); }},
        {"blend past the edge", [](Image& i, Image& s) { i.blendRect(s, 9, 7, 0, 0, 2, 1); }},
        {"blend fill negative", [](Image& i, Image&) { i.blendFill(0, 0, 0, 0, -1, 0, 1, 1); }},
        {"fill rgb too tall", [](Image& i, Image&) { i.fillRectRgb(0, 0, 0, 0, 0, 1, 9); }},
        {"fill with swapped corners", [](Image& i, Image&) { i.fillRect(0, 0, 0, 0, 5, 0, 4, 0); }},
        {"fill to x = width", [](Image& i, Image&) { i.fillRect(0, 0, 0, 0, 0, 0, 10, 0); }},
        {"vertical line below", [](Image& i, Image&) { i.blendVerticalLine(0, 0, 0, 0, 0, 0, 8); }},
        {"vertical line upside down", [](Image& i, Image&) { i.blendVerticalLine(0, 0, 0, 0, 0, 3, 2); }},
        {"vertical line right of the image", [](Image& i, Image&) { i.blendVerticalLine(0, 0, 0, 0, 10, 0, 0); }},
        {"horizontal line past the edge", [](Image& i, Image&) { i.blendHorizontalLine(0, 0, 0, 0, 0, 10, 0); }},
        {"horizontal line below", [](Image& i, Image&) { i.blendHorizontalLine(0, 0, 0, 0, 0, 1, -1); }},
        {"transparency at x = width", [](Image& i, Image&) { i.isTransparent(10, 0); }},
        {"pixel at y = height", [](Image& i, Image&) { i.getPixel(0, 8); }},
        {"set a pixel at -1", [](Image& i, Image&) { i.setPixel(Color(), -1, 0); }},
        {"text from outside", [](Image& i, Image&) { Font font(0); i.drawText("A", 10, 0, &font, Color()); }},
        {"stretch onto outside corners", [](Image& i, Image& s) { i.stretchFrom(s, 0, 0, 10, 7, 0, 0, 1, 1); }},
        {"stretch from outside corners", [](Image& i, Image& s) { i.stretchFrom(s, 0, 0, 1, 1, 0, 0, 1, 8); }},
        {"mirror past the edge", [](Image& i, Image&) { i.mirrorRows(0, 0, 10, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image(10, 8, 1, 2, 3, 4);
        Image source(10, 8, 5, 6, 7, 8);
        EXPECT_FATAL(c.call(image, source), "Invalid coordinates.");
        EXPECT_EQ(pixelOf(image, 0, 0), (Bytes{3, 2, 1, 4})) << "nothing may be written before the check";
    }
    Image image(10, 8, 0, 0, 0, 0);
    Image other(10, 7, 0, 0, 0, 0);
    EXPECT_FATAL(image.copyFrom(other), "Cannot copy from an image with different dimensions.");
}

TEST_F(ImageTest, ImagesThatCannotBeMade) {
    for (auto [width, height] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{-3, 5}, std::pair{536870912, 1}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        EXPECT_FATAL(Image(width, height, 0, 0, 0, 0), "Could not create bitmap.");
    }
}

TEST_F(ImageTest, RectangleCopyAndComposite) {
    std::unique_ptr<Image> source = patterned(6, 5, 3);
    Image target(8, 7, 9, 9, 9, 255);
    target.copyRect(*source, 2, 3, 1, 1, 4, 3);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 6;
            EXPECT_EQ(pixelOf(target, x, y), inside ? pixelOf(*source, x - 1, y - 2) : (Bytes{9, 9, 9, 255})) << x << "," << y;
        }
    }
    // Over an opaque image: a transparent source leaves it, an opaque one
    // replaces it, a half-transparent one mixes.
    std::unique_ptr<Image> layer(image_test::imageFromBytes(3, 1, {200, 100, 50, 0, 200, 100, 50, 255, 200, 100, 50, 128}));
    Image base(3, 1, 10, 20, 30, 255);
    base.blendRect(*layer, 0, 0, 0, 0, 3, 1);
    EXPECT_EQ(pixelOf(base, 0, 0), (Bytes{30, 20, 10, 255}));
    EXPECT_EQ(pixelOf(base, 1, 0), (Bytes{200, 100, 50, 255}));
    // colour = a A + (1 - a) B with a = 128/255, each term rounded down.
    EXPECT_EQ(pixelOf(base, 2, 0), (Bytes{100 + 14, 50 + 9, 25 + 4, 255}));
}

TEST_F(ImageTest, TextIsFittedCutAndSetUnblended) {
    Font font(0);
    const Color ink(10, 20, 30, 100);
    const auto expectText = [&](const Image& image, int x, int y, const std::string& text, int rows) {
        Image expected(image.width(), image.height(), 0, 0, 0, 0);
        int pen = x;
        for (unsigned char c : text) {
            for (int column = 0; column < font.glyphWidth(c); ++column) {
                for (int row = 0; row < rows; ++row) {
                    if (font.isPixelSet(c, column, row)) expected.setPixel(ink, pen + column, y + row);
                }
            }
            pen += font.glyphWidth(c);
        }
        EXPECT_TRUE(image_test::pixelBytes(image) == image_test::pixelBytes(expected)) << "text \"" << text << "\"";
    };
    {
        // "A" is 8 wide: two fit in 20 columns from x = 2, the third would not.
        Image image(20, 16, 0, 0, 0, 0);
        image.drawText("AAA", 2, 0, &font, ink);
        expectText(image, 2, 0, "AA", 16);
    }
    {
        Image image(20, 16, 0, 0, 0, 0);
        image.drawText("A", 13, 0, &font, ink);  // 13 + 8 > 20: nothing
        EXPECT_TRUE(image_test::pixelBytes(image) == image_test::pixelBytes(Image(20, 16, 0, 0, 0, 0)));
    }
    {
        // Ten rows above the bottom: the top ten rows of each glyph.
        Image image(20, 16, 0, 0, 0, 0);
        image.drawText("A-", 0, 6, &font, ink);
        expectText(image, 0, 6, "A-", 10);
    }
    {
        // Bytes above 127 are glyphs 128-255; a zero ends the text.
        Image image(30, 16, 0, 0, 0, 0);
        image.drawText(std::string("\xE9\xE9\0A", 4), 0, 0, &font, ink);
        expectText(image, 0, 0, "\xE9\xE9", 16);
    }
    {
        // The colour's alpha is written as it is, over whatever was there.
        Image image(8, 16, 1, 2, 3, 255);
        image.drawText("-", 0, 0, &font, ink);
        EXPECT_EQ(pixelOf(image, 0, 8), (Bytes{30, 20, 10, 100}));
        EXPECT_EQ(pixelOf(image, 0, 7), (Bytes{3, 2, 1, 255}));
    }
}

TEST_F(ImageTest, MirroringRows) {
    std::unique_ptr<Image> image = patterned(5, 2, 4);
    std::unique_ptr<Image> original = patterned(5, 2, 4);
    image->mirrorRows(0, 0, 2, 0);  // odd span: the middle stays
    EXPECT_EQ(pixelOf(*image, 0, 0), pixelOf(*original, 2, 0));
    EXPECT_EQ(pixelOf(*image, 1, 0), pixelOf(*original, 1, 0));
    EXPECT_EQ(pixelOf(*image, 2, 0), pixelOf(*original, 0, 0));
    EXPECT_EQ(pixelOf(*image, 3, 0), pixelOf(*original, 3, 0));
    image->mirrorRows(1, 1, 4, 1);  // even span
    EXPECT_EQ(pixelOf(*image, 0, 1), pixelOf(*original, 0, 1));
    for (int x = 1; x <= 4; ++x) EXPECT_EQ(pixelOf(*image, x, 1), pixelOf(*original, 5 - x, 1));
    const Bytes before = image_test::pixelBytes(*image);
    image->mirrorRows(3, 0, 3, 1);  // one-pixel span
    EXPECT_TRUE(image_test::pixelBytes(*image) == before);
}

// A sentinel-bordered target: the stretch must write only its rectangle.
TEST_F(ImageTest, StretchingScalesAllFourBytesInsideTheTarget) {
    std::unique_ptr<Image> source(image_test::imageFromBytes(
        2, 2, {0, 0, 0, 0, 200, 200, 200, 200, 100, 100, 100, 100, 40, 40, 40, 40}));
    Image target(6, 6, 7, 7, 7, 7);
    target.stretchFrom(*source, 1, 1, 4, 4, 0, 0, 1, 1);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            const Bytes pixel = pixelOf(target, x, y);
            if (x < 1 || x > 4 || y < 1 || y > 4) {
                EXPECT_EQ(pixel, (Bytes{7, 7, 7, 7})) << "outside at " << x << "," << y;
                continue;
            }
            // Equal channels stay equal: alpha is scaled like the colours.
            EXPECT_EQ(pixel[3], pixel[0]) << x << "," << y;
            EXPECT_EQ(pixel[1], pixel[0]);
            EXPECT_EQ(pixel[2], pixel[0]);
        }
    }
    // The corners map onto the source's corners.
    EXPECT_EQ(pixelOf(target, 1, 1), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(pixelOf(target, 4, 1), (Bytes{200, 200, 200, 200}));
    EXPECT_EQ(pixelOf(target, 1, 4), (Bytes{100, 100, 100, 100}));
    EXPECT_EQ(pixelOf(target, 4, 4), (Bytes{40, 40, 40, 40}));
    EXPECT_GT(pixelOf(target, 2, 1)[3], 0);
    EXPECT_LT(pixelOf(target, 2, 1)[3], 200);

    // At equal size the stretch is a copy.
    std::unique_ptr<Image> noisy = patterned(9, 4, 6);
    Image copy(11, 6, 0, 0, 0, 0);
    copy.stretchFrom(*noisy, 1, 1, 9, 4, 0, 0, 8, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(pixelOf(copy, x + 1, y + 1), pixelOf(*noisy, x, y));
}

TEST_F(ImageTest, StretchingGivesTheResizeEntrysBytes) {
    std::unique_ptr<Image> source = patterned(37, 11, 8);
    Image target(64, 30, 1, 1, 1, 1);
    target.stretchFrom(*source, 3, 2, 60, 28, 2, 1, 30, 9);

    // The entry itself, on copies: colour bytes, then green, red and alpha.
    Image direct(64, 30, 1, 1, 1, 1);
    const ImageSize sourceSize{29, 9};
    const ImageSize targetSize{58, 27};
    for (int shift = 0; shift < 2; ++shift) {
        ASSERT_EQ(zuzuZivere_8d_OZ4O(source->pixelAt(2, 1) + shift, sourceSize, source->rowStep(), ImageRect{0, 0, 29, 9},
                                     direct.pixelAt(3, 2) + shift, direct.rowStep(), targetSize, 58.0 / 29.0, 27.0 / 9.0,
                                     resizeInterpolationLinear),
                  0);
    }
    EXPECT_TRUE(image_test::pixelBytes(target) == image_test::pixelBytes(direct));
}

// The operations that go through the primitives give the same bytes on
// every build the processor runs.
TEST_F(ImageTest, PrimitiveBackedOperationsAgreeAcrossBuilds) {
    const auto run = [] {
        std::unique_ptr<Image> source = patterned(41, 13, 11);
        Image image(53, 17, 12, 34, 56, 78);
        image.copyRect(*source, 3, 2, 1, 1, 37, 11);
        image.blendRect(*source, 10, 0, 0, 0, 41, 13);
        image.fillRectRgb(5, 6, 7, 0, 14, 53, 3);
        image.fillRect(8, 9, 10, 11, 40, 1, 52, 6);
        Image copy(53, 17, 0, 0, 0, 0);
        copy.copyFrom(image);
        copy.stretchFrom(*source, 0, 0, 30, 16, 2, 2, 20, 12);
        copy.stretchFrom(*source, 31, 0, 40, 5, 0, 0, 40, 12);
        return image_test::pixelBytes(copy);
    };
    std::optional<Bytes> generic;
    for (std::int32_t build = primitives::kFirstBuild; build <= primitives::kLastBuild; ++build) {
        if (!primitives::test::hostRunsBuild(build)) continue;
        primitives::test::ScopedBuildIndex forced(build);
        const Bytes bytes = run();
        if (!generic) {
            generic = bytes;
        } else {
            EXPECT_TRUE(bytes == *generic) << primitives::test::buildName(build) << " differs from the generic build";
        }
    }
}

int openDescriptors() {
    int count = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (readdir(directory) != nullptr) ++count;
        closedir(directory);
    }
    return count;
}

TEST_F(ImageTest, LoadingSkinsByKeyAndByPath) {
    image_test::SkinDirectory skins;
    skins.write("panel/background", *patterned(7, 3, 12));
    Image byKey("panel/background", false);
    EXPECT_TRUE(image_test::pixelBytes(byKey) == image_test::pixelBytes(*patterned(7, 3, 12)));
    Image byPath(skins.path("panel/background"), true);
    EXPECT_TRUE(image_test::pixelBytes(byPath) == image_test::pixelBytes(byKey));
    ImageHolder holder("panel/background");
    EXPECT_EQ(holder.image()->width(), 7);

    // Not a PNG: the reader's text, and the opened file is closed.
    testing_support::writeFile(skins.root() + "/images/text.png", "plain text, not a picture");
    const int before = openDescriptors();
    EXPECT_STRING_EXCEPTION(Image("text", false), "Not a valid PNG file.");
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_STRING_EXCEPTION(Image("missing", false), "Cannot open file " + skins.root() + "/images/missing.png.");
}

TEST_F(ImageTest, AKeyMissingFromTheArchiveIsTheArchivesFailure) {
    supportSettings().archiveMode = true;
    initializeFileSystem();
    EXPECT_FATAL(Image("no/such/skin", false), "File not found: images/no/such/skin.png.");
    EXPECT_FATAL(ImageHolder("no/such/mask"), "File not found: images/no/such/mask.png.");
    cleanUpFileSystem();
}

}  // namespace
