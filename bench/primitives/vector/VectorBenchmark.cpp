// The vector workhorses on every audio block: each entry through its stub on
// this host's build, each of the four build bodies called directly, and a
// reference (memcpy, memset, or a plain C++ loop), over sizes from 64 floats
// to several times the last-level cache.
//
// Names: <entry>/<variant>/<floats>; variants stub, generic, sse, sse2,
// sse3, reference, and stub_dst_off_by_one (a destination one float off
// 32-byte alignment). Bytes processed count bytes read plus bytes written,
// so the rate is memory traffic.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "PlainLoops.h"
#include "primitives/core/DispatchRecords.h"

namespace {

// The last-level cache as the C library reports it; 32 MiB when unknown.
int64_t lastLevelCacheBytes() {
    for (int name : {_SC_LEVEL4_CACHE_SIZE, _SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
        const long bytes = sysconf(name);
        if (bytes > 0) return bytes;
    }
    return int64_t{32} << 20;
}

// The sizes in floats: 64 to 1 Mi, and one of at least four times the
// last-level cache (rounded up to a whole Mi) for the bandwidth figure.
std::vector<int64_t> sizes() {
    std::vector<int64_t> out = {64, 256, 1 << 10, 4 << 10, 16 << 10, 64 << 10, 256 << 10, 1 << 20};
    const int64_t bandwidthFloats = std::max<int64_t>(lastLevelCacheBytes(), int64_t{2} << 20);  // 4x the bytes
    out.push_back((bandwidthFloats + (1 << 20) - 1) / (1 << 20) * (1 << 20));
    return out;
}

// A block from the library's allocator holding random finite floats in
// [-2, -0.5] and [0.5, 2] (no denormals), written once before timing, with
// 16 floats to spare for the misaligned variant.
class Floats {
public:
    Floats(int64_t n, uint64_t seed) : block_(revoRovara_32z(static_cast<int32_t>(n + 16))) {
        if (block_ == nullptr) throw std::bad_alloc();
        uint64_t state = seed;
        for (int64_t i = 0; i < n + 16; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const float magnitude = 0.5f + 1.5f * static_cast<float>(state >> 40) * 0x1p-24f;
            block_[i] = (state >> 20) & 1 ? magnitude : -magnitude;
        }
    }
    ~Floats() { zoveZiva(block_); }
    Floats(const Floats&) = delete;
    Floats& operator=(const Floats&) = delete;
    float* data(int64_t offset = 0) { return block_ + offset; }

private:
    float* block_;
};

// One destination and two sources per size, made once and shared by every
// benchmark of that size (the largest take gigabytes).
struct Buffers {
    explicit Buffers(int64_t n) : dst(n, 1), a(n, 2), b(n, 3) {}
    Floats dst, a, b;
};

Buffers& buffersFor(int64_t n) {
    static std::map<int64_t, std::unique_ptr<Buffers>> made;
    auto& buffers = made[n];
    if (!buffers) buffers = std::make_unique<Buffers>(n);
    return *buffers;
}

bool hostRuns(int32_t build) { return build != 4 || cpuHasSse3() != 0; }

// One measured operation on n floats: the destination, two sources and the
// count; `bytesPerFloat` is what it reads and writes per element.
using Operation = std::function<void(float* dst, const float* a, const float* b, int64_t n)>;

void run(benchmark::State& state, const Operation& op, int64_t bytesPerFloat, int64_t dstOffset) {
    const int64_t n = state.range(0);
    Buffers& buffers = buffersFor(n);
    for (auto _ : state) {
        op(buffers.dst.data(dstOffset), buffers.a.data(), buffers.b.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * n * bytesPerFloat);
}

struct Entry {
    const char* name;
    int64_t bytesPerFloat;
    // The entry through the build body `body` (or through its stub for 0).
    std::function<Operation(int32_t build)> body;
    Operation reference;
    bool misalignedVariant;
};

std::vector<Entry> entries() {
    // Each lambda takes its body at registration; build 0 means the stub.
    std::vector<Entry> out;
    out.push_back({"zaviZero_32f", 4,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviZero_32f : zaviZero_32f_dispatch.table[build];
                       return [f](float* d, const float*, const float*, int64_t n) { f(d, int32_t(n)); };
                   },
                   [](float* d, const float*, const float*, int64_t n) { std::memset(d, 0, n * 4); }, true});
    out.push_back({"zaviSet_32f", 4,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviSet_32f : zaviSet_32f_dispatch.table[build];
                       return [f](float* d, const float*, const float*, int64_t n) { f(1.25f, d, int32_t(n)); };
                   },
                   // memset: the write bandwidth; the plain loop is measured apart.
                   [](float* d, const float*, const float*, int64_t n) { std::memset(d, 0x3F, n * 4); }, true});
    out.push_back({"dezoRide_32d", 8,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &dezoRide_32d : dezoRide_32d_dispatch.table[build];
                       return [f](float* d, const float* a, const float*, int64_t n) { f(a, d, int32_t(n)); };
                   },
                   [](float* d, const float* a, const float*, int64_t n) { std::memcpy(d, a, n * 4); }, true});
    out.push_back({"zaviMul_32f", 12,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviMul_32f : zaviMul_32f_dispatch.table[build];
                       return [f](float* d, const float* a, const float* b, int64_t n) { f(a, b, d, int32_t(n)); };
                   },
                   [](float* d, const float* a, const float* b, int64_t n) { plain::mul(a, b, d, n); }, true});
    out.push_back({"zaviAdd_32f_I", 12,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviAdd_32f_I : zaviAdd_32f_I_dispatch.table[build];
                       return [f](float* d, const float* a, const float*, int64_t n) { f(a, d, int32_t(n)); };
                   },
                   [](float* d, const float* a, const float*, int64_t n) { plain::addInPlace(a, d, n); }, false});
    // Alternating constants keep the values bounded over many iterations.
    out.push_back({"zaviMulC_32f_I", 8,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviMulC_32f_I : zaviMulC_32f_I_dispatch.table[build];
                       return [f](float* d, const float*, const float*, int64_t n) {
                           f(2.0f, d, int32_t(n));
                           f(0.5f, d, int32_t(n));
                       };
                   },
                   [](float* d, const float*, const float*, int64_t n) {
                       plain::mulConstInPlace(2.0f, d, n);
                       plain::mulConstInPlace(0.5f, d, n);
                   },
                   false});
    out.push_back({"zaviMax_32f", 4,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviMax_32f : zaviMax_32f_dispatch.table[build];
                       return [f](float*, const float* a, const float*, int64_t n) {
                           float r;
                           f(a, int32_t(n), &r);
                           benchmark::DoNotOptimize(r);
                       };
                   },
                   [](float*, const float* a, const float*, int64_t n) { benchmark::DoNotOptimize(plain::max(a, n)); },
                   false});
    out.push_back({"zaviMin_32f", 4,
                   [](int32_t build) -> Operation {
                       auto f = build == 0 ? &zaviMin_32f : zaviMin_32f_dispatch.table[build];
                       return [f](float*, const float* a, const float*, int64_t n) {
                           float r;
                           f(a, int32_t(n), &r);
                           benchmark::DoNotOptimize(r);
                       };
                   },
                   [](float*, const float* a, const float*, int64_t n) { benchmark::DoNotOptimize(plain::min(a, n)); },
                   false});
    for (int32_t hint : {1, 2}) {
        out.push_back({hint == 1 ? "zaviSum_32f_hint1" : "zaviSum_32f_hint2", 4,
                       [hint](int32_t build) -> Operation {
                           auto f = build == 0 ? &zaviSum_32f : zaviSum_32f_dispatch.table[build];
                           return [f, hint](float*, const float* a, const float*, int64_t n) {
                               float r;
                               f(a, int32_t(n), &r, hint);
                               benchmark::DoNotOptimize(r);
                           };
                       },
                       [](float*, const float* a, const float*, int64_t n) { benchmark::DoNotOptimize(plain::sum(a, n)); },
                       false});
    }
    return out;
}

const char* const kBuildNames[] = {"stub", "generic", "sse", "sse2", "sse3"};

void registerOne(const std::string& name, Operation op, int64_t bytesPerFloat, int64_t dstOffset, int64_t n) {
    benchmark::RegisterBenchmark(name.c_str(), [op, bytesPerFloat, dstOffset](benchmark::State& s) {
        run(s, op, bytesPerFloat, dstOffset);
    })->Arg(n);
}

void registerAll() {
    const std::vector<int64_t> floats = sizes();
    for (const Entry& entry : entries()) {
        const std::string name = entry.name;
        for (int32_t build = 0; build <= 4; ++build) {
            if (!hostRuns(build)) continue;
            const Operation op = entry.body(build);
            for (int64_t n : floats) registerOne(name + "/" + kBuildNames[build], op, entry.bytesPerFloat, 0, n);
            if (build == 0 && entry.misalignedVariant) {
                for (int64_t n : {int64_t{1} << 10, int64_t{1} << 20}) {
                    registerOne(name + "/stub_dst_off_by_one", op, entry.bytesPerFloat, 1, n);
                }
            }
        }
        for (int64_t n : floats) registerOne(name + "/reference", entry.reference, entry.bytesPerFloat, 0, n);
        if (name == "zaviSet_32f") {
            const Operation loop = [](float* d, const float*, const float*, int64_t k) { plain::set(1.25f, d, k); };
            for (int64_t n : floats) registerOne(name + "/plain_loop", loop, 4, 0, n);
        }
    }
}

// Registered before main: the sizes depend on this host's cache, and the
// stubs run this host's build.
[[maybe_unused]] const bool registered = [] {
    initCpuDispatch();
    registerAll();
    return true;
}();

}  // namespace
