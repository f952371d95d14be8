#include "remote/NetMessage.h"

#include <gtest/gtest.h>

#include <string>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::String;

namespace {

std::string bytes(NetMessage& m) {
    return std::string(m.wireImage().view());
}

// A received message holding the bytes of a built one (what the socket does).
void loadInto(NetMessage& built, NetMessage& received) {
    std::string wire = bytes(built);
    received.body().reset(uint32_t(wire.size() - 4));
    std::memcpy(received.body().buffer(), wire.data() + 4, wire.size() - 4);
    received.body().setLoading(true);
    received.body().setDataSize(uint32_t(wire.size() - 4));
    received.setCode(received.body().readByte());
}

}  // namespace

TEST(NetMessage, BuiltMessageStartsWithPlaceholderAndCode) {
    NetMessage m(117);
    EXPECT_EQ(bytes(m), std::string("\x05\x00\x00\x00\x75", 5));
}

TEST(NetMessage, ArgumentEncodings) {
    NetMessage m(9);
    m.addInt(1).addString("abc").addBytes("xy", 2).addBytes(nullptr, 7);
    EXPECT_EQ(bytes(m), std::string("\x1a\x00\x00\x00\x09"
                                    "\x01\x00\x00\x00"
                                    "\x03\x00\x00\x00"
                                    "abc"
                                    "\x02\x00\x00\x00"
                                    "xy"
                                    "\x00\x00\x00\x00",
                                    26));
}

TEST(NetMessage, ArgumentsReadBackInOrder) {
    NetMessage m(16);
    DataRow row(2);
    row.cell(0)->setInt(7);
    row.cell(1)->setString("siete");
    DataSet set;
    set.setColumnNames("a|b");
    set.setDataTypes("int|string");
    auto r = std::make_unique<DataRow>(2);
    r->cell(0)->setInt(1);
    r->cell(1)->setString("uno");
    set.insertRow(std::move(r));
    m.addString("texto")
        .addInt(-5)
        .addItem(DataItem(2.5))
        .addRow(row)
        .addDataSet(set)
        .addBytes("z", 1);

    NetMessage in;
    loadInto(m, in);
    EXPECT_EQ(in.code(), 16);
    EXPECT_EQ(in.readString(), String("texto"));
    EXPECT_EQ(in.readInt(), -5);
    EXPECT_EQ(in.readItem().toDouble(), 2.5);
    DataRow back;
    in.readRow(back);
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.cell(1)->text(), String("siete"));
    DataSet rows;
    in.readRows(rows, true);
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(rows.getCellText(0, 1), String("uno"));
    EXPECT_EQ(rows.columnName(1), String("b"));
    uint32_t n = 0;
    auto block = in.readBytes(&n);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(block[0], 'z');
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(NetMessage, ReadRowsAppendsUnlessCleared) {
    DataSet set;
    set.setColumnNames("a");
    set.setDataTypes("int");
    auto r = std::make_unique<DataRow>(1);
    r->cell(0)->setInt(1);
    set.insertRow(std::move(r));
    NetMessage m(18);
    m.addDataSet(set).addDataSet(set);
    NetMessage in;
    loadInto(m, in);
    DataSet target;
    in.readRows(target, true);
    in.readRows(target, false);
    EXPECT_EQ(target.rowCount(), 2);
}

TEST(NetMessage, EmptyBlockReadsAsNull) {
    NetMessage m(29);
    m.addBytes("", 0);
    NetMessage in;
    loadInto(m, in);
    uint32_t n = 99;
    EXPECT_EQ(in.readBytes(&n), nullptr);
    EXPECT_EQ(n, 0u);
}

TEST(NetMessage, BadBlockLengthsFailWithoutMoving) {
    for (int32_t bad : {-1, 100}) {
        NetMessage m(29);
        m.addInt(bad).addInt(1);
        NetMessage in;
        loadInto(m, in);
        uint32_t before = in.body().position();
        uint32_t n = 0;
        try {
            in.readBytes(&n);
            ADD_FAILURE();
        } catch (const GeneralException& e) {
            EXPECT_STREQ(e.what(), "Archive: end of file");
        }
        EXPECT_EQ(in.body().position(), before);
        EXPECT_EQ(in.readInt(), bad);
    }
}

TEST(NetMessage, ReadingPastTheArgumentsThrows) {
    NetMessage m(14);
    NetMessage in;
    loadInto(m, in);
    EXPECT_THROW(in.readString(), GeneralException);
    EXPECT_THROW(in.readInt(), GeneralException);
}

TEST(NetMessage, ResetStartsANewMessage) {
    NetMessage m(8);
    m.addString("x");
    m.reset(10);
    EXPECT_EQ(bytes(m), std::string("\x05\x00\x00\x00\x0a", 5));
}

TEST(NetMessage, ReserveKeepsTheCodeAndMakesRoom) {
    NetMessage m(18);
    m.reserve(1 << 20);
    EXPECT_GE(m.body().capacity(), 1u << 20);
    EXPECT_EQ(bytes(m), std::string("\x05\x00\x00\x00\x12", 5));
    m.addInt(3);
    NetMessage in;
    loadInto(m, in);
    EXPECT_EQ(in.code(), 18);
    EXPECT_EQ(in.readInt(), 3);
}
