// The generic build of the super-sampling: its nine workers, its column-sum
// kernels and its driver.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/SuperSampleWorker.h"
#include "primitives/resize/SuperSamplingDriver.h"

namespace primitives {

VELKARN_SUPER_SAMPLING_WORKERS(generic, GenericBuild)
VELKARN_BOX_COLUMN_SUMS(generic, GenericBuild)
// The three-channel integer kernels serve the SSE build too.
constinit const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_generic = &boxColumnSum<uint8_t, uint32_t, 3, GenericBuild>;
constinit const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_generic =
    &boxColumnSum<uint16_t, uint32_t, 3, GenericBuild>;

PrimitiveStatus resizeSuperSamplingDriver_generic(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingDriver<GenericBuild>(parameters, superSamplingWorkers);
}

}  // namespace primitives
