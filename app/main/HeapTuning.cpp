#include "app/main/HeapTuning.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace VORLIN {

void tuneHeapForResults() noexcept {
#if defined(__GLIBC__)
    // A failure leaves the library's default: slower, never wrong.
    (void)mallopt(M_ARENA_MAX, 1);
    (void)mallopt(M_TOP_PAD, kTopPad);
    // Setting the pad fixes the size from which a block gets a mapping of
    // its own, which the library would otherwise raise as large blocks are
    // freed: fixed where it would settle, so that the large buffers a
    // window takes and gives back (pictures, files) come from the heap and
    // do not fault their pages in at every use.
    (void)mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
#endif
}

}  // namespace VORLIN
