#include "server/StreamedRows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "remote/NetMessage.h"

using VORLIN::Archive;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::NetMessage;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

// Fills a set the way the local connection does: rows first, then the
// names and the model.
template <class Set>
void fill(Set& set, int rows, int width, int columns) {
    for (int r = 0; r < rows; ++r) {
        auto row = std::make_unique<DataRow>(width);
        for (int c = 0; c < width; ++c) {
            if (c % 2)
                row->cell(c)->setString(String("v") + String(std::to_string(r * 10 + c)));
            else
                row->cell(c)->setInt(r * 10 + c);
        }
        set.insertRow(std::move(row));
    }
    String names;
    DataRow model(columns);
    for (int c = 0; c < columns; ++c) {
        names.append("c").appendInt(c).append('|');
        model.setType(c, c % 2 ? DataItem::TString : DataItem::TInt);
    }
    set.setColumnNames(names);
    set.setHeader(&model);
}

std::string image(NetMessage& m) {
    String w = m.wireImage();
    return std::string(w.view());
}

}  // namespace

TEST(SqliteServerStreamedRows, SameImageAsTheDataSet) {
    Archive buffer;
    StreamedRows<DataSet> streamed(buffer);
    DataSet kept;
    fill(streamed, 50, 3, 3);
    fill(kept, 50, 3, 3);
    EXPECT_EQ(streamed.rowCount(), 0);
    EXPECT_EQ(streamed.streamedRows(), 50);
    NetMessage a(18), b(18);
    streamed.writeImage(a);
    b.addDataSet(kept);
    EXPECT_EQ(image(a), image(b));
}

TEST(SqliteServerStreamedRows, EmptyResult) {
    Archive buffer;
    StreamedRows<DataSet> streamed(buffer);
    DataSet kept;
    fill(streamed, 0, 2, 2);
    fill(kept, 0, 2, 2);
    NetMessage a(18), b(18);
    streamed.writeImage(a);
    b.addDataSet(kept);
    EXPECT_EQ(image(a), image(b));
}

TEST(SqliteServerStreamedRows, OtherWidthsArePaddedOrCut) {
    for (int width : {2, 4}) {
        Archive buffer;
        StreamedRows<TableDataset> streamed(buffer);
        DataSet kept;
        fill(streamed, 5, width, 3);
        fill(kept, 5, width, 3);
        NetMessage a(23), b(23);
        streamed.writeImage(a);
        b.addDataSet(kept);
        EXPECT_EQ(image(a), image(b)) << width;
    }
}

TEST(SqliteServerStreamedRows, ClearingDropsWhatWasStreamed) {
    Archive buffer;
    StreamedRows<DataSet> streamed(buffer);
    fill(streamed, 5, 2, 2);
    streamed.clearRows();
    EXPECT_EQ(streamed.streamedRows(), 0);
    EXPECT_EQ(streamed.streamedBytes(), 0u);
}

TEST(SqliteServerStreamedRows, TheBufferServesTheNextQuery) {
    Archive buffer;
    {
        StreamedRows<DataSet> first(buffer);
        fill(first, 100, 2, 2);
    }
    uint32_t room = buffer.capacity();
    EXPECT_GT(room, 0u);
    StreamedRows<DataSet> second(buffer);
    EXPECT_EQ(second.streamedBytes(), 0u);
    EXPECT_EQ(buffer.capacity(), room);
    DataSet kept;
    fill(second, 3, 2, 2);
    fill(kept, 3, 2, 2);
    NetMessage a(18), b(18);
    second.writeImage(a);
    b.addDataSet(kept);
    EXPECT_EQ(image(a), image(b));
}

// Beyond the rows kept for freeing later, rows are freed as they stream
// (the sanitizers see any use after that); the image stays the same.
TEST(SqliteServerStreamedRows, ManyRowsAreFreedAsTheyStream) {
    Archive buffer;
    StreamedRows<TableDataset> streamed(buffer);
    DataSet kept;
    const int rows = int(StreamedRows<TableDataset>::kMaxParked) + 1000;
    fill(streamed, rows, 2, 2);
    fill(kept, rows, 2, 2);
    EXPECT_EQ(streamed.streamedRows(), rows);
    NetMessage a(18), b(18);
    streamed.writeImage(a);
    b.addDataSet(kept);
    EXPECT_EQ(image(a), image(b));
}
