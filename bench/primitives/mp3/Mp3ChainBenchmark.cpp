// The whole Layer III chain, from the stream in memory to interleaved 16-bit
// PCM, on the benchmark file (3 minutes, 44.1 kHz stereo, 192 kb/s), for each
// build, beside two peer decoders on the same bytes: libmpg123 (16-bit
// signed output) and libmad (integer, its fixed-point output rounded and
// clipped to 16 bits). The counter x_realtime is seconds of audio decoded
// per second on one thread.
//
// The per-step benchmarks split the chain of one build over inputs prepared
// once: the front end (sync, header, side information, main-data reservoir,
// scale factors and Huffman decoding, through the frame walker), then
// requantisation with stereo, the inverse MDCT and the synthesis.
#include <benchmark/benchmark.h>
#include <mad.h>
#include <mpg123.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Mp3Decoder.h"
#include "Mp3FrameWalker.h"
#include "primitives/core/DispatchRecords.h"
#include "primitives/mp3/Mp3SignalBodies.h"

namespace {

using namespace primitives;
using primitives::test::DecodedStream;
using primitives::test::Mp3Decoder;
using primitives::test::Mp3FrameWalker;
using primitives::test::WalkedFrame;

const std::vector<uint8_t>& benchmarkBytes() {
    static const std::vector<uint8_t> bytes = [] {
        std::ifstream in(VELKARN_MP3_BENCHMARK_FILE, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

// Seconds of audio in the file, from a decode of it.
double audioSeconds() {
    static const double seconds = [] {
        Mp3Decoder decoder(benchmarkBytes());
        const DecodedStream out = decoder.decodeAll();
        return out.channels == 0 ? 0.0 : static_cast<double>(out.pcm.size()) / out.channels / out.sampleRate;
    }();
    return seconds;
}

void reportRealTime(benchmark::State& state) {
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds(), benchmark::Counter::kIsIterationInvariantRate);
}

bool selectBuild(benchmark::State& state, int32_t build) {
    if (benchmarkBytes().empty() || audioSeconds() == 0) {
        state.SkipWithError("no benchmark file at " VELKARN_MP3_BENCHMARK_FILE);
        return false;
    }
    CpuDispatchIndex.store(build, std::memory_order_relaxed);
    return true;
}

void wholeChain(benchmark::State& state) {
    if (!selectBuild(state, static_cast<int32_t>(state.range(0)))) return;
    const auto samples = static_cast<std::size_t>(audioSeconds() * 44100 * 2 + 4096);
    for (auto _ : state) {
        Mp3Decoder decoder(benchmarkBytes());
        DecodedStream out;
        out.pcm.reserve(samples);
        while (decoder.decodeFrame(out)) {
        }
        benchmark::DoNotOptimize(out.pcm.data());
    }
    reportRealTime(state);
}
BENCHMARK(wholeChain)->Arg(buildGeneric)->Arg(buildSse)->Arg(buildSse2)->Arg(buildSse3)->Unit(benchmark::kMillisecond);

void libmpg123(benchmark::State& state) {
    if (benchmarkBytes().empty()) {
        state.SkipWithError("no benchmark file");
        return;
    }
    std::vector<unsigned char> pcm(1 << 16);
    for (auto _ : state) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_GAPLESS, 0, 0.0);
        mpg123_format_none(handle);
        mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
        mpg123_open_feed(handle);
        std::size_t done = 0;
        int status = mpg123_decode(handle, benchmarkBytes().data(), benchmarkBytes().size(), pcm.data(), pcm.size(),
                                   &done);
        while (status != MPG123_ERR && status != MPG123_NEED_MORE) {
            benchmark::DoNotOptimize(pcm.data());
            status = mpg123_decode(handle, nullptr, 0, pcm.data(), pcm.size(), &done);
        }
        mpg123_delete(handle);
    }
    reportRealTime(state);
}
BENCHMARK(libmpg123)->Unit(benchmark::kMillisecond);

// libmad's fixed-point sample rounded to 16 bits and clipped.
inline int16_t madTo16(mad_fixed_t sample) {
    sample += 1L << (MAD_F_FRACBITS - 16);
    if (sample >= MAD_F_ONE) sample = MAD_F_ONE - 1;
    if (sample < -MAD_F_ONE) sample = -MAD_F_ONE;
    return static_cast<int16_t>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

void libmad(benchmark::State& state) {
    if (benchmarkBytes().empty()) {
        state.SkipWithError("no benchmark file");
        return;
    }
    std::vector<uint8_t> input(benchmarkBytes());
    input.resize(input.size() + MAD_BUFFER_GUARD, 0);
    std::vector<int16_t> pcm(1152 * 2);
    for (auto _ : state) {
        mad_stream stream;
        mad_frame frame;
        mad_synth synth;
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
        mad_stream_buffer(&stream, input.data(), input.size());
        while (true) {
            if (mad_frame_decode(&frame, &stream) != 0) {
                if (MAD_RECOVERABLE(stream.error)) continue;
                break;
            }
            mad_synth_frame(&synth, &frame);
            const mad_pcm& out = synth.pcm;
            for (unsigned i = 0; i < out.length; ++i) {
                pcm[2 * i] = madTo16(out.samples[0][i]);
                pcm[2 * i + 1] = madTo16(out.samples[out.channels > 1 ? 1 : 0][i]);
            }
            benchmark::DoNotOptimize(pcm.data());
        }
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
    reportRealTime(state);
}
BENCHMARK(libmad)->Unit(benchmark::kMillisecond);

// ---- The steps of one build ----------------------------------------------------

// Inputs of each step for every granule of the file, from one decode.
struct StepInputs {
    std::vector<WalkedFrame> frames;
    std::vector<std::array<int32_t, 1152>> requantized;  // after requantisation, per granule
    std::vector<std::array<int32_t, 2>> bounds;
    std::vector<std::array<int32_t, 1152>> subbandSamples;  // after the inverse MDCT, per granule
};

const StepInputs& stepInputs() {
    static const StepInputs inputs = [] {
        StepInputs in;
        Mp3FrameWalker walker(benchmarkBytes());
        WalkedFrame frame;
        int32_t overlap[2][576] = {};
        int32_t count[2] = {};
        while (walker.next(frame)) {
            in.frames.push_back(frame);
            for (int32_t gr = 0; gr < frame.granules; ++gr) {
                std::array<int32_t, 1152> spectrum{};
                std::array<int32_t, 2> bound{};
                int8_t scaleFactors[2][40];
                for (int32_t ch = 0; ch < frame.channels; ++ch) {
                    std::memcpy(spectrum.data() + 576 * ch, frame.granule[gr][ch].spectrum, 576 * 4);
                    std::memcpy(scaleFactors[ch], frame.granule[gr][ch].scaleFactors, 40);
                    bound[ch] = frame.granule[gr][ch].nonzeroBound;
                }
                int32_t work[576];
                zaviReQuantize_MP3_32s_I(spectrum.data(), bound.data(), &scaleFactors[0][0],
                                         frame.sideInfo + gr * frame.channels, &frame.header, work);
                in.requantized.push_back(spectrum);
                in.bounds.push_back(bound);
                std::array<int32_t, 1152> samples{};
                for (int32_t ch = 0; ch < frame.channels; ++ch) {
                    const MP3SideInfo& si = frame.sideInfo[gr * frame.channels + ch];
                    zaviMDCTInv_MP3_32s(spectrum.data() + 576 * ch, samples.data() + 576 * ch, overlap[ch], bound[ch],
                                        &count[ch], si.block_type, si.mixed_block_flag);
                }
                in.subbandSamples.push_back(samples);
            }
        }
        return in;
    }();
    return inputs;
}

void frontEnd(benchmark::State& state) {
    if (!selectBuild(state, static_cast<int32_t>(state.range(0)))) return;
    for (auto _ : state) {
        Mp3FrameWalker walker(benchmarkBytes());
        WalkedFrame frame;
        while (walker.next(frame)) benchmark::DoNotOptimize(frame.granule[0][0].nonzeroBound);
    }
    reportRealTime(state);
}

void requantization(benchmark::State& state) {
    if (!selectBuild(state, static_cast<int32_t>(state.range(0)))) return;
    const StepInputs& in = stepInputs();
    int32_t spectrum[1152];
    int32_t work[576];
    for (auto _ : state) {
        for (const WalkedFrame& frame : in.frames) {
            for (int32_t gr = 0; gr < frame.granules; ++gr) {
                int32_t bound[2];
                int8_t scaleFactors[2][40];
                for (int32_t ch = 0; ch < frame.channels; ++ch) {
                    std::memcpy(spectrum + 576 * ch, frame.granule[gr][ch].spectrum, 576 * 4);
                    std::memcpy(scaleFactors[ch], frame.granule[gr][ch].scaleFactors, 40);
                    bound[ch] = frame.granule[gr][ch].nonzeroBound;
                }
                zaviReQuantize_MP3_32s_I(spectrum, bound, &scaleFactors[0][0], frame.sideInfo + gr * frame.channels,
                                         &frame.header, work);
                benchmark::DoNotOptimize(spectrum);
            }
        }
    }
    reportRealTime(state);
}

void inverseMdct(benchmark::State& state) {
    if (!selectBuild(state, static_cast<int32_t>(state.range(0)))) return;
    const StepInputs& in = stepInputs();
    int32_t spectrum[576];
    int32_t samples[576];
    for (auto _ : state) {
        int32_t overlap[2][576] = {};
        int32_t count[2] = {};
        std::size_t granule = 0;
        for (const WalkedFrame& frame : in.frames) {
            for (int32_t gr = 0; gr < frame.granules; ++gr, ++granule) {
                for (int32_t ch = 0; ch < frame.channels; ++ch) {
                    const MP3SideInfo& si = frame.sideInfo[gr * frame.channels + ch];
                    std::memcpy(spectrum, in.requantized[granule].data() + 576 * ch, sizeof spectrum);
                    zaviMDCTInv_MP3_32s(spectrum, samples, overlap[ch], in.bounds[granule][ch], &count[ch],
                                        si.block_type, si.mixed_block_flag);
                    benchmark::DoNotOptimize(samples);
                }
            }
        }
    }
    reportRealTime(state);
}

void synthesis(benchmark::State& state) {
    if (!selectBuild(state, static_cast<int32_t>(state.range(0)))) return;
    const StepInputs& in = stepInputs();
    std::vector<int16_t> pcm(1152);
    for (auto _ : state) {
        int32_t history[2][512] = {};
        int32_t position[2] = {};
        for (const auto& samples : in.subbandSamples) {
            for (int32_t ch = 0; ch < 2; ++ch) {
                for (int32_t slot = 0; slot < 18; ++slot) {
                    zaviSynthPQMF_MP3_32s16s(samples.data() + 576 * ch + 32 * slot, pcm.data() + 64 * slot + ch,
                                             history[ch], &position[ch], 2);
                }
            }
            benchmark::DoNotOptimize(pcm.data());
        }
    }
    reportRealTime(state);
}

#define VELKARN_MP3_STEP(step)                                                                           \
    BENCHMARK(step)->Arg(buildGeneric)->Arg(buildSse)->Arg(buildSse2)->Arg(buildSse3)->Unit(benchmark::kMillisecond)
VELKARN_MP3_STEP(frontEnd);
VELKARN_MP3_STEP(requantization);
VELKARN_MP3_STEP(inverseMdct);
VELKARN_MP3_STEP(synthesis);

}  // namespace

BENCHMARK_MAIN();
