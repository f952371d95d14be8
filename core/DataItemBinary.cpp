// The binary image of a DataItem: the fixed-size part of its archive form.
//
// Images are little-endian and written field by field with memcpy, never by
// copying the storage union as a whole: the union is 16 bytes while the
// images of rect and currency are 20 and 24, and the reserved and padding
// bytes of an image are always written as zeros so that equal values give
// equal bytes.
#include <cstring>

#include "core/DataItem.h"

namespace VORLIN {

namespace {

// Bytes of each tag's image; the text tags (string, bin, font) are 0 here
// because their image is their text.
constexpr int kBinarySizes[DataItem::kTypeCount] = {
    0,   // null
    1,   // char
    0,   // string
    4,   // int
    4,   // uint
    4,   // long
    4,   // ulong
    8,   // double
    16,  // date
    1,   // bool
    8,   // color: value, 4 zero bytes
    12,  // point: 4 reserved, x, y
    20,  // rect: 4 reserved, x, y, width, height
    24,  // currency: 8 reserved, amount, rate
    4,   // ref
    4,   // obj
    0,   // bin
    12,  // day: day, month, 8 zero bytes
    0,   // font
    0,   // error
};

template <typename T>
T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

int DataItem::binarySize(int tag) {
    return (tag >= 0 && tag < kTypeCount) ? kBinarySizes[tag] : 0;
}

void DataItem::writeBinary(uint8_t* out) const {
    const int size = binarySize(tag_);
    if (size == 0) return;
    std::memset(out, 0, size_t(size));
    switch (tag_) {
        case TChar:
            store(out, st_.c);
            break;
        case TInt:
        case TLong:
            store(out, st_.i);
            break;
        case TUInt:
        case TULong:
        case TColor:
            store(out, st_.u);
            break;
        case TDouble:
            store(out, st_.d);
            break;
        case TDate:
            for (int i = 0; i < 8; ++i)
                store(out + 2 * i, st_.date[i]);
            break;
        case TBool:
            out[0] = st_.b ? 1 : 0;
            break;
        case TPoint:
        case TRect:
            for (int i = 0; i < (tag_ == TPoint ? 2 : 4); ++i)
                store(out + 4 + 4 * i, st_.coords[i]);
            break;
        case TCurrency:
            store(out + 8, st_.money[0]);
            store(out + 16, st_.money[1]);
            break;
        case TDay:
            store(out, st_.dayMonth[0]);
            store(out + 2, st_.dayMonth[1]);
            break;
        // A pointer is meaningless outside this process: ref and obj images
        // stay zero rather than publish an address.
        default:
            break;
    }
}

void DataItem::readBinary(int tag, const uint8_t* image) {
    switch (tag) {
        case TChar:
            setChar(char(image[0]));
            break;
        case TInt:
            setInt(load<int32_t>(image));
            break;
        case TUInt:
            setUInt(load<uint32_t>(image));
            break;
        case TLong:
            setLong(load<int32_t>(image));
            break;
        case TULong:
            setULong(load<uint32_t>(image));
            break;
        case TDouble:
            setDouble(load<double>(image));
            break;
        case TDate:
            // The whole record is kept, time included, but the text is the
            // date alone, as DateTime writes it (empty for an invalid record).
            begin(TDate);
            for (int i = 0; i < 8; ++i)
                st_.date[i] = load<uint16_t>(image + 2 * i);
            storedDate().toString(textStore_);
            break;
        // Any byte other than 0 is true: the storage then holds exactly 0 or 1.
        case TBool:
            setBool(image[0] != 0);
            break;
        case TColor:
            setColor(Color(load<uint32_t>(image)));
            break;
        case TPoint:
            setPoint(Point(load<int32_t>(image + 4), load<int32_t>(image + 8)));
            break;
        case TRect:
            setRect(Rect(load<int32_t>(image + 4), load<int32_t>(image + 8),
                         load<int32_t>(image + 12), load<int32_t>(image + 16)));
            break;
        case TCurrency: {
            Currency c(load<double>(image + 8));
            c.rate = load<double>(image + 16);
            setCurrency(c);
            break;
        }
        case TDay: {
            // The fields are set directly: the validating constructor would
            // turn a day that does not exist into 0/0, and the image is kept
            // as it was written.
            DateDay d;
            d.day = load<uint16_t>(image);
            d.month = load<uint16_t>(image + 2);
            setDay(d);
            break;
        }
        case TRef:
        case TObj:
            // The bytes are ignored: an address from another process (or
            // from hostile input) must never become a pointer here. The item
            // reads as a null reference with the empty text.
            begin(tag);
            textStore_.clear();
            break;
        case TError:
            setError();  // an error item always reads "ERROR"
            break;
        case TString:
        case TBin:
        case TFont:
            setType(tag);
            break;  // no fixed image: the empty value
        default:
            setNull();
            break;
    }
}

}  // namespace VORLIN
