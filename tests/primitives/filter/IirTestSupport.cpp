#include "IirTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <set>

#include "BuildTest.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/filter/IirState.h"

namespace primitives::test {

IirFilter IirFilter::arbitrary(std::vector<float> taps) {
    IirFilter filter;
    filter.order = static_cast<int32_t>(taps.size() / 2) - 1;
    filter.taps = std::move(taps);
    return filter;
}

IirFilter IirFilter::cascade(std::vector<float> taps) {
    IirFilter filter;
    filter.sections = static_cast<int32_t>(taps.size() / 6);
    filter.order = 2 * filter.sections;
    filter.taps = std::move(taps);
    return filter;
}

std::string IirFilter::describe() const {
    std::string text = sections > 0 ? std::to_string(sections) + " sections:" : "order " + std::to_string(order) + ":";
    const std::size_t shown = std::min<std::size_t>(taps.size(), 24);
    for (std::size_t i = 0; i < shown; ++i) text += " " + std::to_string(taps[i]);
    if (shown < taps.size()) text += " ...";
    return text;
}

PrimitiveStatus createState(const IirFilter& filter, const float* initialDelay, IirState** state) {
    if (filter.sections == 0) return zaviIIRInitAlloc_32f(state, filter.taps.data(), filter.order, initialDelay);
    using Creator = PrimitiveStatus (*)(IirState**, int32_t, const float*, const float*);
    static constexpr Creator creators[] = {iirCreateSectionsState_generic, iirCreateSectionsState_generic,
                                           iirCreateSectionsState_sse, iirCreateSectionsState_sse2,
                                           iirCreateSectionsState_sse3};
    return creators[CpuDispatchIndex.load()](state, filter.sections, filter.taps.data(), initialDelay);
}

ScopedIirState::ScopedIirState(const IirFilter& filter, const float* initialDelay) : order_(filter.order) {
    const PrimitiveStatus status = createState(filter, initialDelay, &state_);
    EXPECT_EQ(status, 0) << filter.describe();
    if (status != 0 && status != primitiveStatusDivisionByZero) state_ = nullptr;
}

ScopedIirState::~ScopedIirState() {
    if (state_ != nullptr) {
        EXPECT_EQ(zaviIIRFree_32f(state_), 0);
    }
}

std::vector<float> ScopedIirState::delayLine() const {
    std::vector<float> delay(order_ + 1);  // never empty: data() is not null
    if (state_ != nullptr) {
        EXPECT_EQ(zaviIIRGetDlyLine_32f(state_, delay.data()), 0);
    }
    delay.resize(order_);
    return delay;
}

namespace {

// A float buffer that starts `offset` bytes past a 32-byte boundary.
class OffsetBuffer {
public:
    OffsetBuffer(std::size_t count, int32_t offset) : storage_(count * sizeof(float) + 64) {
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
        start_ = storage_.data() + (32 - address % 32) % 32 + offset;
    }
    float* data() { return reinterpret_cast<float*>(start_); }
    void write(std::span<const float> values) { std::memcpy(start_, values.data(), values.size_bytes()); }
    std::vector<float> read(std::size_t count) const {
        std::vector<float> values(count);
        std::memcpy(values.data(), start_, count * sizeof(float));
        return values;
    }

private:
    std::vector<std::byte> storage_;
    std::byte* start_;
};

}  // namespace

IirRun runIir(const IirFilter& filter, std::span<const float> input, std::span<const int32_t> calls,
              const float* initialDelay, IirCallLayout layout) {
    const auto total = static_cast<int32_t>(input.size());
    std::vector<int32_t> oneCall;
    if (calls.empty()) {
        oneCall.push_back(total);
        calls = oneCall;
    }
    OffsetBuffer source(input.size(), layout.srcOffset);
    OffsetBuffer destination(input.size(), layout.dstOffset);
    source.write(input);
    float* dst = layout.kind == CallKind::outOfPlace ? destination.data() : source.data();

    ScopedIirState state(filter, initialDelay);
    IirRun run;
    if (state.get() == nullptr) return run;
    int32_t done = 0;
    for (int32_t length : calls) {
        PrimitiveStatus status;
        switch (layout.kind) {
        case CallKind::inPlaceEntry: status = zaviIIR_32f_I(dst + done, length, state.get()); break;
        default: status = zaviIIR_32f(source.data() + done, dst + done, length, state.get()); break;
        }
        EXPECT_EQ(status, 0);
        done += length;
    }
    EXPECT_EQ(done, total) << "the calls cover the input";
    run.output = layout.kind == CallKind::outOfPlace ? destination.read(input.size()) : source.read(input.size());
    run.delay = state.delayLine();
    return run;
}

std::vector<int32_t> randomCalls(int32_t total, std::mt19937& random, int maxCalls, bool evenCuts) {
    const int32_t positions = evenCuts ? (total - 1) / 2 : total - 1;  // possible cuts inside
    std::set<int32_t> cuts;
    if (positions > 0) {
        const int wanted = std::uniform_int_distribution<int>(1, std::max(1, maxCalls - 1))(random);
        std::uniform_int_distribution<int32_t> pick(1, positions);
        for (int i = 0; i < wanted; ++i) cuts.insert(evenCuts ? 2 * pick(random) : pick(random));
    }
    std::vector<int32_t> calls;
    int32_t previous = 0;
    for (int32_t cut : cuts) {
        calls.push_back(cut - previous);
        previous = cut;
    }
    calls.push_back(total - previous);
    return calls;
}

namespace {

// One transposed direct form II of order N over doubles. b[0..N], a[1..N]
// normalised; z has N + 1 elements, z[N] = 0.
template <typename Real>
Real tdf2Step(const std::vector<Real>& b, const std::vector<Real>& a, std::vector<Real>& z, Real x) {
    const std::size_t order = z.size() - 1;
    const Real y = b[0] * x + z[0];
    for (std::size_t i = 0; i < order; ++i) z[i] = z[i + 1] + b[i + 1] * x - a[i + 1] * y;
    return y;
}

template <typename Real>
IirReference runForm(const IirFilter& filter, std::span<const float> input, const float* initialDelay,
                     std::vector<std::vector<double>>* signals) {
    struct Stage {
        std::vector<Real> b, a, z;
    };
    std::vector<Stage> stages;
    auto addStage = [&](const float* taps, int32_t order, const float* delay) {
        // taps: b0..bN, a0..aN
        Stage stage;
        const Real a0 = taps[order + 1];
        for (int32_t k = 0; k <= order; ++k) {
            stage.b.push_back(Real(taps[k]) / a0);
            stage.a.push_back(Real(taps[order + 1 + k]) / a0);
        }
        stage.z.assign(order + 1, Real(0));
        for (int32_t i = 0; delay != nullptr && i < order; ++i) stage.z[i] = delay[i];
        stages.push_back(std::move(stage));
    };
    if (filter.sections == 0) {
        addStage(filter.taps.data(), filter.order, initialDelay);
    } else {
        for (int32_t s = 0; s < filter.sections; ++s) {
            addStage(filter.taps.data() + 6 * s, 2, initialDelay != nullptr ? initialDelay + 2 * s : nullptr);
        }
    }
    if (signals != nullptr) {
        signals->assign(stages.size(), {});
        for (std::vector<double>& signal : *signals) signal.reserve(input.size());
    }

    IirReference result;
    result.output.reserve(input.size());
    for (float sample : input) {
        Real x = sample;
        for (std::size_t s = 0; s < stages.size(); ++s) {
            x = tdf2Step(stages[s].b, stages[s].a, stages[s].z, x);
            if (signals != nullptr) (*signals)[s].push_back(double(x));
        }
        result.output.push_back(double(x));
    }
    for (const Stage& stage : stages) {
        for (std::size_t i = 0; i + 1 < stage.z.size(); ++i) result.delay.push_back(double(stage.z[i]));
    }
    return result;
}

}  // namespace

IirReference referenceIir(const IirFilter& filter, std::span<const float> input, const float* initialDelay,
                          std::vector<std::vector<double>>* signals) {
    return runForm<double>(filter, input, initialDelay, signals);
}

IirReference naiveFloatIir(const IirFilter& filter, std::span<const float> input) {
    return runForm<float>(filter, input, nullptr, nullptr);
}

namespace {

// Multiplies a polynomial in z^-1 by (1 + p1 z^-1 + p2 z^-2).
void multiplyBy(std::vector<double>& poly, double p1, double p2) {
    std::vector<double> product(poly.size() + 2, 0.0);
    for (std::size_t k = 0; k < poly.size(); ++k) {
        product[k] += poly[k];
        product[k + 1] += p1 * poly[k];
        product[k + 2] += p2 * poly[k];
    }
    poly = std::move(product);
}

}  // namespace

IirFilter randomStableFilter(int32_t order, double maxRadius, std::mt19937& random) {
    std::uniform_real_distribution<double> radius(0.3 * maxRadius, maxRadius);
    std::uniform_real_distribution<double> within(0.15, 0.85);
    std::uniform_real_distribution<float> numerator(-1.0f, 1.0f);
    const double pi = 3.14159265358979323846;
    std::vector<double> denominator = {1.0};
    const int32_t pairs = order / 2;
    for (int32_t k = 0; k < pairs; ++k) {
        const double r = radius(random), angle = pi * (k + within(random)) / pairs;
        multiplyBy(denominator, -2.0 * r * std::cos(angle), r * r);
    }
    if (order % 2 != 0) {
        const double pole = (random() % 2 == 0 ? 1.0 : -1.0) * radius(random);
        multiplyBy(denominator, -pole, 0.0);
    }
    denominator.resize(order + 1);
    std::vector<float> taps;
    for (int32_t k = 0; k <= order; ++k) taps.push_back(numerator(random));
    for (int32_t k = 0; k <= order; ++k) taps.push_back(static_cast<float>(denominator[k]));
    return IirFilter::arbitrary(std::move(taps));
}

IirFilter randomStableCascade(int32_t sections, double maxRadius, std::mt19937& random) {
    std::uniform_real_distribution<double> radius(0.5 * maxRadius, maxRadius);
    std::uniform_real_distribution<double> within(0.15, 0.85);
    std::uniform_real_distribution<double> zeroShrink(0.3, 0.95), zeroShift(-0.2, 0.2), sectionGain(0.5, 1.0);
    const double pi = 3.14159265358979323846;
    std::vector<float> taps;
    for (int32_t s = 0; s < sections; ++s) {
        const double r = radius(random), angle = pi * (s + within(random)) / sections;
        // Zeros near the poles' angle and inside them: each section boosts
        // or cuts a band by a bounded amount, as an equaliser section does,
        // so that no section's output dwarfs or vanishes in the cascade's.
        const double zeroRadius = r * zeroShrink(random), zeroAngle = angle + zeroShift(random);
        const double gain = sectionGain(random);
        taps.push_back(static_cast<float>(gain));
        taps.push_back(static_cast<float>(gain * -2.0 * zeroRadius * std::cos(zeroAngle)));
        taps.push_back(static_cast<float>(gain * zeroRadius * zeroRadius));
        taps.push_back(1.0f);
        taps.push_back(static_cast<float>(-2.0 * r * std::cos(angle)));
        taps.push_back(static_cast<float>(r * r));
    }
    return IirFilter::cascade(std::move(taps));
}

namespace {

using Polynomial = std::vector<int64_t>;  // coefficients of z^0, z^1, ...

Polynomial multiply(const Polynomial& a, const Polynomial& b) {
    Polynomial product(a.size() + b.size() - 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j) product[i + j] += a[i] * b[j];
    }
    return product;
}

// Exact division by a monic polynomial.
Polynomial divide(Polynomial a, const Polynomial& b) {
    Polynomial quotient(a.size() - b.size() + 1, 0);
    for (std::size_t i = quotient.size(); i-- > 0;) {
        const int64_t c = a[i + b.size() - 1];
        quotient[i] = c;
        for (std::size_t j = 0; j < b.size(); ++j) a[i + j] -= c * b[j];
    }
    return quotient;
}

// The n-th cyclotomic polynomial: z^n - 1 divided by those of n's divisors.
Polynomial cyclotomic(int n) {
    Polynomial p(n + 1, 0);
    p[0] = -1;
    p[n] = 1;
    for (int d = 1; d < n; ++d) {
        if (n % d == 0) p = divide(p, cyclotomic(d));
    }
    return p;
}

// Normalised denominators: products of distinct cyclotomic polynomials, as
// dense as a search found with every coefficient within +-2.
struct DenseDenominator {
    int32_t order;
    std::vector<int> factors;
};
const DenseDenominator kDenseDenominators[] = {
    {1, {2}},       {2, {6}},      {3, {2, 3}},      {4, {10}},          {5, {2, 12}},
    {6, {14}},      {7, {1, 6, 8}}, {8, {5, 8}},      {9, {2, 3, 4, 10}}, {10, {11}},
    {11, {1, 22}},  {12, {13}},     {13, {2, 13}},    {14, {4, 13}},      {15, {1, 4, 8, 16}},
    {16, {34}},     {31, {2, 3, 4, 6, 56}},           {32, {8, 29}},      {100, {8, 194}},
};

float powerOfTwoTap(std::mt19937& random) {
    static constexpr float kChoices[] = {0.0f, 1.0f, -1.0f, 2.0f, -2.0f, 4.0f, -4.0f};
    return kChoices[random() % 7];
}

// b0..bN (0 or +-1, 2, 4), then a0 times the monic denominator.
IirFilter withNumerator(const Polynomial& denominator, float a0, std::mt19937& random) {
    const auto order = static_cast<int32_t>(denominator.size()) - 1;
    std::vector<float> taps;
    for (int32_t k = 0; k <= order; ++k) taps.push_back(powerOfTwoTap(random));
    for (int32_t k = 0; k <= order; ++k) taps.push_back(a0 * static_cast<float>(denominator[k] / denominator[0]));
    return IirFilter::arbitrary(std::move(taps));
}

float powerOfTwoLeadingTap(std::mt19937& random) { return static_cast<float>(1 << (random() % 3)); }

}  // namespace

std::vector<IirFilter> exactArbitraryFilters(std::mt19937& random) {
    std::vector<IirFilter> filters;
    filters.push_back(IirFilter::arbitrary({2.0f, 4.0f}));  // y = x / 2
    for (const DenseDenominator& dense : kDenseDenominators) {
        Polynomial denominator = {1};
        for (int factor : dense.factors) denominator = multiply(denominator, cyclotomic(factor));
        if (static_cast<int32_t>(denominator.size()) != dense.order + 1) {
            ADD_FAILURE() << "factors do not make order " << dense.order;
            continue;
        }
        filters.push_back(withNumerator(denominator, powerOfTwoLeadingTap(random), random));
        Polynomial comb(dense.order + 1, 0);
        comb[0] = 1;
        comb[dense.order] = dense.order % 2 == 0 ? 1 : -1;
        filters.push_back(withNumerator(comb, powerOfTwoLeadingTap(random), random));
    }
    return filters;
}

std::vector<IirFilter> exactCascades(std::mt19937& random) {
    // Sections with distinct poles: 1, -1, the cube roots, +-i, the sixth
    // roots of unity, and two poles at 0.
    const int32_t kSections[][3] = {{1, -1, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}, {1, -1, 1}, {1, 0, 0}};
    std::vector<IirFilter> cascades;
    for (int32_t count = 1; count <= 6; ++count) {
        std::vector<int> chosen = {0, 1, 2, 3, 4, 5};
        std::shuffle(chosen.begin(), chosen.end(), random);
        std::vector<float> taps;
        for (int32_t s = 0; s < count; ++s) {
            // Only the first section has a0 != 1: later sections keep
            // integer numerator taps, so every signal stays a multiple of
            // 1/4; and only +-1 or 0, so that six resonant sections in a row
            // keep their signals well inside float's exact range.
            const float a0 = s == 0 ? powerOfTwoLeadingTap(random) : 1.0f;
            for (int k = 0; k < 3; ++k) taps.push_back(s == 0 ? powerOfTwoTap(random) : float(int(random() % 3) - 1));
            for (int k = 0; k < 3; ++k) taps.push_back(a0 * static_cast<float>(kSections[chosen[s]][k]));
        }
        cascades.push_back(IirFilter::cascade(std::move(taps)));
    }
    return cascades;
}

std::vector<float> quarterSteps(std::size_t count, std::mt19937& random) {
    std::uniform_int_distribution<int> pick(-16, 16);
    std::vector<float> values(count);
    for (float& v : values) v = static_cast<float>(pick(random)) / 4.0f;
    return values;
}

namespace {

bool isQuarterMultiple(double value) { return std::floor(value * 4.0) == value * 4.0; }

double maxMagnitude(std::span<const double> values) {
    double largest = 0;
    for (double v : values) largest = std::max(largest, std::fabs(v));
    return largest;
}

// The recursion matrix's rows in exact arithmetic (integer feedback), as
// magnitudes summed over all rows and columns.
double matrixWeight(const std::vector<double>& c) {
    const std::size_t order = c.size() - 1;
    auto coefficient = [&](std::size_t t) { return t <= order ? c[t] : 0.0; };
    double weight = 0, h1 = 0, h2 = 0, h3 = 0;
    for (std::size_t t = 1; t <= order; ++t) {
        const double m0 = c[t];
        const double m1 = coefficient(1) * m0 + coefficient(t + 1);
        const double m2 = coefficient(1) * m1 + coefficient(2) * m0 + coefficient(t + 2);
        const double m3 = coefficient(1) * m2 + coefficient(2) * m1 + coefficient(3) * m0 + coefficient(t + 3);
        weight += std::fabs(m0) + std::fabs(m1) + std::fabs(m2) + std::fabs(m3);
        if (t == 1) h1 = m0, h2 = m1, h3 = m2;
    }
    return weight + 3 + 3 * std::fabs(h1) + 2 * std::fabs(h2) + std::fabs(h3);
}

}  // namespace

ExactnessCheck checkExactness(const IirFilter& filter, std::span<const float> input, const float* initialDelay) {
    ExactnessCheck check;
    std::vector<std::vector<double>> signals;
    check.reference = referenceIir(filter, input, initialDelay, &signals);
    const IirReference& reference = check.reference;
    const int32_t stages = filter.sections > 0 ? filter.sections : 1;
    const int32_t order = filter.sections > 0 ? 2 : filter.order;
    const std::vector<double> source(input.begin(), input.end());
    for (int32_t s = 0; s < stages; ++s) {
        const float* taps = filter.taps.data() + (filter.sections > 0 ? 6 * s : 0);
        const double a0 = taps[order + 1];
        double sumB = 0, sumA = 0;
        std::vector<double> c(order + 1, 0.0);
        for (int32_t k = 0; k <= order; ++k) {
            const double b = taps[k] / a0, a = taps[order + 1 + k] / a0;
            sumB += std::fabs(b);
            if (k > 0) {
                sumA += std::fabs(a);
                c[k] = -a;
                check.quarters = check.quarters && std::floor(a) == a;  // integer feedback
            }
            check.quarters = check.quarters && isQuarterMultiple(b);
        }
        const std::span<const double> in = s == 0 ? std::span<const double>(source) : signals[s - 1];
        const double maxIn = maxMagnitude(in), maxOut = maxMagnitude(signals[s]);
        double maxInitial = 0;
        for (int32_t i = 0; initialDelay != nullptr && i < order; ++i) {
            maxInitial = std::max(maxInitial, std::fabs(double(initialDelay[(filter.sections > 0 ? 2 * s : 0) + i])));
        }
        const double direct = sumB * maxIn + sumA * maxOut + maxInitial;
        const double blocked = matrixWeight(c) * std::max(maxOut, sumB * maxIn);
        check.bound = std::max({check.bound, direct, order > 0 ? blocked : 0.0});
        for (double v : signals[s]) check.quarters = check.quarters && isQuarterMultiple(v);
    }
    for (double v : reference.delay) check.quarters = check.quarters && isQuarterMultiple(v);
    return check;
}

std::vector<float> smallIntegers(std::size_t count, std::mt19937& random) {
    std::uniform_int_distribution<int> pick(-4, 4);
    std::vector<float> values(count);
    for (float& v : values) v = static_cast<float>(pick(random));
    return values;
}

std::vector<float> uniformSignal(std::size_t count, std::mt19937& random) {
    std::uniform_real_distribution<float> pick(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& v : values) v = pick(random);
    return values;
}

std::vector<int32_t> runnableBuilds(int32_t first) {
    std::vector<int32_t> builds;
    for (int32_t build = first; build <= kLastBuild; ++build) {
        if (hostRunsBuild(build)) builds.push_back(build);
    }
    return builds;
}

}  // namespace primitives::test
