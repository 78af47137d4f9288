// The SSE2 build of the super-sampling: its nine workers, its column-sum
// kernels and its driver.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/SuperSampleWorker.h"
#include "primitives/resize/SuperSamplingDriver.h"

namespace primitives {

VELKARN_SUPER_SAMPLING_WORKERS(sse2, Sse2Build)
VELKARN_BOX_COLUMN_SUMS(sse2, Sse2Build)
constinit const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_sse2 = &boxColumnSum<uint8_t, uint32_t, 3, Sse2Build>;
constinit const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_sse2 = &boxColumnSum<uint16_t, uint32_t, 3, Sse2Build>;

PrimitiveStatus resizeSuperSamplingDriver_sse2(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingDriver<Sse2Build>(parameters, superSamplingWorkers);
}

}  // namespace primitives
