// ArrivingRows: a result the query window shows while a worker thread is
// still reading it. The worker's connection fills an ArrivingSet (a DataSet
// or TableDataset) as it always fills a set; the UI thread reads the rows
// read so far under the set's RowArrival lock.
//
// The contract between the two threads:
// - The worker changes rows only through insertRow and clearRows, which
//   take the lock. Whatever else the connection does to the set (names,
//   header, key column, stored images) the UI does not read while loading:
//   it names and types the columns from the shape taken, under the lock,
//   when the first row went in (the names the set had then, the first
//   row's cell types, the hidden row-id column).
// - The UI reads rows and their cells only while holding lock(), and only
//   rows below the set's current row count (clearRows may empty the set
//   after a failure). The set itself is destroyed on the UI thread, after
//   the worker is done with it.
//
// Ownership: the set shares its RowArrival with whoever watches it; the
// arrival outlives the set if a watcher still holds it. Threads: as above.
// Throws what the base set throws (insertRow on a read-only set).
#pragma once

#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "core/String.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"

class RowArrival {
public:
    // The columns as the first row showed them.
    struct Shape {
        std::vector<VORLIN::String> names;
        std::vector<int> types;  // DataItem type tags
        int hidden = 0;          // leading columns not shown (the row id)
    };

    std::unique_lock<std::mutex> lock() const { return std::unique_lock<std::mutex>(mutex_); }
    // Rows in the set now (takes the lock).
    int count() const;
    // Whether the shape was taken; once it was, shape() never changes and
    // may be read without the lock.
    bool hasShape() const;
    const Shape& shape() const noexcept { return shape_; }

    // For ArrivingSet, with the lock held.
    void rowAdded(const VORLIN::DataSet& set, const VORLIN::DataRow& row, int hidden);
    void rowsCleared() noexcept { count_ = 0; }
    std::mutex& mutex() const noexcept { return mutex_; }

private:
    mutable std::mutex mutex_;
    int count_ = 0;
    bool shaped_ = false;
    Shape shape_;
};

template <class Base>
class ArrivingSet final : public Base {
    static_assert(std::is_base_of_v<VORLIN::DataSet, Base>);

public:
    ArrivingSet() : arrival_(std::make_shared<RowArrival>()) {}

    const std::shared_ptr<RowArrival>& arrival() const noexcept { return arrival_; }

    using Base::insertRow;
    VORLIN::DataRow* insertRow(VORLIN::DataRow* row) override {
        std::lock_guard<std::mutex> lock(arrival_->mutex());
        VORLIN::DataRow* added = Base::insertRow(row);
        if (added) arrival_->rowAdded(*this, *added, hiddenColumns());
        return added;
    }
    void clearRows() override {
        std::lock_guard<std::mutex> lock(arrival_->mutex());
        Base::clearRows();
        arrival_->rowsCleared();
    }

private:
    int hiddenColumns() const noexcept {
        if constexpr (std::is_base_of_v<VORLIN::TableDataset, Base>)
            return this->rowIdMode() ? 1 : 0;
        else
            return 0;
    }

    std::shared_ptr<RowArrival> arrival_;
};
