// Writes the crafted MP3 streams, the layouts lame never makes, into a
// directory with a manifest (one file name per line):
//
//   mp3_crafted_streams <data directory> <output directory>
//
// Every stream is 24 frames of random spectra in one layout: intensity
// stereo (MPEG-1 long, short and mixed blocks, positions 0-7 with and
// without mid/side; MPEG-2 categories 3-5, intensity_scale 0 and 1, illegal
// positions), mixed blocks in both versions through the block-type sequence
// long, start, short or mixed, stop, long; region edges (r0 + r1 + 2 = 22,
// big_values 288, tables 0, 4 and 14 in the middle region, every linbits
// table); scalefac_scale with preflag, and subblock gains 1-7. The left
// channel of an intensity stream keeps its top band (long band 21, short
// band 12) silent, since the standard gives no position there.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "HuffmanEncoder.h"
#include "Mp3StreamPacker.h"

using namespace primitives::test;

namespace {

constexpr int32_t kFrames = 24;

class Crafter {
public:
    Crafter(const HuffmanEncoder& encoder, uint32_t seed) : encoder_(encoder), rng_(seed) {}

    int32_t uniform(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(rng_); }

    const std::vector<int32_t>& longBands(const MP3FrameHeader& h) const {
        return encoder_.bands().longRows[static_cast<std::size_t>(h.id * 3 + h.sampling_frequency)].bounds;
    }
    const std::vector<int32_t>& shortBands(const MP3FrameHeader& h) const {
        return encoder_.bands().shortRows[static_cast<std::size_t>(h.id * 3 + h.sampling_frequency)].bounds;
    }

    // A small random value, mostly near zero.
    int32_t value(int32_t largest) {
        const int32_t v = uniform(0, 9) < 4 ? 0 : std::min(largest, static_cast<int32_t>(std::exp2(uniform(0, 30) / 10.0)));
        return uniform(0, 1) ? v : -v;
    }

    // Long-block values up to the end of long band `bandEnd` (exclusive).
    void fillLong(PackedChannel& c, const MP3FrameHeader& h, int32_t bandEnd, int32_t largest = 7) {
        const int32_t end = longBands(h)[static_cast<std::size_t>(bandEnd)];
        for (int32_t i = 0; i < end; ++i) c.values[i] = value(largest);
    }

    // Short-block values, window w up to short band bandEnd[w] (exclusive),
    // from band `first`; with `longPart` the first 36 lines are long values.
    void fillShort(PackedChannel& c, const MP3FrameHeader& h, const int32_t bandEnd[3], int32_t first, bool longPart) {
        if (longPart) {
            for (int32_t i = 0; i < 36; ++i) c.values[i] = value(7);
        }
        const auto& bands = shortBands(h);
        for (int32_t j = first; j < 13; ++j) {
            const int32_t width = bands[j + 1] - bands[j];
            for (int32_t w = 0; w < 3; ++w) {
                if (j >= bandEnd[w]) continue;
                for (int32_t n = 0; n < width; ++n) c.values[3 * bands[j] + w * width + n] = value(7);
            }
        }
    }

    // Random scale factors within their widths.
    void fillScaleFactors(PackedFrame& f, int32_t gr, int32_t ch) {
        PackedChannel& c = f.channel[gr][ch];
        const auto widths = Mp3StreamPacker::scaleFactorWidths(f.header, c.side, gr, ch, f.scfsi[ch]);
        c.scaleFactors.clear();
        for (int32_t w : widths) c.scaleFactors.push_back(w == 0 ? 0 : uniform(0, std::min((1 << w) - 1, 3)));
    }

    void setBlock(MP3SideInfo& s, int32_t blockType, int32_t mixed) {
        s.window_switching_flag = blockType != 0 ? 1 : 0;
        s.block_type = blockType;
        s.mixed_block_flag = blockType != 0 ? mixed : 0;
        s.region0_count = 7;
        s.region1_count = 7;
    }

    const HuffmanEncoder& encoder_;
    std::mt19937 rng_;
};

MP3FrameHeader header(int32_t id, int32_t samplingFrequency, int32_t mode, int32_t modeExtension) {
    MP3FrameHeader h{};
    h.id = id;
    h.layer = 1;
    h.protection_bit = 1;
    h.bitrate_index = 14;
    h.sampling_frequency = samplingFrequency;
    h.mode = mode;
    h.mode_extension = modeExtension;
    return h;
}

// Fills every frame with plain random data of the given block types.
void plainChannel(Crafter& c, PackedFrame& f, int32_t gr, int32_t ch, int32_t blockType, int32_t mixed) {
    PackedChannel& p = f.channel[gr][ch];
    c.setBlock(p.side, blockType, mixed);
    p.side.global_gain = c.uniform(160, 172);
    p.side.scalefac_compress = f.header.id == 1 ? c.uniform(0, 15) : c.uniform(0, 399);
    if (blockType == 2) {
        const int32_t first = mixed ? 3 : 0;
        const int32_t ends[3] = {c.uniform(first, 11), c.uniform(first, 11), c.uniform(first, 11)};
        c.fillShort(p, f.header, ends, first, mixed != 0);
        for (int32_t& g : p.side.subblock_gain) g = c.uniform(0, 2);
    } else {
        c.fillLong(p, f.header, c.uniform(0, 20));
    }
    c.fillScaleFactors(f, gr, ch);
}

// An intensity-stereo stream. `blockType`/`mixed` fix the layout; the right
// channel is coded up to a random band, and carries positions above it.
std::vector<PackedFrame> intensityStream(Crafter& c, int32_t id, int32_t samplingFrequency, int32_t blockType,
                                         int32_t mixed, int32_t category) {
    std::vector<PackedFrame> frames(kFrames);
    for (int32_t k = 0; k < kFrames; ++k) {
        PackedFrame& f = frames[static_cast<std::size_t>(k)];
        f.header = header(id, samplingFrequency, 1, k % 2 == 0 ? 1 : 3);
        const int32_t granules = id == 1 ? 2 : 1;
        for (int32_t gr = 0; gr < granules; ++gr) {
            PackedChannel& left = f.channel[gr][0];
            PackedChannel& right = f.channel[gr][1];
            for (PackedChannel* p : {&left, &right}) {
                c.setBlock(p->side, blockType, mixed);
                p->side.global_gain = c.uniform(160, 170);
                for (int32_t& g : p->side.subblock_gain) g = c.uniform(0, 1);
            }
            const auto& shortBands = c.shortBands(f.header);
            if (blockType == 2) {
                const int32_t first = mixed ? 3 : 0;
                const int32_t leftEnds[3] = {12, 12, 12};  // band 12 stays silent
                c.fillShort(left, f.header, leftEnds, first, mixed != 0);
                const int32_t rightEnds[3] = {c.uniform(first, 8), c.uniform(first, 8), c.uniform(first, 8)};
                c.fillShort(right, f.header, rightEnds, first, mixed != 0 && c.uniform(0, 1) == 1);
            } else {
                c.fillLong(left, f.header, 21);  // band 21 stays silent
                c.fillLong(right, f.header, c.uniform(0, 12));
            }
            (void)shortBands;
            // Scale factors: the left channel's at random; the right
            // channel's are intensity positions, covering the whole range.
            if (id == 1) {
                left.side.scalefac_compress = c.uniform(0, 15);
                right.side.scalefac_compress = 13;  // slen 3 and 3: positions 0..7
            } else {
                left.side.scalefac_compress = c.uniform(0, 399);
                const int32_t h = category == 3 ? c.uniform(0, 179) : category == 4 ? c.uniform(180, 243)
                                                                                  : c.uniform(244, 255);
                right.side.scalefac_compress = 2 * h + (k / 2) % 2;  // intensity_scale alternates
            }
            c.fillScaleFactors(f, gr, 0);
            const auto widths = Mp3StreamPacker::scaleFactorWidths(f.header, right.side, gr, 1, f.scfsi[1]);
            right.scaleFactors.clear();
            for (int32_t w : widths) right.scaleFactors.push_back(w == 0 ? 0 : c.uniform(0, (1 << w) - 1));
        }
    }
    return frames;
}

// Stereo (no joint coding) through the block-type sequences long, start,
// short or mixed, stop, long.
std::vector<PackedFrame> sequenceStream(Crafter& c, int32_t id, int32_t samplingFrequency) {
    const int32_t sequence[][2] = {{0, 0}, {1, 0}, {2, 1}, {2, 1}, {3, 0}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 0}};
    std::vector<PackedFrame> frames(kFrames);
    int32_t step = 0;
    for (PackedFrame& f : frames) {
        f.header = header(id, samplingFrequency, 0, 0);
        const int32_t granules = id == 1 ? 2 : 1;
        for (int32_t gr = 0; gr < granules; ++gr) {
            const auto& [blockType, mixed] = sequence[step++ % std::size(sequence)];
            for (int32_t ch = 0; ch < 2; ++ch) plainChannel(c, f, gr, ch, blockType, mixed);
        }
    }
    return frames;
}

// Region edges and tables, MPEG-1 mono long blocks.
std::vector<PackedFrame> regionStream(Crafter& c) {
    std::vector<PackedFrame> frames(kFrames);
    for (int32_t k = 0; k < kFrames; ++k) {
        PackedFrame& f = frames[static_cast<std::size_t>(k)];
        f.header = header(1, 0, 3, 0);
        for (int32_t gr = 0; gr < 2; ++gr) {
            PackedChannel& p = f.channel[gr][0];
            c.setBlock(p.side, 0, 0);
            p.side.scalefac_compress = c.uniform(0, 15);
            const auto& bands = c.longBands(f.header);
            const int32_t variant = (2 * k + gr) % 4;
            if (variant == 0) {
                // r0 + r1 + 2 = 22 and big_values 288: every line a pair.
                p.side.region0_count = 15;
                p.side.region1_count = 5;
                p.side.global_gain = 150;
                for (int32_t i = 0; i < 576; ++i) p.values[i] = c.value(3);
                p.values[575] = 1;
            } else if (variant == 1) {
                // An all-zero middle region coded with table 0, 4 or 14.
                p.side.region0_count = 3;
                p.side.region1_count = 4;
                p.side.global_gain = 165;
                p.chooseTables = false;
                p.side.table_select[0] = 7;
                p.side.table_select[1] = std::array<int32_t, 3>{0, 4, 14}[static_cast<std::size_t>(k % 3)];
                p.side.table_select[2] = 13;
                const int32_t region1 = bands[4], region2 = bands[9];
                for (int32_t i = 0; i < region1; ++i) p.values[i] = c.value(5);
                for (int32_t i = region2; i < 300; ++i) p.values[i] = c.value(15);
            } else {
                // A linbits table in region 0, each of 16..31 in turn, with
                // values up to what it codes; region 1 the next one.
                const int32_t table = 16 + (k * 2 + gr) % 16;
                p.side.region0_count = 2;
                p.side.region1_count = 2;
                p.side.global_gain = 120;
                p.chooseTables = false;
                p.side.table_select[0] = table;
                p.side.table_select[1] = 16 + (table + 1) % 16;
                p.side.table_select[2] = 1;
                const int32_t largest = std::min(c.encoder_.largestValue(table), 8206);
                const int32_t end0 = bands[3];
                for (int32_t i = 0; i < end0; ++i) p.values[i] = c.uniform(0, 3) == 0 ? c.uniform(-largest, largest) : c.value(15);
                p.values[0] = largest;
                p.values[1] = 15;
                for (int32_t i = end0; i < bands[6]; ++i) p.values[i] = c.value(15);
                for (int32_t i = bands[6]; i < bands[8]; ++i) p.values[i] = c.value(1);
            }
            c.fillScaleFactors(f, gr, 0);
        }
    }
    return frames;
}

// scalefac_scale 1 with preflag on long blocks, subblock gains 1-7 on
// short ones, large scale factors; stereo.
std::vector<PackedFrame> gainStream(Crafter& c) {
    std::vector<PackedFrame> frames(kFrames);
    for (int32_t k = 0; k < kFrames; ++k) {
        PackedFrame& f = frames[static_cast<std::size_t>(k)];
        f.header = header(1, 1, 0, 0);
        for (int32_t gr = 0; gr < 2; ++gr) {
            const bool shortBlocks = (k + gr) % 2 == 1;
            for (int32_t ch = 0; ch < 2; ++ch) {
                PackedChannel& p = f.channel[gr][ch];
                plainChannel(c, f, gr, ch, shortBlocks ? 2 : 0, 0);
                p.side.scalefac_scale = 1;
                p.side.global_gain = c.uniform(185, 195);
                if (shortBlocks) {
                    for (int32_t w = 0; w < 3; ++w) p.side.subblock_gain[w] = 1 + (k + w) % 7;
                } else {
                    p.side.preflag = 1;
                }
                p.side.scalefac_compress = 15;  // slen 4 and 3
                const auto widths = Mp3StreamPacker::scaleFactorWidths(f.header, p.side, gr, ch, f.scfsi[ch]);
                p.scaleFactors.clear();
                for (int32_t w : widths) p.scaleFactors.push_back(c.uniform(0, (1 << w) - 1));
            }
        }
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <data directory> <output directory>\n", argv[0]);
        return 2;
    }
    try {
        const HuffmanEncoder encoder(argv[1]);
        const Mp3StreamPacker packer(encoder);
        const std::string out = argv[2];
        struct Case {
            const char* name;
            std::function<std::vector<PackedFrame>(Crafter&)> make;
        };
        const Case cases[] = {
            {"crafted-is1-long", [](Crafter& c) { return intensityStream(c, 1, 0, 0, 0, 0); }},
            {"crafted-is1-short", [](Crafter& c) { return intensityStream(c, 1, 0, 2, 0, 0); }},
            {"crafted-is1-mixed", [](Crafter& c) { return intensityStream(c, 1, 1, 2, 1, 0); }},
            {"crafted-is2-cat3-long", [](Crafter& c) { return intensityStream(c, 0, 0, 0, 0, 3); }},
            {"crafted-is2-cat4-short", [](Crafter& c) { return intensityStream(c, 0, 1, 2, 0, 4); }},
            {"crafted-is2-cat5-mixed", [](Crafter& c) { return intensityStream(c, 0, 2, 2, 1, 5); }},
            {"crafted-is2-cat3-mixed", [](Crafter& c) { return intensityStream(c, 0, 0, 2, 1, 3); }},
            {"crafted-blocks-m1", [](Crafter& c) { return sequenceStream(c, 1, 0); }},
            {"crafted-blocks-m2", [](Crafter& c) { return sequenceStream(c, 0, 0); }},
            {"crafted-regions", [](Crafter& c) { return regionStream(c); }},
            {"crafted-gains", [](Crafter& c) { return gainStream(c); }},
        };
        std::ofstream manifest(out + "/manifest.tmp");
        uint32_t seed = 1;
        for (const Case& item : cases) {
            Crafter crafter(encoder, seed++);
            std::vector<PackedFrame> frames = item.make(crafter);
            const std::vector<uint8_t> bytes = packer.pack(frames);
            std::ofstream file(out + "/" + item.name + ".mp3", std::ios::binary);
            file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!file) throw std::runtime_error(std::string("cannot write ") + item.name);
            manifest << item.name << ".mp3\n";
        }
        manifest.close();
        if (std::rename((out + "/manifest.tmp").c_str(), (out + "/manifest.txt").c_str()) != 0) {
            throw std::runtime_error("cannot write the manifest");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mp3_crafted_streams: %s\n", error.what());
        return 1;
    }
    return 0;
}
