#include "HeapTuning.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace HeapTuning {

void apply()
{
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    constexpr int mostFromHeap = 4 * 1024 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, mostFromHeap);
    ::mallopt(M_TRIM_THRESHOLD, 2 * mostFromHeap);
#endif
}

} // namespace HeapTuning
