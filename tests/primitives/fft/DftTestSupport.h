// Helpers of the DFT, complex engine and autocorrelation tests: a DFT spec
// that releases itself, each build's internal routines, and references.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FftReference.h"
#include "primitives.h"
#include "primitives/fft/DftRoutines.h"

namespace primitives::test {

// A spec made through the current build's entry; released at scope end.
class DftSpec {
public:
    DftSpec(int32_t length, int32_t flag) { status_ = zaviDFTInitAlloc_R_32f(&spec_, length, flag, 0); }
    ~DftSpec() {
        if (spec_ != nullptr) zaviDFTFree_R_32f(spec_);
    }
    DftSpec(const DftSpec&) = delete;
    DftSpec& operator=(const DftSpec&) = delete;

    PrimitiveStatus status() const { return status_; }
    RealDftSpec_32f* get() const { return spec_; }
    const RealDftSpec& record() const { return *dftRecord(spec_); }
    int32_t bufferBytes() const {
        int32_t size = -1;
        zaviDFTGetBufSize_R_32f(spec_, &size);
        return size;
    }

private:
    RealDftSpec_32f* spec_ = nullptr;
    PrimitiveStatus status_;
};

// One build's internal routines, called by name.
struct InternalRoutines {
    PrimitiveStatus (*complexInitAlloc)(ComplexFftSpec**, int32_t, int32_t, int32_t);
    PrimitiveStatus (*complexFree)(ComplexFftSpec*);
    PrimitiveStatus (*complexBufferSize)(const ComplexFftSpec*, int32_t*);
    PrimitiveStatus (*complexForward)(const float*, float*, const ComplexFftSpec*, uint8_t*);
    PrimitiveStatus (*complexInverse)(const float*, float*, const ComplexFftSpec*, uint8_t*);
    PrimitiveStatus (*complexBluestein)(const RealDftSpec*, const float*, float*, int64_t, int32_t, float*);
    void (*complexDirect)(const float*, float*, int64_t, int32_t, const float*, float*);
    float* (*twiddleTable)(int64_t);
    float* (*directTwiddles)(int64_t, const float*, int64_t);
    PrimitiveStatus (*forwardToPack)(const float*, float*, const RealFftSpec_32f*, uint8_t*);
    PrimitiveStatus (*inverseFromPack)(const float*, float*, const RealFftSpec_32f*, uint8_t*);
    PrimitiveStatus (*product)(const float*, float*, int32_t);
    void (*autoCorrDirect)(const float*, int32_t, float*, int32_t);
    const SmallLengthKernelTable* lengthKernels;
};
const InternalRoutines& internals(int32_t build);

// A complex engine spec of the given build; released at scope end.
class ComplexSpec {
public:
    ComplexSpec(int32_t build, int32_t order, int32_t flag) : routines_(internals(build)) {
        status_ = routines_.complexInitAlloc(&spec_, order, flag, 0);
    }
    ~ComplexSpec() {
        if (spec_ != nullptr) routines_.complexFree(spec_);
    }
    ComplexSpec(const ComplexSpec&) = delete;
    ComplexSpec& operator=(const ComplexSpec&) = delete;

    PrimitiveStatus status() const { return status_; }
    ComplexFftSpec* get() const { return spec_; }
    int32_t bufferBytes() const {
        int32_t size = -1;
        routines_.complexBufferSize(spec_, &size);
        return size;
    }

private:
    const InternalRoutines& routines_;
    ComplexFftSpec* spec_ = nullptr;
    PrimitiveStatus status_;
};

// The K of the tolerance bounds: max(1, ceil(log2 n)).
int32_t toleranceOrder(int64_t n);

// The scale a DFT spec of `flag` applies to its forward result.
double dftForwardScale(int32_t flag, int64_t n);

// The forward DFT of n reals in Perm order, in double.
std::vector<double> referencePerm(const float* x, int64_t n);

// Interleaved floats of a complex vector, and back.
std::vector<double> interleaved(const std::vector<ComplexD>& x);
std::vector<ComplexD> complexOf(const float* x, int64_t n);

// dst[k] = sum over i of x[i] x[i + k], k < lags, in double.
std::vector<double> referenceAutoCorrelation(const float* x, int64_t n, int64_t lags);

// The name of a path, for messages.
const char* pathName(DftPath path);

}  // namespace primitives::test
