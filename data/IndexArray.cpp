#include "data/IndexArray.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

constexpr int64_t kMaxEntries = std::numeric_limits<int32_t>::max();

[[noreturn]] void outOfMemory() {
    throw GeneralException("IndexArray: No hay suficiente memoria");
}

}  // namespace

IndexArray::IndexArray(int32_t growthStep, int32_t initialCapacity)
    : growthStep_(growthStep > 0 ? growthStep : 1) {
    if (initialCapacity > 0) ensure(initialCapacity - 1);
}

IndexArray::~IndexArray() {
    // Called from the destructor, so this is always our own free().
    if (data_) std::free(data_);
    data_ = nullptr;
    count_ = 0;
}

// ------------------------------------------------------------------ storage

void** IndexArray::alloc(int32_t n) {
    return static_cast<void**>(std::malloc(size_t(n) * sizeof(void*)));
}

void** IndexArray::realloc(void** block, int32_t n) {
    return static_cast<void**>(std::realloc(block, size_t(n) * sizeof(void*)));
}

void IndexArray::copyEntries(void** dst, void* const* src, int32_t n) {
    if (!dst || !src) throw GeneralException("Archive: buffer nulo");
    if (n > 0) std::memmove(dst, src, size_t(n) * sizeof(void*));
}

void IndexArray::free(void** block) {
    if (!block) throw GeneralException("IndexArray: Free invalid buffer");
    std::free(block);
}

void IndexArray::ensure(int32_t index) {
    if (index < capacity_) return;
    if (index < 0) outOfMemory();
    // Whole steps until the capacity exceeds `index`. A fixed step makes
    // appending quadratic once the array holds many steps' worth of entries,
    // so a large array grows by at least half of what it holds (still in whole
    // steps); a list of a million rows then reallocates a few dozen times.
    int64_t step = growthStep_;
    int64_t needed = (int64_t(index) / step + 1) * step;
    int64_t geometric = ((int64_t(capacity_) + capacity_ / 2 + step - 1) / step) * step;
    int64_t newCapacity = needed > geometric ? needed : geometric;
    if (newCapacity > kMaxEntries) newCapacity = kMaxEntries;
    if (newCapacity <= index) outOfMemory();

    void** block = data_ ? realloc(data_, int32_t(newCapacity)) : alloc(int32_t(newCapacity));
    if (!block) outOfMemory();
    data_ = block;
    std::memset(data_ + count_, 0, size_t(newCapacity - count_) * sizeof(void*));
    capacity_ = int32_t(newCapacity);
}

// --------------------------------------------------------------- operations

void IndexArray::add(void* value) {
    ensure(count_);
    data_[count_++] = value;
}

void IndexArray::insertAt(int32_t index, void* value) {
    if (index < 0) index = 0;
    if (index >= count_) {
        add(value);
        return;
    }
    ensure(count_);
    // The entries from `index` on move up by one (overlapping move).
    copyEntries(data_ + index + 1, data_ + index, count_ - index);
    data_[index] = value;
    ++count_;
}

void IndexArray::removeAt(int32_t index) {
    if (index < 0 || index >= count_) return;
    copyEntries(data_ + index, data_ + index + 1, count_ - index - 1);
    data_[--count_] = nullptr;
}

bool IndexArray::remove(const void* value) {
    int32_t at = find(value);
    if (at < 0) return false;
    removeAt(at);
    return true;
}

int32_t IndexArray::find(const void* value) const noexcept {
    for (int32_t i = 0; i < count_; ++i)
        if (data_[i] == value) return i;
    return -1;
}

void IndexArray::clear() noexcept {
    truncate(0);
}

void IndexArray::truncate(int32_t n) noexcept {
    if (n < 0) n = 0;
    if (n >= count_) return;
    std::memset(data_ + n, 0, size_t(count_ - n) * sizeof(void*));
    count_ = n;
}

}  // namespace VORLIN
