// StreamedRows: a data set (DataSet or TableDataset) that writes each row
// into the answer's image as the local connection reads it, instead of
// keeping it in the set. A query of many rows then costs the server no
// second pass over them before the answer can go; the first kMaxParked rows
// themselves are only parked, and freed with the set, after the answer is
// sent. Rows beyond them are freed as soon as their cells are written: a
// row object takes many times the bytes of its cells, and parking millions
// of them made the server many times larger than the answer.
//
// The local connection fills the set as usual (insertRow for each row, the
// names and the column model at the end); writeImage() then writes the
// set's DataSet image (column count, header cells and names, row count, the
// cells) exactly as DataSet::serialize would for the same rows. Rows whose
// width differs from the final column count are padded with null cells or
// cut, as the image requires.
//
// A limit (setLimit) bounds the image: the row that takes the cells past it
// throws instead, so an answer too large to send is refused while it is
// being read, not after it was built.
//
// Ownership: rows handed to insertRow are the set's (parked until the set
// is destroyed or cleared, or freed at once beyond kMaxParked: the pointer
// insertRow answers is then only a sign of success, not to be used, as the
// local connection does not); the cell buffer is the caller's. Threads: one.
// Throws what the Archive throws (out of memory).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "remote/NetMessage.h"

template <class Base>
class StreamedRows : public Base {
public:
    // The cells are written into `buffer`, which the caller keeps (and may
    // reuse for the next query: its room stays).
    static constexpr size_t kMaxParked = 65536;

    explicit StreamedRows(VORLIN::Archive& buffer) : rows_(buffer) {
        rows_.setLoading(false);
        rows_.reset(0);
    }

    using Base::insertRow;  // the unique_ptr form, which lands below

    // The text of the refusal when the cells pass `bytes`.
    void setLimit(uint32_t bytes, std::string text) {
        limit_ = bytes;
        limitText_ = std::move(text);
    }

    // The row's cells go into the image; the row is parked (when this
    // throws, the row stays the caller's, as with DataSet::insertRow).
    VORLIN::DataRow* insertRow(VORLIN::DataRow* row) override {
        if (!row) return nullptr;
        const int n = row->count();
        for (int c = 0; c < n; ++c) {
            rows_.writeItem(*row->cell(c));
            if (rows_.dataSize() > limit_) throw VORLIN::GeneralException(limitText_);
        }
        widths_.push_back(n);
        if (parked_.size() < kMaxParked)
            parked_.emplace_back(row);
        else
            delete row;
        return row;
    }
    // Rows read so far are dropped too.
    void clearRows() override {
        Base::clearRows();
        rows_.reset(0);
        widths_.clear();
        parked_.clear();
    }

    int32_t streamedRows() const noexcept { return int32_t(widths_.size()); }
    // Bytes of the row cells written so far.
    uint32_t streamedBytes() const noexcept { return rows_.dataSize(); }

    // Appends the DataSet image of the set (header from the set, rows as
    // streamed) to `out`.
    void writeImage(VORLIN::NetMessage& out) {
        VORLIN::Archive& a = out.body();
        const int columns = this->columnCount();
        const VORLIN::DataRow* header = this->header();
        a.writeInt(columns);
        a.writeByte(header ? 1 : 0);
        if (header) {
            for (int i = 0; i < columns; ++i) {
                a.writeItem(*header->cell(i));
                a.writeString(this->columnName(i));
            }
        }
        a.writeInt(int32_t(widths_.size()));
        bool uniform = true;
        for (int w : widths_)
            uniform = uniform && w == columns;
        if (uniform) {
            if (rows_.dataSize()) a.writeBytes(rows_.buffer(), rows_.dataSize());
            return;
        }
        // Rows of another width: read back and written as the image wants.
        rows_.setLoading(true);
        rows_.rewind();
        VORLIN::DataItem item, none;
        for (int w : widths_) {
            for (int c = 0; c < w; ++c) {
                rows_.readItem(item);
                if (c < columns) a.writeItem(item);
            }
            for (int c = w; c < columns; ++c)
                a.writeItem(none);
        }
        rows_.setLoading(false);
    }

private:
    VORLIN::Archive& rows_;
    uint32_t limit_ = 0xffffffffu;
    std::string limitText_;
    std::vector<int> widths_;
    std::vector<std::unique_ptr<VORLIN::DataRow>> parked_;
};
