#include "core/CharSeq.h"

#include <cstdlib>
#include <new>

#include "core/GeneralException.h"

namespace VORLIN {

void CharSeq::destroy() noexcept {
    if (isHeap()) std::free(heap_.ptr);
    delete scan_;
}

void CharSeq::setQuoteChar(char q) {
    if (q == 0 && !scan_) return;
    scan().quote = q;
}

CharSeq::ScanState& CharSeq::scan() {
    if (!scan_) scan_ = new ScanState();
    return *scan_;
}

void CharSeq::reallocate(uint32_t cap, uint32_t keep) {
    if (keep >= cap) keep = cap - 1;
    if (cap <= kInlineCapacity) {
        if (!isHeap()) {
            // Already inline: zero what lies beyond the kept bytes.
            std::memset(inl_ + keep, 0, 15 - keep);
            inl_[15] = char(keep);
        } else {
            char tmp[kInlineCapacity] = {};
            std::memcpy(tmp, heap_.ptr, keep);
            std::free(heap_.ptr);
            std::memset(inl_, 0, sizeof inl_);
            std::memcpy(inl_, tmp, keep);
            inl_[15] = char(keep);
        }
        resetCursors();
        return;
    }
    if (cap > kMaxCapacity) throw GeneralException("String: texto demasiado largo");
    char* buf = static_cast<char*>(std::calloc(cap, 1));
    if (!buf) throw std::bad_alloc();
    std::memcpy(buf, data(), keep);
    if (isHeap()) std::free(heap_.ptr);
    heap_.ptr = buf;
    heap_.len = keep;
    heap_.capFlags = cap | kHeapFlag;
    resetCursors();
}

}  // namespace VORLIN
