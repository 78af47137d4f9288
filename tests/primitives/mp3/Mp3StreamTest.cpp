// Whole streams through the frame walker: the lame-made test-stream set
// against ffprobe's view of it, all builds alike, and seeded corruption of
// real frames (run under the sanitizers too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BitWriter.h"
#include "BuildTest.h"
#include "Mp3FrameWalker.h"
#include "Mp3FrameWriter.h"

namespace primitives::test {
namespace {

const std::string kStreamDir = VELKARN_MP3_STREAM_DIR;

struct StreamEntry {
    std::string file;
    char lameMode = 's';  // s stereo, j joint stereo, d dual channel, m mono
    bool vbr = false;
    bool crc = false;
    int64_t probedFrames = 0;
    int32_t probedRate = 0;
    int32_t probedChannels = 0;
    int64_t probedBitrate = 0;
};

const std::vector<StreamEntry>& streamSet() {
    static const std::vector<StreamEntry> entries = [] {
        std::vector<StreamEntry> list;
        std::ifstream manifest(kStreamDir + "/manifest.txt");
        for (std::string line; std::getline(manifest, line);) {
            std::istringstream fields(line);
            StreamEntry e;
            int vbr = 0;
            int crc = 0;
            fields >> e.file >> e.lameMode >> vbr >> crc >> e.probedFrames >> e.probedRate >> e.probedChannels >>
                e.probedBitrate;
            if (!fields) throw std::runtime_error("malformed manifest line: " + line);
            e.vbr = vbr != 0;
            e.crc = crc != 0;
            list.push_back(e);
        }
        return list;
    }();
    return entries;
}

std::vector<uint8_t> readStream(const std::string& file) {
    std::ifstream in(kStreamDir + "/" + file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<WalkedFrame> walkAll(const std::vector<uint8_t>& bytes) {
    Mp3FrameWalker walker(bytes);
    std::vector<WalkedFrame> frames(1);
    while (walker.next(frames.back())) {
        // Frames are large: room for about all of them after the first.
        if (frames.size() == 1) frames.reserve(bytes.size() / static_cast<std::size_t>(frames[0].length) + 16);
        frames.emplace_back();
    }
    frames.pop_back();
    return frames;
}

bool sameChannel(const WalkedChannel& a, const WalkedChannel& b) {
    return a.decoded == b.decoded && a.mainDataMissing == b.mainDataMissing &&
           a.scaleFactorStatus == b.scaleFactorStatus && a.huffmanStatus == b.huffmanStatus &&
           a.scaleFactorBits == b.scaleFactorBits && a.hufSize == b.hufSize &&
           a.endsAtDeclaredLength == b.endsAtDeclaredLength && a.nonzeroBound == b.nonzeroBound &&
           std::memcmp(a.scaleFactors, b.scaleFactors, sizeof a.scaleFactors) == 0 &&
           std::memcmp(a.spectrum, b.spectrum, sizeof a.spectrum) == 0;
}

bool sameFrame(const WalkedFrame& a, const WalkedFrame& b) {
    if (a.offset != b.offset || a.length != b.length || a.headerStatus != b.headerStatus ||
        a.sideInfoStatus != b.sideInfoStatus || std::memcmp(&a.header, &b.header, sizeof a.header) != 0 ||
        std::memcmp(a.sideInfo, b.sideInfo, sizeof a.sideInfo) != 0 || a.mainDataBegin != b.mainDataBegin ||
        a.privateBits != b.privateBits || std::memcmp(a.scfsi, b.scfsi, sizeof a.scfsi) != 0) {
        return false;
    }
    for (int32_t gr = 0; gr < 2; ++gr) {
        for (int32_t ch = 0; ch < 2; ++ch) {
            if (!sameChannel(a.granule[gr][ch], b.granule[gr][ch])) return false;
        }
    }
    return true;
}

// Walks with every build this host runs, expects identical results and
// returns them.
std::vector<WalkedFrame> walkWithAllBuilds(const std::vector<uint8_t>& bytes, const std::string& what) {
    std::vector<WalkedFrame> reference;
    for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        ScopedBuildIndex selected(build);
        const auto frames = walkAll(bytes);
        if (build == kFirstBuild) {
            reference = frames;
            continue;
        }
        EXPECT_EQ(frames.size(), reference.size()) << what << ", build " << buildName(build);
        for (std::size_t i = 0; i < std::min(frames.size(), reference.size()); ++i) {
            if (!sameFrame(frames[i], reference[i])) {
                ADD_FAILURE() << what << ", build " << buildName(build) << ", frame " << i << " differs";
                break;
            }
        }
    }
    return reference;
}

TEST(Mp3Streams, TheSetHoldsEveryLayout) {
    const auto& set = streamSet();
    ASSERT_FALSE(set.empty()) << "no manifest in " << kStreamDir;
    std::set<int32_t> rates;
    std::set<char> modes;
    bool vbr = false;
    bool crc = false;
    for (const StreamEntry& e : set) {
        rates.insert(e.probedRate);
        modes.insert(e.lameMode);
        vbr |= e.vbr;
        crc |= e.crc;
    }
    EXPECT_EQ(rates, (std::set<int32_t>{16000, 22050, 24000, 32000, 44100, 48000}));
    EXPECT_EQ(modes, (std::set<char>{'s', 'j', 'd', 'm'}));
    EXPECT_TRUE(vbr);
    EXPECT_TRUE(crc);
}

// Every build walks each stream to the same result; that result decodes every
// frame and agrees with ffprobe.
TEST(Mp3Streams, EveryFrameDecodesAlikeOnEveryBuildAndAgreesWithFfprobe) {
    std::set<int32_t> blockTypes;
    std::set<int32_t> count1Tables;
    bool reusedScaleFactors = false;
    for (const StreamEntry& e : streamSet()) {
        SCOPED_TRACE(e.file);
        const auto bytes = readStream(e.file);
        ASSERT_FALSE(bytes.empty());
        const auto frames = walkWithAllBuilds(bytes, e.file);
        ASSERT_EQ(static_cast<int64_t>(frames.size()), e.probedFrames);

        const int32_t expectedMode = e.lameMode == 's' ? 0 : e.lameMode == 'j' ? 1 : e.lameMode == 'd' ? 2 : 3;
        std::set<int32_t> bitrates;
        int64_t next = 0;
        for (const WalkedFrame& f : frames) {
            SCOPED_TRACE("frame at " + std::to_string(f.offset));
            ASSERT_EQ(f.offset, next) << "frames follow each other";
            next = f.offset + f.length;
            ASSERT_EQ(f.headerStatus, 0);
            ASSERT_EQ(f.sideInfoStatus, 0);
            EXPECT_EQ(f.header.id, e.probedRate >= 32000 ? 1 : 0);
            EXPECT_EQ(Mp3FrameWalker::sampleRate(f.header.id, f.header.sampling_frequency), e.probedRate);
            EXPECT_EQ(f.header.mode, expectedMode);
            EXPECT_EQ(f.channels, e.probedChannels);
            EXPECT_EQ(f.header.protection_bit, e.crc ? 0 : 1);
            bitrates.insert(Mp3FrameWalker::bitrateKbps(f.header.id, f.header.bitrate_index) * 1000);
            for (int32_t gr = 0; gr < f.granules; ++gr) {
                for (int32_t ch = 0; ch < f.channels; ++ch) {
                    const WalkedChannel& c = f.granule[gr][ch];
                    ASSERT_TRUE(c.decoded) << "granule " << gr << " channel " << ch << ": scale factors "
                                           << c.scaleFactorStatus << ", Huffman " << c.huffmanStatus
                                           << (c.mainDataMissing ? ", main data missing" : "");
                    EXPECT_TRUE(c.endsAtDeclaredLength);
                    const MP3SideInfo& si = f.sideInfo[gr * f.channels + ch];
                    blockTypes.insert(si.block_type);
                    count1Tables.insert(si.count1table_select);
                    if (gr == 1 && si.block_type != 2 && std::find(f.scfsi + 4 * ch, f.scfsi + 4 * ch + 4, 1) != f.scfsi + 4 * ch + 4) {
                        reusedScaleFactors = true;
                    }
                }
            }
        }
        EXPECT_EQ(next, static_cast<int64_t>(bytes.size())) << "the last frame ends the file";
        if (e.vbr) {
            EXPECT_GT(bitrates.size(), 1u);
        } else {
            EXPECT_EQ(bitrates, std::set<int32_t>{static_cast<int32_t>(e.probedBitrate)});
        }
    }
    // lame's block switching and table choices reach every block type and
    // both count1 tables in this set.
    EXPECT_EQ(blockTypes, (std::set<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(count1Tables, (std::set<int32_t>{0, 1}));
    RecordProperty("scfsiReuse", reusedScaleFactors ? "yes" : "no");
}

TEST(Mp3Walker, SkipsTagsAndJunkAndSilencesGranulesWithoutMainData) {
    const auto clean = readStream("m1-44k-joint-320-loud.mp3");
    const auto frames = walkAll(clean);
    ASSERT_GT(frames.size(), 20u);

    // An ID3v2 tag with a footer (whose body holds sync-like bytes), then
    // bytes that are no frame.
    std::vector<uint8_t> tagged = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 20};
    tagged.insert(tagged.end(), 30, 0xFF);  // 20 bytes of body, 10 of footer
    tagged.insert(tagged.end(), {0x00, 0xFF, 0x12, 0xFF});
    const auto skipped = static_cast<int64_t>(tagged.size());
    tagged.insert(tagged.end(), clean.begin(), clean.end());
    const auto taggedFrames = walkAll(tagged);
    ASSERT_EQ(taggedFrames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        WalkedFrame moved = taggedFrames[i];
        moved.offset -= skipped;
        EXPECT_TRUE(sameFrame(moved, frames[i])) << "frame " << i;
    }

    // Cut in front of a frame whose main data begins in earlier frames: its
    // granules that lie there are silent, the rest decode as before.
    std::size_t cut = 1;
    while (cut < frames.size() && frames[cut].mainDataBegin == 0) ++cut;
    ASSERT_LT(cut, frames.size()) << "the stream never uses the reservoir";
    const std::vector<uint8_t> tail(clean.begin() + frames[cut].offset, clean.end());
    const auto tailFrames = walkAll(tail);
    ASSERT_EQ(tailFrames.size(), frames.size() - cut);
    const WalkedFrame& first = tailFrames[0];
    EXPECT_TRUE(first.granule[0][0].mainDataMissing);
    for (int32_t gr = 0; gr < first.granules; ++gr) {
        for (int32_t ch = 0; ch < first.channels; ++ch) {
            const WalkedChannel& c = first.granule[gr][ch];
            const bool missing = first.mainDataStartBit[gr][0] < first.mainDataBegin * 8;
            EXPECT_EQ(c.mainDataMissing, missing) << gr << " " << ch;
            EXPECT_EQ(c.decoded, !missing);
            if (missing) {
                EXPECT_EQ(c.nonzeroBound, 0);
            }
        }
    }
    // Frames that need only data behind the cut decode as in the whole
    // stream. (Scale factors reused by scfsi may differ after a silent
    // granule, so the spectra are compared from the first frame that is
    // whole.)
    std::size_t whole = 1;
    while (whole < tailFrames.size() && tailFrames[whole].granule[0][0].mainDataMissing) ++whole;
    for (std::size_t i = whole + 1; i < tailFrames.size(); ++i) {
        for (int32_t gr = 0; gr < 2; ++gr) {
            for (int32_t ch = 0; ch < 2; ++ch) {
                EXPECT_EQ(std::memcmp(tailFrames[i].granule[gr][ch].spectrum, frames[cut + i].granule[gr][ch].spectrum,
                                      sizeof(int32_t) * 576),
                          0)
                    << "frame " << i;
            }
        }
    }
}

// Rewrites random side-information fields of some frames, within their
// widths, and repacks them in place.
void scrambleSideInfo(std::vector<uint8_t>& bytes, const std::vector<WalkedFrame>& frames, std::mt19937& random) {
    for (const WalkedFrame& f : frames) {
        if (random() % 4 != 0) continue;
        MP3SideInfo records[4];
        std::copy(std::begin(f.sideInfo), std::end(f.sideInfo), records);
        int32_t mainDataBegin = f.mainDataBegin;
        const auto bits = [&](int32_t width) { return static_cast<int32_t>(random() & ((1u << width) - 1)); };
        for (int32_t change = 0, changes = 1 + static_cast<int32_t>(random() % 4); change < changes; ++change) {
            MP3SideInfo& r = records[random() % static_cast<uint32_t>(f.granules * f.channels)];
            switch (random() % 12) {
            case 0: r.part2_3_length = bits(12); break;
            case 1: r.big_values = bits(9); break;
            case 2: r.scalefac_compress = bits(f.header.id == 1 ? 4 : 9); break;
            case 3: r.window_switching_flag ^= 1; break;
            case 4: r.block_type = bits(2); break;
            case 5: r.mixed_block_flag = bits(1); break;
            case 6: r.table_select[random() % 3] = bits(5); break;
            case 7: r.region0_count = bits(4); break;
            case 8: r.region1_count = bits(3); break;
            case 9: r.count1table_select ^= 1; break;
            case 10: mainDataBegin = bits(f.header.id == 1 ? 9 : 8); break;
            default:  // the worst case for the budget: many big values, few bits
                r.big_values = 288;
                r.part2_3_length = bits(6);
                r.table_select[0] = r.table_select[1] = r.table_select[2] = 16 + bits(4);
                break;
            }
        }
        BitWriter out;
        writeSideInfo(out, f.header, records, mainDataBegin, f.privateBits, f.scfsi);
        const std::size_t at = static_cast<std::size_t>(f.offset) + (f.header.protection_bit == 0 ? 6 : 4);
        std::copy(out.bytes().begin(), out.bytes().end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

TEST(Mp3Streams, CorruptedFramesStayInBoundsWithKnownStatuses) {
    const char* files[] = {"m1-44k-joint-128-crc.mp3", "m1-32k-mono-32-loud.mp3", "m2-22k-joint-32-loud.mp3"};
    const std::set<PrimitiveStatus> sideInfoStatuses = {0, -170, -171};
    const std::set<PrimitiveStatus> scaleFactorStatuses = {0, -5, -8, -170, -171};
    const std::set<PrimitiveStatus> huffmanStatuses = {0, -2, -5, -8, -170, -171};
    std::set<PrimitiveStatus> seen;
    for (const char* file : files) {
        // The first 40 frames: corruption acts frame by frame.
        auto clean = readStream(file);
        ASSERT_FALSE(clean.empty()) << file;
        auto cleanFrames = walkAll(clean);
        ASSERT_GT(cleanFrames.size(), 40u);
        cleanFrames.resize(40);
        clean.resize(static_cast<std::size_t>(cleanFrames.back().offset + cleanFrames.back().length));
        for (uint32_t seed = 1; seed <= 8; ++seed) {
            std::mt19937 random(seed);
            auto bytes = clean;
            if (seed % 2 == 0) {
                scrambleSideInfo(bytes, cleanFrames, random);
            } else {
                for (uint32_t flips = 1 + random() % 60; flips > 0; --flips) {
                    bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
            }
            const std::string what = std::string(file) + " seed " + std::to_string(seed);
            for (const WalkedFrame& f : walkWithAllBuilds(bytes, what)) {
                ASSERT_EQ(f.headerStatus, 0) << what;
                ASSERT_EQ(sideInfoStatuses.count(f.sideInfoStatus), 1u) << what << ": " << f.sideInfoStatus;
                for (const auto& granule : f.granule) {
                    for (const WalkedChannel& c : granule) {
                        ASSERT_EQ(scaleFactorStatuses.count(c.scaleFactorStatus), 1u) << what;
                        ASSERT_EQ(huffmanStatuses.count(c.huffmanStatus), 1u) << what;
                        seen.insert(c.huffmanStatus);
                    }
                }
                seen.insert(f.sideInfoStatus);
            }
        }
    }
    // The corruption reached the failure paths, not only clean decoding.
    EXPECT_TRUE(seen.count(-2) && seen.count(-170)) << "statuses seen: " << seen.size();
}

}  // namespace
}  // namespace primitives::test
