#include "data/Archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/GeneralException.h"

using VORLIN::Archive;
using VORLIN::Color;
using VORLIN::Currency;
using VORLIN::DataItem;
using VORLIN::DateDay;
using VORLIN::DateTime;
using VORLIN::Font;
using VORLIN::GeneralException;
using VORLIN::Point;
using VORLIN::Rect;
using VORLIN::String;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const Archive& a) {
    return Bytes(a.buffer(), a.buffer() + a.dataSize());
}

// A loading archive holding exactly `bytes`, as a received message is set up.
void load(Archive& a, const Bytes& bytes) {
    a.reset(uint32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(a.buffer(), bytes.data(), bytes.size());
    a.setDataSize(uint32_t(bytes.size()));
    a.setLoading(true);
}

// Runs `f`, which must throw a GeneralException with exactly `text`.
template <typename F>
void expectFailure(F f, const char* text) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), text);
    }
}

Bytes itemBytes(const DataItem& item) {
    Archive a;
    a.writeItem(item);
    return bytesOf(a);
}

DataItem roundTrip(const DataItem& item) {
    Archive a;
    a.writeItem(item);
    a.setLoading(true);
    a.rewind();
    DataItem back;
    a.readItem(back);
    EXPECT_EQ(a.remaining(), 0u);
    return back;
}

}  // namespace

TEST(ArchiveLayout, IntsBytesAndStringsAreLittleEndianWithoutPadding) {
    Archive a;
    a.writeInt(1).writeInt(-2).writeByte(0xAB).writeString(String("abc")).writeString(String());
    EXPECT_EQ(bytesOf(a), (Bytes{1, 0, 0, 0,   0xFE, 0xFF, 0xFF, 0xFF, 0xAB, 3,
                                 0, 0, 0, 'a', 'b',  'c',  0,    0,    0,    0}));
}

TEST(ArchiveLayout, ItemsAreATagThenTextOrImage) {
    EXPECT_EQ(itemBytes(DataItem("abc")), (Bytes{2, 3, 0, 0, 0, 'a', 'b', 'c'}));
    EXPECT_EQ(itemBytes(DataItem()), Bytes{0});
    DataItem b;
    b.setBool(true);
    EXPECT_EQ(itemBytes(b), (Bytes{9, 1}));

    Bytes d = itemBytes(DataItem(1.5));
    ASSERT_EQ(d.size(), 9u);
    EXPECT_EQ(d[0], 7);
    double x;
    std::memcpy(&x, &d[1], 8);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(roundTrip(DataItem(1.5)).text(), "1.500000");

    Archive a;
    a.writeItemOrNull(nullptr);
    EXPECT_EQ(bytesOf(a), Bytes{0});
}

TEST(ArchiveLayout, FixedImagesHaveTheirSizesAndZeroedReservedBytes) {
    DataItem c, p, r, m, day;
    c.setColor(Color(0x00102030));
    p.setPoint(Point(1, -1));
    r.setRect(Rect(1, 2, 3, 4));
    m.setCurrency(Currency(2.5));
    day.setDay(DateDay(24, 12));
    EXPECT_EQ(itemBytes(c), (Bytes{10, 0x30, 0x20, 0x10, 0, 0, 0, 0, 0}));
    EXPECT_EQ(itemBytes(p), (Bytes{11, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(itemBytes(r),
              (Bytes{12, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
    EXPECT_EQ(itemBytes(day), (Bytes{17, 24, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Bytes mb = itemBytes(m);
    ASSERT_EQ(mb.size(), 25u);
    EXPECT_EQ(Bytes(mb.begin() + 1, mb.begin() + 9), Bytes(8, 0));

    const int sizes[] = {0, 1, 0, 4, 4, 4, 4, 8, 16, 1, 8, 12, 20, 24, 4, 4, 0, 12, 0, 0};
    for (int tag = 0; tag < DataItem::kTypeCount; ++tag)
        EXPECT_EQ(DataItem::binarySize(tag), sizes[tag]) << DataItem::typeName(tag);
    EXPECT_EQ(DataItem::binarySize(20), 0);
}

TEST(ArchiveItems, EveryTagReadsBackWithItsTextRebuilt) {
    Font font("Arial", 12, Font::Bold, 0);
    std::vector<DataItem> items(DataItem::kTypeCount);
    items[1].setChar('q');
    items[2].setString("hola");
    items[3].setInt(-12);
    items[4].setUInt(4294967295u);
    items[5].setLong(-7);
    items[6].setULong(7);
    items[7].setDouble(-0.25);
    items[8].setDate(DateTime(2009, 5, 1));
    items[9].setBool(false);
    items[10].setColor(Color::fromRgb(1, 2, 3));
    items[11].setPoint(Point(3, 4));
    items[12].setRect(Rect(-1, 2, 30, 40));
    items[13].setCurrency(Currency(1234.5));
    items[14].setType(DataItem::TRef);
    items[15].setType(DataItem::TObj);
    items[16].setBin(VORLIN::TextRef("a\0b'c", 5));
    items[17].setDay(DateDay(29, 2));
    items[18].setFont(font);
    items[19].setError();
    for (int tag = 0; tag < DataItem::kTypeCount; ++tag) {
        SCOPED_TRACE(DataItem::typeName(tag));
        DataItem back = roundTrip(items[size_t(tag)]);
        EXPECT_EQ(back.type(), tag);
        // A reference or an object carries no value across: it comes back
        // null, with the empty text.
        if (tag == DataItem::TRef || tag == DataItem::TObj)
            EXPECT_EQ(back.text(), "");
        else
            EXPECT_EQ(back.text(), items[size_t(tag)].text());
    }
    EXPECT_EQ(roundTrip(items[16]).text().length(), 5u);
    EXPECT_EQ(roundTrip(items[13]).toCurrency().amount, 1234.5);
}

TEST(ArchiveItems, DateImagesKeepTheTimeButTheTextIsTheDateAlone) {
    DataItem d;
    d.setDate(DateTime(2009, 5, 1, 10, 0, 7));
    DataItem back = roundTrip(d);
    EXPECT_EQ(back.text(), "2009-05-01");
    EXPECT_EQ(back.toDateTime(), d.toDateTime());
}

TEST(ArchiveItems, HostileImagesNeverBecomePointersOrOddValues) {
    Archive a;
    // A ref holding an address, a bool byte 2, a point with junk in its
    // reserved bytes.
    load(a, {14, 0x78, 0x56, 0x34, 0x12, 9, 2, 11, 0xDE, 0xAD, 0xBE, 0xEF, 5, 0, 0, 0, 6, 0, 0, 0});
    DataItem ref, flag, point;
    a.readItem(ref);
    a.readItem(flag);
    a.readItem(point);
    EXPECT_EQ(ref.type(), DataItem::TRef);
    EXPECT_EQ(ref.getRef(), nullptr);
    EXPECT_TRUE(flag.toBool());
    EXPECT_EQ(flag.text(), "T");
    EXPECT_EQ(flag.storage()[0], 1);
    EXPECT_EQ(point.toPoint(), Point(5, 6));

    DataItem obj;
    obj.setObj(nullptr);
    EXPECT_EQ(itemBytes(obj), (Bytes{15, 0, 0, 0, 0}));
}

TEST(ArchiveFailures, ReadsPastTheEndThrowAndKeepThePosition) {
    Archive a;
    load(a, {1, 0, 0});
    expectFailure([&] { a.readInt(); }, "Archive: end of file");
    EXPECT_EQ(a.position(), 0u);
    EXPECT_EQ(a.readByte(), 1);
    expectFailure([&] { a.readString(); }, "Archive: end of file");
    EXPECT_EQ(a.position(), 1u);

    // Each item cut one byte short of its end.
    for (const Bytes& cut : {Bytes{2, 3, 0, 0, 0, 'a', 'b'}, Bytes{7, 0, 0, 0, 0, 0, 0, 0},
                             Bytes{13}, Bytes{16, 1, 0, 0}}) {
        Archive b;
        load(b, cut);
        DataItem item("unchanged");
        expectFailure([&] { b.readItem(item); }, "Archive: end of file");
        EXPECT_EQ(b.position(), 0u);
        EXPECT_EQ(item.text(), "unchanged");
    }

    Archive c;
    load(c, {20, 0});
    DataItem item;
    expectFailure([&] { c.readItem(item); }, "Archive: tipo de dato invalido (20)");
    EXPECT_EQ(c.position(), 0u);
}

TEST(ArchiveFailures, HugeLengthsAndCountsFailBeforeAnyAllocation) {
    Archive a;
    load(a, {0xFF, 0xFF, 0xFF, 0x7F, 'x'});
    expectFailure([&] { a.readString(); }, "Archive: end of file");
    Archive b;
    load(b, {2, 0xFF, 0xFF, 0xFF, 0xFF});  // a length of -1
    DataItem item;
    expectFailure([&] { b.readItem(item); }, "Archive: end of file");

    Archive c;
    load(c, Bytes(8, 0));
    c.requireCount(8, 1);
    c.requireCount(2, 4);
    c.requireCount(0, 1000);
    expectFailure([&] { c.requireCount(3, 4); }, "Archive: end of file");
    expectFailure([&] { c.requireCount(-1, 1); }, "Archive: end of file");
    // count * minBytes overflows 64 bits.
    expectFailure([&] { c.requireCount(INT64_MAX, 0xFFFFFFFFu); }, "Archive: end of file");
}

TEST(ArchiveFailures, DirectionBufferAndGrowthErrors) {
    Archive storing;
    expectFailure([&] { storing.readInt(); }, "Archive: is storing");
    DataItem item;
    expectFailure([&] { storing.readItem(item); }, "Archive: is storing");
    Archive loading(true);
    expectFailure([&] { loading.writeInt(1); }, "Archive: is loading");
    expectFailure([&] { loading.writeItem(DataItem()); }, "Archive: is loading");
    char byte;
    EXPECT_EQ(loading.readBytes(&byte, 0), 0u);
    expectFailure([&] { loading.readBytes(&byte, 1); }, "Archive: No ha sido inicializado");

    Archive fixed(false, 0);
    fixed.reset(10);
    fixed.writeInt(1).writeByte(2);
    // Its length would fit but its text would not: nothing of it is written.
    expectFailure([&] { fixed.writeString(String("abc")); }, "Este archivo no puede crecer");
    EXPECT_EQ(fixed.dataSize(), 5u);
    fixed.writeString(String("a"));
    expectFailure([&] { fixed.writeByte(4); }, "Este archivo no puede crecer");
    EXPECT_EQ(bytesOf(fixed), (Bytes{1, 0, 0, 0, 2, 1, 0, 0, 0, 'a'}));
    EXPECT_EQ(fixed.capacity(), 10u);
}

TEST(ArchiveBuffer, GrowthPositionAndDataSize) {
    Archive a(false, 16);
    a.writeInt(7);
    EXPECT_EQ(a.capacity(), 20u);
    a.writeInt(8);
    a.rewind();
    a.writeInt(9);  // patching the start keeps what follows
    EXPECT_EQ(a.dataSize(), 8u);
    a.setLoading(true);
    a.rewind();
    EXPECT_EQ(a.readInt(), 9);
    uint8_t out[8];
    EXPECT_EQ(a.readBytes(out, 8), 4u);
    EXPECT_EQ(a.readBytes(out, 8), 0u);
    a.releaseBuffer();
    EXPECT_EQ(a.buffer(), nullptr);
    EXPECT_EQ(a.capacity() + a.dataSize() + a.position(), 0u);
}

TEST(ArchiveText, EncodingAvoidsZeroAndQuoteAndDecodesBack) {
    Archive empty;
    EXPECT_EQ(empty.encodeText(), "x");
    EXPECT_EQ(empty.encodeText(nullptr), 2u);

    // Every byte value, several times: no offset avoids all escapes.
    Archive a;
    for (int round = 0; round < 3; ++round)
        for (int v = 0; v < 256; ++v)
            a.writeByte(uint8_t(v));
    String text = a.encodeText();
    EXPECT_EQ(text.length() + 1, a.encodeText(nullptr));
    EXPECT_EQ(text.view().find('\0'), std::string_view::npos);
    EXPECT_EQ(text.view().find('\''), std::string_view::npos);

    Archive back(true);
    EXPECT_EQ(back.decodeText(text.c_str()), a.dataSize());
    EXPECT_EQ(bytesOf(back), bytesOf(a));

    // Offset 1 costs nothing for these bytes: each is written as d - 1.
    Archive small;
    small.writeByte(10).writeByte(20);
    EXPECT_EQ(small.encodeText(), String("\x01\x09\x13"));
    // Byte 1 would need an escape at offset 1; offset 2 is the first free one.
    Archive one;
    one.writeByte(1);
    EXPECT_EQ(one.encodeText(), String("\x02\xFF"));
    // All offsets cost the same here, so the first one wins and the bytes 1,
    // 2 and 40 go out escaped as 1 then their difference plus one.
    String prefix = a.encodeText().left(6);
    EXPECT_EQ(prefix, String("\x01\xFF\x01\x01\x01\x02"));
    EXPECT_EQ(text.at(1 + 40 + 2), '\x01');
    EXPECT_EQ(text.at(1 + 40 + 3), '\x28');
}

TEST(ArchiveText, MalformedTextStopsAtItsTerminator) {
    Archive a;
    EXPECT_EQ(a.decodeText("\x05\x01"), 0u);  // an escape right before the end
    EXPECT_EQ(a.decodeText(""), 0u);
    EXPECT_EQ(a.decodeText(nullptr), 0u);
    EXPECT_EQ(a.decodeText("x"), 0u);
    EXPECT_EQ(a.decodeText("\x05\x03\x01\x02\x01"), 2u);
    EXPECT_EQ(bytesOf(a), (Bytes{8, 6}));
}
