// SortKeys: the keys a DataSet sort compares rows by.
//
// Built with room for a fixed number of keys; keys are added in order, each a
// column index and a descending flag, and additions beyond the room are
// ignored. The first key whose cells differ decides (DataRow::compare).
// A plain value: copyable, never throws except for allocation.
#pragma once

#include <vector>

namespace VORLIN {

class SortKeys {
public:
    struct Key {
        int column;
        bool descending;
    };

    explicit SortKeys(int room = 1) : room_(room > 0 ? room : 0) { keys_.reserve(size_t(room_)); }

    // Adds a key; false (ignored) once the room is used up.
    bool add(int column, bool descending = false) {
        if (int(keys_.size()) >= room_) return false;
        keys_.push_back(Key{column, descending});
        return true;
    }

    int count() const noexcept { return int(keys_.size()); }
    int room() const noexcept { return room_; }
    const Key& key(int i) const { return keys_[size_t(i)]; }
    const std::vector<Key>& keys() const noexcept { return keys_; }

private:
    int room_;
    std::vector<Key> keys_;
};

}  // namespace VORLIN
