// The IIR filter of each build, called directly, against a plain
// single-precision transposed direct form II loop: 2^20 samples in calls of
// 4096, so that every stretch of the SIMD builds takes the block path.
// After the runs a table gives ns per sample (the fastest repetition) with
// the ratios to the generic build and to the plain loop.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "primitives/core/DispatchRecords.h"
#include "primitives/filter/IirState.h"

namespace {

using namespace primitives;

constexpr int32_t kSamples = 1 << 20;
constexpr int32_t kCallLength = 4096;

// Taps as the create entries take them; sections == 0 for one filter of
// order `order`, else b0 b1 b2 a0 a1 a2 per section.
struct Filter {
    std::string name;
    int32_t order;
    int32_t sections;
    std::vector<float> taps;
};

// Poles of radius 0.5..0.9 spread in angle, expanded in double.
Filter stableFilter(int32_t order, std::mt19937& random) {
    std::uniform_real_distribution<double> radius(0.5, 0.9), within(0.2, 0.8);
    std::uniform_real_distribution<float> numerator(-1.0f, 1.0f);
    std::vector<double> a = {1.0};
    auto multiplyBy = [&a](double p1, double p2) {
        std::vector<double> product(a.size() + 2, 0.0);
        for (std::size_t k = 0; k < a.size(); ++k) {
            product[k] += a[k];
            product[k + 1] += p1 * a[k];
            product[k + 2] += p2 * a[k];
        }
        a = product;
    };
    const int32_t pairs = order / 2;
    for (int32_t k = 0; k < pairs; ++k) {
        const double r = radius(random), angle = 3.14159265358979 * (k + within(random)) / pairs;
        multiplyBy(-2 * r * std::cos(angle), r * r);
    }
    if (order % 2 != 0) multiplyBy(-radius(random), 0.0);
    Filter filter{"order " + std::to_string(order), order, 0, {}};
    for (int32_t k = 0; k <= order; ++k) filter.taps.push_back(numerator(random));
    for (int32_t k = 0; k <= order; ++k) filter.taps.push_back(static_cast<float>(a[k]));
    return filter;
}

Filter stableCascade(int32_t sections, std::mt19937& random) {
    std::uniform_real_distribution<double> radius(0.5, 0.95), within(0.2, 0.8);
    std::uniform_real_distribution<float> numerator(-1.0f, 1.0f);
    Filter filter{std::to_string(sections) + " sections", 2 * sections, sections, {}};
    for (int32_t s = 0; s < sections; ++s) {
        const double r = radius(random), angle = 3.14159265358979 * (s + within(random)) / sections;
        for (int k = 0; k < 3; ++k) filter.taps.push_back(numerator(random));
        filter.taps.insert(filter.taps.end(), {1.0f, static_cast<float>(-2 * r * std::cos(angle)),
                                               static_cast<float>(r * r)});
    }
    return filter;
}

std::vector<float> signal() {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> pick(-1.0f, 1.0f);
    std::vector<float> values(kSamples);
    for (float& v : values) v = pick(random);
    return values;
}

IirState* createState(const Filter& filter, int32_t build) {
    IirState* state = nullptr;
    PrimitiveStatus status;
    if (filter.sections == 0) {
        status = zaviIIRInitAlloc_32f_dispatch.table[build](&state, filter.taps.data(), filter.order, nullptr);
    } else {
        using Creator = PrimitiveStatus (*)(IirState**, int32_t, const float*, const float*);
        const Creator creators[] = {nullptr, iirCreateSectionsState_generic, iirCreateSectionsState_sse,
                                    iirCreateSectionsState_sse2, iirCreateSectionsState_sse3};
        status = creators[build](&state, filter.sections, filter.taps.data(), nullptr);
    }
    return status == 0 ? state : nullptr;
}

const char* const kBuildNames[] = {"", "generic", "sse", "sse2", "sse3"};

bool hostRuns(int32_t build) {
    return build != buildSse3 || cpuHasSse3() == 1;  // x86-64 always has SSE and SSE2
}

void runBuild(benchmark::State& state, const Filter& filter, int32_t build) {
    static const std::vector<float> input = signal();
    std::vector<float> output(kSamples);
    IirState* iir = createState(filter, build);
    if (iir == nullptr) {
        state.SkipWithError("state not created");
        return;
    }
    auto* filterBody = zaviIIR_32f_dispatch.table[build];
    for (auto _ : state) {
        for (int32_t done = 0; done < kSamples; done += kCallLength) {
            filterBody(input.data() + done, output.data() + done, kCallLength, iir);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    zaviIIRFree_32f_dispatch.table[build](iir);
}

// The plain loop: one sample at a time through the same form, in float.
void runPlainLoop(benchmark::State& state, const Filter& filter) {
    static const std::vector<float> input = signal();
    std::vector<float> output(kSamples);
    const int32_t stages = filter.sections > 0 ? filter.sections : 1;
    const int32_t order = filter.sections > 0 ? 2 : filter.order;
    std::vector<float> b, a, z(stages * (order + 1), 0.0f);
    for (int32_t s = 0; s < stages; ++s) {
        const float* taps = filter.taps.data() + s * 2 * (order + 1);
        for (int32_t k = 0; k <= order; ++k) {
            b.push_back(taps[k] / taps[order + 1]);
            a.push_back(taps[order + 1 + k] / taps[order + 1]);
        }
    }
    for (auto _ : state) {
        for (int32_t n = 0; n < kSamples; ++n) {
            float x = input[n];
            for (int32_t s = 0; s < stages; ++s) {
                const float* bs = b.data() + s * (order + 1);
                const float* as = a.data() + s * (order + 1);
                float* zs = z.data() + s * (order + 1);
                const float y = bs[0] * x + zs[0];
                for (int32_t i = 0; i < order; ++i) zs[i] = zs[i + 1] + bs[i + 1] * x - as[i + 1] * y;
                x = y;
            }
            output[n] = x;
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// Prints the usual lines, then the ns-per-sample table with its ratios.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            // With repetitions, the fastest: the machine may be shared.
            const double ns = run.real_accumulated_time / static_cast<double>(run.iterations) * 1e9 / kSamples;
            const auto [entry, added] = nsPerSample_.emplace(run.benchmark_name(), ns);
            if (!added && ns < entry->second) entry->second = ns;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nns per sample (ratio to generic, ratio to the plain loop)\n");
        std::printf("%-12s %10s", "filter", "plain");
        for (int32_t build = buildGeneric; build <= buildSse3; ++build) std::printf(" %24s", kBuildNames[build]);
        std::printf("\n");
        for (const std::string& filter : filterNames_) {
            const double plain = value("iir/" + filter + "/plain");
            const double generic = value("iir/" + filter + "/generic");
            std::printf("%-12s %10.3f", filter.c_str(), plain);
            for (int32_t build = buildGeneric; build <= buildSse3; ++build) {
                const double ns = value("iir/" + filter + "/" + kBuildNames[build]);
                if (ns <= 0) {
                    std::printf(" %24s", "-");
                } else {
                    std::printf(" %8.3f (%5.2fx, %5.2fx)", ns, ns / generic, ns / plain);
                }
            }
            std::printf("\n");
        }
    }

    void addFilter(const std::string& name) { filterNames_.push_back(name); }

private:
    double value(const std::string& name) const {
        const auto found = nsPerSample_.find(name);
        return found == nsPerSample_.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> nsPerSample_;
    std::vector<std::string> filterNames_;
};

}  // namespace

int main(int argc, char** argv) {
    std::mt19937 random(2004);
    std::vector<Filter> filters;
    for (int32_t order : {1, 2, 4, 8, 16}) filters.push_back(stableFilter(order, random));
    filters.push_back(stableCascade(8, random));

    initCpuDispatch();
    CpuInfoRecord info;
    fillCpuInfoRecord(&info);
    std::printf("processor family %u, class %d: the dispatcher picks the %s build\n", info.family, DetectCpuType(),
                kBuildNames[CpuDispatchIndex.load()]);

    TableReporter reporter;
    for (const Filter& filter : filters) {
        const std::string key = filter.sections > 0 ? "sections8" : "order" + std::to_string(filter.order);
        reporter.addFilter(key);
        benchmark::RegisterBenchmark(("iir/" + key + "/plain").c_str(),
                                     [filter](benchmark::State& state) { runPlainLoop(state, filter); });
        for (int32_t build = buildGeneric; build <= buildSse3; ++build) {
            if (!hostRuns(build)) continue;
            benchmark::RegisterBenchmark(("iir/" + key + "/" + kBuildNames[build]).c_str(),
                                         [filter, build](benchmark::State& state) { runBuild(state, filter, build); });
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
