// IndexArray: a growable array of pointer entries, the positional index
// under every ItemList.
//
// Entries are plain pointers; the array never owns or dereferences what they
// point to. Storage grows in whole growth steps (and, once the array is large,
// by at least half its capacity, so that appending stays cheap at a million
// entries); entries between the count and the capacity are always zero.
// Insertion at a position moves the following entries up by one; appending
// moves nothing.
//
// Storage is reached only through the protected virtual operations, so that a
// subclass can place the block elsewhere. Throws GeneralException:
// "IndexArray: No hay suficiente memoria" when the storage cannot grow,
// "IndexArray: Free invalid buffer" when asked to free a null block, and
// "Archive: buffer nulo" when entries are copied from or to a null block.
// Not thread-safe.
#pragma once

#include <cstdint>

namespace VORLIN {

class IndexArray {
public:
    // `growthStep` entries are added per step (at least 1); `initialCapacity`
    // entries are made addressable at once.
    explicit IndexArray(int32_t growthStep = 1024, int32_t initialCapacity = 0);
    virtual ~IndexArray();
    IndexArray(const IndexArray&) = delete;
    IndexArray& operator=(const IndexArray&) = delete;

    int32_t count() const noexcept { return count_; }
    int32_t capacity() const noexcept { return capacity_; }
    int32_t growthStep() const noexcept { return growthStep_; }

    // The entry at `index`, null out of range.
    void* at(int32_t index) const noexcept {
        return (index >= 0 && index < count_) ? data_[index] : nullptr;
    }
    // Replaces the entry at `index`; out of range does nothing.
    void set(int32_t index, void* value) noexcept {
        if (index >= 0 && index < count_) data_[index] = value;
    }
    // The entries, `count()` of them (null while nothing was ever allocated).
    void** data() noexcept { return data_; }
    void* const* data() const noexcept { return data_; }

    // Appends at the end.
    void add(void* value);
    // Inserts at `index` (clamped to 0..count), moving the following entries up.
    void insertAt(int32_t index, void* value);
    // Removes the entry at `index`, moving the following entries down; out of
    // range does nothing.
    void removeAt(int32_t index);
    // Removes the first occurrence of `value`; false when it is not present.
    bool remove(const void* value);
    // Position of the first occurrence of `value`, or -1.
    int32_t find(const void* value) const noexcept;
    // Count 0; the storage is kept and zeroed.
    void clear() noexcept;
    // Keeps the first `n` entries (n at most the count) and zeroes the rest.
    void truncate(int32_t n) noexcept;

protected:
    // A block of `n` entries (contents undefined), null on failure.
    virtual void** alloc(int32_t n);
    // The block resized to `n` entries keeping its contents, null on failure
    // (the old block then stays valid).
    virtual void** realloc(void** block, int32_t n);
    // Copies `n` entries; a null pointer throws "Archive: buffer nulo".
    virtual void copyEntries(void** dst, void* const* src, int32_t n);
    // Frees a block; null throws "IndexArray: Free invalid buffer".
    virtual void free(void** block);
    // Makes `index` addressable (see the header comment for the growth rule).
    virtual void ensure(int32_t index);

private:
    int32_t growthStep_;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    void** data_ = nullptr;
};

}  // namespace VORLIN
