#include "app/query/ArrivingRows.h"

using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::String;

int RowArrival::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

bool RowArrival::hasShape() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shaped_;
}

void RowArrival::rowAdded(const DataSet& set, const DataRow& row, int hidden) {
    ++count_;
    if (shaped_) return;
    // The first row fixes what the reader shows of the columns while the
    // rest arrives; the final names and types come with the finished set.
    const int n = row.count();
    shape_.names.reserve(size_t(n));
    shape_.types.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        shape_.names.push_back(i < set.nameList().count() ? set.columnName(i) : String());
        const int headerType = set.header() ? set.header()->typeOf(i) : 0;
        shape_.types.push_back(headerType ? headerType : row.typeOf(i));
    }
    shape_.hidden = hidden < n ? hidden : 0;
    shaped_ = true;
}
