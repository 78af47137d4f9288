// The SSE build of the super-sampling: its nine workers, its column-sum
// kernels and its driver.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/SuperSampleWorker.h"
#include "primitives/resize/SuperSamplingDriver.h"

namespace primitives {

VELKARN_SUPER_SAMPLING_WORKERS(sse, SseBuild)
VELKARN_BOX_COLUMN_SUMS(sse, SseBuild)

PrimitiveStatus resizeSuperSamplingDriver_sse(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingDriver<SseBuild>(parameters, superSamplingWorkers);
}

}  // namespace primitives
