// Fuzz target for the archive readers.
//
// The input is put into a loading archive the way a received message is
// (reset, fill, setDataSize) and read back as a sequence of values: each step
// reads one selector byte and then the value it names. Whatever the bytes,
// reading must return or throw a GeneralException (no crash, no other
// exception), and:
//  - a failed read leaves the position where it was;
//  - no read allocates more than the bytes left justify (a count is checked
//    with requireCount before room is made for it, as every reader does);
//  - every item read writes and reads back to an item of the same type and
//    text, and writing that again gives the same bytes (the first read has
//    normalised whatever the input held in reserved bytes, pointers, bools).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/DataRow.h"
#include "data/DataSet.h"

using VORLIN::Archive;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "archive_fuzz: %s\n", what);
        std::abort();
    }
}

std::vector<uint8_t> imageOf(const DataItem& item) {
    Archive out;
    out.writeItem(item);
    return std::vector<uint8_t>(out.buffer(), out.buffer() + out.dataSize());
}

void checkItemRoundTrip(const DataItem& item) {
    std::vector<uint8_t> image = imageOf(item);
    Archive in(true);
    in.reset(uint32_t(image.size()));
    std::memcpy(in.buffer(), image.data(), image.size());
    in.setDataSize(uint32_t(image.size()));
    DataItem back;
    in.readItem(back);
    check(in.remaining() == 0, "item image not read to its end");
    check(back.type() == item.type(), "item type changed in a round trip");
    check(back.text() == item.text(), "item text changed in a round trip");
    check(imageOf(back) == image, "item image not stable");
}

// What one step reads. The selector byte is taken modulo kOpCount.
enum Op : uint8_t {
    kInt,
    kString,
    kItem,
    kCountedItems,  // an int count, then that many items (the shape of a DataRow image)
    kRawBytes,      // a length byte, then up to that many bytes
    kRow,           // a DataRow image
    kDataSet,       // a DataSet image
    kOpCount
};

void readCountedItems(Archive& a) {
    int32_t count = a.readInt();
    // The smallest item image is its tag byte: a count the bytes left cannot
    // hold fails here, before the vector is sized.
    a.requireCount(count, 1);
    std::vector<DataItem> items;
    items.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        items.emplace_back();
        a.readItem(items.back());
        checkItemRoundTrip(items.back());
    }
}

// A data set read from the input writes an image that reads back to the
// same shape and the same cell texts.
void checkDataSetRoundTrip(DataSet& set) {
    Archive out;
    set.serialize(out, true);
    Archive in(true);
    in.reset(out.dataSize());
    std::memcpy(in.buffer(), out.buffer(), out.dataSize());
    in.setDataSize(out.dataSize());
    DataSet back;
    back.serialize(in, false);
    check(in.remaining() == 0, "data set image not read to its end");
    check(back.rowCount() == set.rowCount(), "row count changed in a round trip");
    check(back.columnCount() == set.columnCount(), "column count changed in a round trip");
    for (int r = 0; r < set.rowCount(); ++r)
        for (int c = 0; c < set.columnCount(); ++c)
            check(back.getCellText(r, c) == set.getCellText(r, c), "cell changed in a round trip");
}

void step(Archive& a, Op op) {
    switch (op) {
        case kInt:
            (void)a.readInt();
            break;
        case kString: {
            uint32_t before = a.position();
            String s = a.readString();
            check(a.position() - before == 4 + s.length(), "string length and bytes read differ");
            break;
        }
        case kItem: {
            DataItem item;
            a.readItem(item);
            checkItemRoundTrip(item);
            break;
        }
        case kCountedItems:
            readCountedItems(a);
            break;
        case kRow: {
            DataRow row;
            row.serialize(a, false);
            break;
        }
        case kDataSet: {
            DataSet set;
            set.serialize(a, false);
            checkDataSetRoundTrip(set);
            break;
        }
        case kRawBytes: {
            uint8_t n = a.readByte();
            uint8_t bytes[256];
            uint32_t left = a.remaining();
            uint32_t got = a.readBytes(bytes, n);
            check(got == (n < left ? n : left), "readBytes count");
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    Archive a(true);
    a.reset(uint32_t(size));
    if (size) std::memcpy(a.buffer(), data, size);
    a.setDataSize(uint32_t(size));

    while (a.remaining() > 0) {
        Op op = Op(a.readByte() % kOpCount);
        uint32_t before = a.position();
        try {
            step(a, op);
        } catch (const GeneralException&) {
            // Single reads leave the position alone when they fail; a counted
            // read may have read some of its items first.
            if (op != kCountedItems && op != kRow && op != kDataSet)
                check(a.position() == before, "failed read moved the position");
        }
    }
    check(a.position() == a.dataSize(), "position past the data size");
    return 0;
}
