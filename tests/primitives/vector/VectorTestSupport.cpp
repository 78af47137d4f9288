#include "VectorTestSupport.h"

#include <malloc.h>

namespace {

// The tests allocate and free buffers of megabytes by the hundred. Left to
// mmap, each one costs fresh page faults; kept in the heap, freed memory is
// reused.
[[maybe_unused]] const bool keepLargeBlocksInTheHeap =
    mallopt(M_MMAP_THRESHOLD, 256 << 20) != 0 && mallopt(M_TRIM_THRESHOLD, 1 << 30) != 0;

}  // namespace
