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
#endif
}

}  // namespace VORLIN
