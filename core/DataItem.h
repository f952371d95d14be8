// DataItem: the variant value. Every table cell, script variable, script
// argument and column header is one.
//
// An item has a type tag (0 "null" .. 19 "error"), a value storage used
// according to the tag, and the text form of the value, which every setter
// rewrites, at once or, for integers, doubles and dates, when the text is
// first asked for (reading an item's text may therefore write it: an item
// read by two threads at once needs a lock). It also carries
// an auxiliary text and an auxiliary number that the value operations copy
// along but never set.
//
// Ownership: an item of tag "obj" owns the object it points to only when its
// owns-object flag is set; release() (and the destructor) then destroys the
// object through its virtual destructor. Copies never own; a move carries
// the ownership along. Changing the value never frees an owned object: call
// release() first. Tag "ref" never owns.
//
// Throws GeneralException only from getRef and getObj on items of another
// tag, and from parsing geometry texts (see Rect, Point). Conversions
// between values never throw: bad text converts to zero or empty.
// Not thread-safe, not even for reading (see above).
#pragma once

#include <cstdint>
#include <memory>

#include "core/Color.h"
#include "core/CoreObject.h"
#include "core/Currency.h"
#include "core/DateDay.h"
#include "core/DateTime.h"
#include "core/Font.h"
#include "core/Interfasable.h"
#include "core/Point.h"
#include "core/Rect.h"
#include "core/String.h"

namespace VORLIN {

class DataItem : public CoreObject {
public:
    enum Type : int {
        TNull = 0,
        TChar = 1,
        TString = 2,
        TInt = 3,
        TUInt = 4,
        TLong = 5,
        TULong = 6,
        TDouble = 7,
        TDate = 8,
        TBool = 9,
        TColor = 10,
        TPoint = 11,
        TRect = 12,
        TCurrency = 13,
        TRef = 14,
        TObj = 15,
        TBin = 16,
        TDay = 17,
        TFont = 18,
        TError = 19,
    };
    static constexpr int kTypeCount = 20;

    DataItem() noexcept { std::memset(&st_, 0, sizeof st_); }
    explicit DataItem(const String& text) : DataItem() { setString(text); }
    explicit DataItem(const char* text) : DataItem() { setString(text); }
    explicit DataItem(int32_t value) : DataItem() { setInt(value); }
    explicit DataItem(double value) : DataItem() { setDouble(value); }
    explicit DataItem(const Currency& value) : DataItem() { setCurrency(value); }
    explicit DataItem(const DateTime& value) : DataItem() { setDate(value); }
    // Copies storage, type, texts and auxiliary number; never the ownership.
    DataItem(const DataItem& other);
    // Moves everything, ownership of an "obj" included.
    DataItem(DataItem&& other) noexcept;
    DataItem& operator=(const DataItem& other) {
        copyFrom(other);
        return *this;
    }
    DataItem& operator=(DataItem&& other) noexcept;
    ~DataItem() override { release(); }

    // --- CoreObject ---
    String& toString(String& out) const override {
        out = text();
        return out;
    }
    using CoreObject::toString;
    // Parses `text` into the item's current type.
    void fromString(String text) override;
    // Typed comparison: -1, 0 or 1.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    int compare(const DataItem& other) const;
    // The value written as an SQL literal.
    virtual String sqlLiteral() const;
    int compareNoCase(const DataItem& other) const { return compareNoCase(other, 0, 0); }
    virtual int compareNoCase(const DataItem& other, int arg1, int arg2) const;

    // --- type and text ---
    int type() const noexcept { return tag_; }
    // The value's text. A number or date set by its setter writes its text
    // the first time it is asked for (a million loaded cells mostly never
    // are): this writes to the item, so two threads reading one item at
    // once need a lock, as they would to change it.
    const String& text() const noexcept {
        if (lazyText_) writeLazyText();
        return textStore_;
    }
    const String& auxText() const noexcept;
    void setAuxText(const String& text);
    int32_t auxNumber() const noexcept { return auxNumber_; }
    void setAuxNumber(int32_t n) noexcept { auxNumber_ = n; }
    bool ownsObject() const noexcept { return owns_ != 0; }
    void setOwnsObject(bool owns) noexcept { owns_ = owns ? 1 : 0; }

    static const char* typeName(int tag);
    static int typeFromName(TextRef name);

    // --- setters: each stores the value, sets the tag and rewrites the text ---
    void setNull();
    void setChar(char c);
    void setString(TextRef text);
    void setInt(int32_t v);
    void setUInt(uint32_t v);
    void setLong(int32_t v);
    void setULong(uint32_t v);
    void setDouble(double v);
    void setDate(const DateTime& v);
    void setBool(bool v);
    void setColor(const Color& v);
    void setPoint(const Point& v);
    void setRect(const Rect& v);
    void setCurrency(const Currency& v);
    void setRef(DataItem* ref);
    // What the pointer of a "ref" item stands for. setRef(DataItem*) makes a
    // Raw reference: a DataItem pointer by its declaration, but rows travel
    // in it too (DataRow::makeRowRef), so code that cannot tell which must
    // treat a Raw reference as opaque. The script engine marks its variable
    // references (a script Variable plus a member path in the auxiliary
    // text) and the items it may write through with their own kinds. The
    // kind lives in the value storage: copies carry it, every setter clears
    // it (back to Raw).
    enum class RefKind : uint8_t { Raw = 0, Row = 1, Variable = 2, Item = 3 };
    // A "ref" item of `kind` pointing at `target`; the text is that of setRef.
    void setRef(RefKind kind, void* target);
    // The kind of a "ref" item; Raw for items of any other tag.
    RefKind refKind() const noexcept {
        return tag_ == TRef ? RefKind(st_.bytes[kRefKindByte]) : RefKind::Raw;
    }
    // The pointer of a "ref" item of any kind; null for items of other tags.
    void* refTarget() const noexcept { return tag_ == TRef ? st_.ptr : nullptr; }
    // Reads through a Variable or Item reference to the value it designates.
    // The script engine installs it (its variables live above this layer);
    // without one, such a reference stands for itself.
    using RefFollower = const DataItem& (*)(const DataItem& ref);
    static void setRefFollower(RefFollower follower) noexcept;
    // The value this item stands for as a call argument: itself, or what a
    // Variable or Item reference designates.
    const DataItem& argumentValue() const;
    // `owned`: whether this item destroys the object on release.
    void setObj(Interfasable* obj, bool owned = false);
    void setDay(const DateDay& v);
    void setFont(const Font& v);
    void setBin(TextRef bytes);
    void setError();
    // The empty value of a type; tags above 19 are ignored.
    void setType(int tag);
    // setType with the item's own tag, except that "ref" and "obj" only lose
    // their pointer and "font" and "error" are left alone.
    void clearValue();

    // --- getters (conversions never throw) ---
    char toChar() const;
    int32_t toInt() const;
    uint32_t toUInt() const;
    int64_t toLong() const;
    uint32_t toULong() const;
    double toDouble() const;
    bool toBool() const;
    DateTime toDateTime() const;
    DateDay toDateDay() const;
    Color toColor() const;
    Point toPoint() const;
    Rect toRect() const;
    Currency toCurrency() const;
    Font toFont() const;
    // Throw "DataItem.operator >> : ..." for items of another tag; getRef
    // throws the same for a variable reference, whose pointer is no item.
    DataItem* getRef() const;
    Interfasable* getObj() const;

    // --- predicates and assignment ---
    bool isNull() const noexcept { return tag_ == TNull; }
    bool isNumeric() const noexcept { return isNumericTag(tag_); }
    static bool isNumericTag(int tag) noexcept {
        return (tag >= TInt && tag <= TDouble) || tag == TCurrency;
    }
    bool isEmpty() const;
    bool isNullOrEmpty() const;
    bool equals(const DataItem& other) const { return compare(other) == 0; }
    bool equalsText(TextRef text) const { return tag_ == TString && textStore_ == text; }
    bool equalsInt(int32_t i) const;

    // Raw copy as the copy constructor; copying onto itself does nothing.
    void copyFrom(const DataItem& other);
    // Takes the value of `other`: absent clears; an item with a non-null tag
    // keeps its tag and parses the other's text; otherwise a raw copy.
    void assign(const DataItem* other);
    // As assign, but a null-typed `other` makes this item null as well.
    void assignNullable(const DataItem* other);
    // Destroys an owned object; the item becomes null.
    void release();

    // --- formatting (masks, amounts in words) ---
    // The value written with a mask; an empty mask gives the text.
    String format(const String& mask) const;

    // --- binary image (the storage part of the archive form) ---
    // Bytes of the fixed-size image of a tag (0 for null, error and the text
    // tags string, bin and font, whose image is their text).
    static int binarySize(int tag);
    static bool isTextTag(int tag) noexcept {
        return tag == TString || tag == TBin || tag == TFont;
    }
    // Writes the binarySize(type()) bytes of this item's image into `out`.
    void writeBinary(uint8_t* out) const;
    // Becomes an item of `tag` (a fixed-size tag) read from its image of
    // binarySize(tag) bytes, with its text rebuilt. "ref" and "obj" images
    // mean nothing outside the writing process: they read as null pointers.
    void readBinary(int tag, const uint8_t* image);

    // Raw access to the value storage (16 bytes).
    const uint8_t* storage() const noexcept { return st_.bytes; }

private:
    union Storage {
        uint8_t bytes[16];
        char c;
        int32_t i;
        uint32_t u;
        double d;
        uint16_t date[8];  // year, month, day of week, day, hour, minute, second, ms
        bool b;
        int32_t coords[4];  // point: x, y; rect: x, y, width, height
        double money[2];    // amount, rate
        void* ptr;
        uint16_t dayMonth[2];  // day, month
    };

    // The byte of the storage after the pointer that keeps a RefKind.
    static constexpr size_t kRefKindByte = sizeof(void*);

    void begin(int tag) noexcept {
        std::memset(&st_, 0, sizeof st_);
        tag_ = uint8_t(tag);
        owns_ = 0;
        lazyText_ = 0;
    }
    // Writes the text a lazy setter left to be written.
    void writeLazyText() const noexcept;
    void writeDateText() const;
    DateTime storedDate() const;
    int compareDate(const DataItem& other) const;
    int compareDay(const DataItem& other) const;

    Storage st_;
    // The text; while lazyText_ is set, stale until writeLazyText.
    mutable String textStore_;
    std::unique_ptr<String> aux_;  // created the first time an auxiliary text is set
    int32_t auxNumber_ = 0;
    uint8_t tag_ = TNull;
    uint8_t owns_ = 0;
    mutable uint8_t lazyText_ = 0;
};

}  // namespace VORLIN
