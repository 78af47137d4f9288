// The SSE3-class build of the super-sampling: its nine workers, its column-sum
// kernels and its driver.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/SuperSampleWorker.h"
#include "primitives/resize/SuperSamplingDriver.h"

namespace primitives {

VELKARN_SUPER_SAMPLING_WORKERS(sse3, Sse3Build)
VELKARN_BOX_COLUMN_SUMS(sse3, Sse3Build)
constinit const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_sse3 = &boxColumnSum<uint8_t, uint32_t, 3, Sse3Build>;
constinit const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_sse3 = &boxColumnSum<uint16_t, uint32_t, 3, Sse3Build>;

PrimitiveStatus ResizeSuperSamplingDriver(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingDriver<Sse3Build>(parameters, superSamplingWorkers);
}

}  // namespace primitives
