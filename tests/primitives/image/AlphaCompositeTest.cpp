// duroAlphaComp_8u_AC4R against an exact integer model of its twelve
// operations, on every build, and against pixman for the premultiplied ones.
#include <gtest/gtest.h>
#include <pixman.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "BuildTest.h"
#include "ImageCanvas.h"
#include "primitives.h"

namespace primitives {
namespace {

using test::bytesFor;
using test::CanvasRegion;
using test::ImageCanvas;

class AlphaComposite : public test::PerBuildTest {};
INSTANTIATE_PER_BUILD_TEST_SUITE(AlphaComposite);

// ---- The model: the operation table with a true floor division ----

uint32_t f(uint32_t x, uint32_t y) { return x * y / 255; }
uint32_t sat(uint32_t v) { return std::min<uint32_t>(v, 255); }

using Pixel = std::array<uint8_t, 4>;

Pixel modelPixel(AlphaType type, const Pixel& p1, const Pixel& p2) {
    const uint32_t a = p1[3], b = p2[3];
    Pixel out{};
    for (int c = 0; c < 3; ++c) {
        const uint32_t A = p1[c], B = p2[c];
        uint32_t colour = 0;
        switch (type) {
        case 0: colour = f(A, a) + f(f(B, b), 255 - a); break;
        case 1: colour = f(f(A, a), b); break;
        case 2: colour = f(f(A, a), 255 - b); break;
        case 3: colour = f(f(A, a), b) + f(f(B, b), 255 - a); break;
        case 4: colour = f(f(A, a), 255 - b) + f(f(B, b), 255 - a); break;
        case 5: colour = sat(f(A, a) + f(B, b)); break;
        case 6: colour = sat(A + f(B, 255 - a)); break;
        case 7: colour = f(A, b); break;
        case 8: colour = f(A, 255 - b); break;
        case 9: colour = sat(f(A, b) + f(B, 255 - a)); break;
        case 10: colour = sat(f(A, 255 - b) + f(B, 255 - a)); break;
        case 11: colour = sat(A + B); break;
        }
        EXPECT_LE(colour, 255u) << "the unsaturated sums stay below 256";
        out[c] = static_cast<uint8_t>(colour);
    }
    uint32_t alpha = 0;
    switch (type % 6) {
    case 0: alpha = a + f(b, 255 - a); break;
    case 1: alpha = f(a, b); break;
    case 2: alpha = f(a, 255 - b); break;
    case 3: alpha = b; break;
    case 4: alpha = f(a, 255 - b) + f(b, 255 - a); break;
    case 5: alpha = sat(a + b); break;
    }
    out[3] = static_cast<uint8_t>(alpha);
    return out;
}

Pixel pixelAt(const ImageCanvas& canvas, CanvasRegion region, int32_t x, int32_t y) {
    Pixel p;
    std::memcpy(p.data(), canvas.at(region.offset + static_cast<std::size_t>(y) * region.step + 4 * x), 4);
    return p;
}

void modelComposite(const ImageCanvas& c1, CanvasRegion r1, const ImageCanvas& c2, CanvasRegion r2, ImageCanvas& cd,
                    CanvasRegion rd, ImageSize size, AlphaType type) {
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t x = 0; x < size.width; ++x) {
            const Pixel p = modelPixel(type, pixelAt(c1, r1, x, y), pixelAt(c2, r2, x, y));
            std::memcpy(cd.at(rd.offset + static_cast<std::size_t>(y) * rd.step + 4 * x), p.data(), 4);
        }
    }
}

// ---- Every (a, b) alpha pair in one 256 x 256 image ----

// Pixel (x, y) holds a = y in the first source and b = x in the second; the
// colours run through 0..255 along the rows of one and the columns of the
// other, so every F(colour, alpha) pair occurs.
constexpr ImageSize kPairs{256, 256};
constexpr int32_t kPairsStep = 4 * 256;

struct PairImages {
    ImageCanvas first{4 * 256 * 256, 20};
    ImageCanvas second{4 * 256 * 256, 21};
    PairImages() {
        for (uint32_t y = 0; y < 256; ++y) {
            for (uint32_t x = 0; x < 256; ++x) {
                const Pixel p1 = {uint8_t(x), uint8_t(255 - x), uint8_t(x * 73 + y * 151), uint8_t(y)};
                const Pixel p2 = {uint8_t(y), uint8_t(x * 29 + y * 97 + 13), uint8_t(255 - y), uint8_t(x)};
                std::memcpy(first.at(4 * (y * 256 + x)), p1.data(), 4);
                std::memcpy(second.at(4 * (y * 256 + x)), p2.data(), 4);
            }
        }
    }
};

const PairImages& pairImages() {
    static const PairImages images;
    return images;
}

TEST_P(AlphaComposite, ChecksDecideInOrderAndFailuresWriteNothing) {
    enum : unsigned { none = 0, first = 1, second = 2, destination = 4 };
    struct Case {
        const char* what;
        unsigned nulls;
        int32_t width, height, step1, step2, stepD;
        AlphaType type;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null first source", first, 4, 2, 16, 16, 16, 0, -8},
        {"null second source", second, 4, 2, 16, 16, 16, 0, -8},
        {"null destination", destination, 4, 2, 16, 16, 16, 0, -8},
        {"null with type 12", first, 4, 2, 16, 16, 16, 12, -8},
        {"null with zero width", destination, 0, 2, 16, 16, 16, 0, -8},
        {"zero width", none, 0, 2, 16, 16, 16, 0, -6},
        {"negative height", none, 4, -2, 16, 16, 16, 0, -6},
        {"zero width with zero step and type 12", none, 0, 2, 0, 16, 16, 12, -6},
        {"region of 2^31 bytes", none, 65536, 8192, 16, 16, 16, 0, -6},
        {"largest width and height", none, INT32_MAX, INT32_MAX, 16, 16, 16, 0, -6},
        {"zero first step", none, 4, 2, 0, 16, 16, 0, -14},
        {"negative second step", none, 4, 2, 16, -16, 16, 0, -14},
        {"zero destination step with type 12", none, 4, 2, 16, 16, 0, 12, -14},
        {"type 12", none, 4, 2, 16, 16, 16, 12, -50},
        {"type 0xFFFFFFFF", none, 4, 2, 16, 16, 16, 0xFFFFFFFFu, -50},
        {"type 0x80000000", none, 4, 2, 16, 16, 16, 0x80000000u, -50},
        {"type 11", none, 4, 2, 16, 16, 16, 11, 0},
    };
    const ImageCanvas one(64, 22), two(64, 23);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageCanvas dst(64, 24);
        ImageCanvas expected(dst);
        if (c.expected == 0) {
            modelComposite(one, {0, c.step1}, two, {0, c.step2}, expected, {0, c.stepD}, {c.width, c.height}, c.type);
        }
        EXPECT_EQ(duroAlphaComp_8u_AC4R((c.nulls & first) ? nullptr : one.at(0), c.step1,
                                        (c.nulls & second) ? nullptr : two.at(0), c.step2,
                                        (c.nulls & destination) ? nullptr : dst.at(0), c.stepD, {c.width, c.height},
                                        c.type),
                  c.expected);
        EXPECT_TRUE(dst.equals(expected));
    }
}

TEST_P(AlphaComposite, EveryTypeMatchesTheModelForAllAlphaPairs) {
    const PairImages& in = pairImages();
    for (AlphaType type = 0; type < 12; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        ImageCanvas actual(in.first.size(), 25);
        ImageCanvas expected(actual);
        modelComposite(in.first, {0, kPairsStep}, in.second, {0, kPairsStep}, expected, {0, kPairsStep}, kPairs,
                       type);
        ASSERT_EQ(duroAlphaComp_8u_AC4R(in.first.at(0), kPairsStep, in.second.at(0), kPairsStep, actual.at(0),
                                        kPairsStep, kPairs, type),
                  0);
        std::ptrdiff_t at = 0;
        EXPECT_TRUE(actual.equals(expected, &at)) << "first difference at byte " << at << " (a = " << at / 1024
                                                   << ", b = " << (at % 1024) / 4 << ")";
    }
}

TEST_P(AlphaComposite, PlainFormEqualsPremultipliedFormOnPremultipliedSources) {
    // Type v on (A, a, B, b) is type v + 6 on (F(A, a), a, F(B, b), b).
    const PairImages& in = pairImages();
    ImageCanvas first(in.first), second(in.second);
    for (ImageCanvas* image : {&first, &second}) {
        for (std::size_t i = 0; i < image->size(); i += 4) {
            uint8_t* p = image->at(i);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(f(p[c], p[3]));
        }
    }
    for (AlphaType type = 0; type < 6; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        ImageCanvas plain(in.first.size(), 26);
        ImageCanvas premultiplied(plain);
        ASSERT_EQ(duroAlphaComp_8u_AC4R(in.first.at(0), kPairsStep, in.second.at(0), kPairsStep, plain.at(0),
                                        kPairsStep, kPairs, type),
                  0);
        ASSERT_EQ(duroAlphaComp_8u_AC4R(first.at(0), kPairsStep, second.at(0), kPairsStep, premultiplied.at(0),
                                        kPairsStep, kPairs, type + 6),
                  0);
        EXPECT_TRUE(plain.equals(premultiplied));
    }
}

TEST_P(AlphaComposite, TableEdgesHold) {
    struct Case {
        const char* what;
        AlphaType type;
        Pixel first, second, result;
    };
    const Case cases[] = {
        {"over, opaque first source", 0, {10, 200, 255, 255}, {90, 90, 90, 77}, {10, 200, 255, 255}},
        {"over, clear first source", 0, {10, 200, 255, 0}, {90, 180, 255, 128}, {45, 90, 128, 128}},
        {"over premultiplied, clear first source", 6, {200, 10, 0, 0}, {90, 250, 7, 128}, {255, 255, 7, 128}},
        {"in, opaque second source", 1, {200, 100, 3, 128}, {1, 2, 3, 255}, {100, 50, 1, 128}},
        {"in truncates", 1, {1, 1, 1, 128}, {9, 9, 9, 255}, {0, 0, 0, 128}},
        {"out, opaque second source", 2, {200, 100, 3, 128}, {1, 2, 3, 255}, {0, 0, 0, 0}},
        {"out, clear second source", 2, {200, 100, 3, 128}, {1, 2, 3, 0}, {100, 50, 1, 128}},
        {"atop keeps the second alpha", 3, {255, 0, 0, 200}, {0, 255, 0, 31}, {24, 6, 0, 31}},
        {"xor, both opaque", 4, {255, 1, 2, 255}, {3, 4, 255, 255}, {0, 0, 0, 0}},
        {"plus saturates alpha too", 5, {255, 255, 0, 200}, {255, 10, 0, 100}, {255, 203, 0, 255}},
        {"atop premultiplied saturates", 9, {250, 0, 0, 10}, {250, 0, 0, 255}, {255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(modelPixel(c.type, c.first, c.second), c.result) << "the model itself";
        Pixel out{};
        ASSERT_EQ(duroAlphaComp_8u_AC4R(c.first.data(), 4, c.second.data(), 4, out.data(), 4, {1, 1}, c.type), 0);
        EXPECT_EQ(out, c.result);
    }
}

// ---- Alignment, row lengths, in place ----

TEST_P(AlphaComposite, ShortRowsMatchTheModelAtEveryAlignment) {
    for (int32_t width : {1, 2, 3, 4, 5, 17}) {
        const ImageSize size{width, 2};
        const int32_t step = 4 * width + 9;
        for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
            for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
                // The second source walks the offsets in another order, so
                // the two sources meet in many alignment combinations.
                const CanvasRegion r1{srcOffset, step}, r2{(srcOffset * 7 + 3) % 16, step + 4}, rd{dstOffset, step};
                const ImageCanvas one(bytesFor(r1, size), 27), two(bytesFor(r2, size), 28);
                for (AlphaType type = 0; type < 12; ++type) {
                    ImageCanvas actual(bytesFor(rd, size) + 16, 29);
                    ImageCanvas expected(actual);
                    modelComposite(one, r1, two, r2, expected, rd, size, type);
                    ASSERT_EQ(duroAlphaComp_8u_AC4R(one.at(r1.offset), r1.step, two.at(r2.offset), r2.step,
                                                    actual.at(rd.offset), rd.step, size, type),
                              0);
                    ASSERT_TRUE(actual.equals(expected))
                        << "type " << type << " width " << width << " offsets " << srcOffset << "/" << r2.offset << "/"
                        << dstOffset;
                }
            }
        }
    }
}

TEST_P(AlphaComposite, InPlaceEqualsASeparateDestination) {
    const ImageSize size{37, 3};
    for (std::size_t offset = 0; offset < 16; ++offset) {
        const CanvasRegion r1{3, 4 * 37 + 4}, r2{offset, 4 * 37 + 12};
        const ImageCanvas one(bytesFor(r1, size), 30), two(bytesFor(r2, size), 31);
        for (AlphaType type = 0; type < 12; ++type) {
            SCOPED_TRACE("type " + std::to_string(type) + " offset " + std::to_string(offset));
            ImageCanvas separate(bytesFor(r2, size), 32);
            ASSERT_EQ(duroAlphaComp_8u_AC4R(one.at(r1.offset), r1.step, two.at(r2.offset), r2.step,
                                            separate.at(r2.offset), r2.step, size, type),
                      0);
            // Over the second source, as the image class draws.
            ImageCanvas overSecond(two);
            ASSERT_EQ(duroAlphaComp_8u_AC4R(one.at(r1.offset), r1.step, overSecond.at(r2.offset), r2.step,
                                            overSecond.at(r2.offset), r2.step, size, type),
                      0);
            // Over the first source.
            ImageCanvas overFirst(one);
            ASSERT_EQ(duroAlphaComp_8u_AC4R(overFirst.at(r1.offset), r1.step, two.at(r2.offset), r2.step,
                                            overFirst.at(r1.offset), r1.step, size, type),
                      0);
            for (int32_t y = 0; y < size.height; ++y) {
                for (int32_t x = 0; x < size.width; ++x) {
                    ASSERT_EQ(pixelAt(overSecond, r2, x, y), pixelAt(separate, r2, x, y)) << x << "," << y;
                    ASSERT_EQ(pixelAt(overFirst, r1, x, y), pixelAt(separate, r2, x, y)) << x << "," << y;
                }
            }
        }
    }
}

// ---- Against pixman ----

// Premultiplied types 6-11 are pixman's OVER, IN, OUT, ATOP, XOR and ADD of
// the first source onto the second on a8r8g8b8 (the same byte order: alpha
// in byte 3). pixman rounds each product where F truncates, so results
// differ by at most 2.
TEST_P(AlphaComposite, PremultipliedTypesAgreeWithPixmanWithinTwo) {
    const pixman_op_t operators[] = {PIXMAN_OP_OVER, PIXMAN_OP_IN,  PIXMAN_OP_OUT,
                                     PIXMAN_OP_ATOP, PIXMAN_OP_XOR, PIXMAN_OP_ADD};
    const PairImages& in = pairImages();
    for (AlphaType type = 6; type < 12; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        ImageCanvas ours(in.first.size(), 33);
        ASSERT_EQ(duroAlphaComp_8u_AC4R(in.first.at(0), kPairsStep, in.second.at(0), kPairsStep, ours.at(0),
                                        kPairsStep, kPairs, type),
                  0);

        ImageCanvas theirs(in.second);
        pixman_image_t* source = pixman_image_create_bits(
            PIXMAN_a8r8g8b8, 256, 256, reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(in.first.at(0))), kPairsStep);
        pixman_image_t* target =
            pixman_image_create_bits(PIXMAN_a8r8g8b8, 256, 256, reinterpret_cast<uint32_t*>(theirs.at(0)), kPairsStep);
        ASSERT_TRUE(source && target);
        pixman_image_composite32(operators[type - 6], source, nullptr, target, 0, 0, 0, 0, 0, 0, 256, 256);
        pixman_image_unref(source);
        pixman_image_unref(target);

        int largest = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) largest = std::max(largest, std::abs(*ours.at(i) - *theirs.at(i)));
        EXPECT_LE(largest, 2);
    }
}

}  // namespace
}  // namespace primitives
