// The PNG reader and writer against libpng on the same pictures: a 1024 x
// 768 skin (soft gradients, translucent edges, some texture) and a 24000 x
// 60 song overview (a waveform envelope on a plain background). Decoding
// reads the bytes libpng wrote with its default (adaptive) filters;
// encoding writes filter 0 at zlib's default level, as our writer does.
// After the runs a table gives the processor times (fastest repetition)
// and the ratio ours / libpng.
#include "framework/FileMemory.h"
#include "framework/Image.h"
#include "framework/Png.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Picture {
    std::string name;
    int width;
    int height;
    Bytes rgba;
};

Picture skin() {
    Picture p{"skin", 1024, 768, {}};
    std::mt19937 random(1);
    p.rgba.resize(static_cast<std::size_t>(p.width) * p.height * 4);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            std::uint8_t* px = &p.rgba[(static_cast<std::size_t>(y) * p.width + x) * 4];
            const int grain = static_cast<int>(random() % 6);
            px[0] = static_cast<std::uint8_t>(40 + x / 8 + grain);
            px[1] = static_cast<std::uint8_t>(60 + y / 6 + grain);
            px[2] = static_cast<std::uint8_t>(90 + ((x / 64 + y / 48) % 2) * 40);
            const bool edge = x < 8 || y < 8 || x >= p.width - 8 || y >= p.height - 8;
            px[3] = static_cast<std::uint8_t>(edge ? 32 * (std::min(std::min(x, y), 7)) : 255);
        }
    }
    return p;
}

Picture overview() {
    Picture p{"overview", 24000, 60, {}};
    p.rgba.resize(static_cast<std::size_t>(p.width) * p.height * 4);
    for (int x = 0; x < p.width; ++x) {
        const double level = 0.5 + 0.45 * std::sin(x * 0.013) * std::cos(x * 0.0007);
        const int half = static_cast<int>(level * 29);
        for (int y = 0; y < p.height; ++y) {
            std::uint8_t* px = &p.rgba[(static_cast<std::size_t>(y) * p.width + x) * 4];
            const bool inside = std::abs(y - 30) <= half;
            px[0] = inside ? 40 : 250;
            px[1] = inside ? 90 : 250;
            px[2] = inside ? 200 : 250;
            px[3] = 255;
        }
    }
    return p;
}

Image* asImage(const Picture& p) {
    auto* image = new Image(p.width, p.height, 0, 0, 0, 0);
    for (std::size_t i = 0; i < p.rgba.size(); i += 4) {
        std::uint8_t* px = image->pixels() + i;
        px[0] = p.rgba[i + 2];
        px[1] = p.rgba[i + 1];
        px[2] = p.rgba[i];
        px[3] = p.rgba[i + 3];
    }
    return image;
}

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

Bytes libpngEncode(const Picture& p, int filters) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, appendToBytes, nullptr);
        png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
        png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
        png_write_info(png, info);
        for (int y = 0; y < p.height; ++y) {
            png_write_row(png, const_cast<png_bytep>(&p.rgba[static_cast<std::size_t>(y) * p.width * 4]));
        }
        png_write_end(png, info);
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

struct Reader {
    const Bytes* bytes;
    std::size_t at;
};

void readFromBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    std::memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
}

// Decodes into BGRA rows as our reader does, into a new picture each time
// as a loader would.
void libpngDecode(const Bytes& file, std::unique_ptr<std::uint8_t[]>& pixels) {
    Reader reader{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, readFromBytes);
        png_read_info(png, info);
        png_set_bgr(png);
        const png_uint_32 width = png_get_image_width(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        pixels.reset(new std::uint8_t[static_cast<std::size_t>(width) * height * 4]);
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, &pixels[static_cast<std::size_t>(y) * width * 4], nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
}

void decodeOurs(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        FileMemory stream(static_cast<int>(file.size()));
        stream.write(file.data(), static_cast<int>(file.size()));
        stream.seek(0);
        Image image(stream);
        benchmark::DoNotOptimize(image.pixels());
    }
}

void decodeLibpng(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> pixels;
        libpngDecode(file, pixels);
        benchmark::DoNotOptimize(pixels.get());
    }
}

void encodeOurs(benchmark::State& state, const Image& image, const std::string& path) {
    for (auto _ : state) image.writePng(path);
}

void encodeLibpng(benchmark::State& state, const Picture& p, const std::string& path) {
    for (auto _ : state) {
        const Bytes bytes = libpngEncode(p, PNG_FILTER_NONE);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            // Processor time: on a shared machine the wall clock mostly
            // measures the neighbours.
            const double ms = run.cpu_accumulated_time / static_cast<double>(run.iterations) * 1e3;
            const auto [entry, added] = ms_.emplace(run.benchmark_name(), ms);
            if (!added && ms < entry->second) entry->second = ms;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-22s %12s %12s %8s\n", "", "ours (ms)", "libpng (ms)", "ratio");
        for (const char* work : {"decode", "encode"}) {
            for (const char* picture : {"skin", "overview"}) {
                const std::string key = std::string(work) + "/" + picture;
                const double ours = ms_[key + "/ours"];
                const double theirs = ms_[key + "/libpng"];
                if (ours > 0 && theirs > 0) std::printf("%-22s %12.2f %12.2f %8.2f\n", key.c_str(), ours, theirs, ours / theirs);
            }
        }
    }

private:
    std::map<std::string, double> ms_;
};

}  // namespace

int main(int argc, char** argv) {
    static const Picture pictures[] = {skin(), overview()};
    static std::vector<Bytes> files;
    static std::vector<std::unique_ptr<Image>> images;
    const std::string directory = std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp");
    for (const Picture& p : pictures) {
        files.push_back(libpngEncode(p, PNG_ALL_FILTERS));
        images.emplace_back(asImage(p));
        std::printf("%s: %d x %d, %zu bytes as libpng writes it\n", p.name.c_str(), p.width, p.height, files.back().size());
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const Picture& p = pictures[i];
        const Bytes& file = files[i];
        const Image& image = *images[i];
        const std::string ours = directory + "/velkarn-bench-ours-" + p.name + ".png";
        const std::string theirs = directory + "/velkarn-bench-libpng-" + p.name + ".png";
        benchmark::RegisterBenchmark(("decode/" + p.name + "/ours").c_str(), [&file](benchmark::State& s) { decodeOurs(s, file); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("decode/" + p.name + "/libpng").c_str(), [&file](benchmark::State& s) { decodeLibpng(s, file); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("encode/" + p.name + "/ours").c_str(),
                                     [&image, ours](benchmark::State& s) { encodeOurs(s, image, ours); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("encode/" + p.name + "/libpng").c_str(),
                                     [&p, theirs](benchmark::State& s) { encodeLibpng(s, p, theirs); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
