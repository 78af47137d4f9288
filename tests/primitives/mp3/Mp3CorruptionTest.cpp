// Seeded corruption of real streams through the whole decoding loop, on
// every build: bit flips anywhere, and flips inside the headers and side
// information (random field values within their widths). Nothing may crash
// or read or write out of bounds (the sanitizer run checks), every status
// must be one the entries document, and the output keeps its length.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "Mp3Decoder.h"
#include "primitives.h"

namespace primitives::test {
namespace {

std::vector<uint8_t> readStream(const std::string& name) {
    std::ifstream in(std::string(VELKARN_MP3_STREAM_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Offsets of the frame headers of a clean stream.
std::vector<int64_t> frameOffsets(const std::vector<uint8_t>& stream) {
    Mp3FrameWalker walker(stream);
    WalkedFrame frame;
    std::vector<int64_t> offsets;
    while (walker.next(frame)) offsets.push_back(frame.offset);
    return offsets;
}

class Corruption : public PerBuildTest {};

TEST_P(Corruption, DecodingLoopSurvivesCorruptFrames) {
    const char* files[] = {"m1-44k-joint-320-loud.mp3", "m1-48k-mono-vbr-sweep.mp3", "m2-22k-joint-32-loud.mp3"};
    std::set<PrimitiveStatus> requantizeSeen;
    for (const char* file : files) {
        const auto clean = readStream(file);
        ASSERT_FALSE(clean.empty()) << file;
        const auto offsets = frameOffsets(clean);
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            std::mt19937 random(seed * 7919 + static_cast<uint32_t>(build()));
            auto bytes = clean;
            if (seed % 2 == 0) {
                for (uint32_t flips = 1 + random() % 80; flips > 0; --flips) {
                    bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
            } else {
                // Side-information bytes of random frames (after the 4 or 6
                // header bytes), leaving the headers themselves intact.
                for (uint32_t flips = 1 + random() % 200; flips > 0; --flips) {
                    const auto at = static_cast<std::size_t>(offsets[random() % offsets.size()] + 6 + random() % 26);
                    if (at < bytes.size()) bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
            }
            Mp3Decoder decoder(bytes);
            const DecodedStream out = decoder.decodeAll();
            const std::string what = std::string(file) + " seed " + std::to_string(seed);
            ASSERT_GT(out.frames, 0) << what;
            ASSERT_EQ(out.pcm.size() % (576 * static_cast<std::size_t>(out.channels)), 0u) << what;
            for (PrimitiveStatus s : out.requantizationStatuses) {
                ASSERT_TRUE(s == 0 || s == -2 || s == -5 || s == -170 || s == -171) << what << ": " << s;
                requantizeSeen.insert(s);
            }
            for (PrimitiveStatus s : out.transformStatuses) ASSERT_TRUE(s == 0 || s == -5) << what << ": " << s;
            for (PrimitiveStatus s : out.synthesisStatuses) ASSERT_EQ(s, 0) << what;
        }
    }
    EXPECT_TRUE(requantizeSeen.count(0)) << "the corruption left some granules to decode";
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Corruption);

}  // namespace
}  // namespace primitives::test
