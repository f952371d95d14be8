#include "core/DataItem.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/GeneralException.h"

namespace VORLIN {

// Every cell of every result is a DataItem: keep it within one cache line.
static_assert(sizeof(DataItem) <= 64);

namespace {

const char* const kTypeNames[DataItem::kTypeCount] = {
    "null",  "char",  "string", "int",      "uint", "long", "ulong", "double", "date", "bool",
    "color", "point", "rect",   "currency", "ref",  "obj",  "bin",   "day",    "font", "error"};

// Names read back from declared types: first match wins.
struct NamedType {
    const char* name;
    int tag;
};
const NamedType kTypesByName[] = {
    {"int", DataItem::TInt},           {"integer", DataItem::TInt}, {"text", DataItem::TString},
    {"varchar", DataItem::TString},    {"image", DataItem::TBin},   {"double", DataItem::TDouble},
    {"date", DataItem::TDate},         {"day", DataItem::TDay},     {"bool", DataItem::TBool},
    {"currency", DataItem::TCurrency}, {"font", DataItem::TFont},   {"ref", DataItem::TRef},
    {"expands", DataItem::TRef},       {"obj", DataItem::TObj},
};

const String& emptyString() {
    static const String empty;
    return empty;
}

// Writes two decimal digits.
inline char* put2(char* p, unsigned v) {
    p[0] = char('0' + v / 10 % 10);
    p[1] = char('0' + v % 10);
    return p + 2;
}

// Converts a double to a 32-bit integer without undefined behaviour:
// out-of-range values saturate, NaN gives 0.
int32_t saturateInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// A double through a 64-bit integer, cut to its low 32 bits.
uint32_t lowBits32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2233720368547758e18) return uint32_t(std::numeric_limits<int64_t>::max());
    if (v <= -9.2233720368547758e18) return uint32_t(std::numeric_limits<int64_t>::min());
    return uint32_t(uint64_t(int64_t(v)));
}

// The regional parse of a number. Conversions never throw: with regional
// settings that have no decimal separator the plain decimal reading is used.
double numberOf(const String& text) {
    try {
        return text.parseNumber();
    } catch (const GeneralException&) {
        return text.toDouble();
    }
}

bool isTrueWord(const String& t) {
    return t.equalsNoCase("t") || t.equalsNoCase("true");
}

template <typename T>
void writeNumber(String& out, T v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.assign(TextRef(buf, size_t(r.ptr - buf)));
}

void writePointer(String& out, const char* prefix, const void* p) {
    out.assign(prefix);
    out.appendInt(int64_t(reinterpret_cast<intptr_t>(p)));
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

DataItem::DataItem(const DataItem& other)
    : st_(other.st_),
      textStore_(other.lazyText_ ? String() : other.textStore_),
      aux_(other.aux_ ? std::make_unique<String>(*other.aux_) : nullptr),
      auxNumber_(other.auxNumber_),
      tag_(other.tag_),
      owns_(0),
      lazyText_(other.lazyText_) {}

DataItem::DataItem(DataItem&& other) noexcept
    : st_(other.st_),
      textStore_(std::move(other.textStore_)),
      aux_(std::move(other.aux_)),
      auxNumber_(other.auxNumber_),
      tag_(other.tag_),
      owns_(other.owns_),
      lazyText_(other.lazyText_) {
    other.owns_ = 0;
    other.lazyText_ = 0;
    other.tag_ = TNull;
    std::memset(&other.st_, 0, sizeof other.st_);
}

DataItem& DataItem::operator=(DataItem&& other) noexcept {
    if (this != &other) {
        release();
        st_ = other.st_;
        textStore_ = std::move(other.textStore_);
        aux_ = std::move(other.aux_);
        auxNumber_ = other.auxNumber_;
        tag_ = other.tag_;
        owns_ = other.owns_;
        lazyText_ = other.lazyText_;
        other.owns_ = 0;
        other.lazyText_ = 0;
        other.tag_ = TNull;
        std::memset(&other.st_, 0, sizeof other.st_);
    }
    return *this;
}

void DataItem::copyFrom(const DataItem& other) {
    if (this == &other) return;
    st_ = other.st_;
    // A text still to be written is written from the copied value.
    if (other.lazyText_)
        textStore_.clear();
    else
        textStore_ = other.textStore_;
    lazyText_ = other.lazyText_;
    if (other.aux_)
        setAuxText(*other.aux_);
    else if (aux_)
        aux_->clear();
    auxNumber_ = other.auxNumber_;
    tag_ = other.tag_;
    owns_ = 0;
}

void DataItem::release() {
    if (owns_ && tag_ == TObj) {
        Interfasable* obj = static_cast<Interfasable*>(st_.ptr);
        owns_ = 0;
        st_.ptr = nullptr;
        delete obj;
    }
    owns_ = 0;
    if (tag_ != TNull) setNull();
}

const String& DataItem::auxText() const noexcept {
    return aux_ ? *aux_ : emptyString();
}

void DataItem::setAuxText(const String& text) {
    if (aux_)
        *aux_ = text;
    else if (!text.isEmpty())
        aux_ = std::make_unique<String>(text);
}

const char* DataItem::typeName(int tag) {
    return (tag >= 0 && tag < kTypeCount) ? kTypeNames[tag] : kTypeNames[0];
}

int DataItem::typeFromName(TextRef name) {
    String n(name);
    for (const NamedType& t : kTypesByName)
        if (n.equalsNoCase(t.name)) return t.tag;
    return TNull;
}

// ------------------------------------------------------------------ setters

void DataItem::setNull() {
    begin(TNull);
    textStore_.clear();
}

void DataItem::setChar(char c) {
    begin(TChar);
    st_.c = c;
    if (c)
        textStore_.assign(TextRef(&c, 1));
    else
        textStore_.clear();
}

void DataItem::setString(TextRef text) {
    begin(TString);
    textStore_.assign(text);
}

void DataItem::setBin(TextRef bytes) {
    setString(bytes);
    tag_ = TBin;
}

// Integers, doubles and dates, the cells a large result is made of, write
// their text when it is first asked for (text()).
void DataItem::setInt(int32_t v) {
    begin(TInt);
    st_.i = v;
    lazyText_ = 1;
}

void DataItem::setUInt(uint32_t v) {
    begin(TUInt);
    st_.u = v;
    writeNumber(textStore_, v);
}

void DataItem::setLong(int32_t v) {
    begin(TLong);
    st_.i = v;
    writeNumber(textStore_, v);
}

void DataItem::setULong(uint32_t v) {
    begin(TULong);
    st_.u = v;
    writeNumber(textStore_, v);
}

void DataItem::setDouble(double v) {
    begin(TDouble);
    st_.d = v;
    lazyText_ = 1;
}

void DataItem::setDate(const DateTime& v) {
    begin(TDate);
    uint16_t* d = st_.date;
    d[0] = v.year;
    d[1] = v.month;
    d[2] = v.dayOfWeekField;
    d[3] = v.day;
    d[4] = v.hour;
    d[5] = v.minute;
    d[6] = v.second;
    d[7] = v.milliseconds;
    lazyText_ = 1;
}

void DataItem::writeLazyText() const noexcept {
    lazyText_ = 0;
    switch (tag_) {
        case TInt:
            writeNumber(textStore_, st_.i);
            break;
        case TDouble:
            textStore_.clear();
            textStore_.appendDouble(st_.d);
            break;
        case TDate:
            writeDateText();
            break;
        default:
            break;
    }
}

// "Y-MM-DD", or "Y-MM-DD hh:mm:ss" when the time of day is not midnight.
void DataItem::writeDateText() const {
    const uint16_t* d = st_.date;
    char buf[32];
    auto r = std::to_chars(buf, buf + 8, unsigned(d[0]));
    char* p = r.ptr;
    *p++ = '-';
    p = put2(p, d[1]);
    *p++ = '-';
    p = put2(p, d[3]);
    if (d[4] || d[5] || d[6]) {
        *p++ = ' ';
        p = put2(p, d[4]);
        *p++ = ':';
        p = put2(p, d[5]);
        *p++ = ':';
        p = put2(p, d[6]);
    }
    textStore_.assign(TextRef(buf, size_t(p - buf)));
}

DateTime DataItem::storedDate() const {
    const uint16_t* d = st_.date;
    DateTime dt;
    dt.year = d[0];
    dt.month = d[1];
    dt.dayOfWeekField = d[2];
    dt.day = d[3];
    dt.hour = d[4];
    dt.minute = d[5];
    dt.second = d[6];
    dt.milliseconds = d[7];
    return dt;
}

void DataItem::setBool(bool v) {
    begin(TBool);
    st_.b = v;
    textStore_.assign(v ? "T" : "F");
}

void DataItem::setColor(const Color& v) {
    begin(TColor);
    st_.u = v.value;
    v.toString(textStore_);
}

void DataItem::setPoint(const Point& v) {
    begin(TPoint);
    st_.coords[0] = v.x;
    st_.coords[1] = v.y;
    v.toString(textStore_);
}

void DataItem::setRect(const Rect& v) {
    begin(TRect);
    st_.coords[0] = v.x;
    st_.coords[1] = v.y;
    st_.coords[2] = v.width;
    st_.coords[3] = v.height;
    v.toString(textStore_);
}

void DataItem::setCurrency(const Currency& v) {
    begin(TCurrency);
    st_.money[0] = v.amount;
    st_.money[1] = v.rate;
    v.toString(textStore_);
}

void DataItem::setRef(DataItem* ref) {
    begin(TRef);
    st_.ptr = ref;
    writePointer(textStore_, "*Ref*", ref);
}

void DataItem::setRef(RefKind kind, void* target) {
    static_assert(kRefKindByte < sizeof(Storage));
    begin(TRef);
    st_.ptr = target;
    st_.bytes[kRefKindByte] = uint8_t(kind);
    writePointer(textStore_, "*Ref*", target);
}

namespace {
DataItem::RefFollower refFollower = nullptr;
}  // namespace

void DataItem::setRefFollower(RefFollower follower) noexcept {
    refFollower = follower;
}

const DataItem& DataItem::argumentValue() const {
    if (tag_ != TRef || !refFollower) return *this;
    RefKind kind = refKind();
    if (kind != RefKind::Variable && kind != RefKind::Item) return *this;
    return refFollower(*this);
}

void DataItem::setObj(Interfasable* obj, bool owned) {
    begin(TObj);
    st_.ptr = obj;
    owns_ = owned && obj ? 1 : 0;
    writePointer(textStore_, "*Obj*", obj);
}

void DataItem::setDay(const DateDay& v) {
    begin(TDay);
    st_.dayMonth[0] = uint16_t(v.day);
    st_.dayMonth[1] = uint16_t(v.month);
    v.toString(textStore_);
}

void DataItem::setFont(const Font& v) {
    begin(TFont);
    v.toString(textStore_);
}

void DataItem::setError() {
    begin(TError);
    textStore_.assign("ERROR");
}

void DataItem::setType(int tag) {
    switch (tag) {
        case TNull:
            setNull();
            break;
        case TChar:
            setChar(0);
            break;
        case TString:
            setString("");
            break;
        case TBin:
            setBin("");
            break;
        case TInt:
            setInt(0);
            break;
        case TUInt:
            setUInt(0);
            break;
        case TLong:
            setLong(0);
            break;
        case TULong:
            setULong(0);
            break;
        case TDouble:
            setDouble(0.0);
            break;
        case TDate:
            setDate(DateTime());
            break;
        case TBool:
            setBool(false);
            break;
        case TColor:
            setColor(Color());
            break;
        case TPoint:
            setPoint(Point());
            break;
        case TRect:
            setRect(Rect());
            break;
        case TCurrency:
            setCurrency(Currency());
            break;
        case TRef:
            begin(TRef);
            textStore_.assign("*Ref*");
            break;
        case TObj:
            begin(TObj);
            textStore_.assign("*Obj*");
            break;
        case TDay:
            setDay(DateDay());
            break;
        case TFont:
            begin(TFont);
            textStore_.clear();
            break;
        case TError:
            setError();
            break;
        default:
            break;  // tags above 19 are ignored
    }
}

void DataItem::clearValue() {
    auxNumber_ = 0;
    switch (tag_) {
        case TRef:
        case TObj:
            std::memset(&st_, 0, sizeof st_);
            owns_ = 0;
            break;
        case TFont:
        case TError:
            break;
        default:
            setType(tag_);
            break;
    }
}

// ------------------------------------------------------------------ parsing

void DataItem::fromString(String text) {
    switch (tag_) {
        case TNull:
        case TString:
            setString(text);
            break;
        case TChar:
            setChar(text.isEmpty() ? 0 : text.c_str()[0]);
            break;
        case TInt:
            setInt(saturateInt32(text.toDouble()));
            break;
        case TLong:
            setLong(saturateInt32(text.toDouble()));
            break;
        case TUInt:
            setUInt(lowBits32(text.toDouble()));
            break;
        case TULong:
            setULong(lowBits32(text.toDouble()));
            break;
        case TDouble:
            setDouble(numberOf(text));
            break;
        case TDate:
            if (text.equalsNoCase("hoy"))
                setDate(DateTime::now());
            else if (text.isNumber(false))
                setDate(DateTime(text.toDouble()));
            else
                setDate(text.parseDate(true));
            break;
        case TBool:
            if (isTrueWord(text))
                setBool(true);
            else if (text.isNumber(false))
                setBool(text.toInt() != 0);
            else
                setBool(false);
            break;
        case TColor: {
            Color c;
            c.fromString(text);
            setColor(c);
            break;
        }
        case TPoint: {
            Point p;
            p.fromString(text);
            setPoint(p);
            break;
        }
        case TRect: {
            Rect r;
            r.fromString(text);
            setRect(r);
            break;
        }
        case TFont: {
            Font f;
            f.fromString(text);
            setFont(f);
            break;
        }
        case TCurrency:
            setCurrency(Currency(numberOf(text)));
            break;
        case TBin:
            setBin(text);
            break;
        case TDay:
            if (text.equalsNoCase("hoy")) {
                setDay(DateDay::today());
            } else {
                DateDay d;
                d.fromString(text);
                setDay(d);
            }
            break;
        default:
            break;  // ref, obj and error do not change
    }
}

// ------------------------------------------------------------------ getters

char DataItem::toChar() const {
    switch (tag_) {
        case TChar:
            return st_.c;
        case TString:
            return text().isEmpty() ? 0 : text().c_str()[0];
        case TInt:
        case TUInt:
        case TLong:
        case TULong:
        case TDouble:
        case TCurrency:
            return char(toInt() & 0xFF);
        case TBool:
            return st_.b ? 1 : 0;
        default:
            return 0;
    }
}

int32_t DataItem::toInt() const {
    if (tag_ == TInt) return st_.i;
    if (tag_ == TBool) return text() == "T" ? 1 : 0;
    return text().toInt();
}

uint32_t DataItem::toUInt() const {
    if (tag_ == TUInt) return st_.u;
    if (tag_ == TBool) return text() == "T" ? 1 : 0;
    return uint32_t(text().toInt());
}

int64_t DataItem::toLong() const {
    if (tag_ == TLong) return st_.i;
    if (tag_ == TBool) return text() == "T" ? 1 : 0;
    return text().toLong();
}

uint32_t DataItem::toULong() const {
    if (tag_ == TULong) return st_.u;
    if (tag_ == TBool) return text() == "T" ? 1 : 0;
    return uint32_t(text().toInt());
}

double DataItem::toDouble() const {
    switch (tag_) {
        case TDouble:
            return st_.d;
        case TDate:
            return storedDate().toJulian();
        case TBool:
            return text() == "T" ? 1.0 : 0.0;
        case TCurrency:
            return st_.money[0];
        case TDay: {
            DateDay d;
            d.fromString(text());
            return d.dayOfYear();
        }
        default:
            return numberOf(text());
    }
}

bool DataItem::toBool() const {
    if (tag_ == TBool) return st_.b;
    if (tag_ == TString) return isTrueWord(text()) || text() == "1";
    return !isEmpty();
}

DateTime DataItem::toDateTime() const {
    if (tag_ == TDate) return storedDate();
    return text().parseDate(true);
}

DateDay DataItem::toDateDay() const {
    DateDay d;
    d.fromString(text());
    return d;
}

Color DataItem::toColor() const {
    if (tag_ == TColor) return Color(st_.u);
    Color c;
    c.fromString(text());
    return c;
}

Point DataItem::toPoint() const {
    if (tag_ == TPoint) return Point(st_.coords[0], st_.coords[1]);
    Point p;
    p.fromString(text());
    return p;
}

Rect DataItem::toRect() const {
    if (tag_ == TRect) return Rect(st_.coords[0], st_.coords[1], st_.coords[2], st_.coords[3]);
    Rect r;
    r.fromString(text());
    return r;
}

Currency DataItem::toCurrency() const {
    if (tag_ == TCurrency) {
        Currency c(st_.money[0]);
        c.rate = st_.money[1];
        return c;
    }
    Currency c;
    c.fromString(text());
    return c;
}

Font DataItem::toFont() const {
    Font f;
    f.fromString(text());
    return f;
}

DataItem* DataItem::getRef() const {
    if (tag_ != TRef || refKind() == RefKind::Variable)
        throw GeneralException("DataItem.operator >> : DataItem is not a reference");
    return static_cast<DataItem*>(st_.ptr);
}

Interfasable* DataItem::getObj() const {
    if (tag_ != TObj)
        throw GeneralException(
            "DataItem.operator >> : DataItem is not an Interfase object\r\nData: " +
            text().toStdString());
    return static_cast<Interfasable*>(st_.ptr);
}

// --------------------------------------------------------------- predicates

bool DataItem::isEmpty() const {
    switch (tag_) {
        case TNull:
            return true;
        case TChar:
            return st_.c == 0;
        case TInt:
        case TLong:
            return st_.i == 0;
        case TUInt:
        case TULong:
            return st_.u == 0;
        case TDouble:
            return st_.d == 0.0;
        case TDate:
            return storedDate().isEmpty();
        case TBool:
            return !st_.b;
        case TColor:
            return st_.u == Color::kNone;
        case TPoint:
            return st_.coords[0] == 0 && st_.coords[1] == 0;
        case TRect:
            return st_.coords[2] == 0 || st_.coords[3] == 0;
        case TCurrency:
            return st_.money[0] == 0.0;
        case TRef:
        case TObj:
            return st_.ptr == nullptr;
        case TDay:
            return st_.dayMonth[0] == 0 || st_.dayMonth[1] == 0;
        case TFont:
            return false;
        default:
            return text().isEmpty();
    }
}

bool DataItem::isNullOrEmpty() const {
    if (tag_ == TRef || tag_ == TObj) return st_.ptr == nullptr;
    return tag_ == TNull;
}

bool DataItem::equalsInt(int32_t i) const {
    if (!isNumeric()) return false;
    if (tag_ == TInt) return st_.i == i;
    return text().toInt() == i;
}

// --------------------------------------------------------------- assignment

void DataItem::assign(const DataItem* other) {
    if (!other) {
        clearValue();
        return;
    }
    if (tag_ != TNull && other->tag_ != tag_) {
        fromString(other->text());
        if (other->aux_ || aux_) setAuxText(other->auxText());
        return;
    }
    copyFrom(*other);
}

void DataItem::assignNullable(const DataItem* other) {
    if (other && other->tag_ == TNull) {
        copyFrom(*other);
        return;
    }
    assign(other);
}

// --------------------------------------------------------------- comparison

namespace {

int sign(double d) {
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// The six-decimal text of a number when it reads back as the same number;
// otherwise the shortest text that does. Generated statements rewrite every
// column of a row, so a literal that rounded would silently change values
// nobody edited (0.1234567891 would be stored as 0.123457).
String exactNumber(double value, const String& sixDecimals) {
    if (std::strtod(sixDecimals.c_str(), nullptr) == value) return sixDecimals;
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return String(TextRef(buf, size_t(r.ptr - buf)));
}

int compareBools(bool a, bool b) {
    if (a == b) return 0;
    return a ? 1 : -1;
}

}  // namespace

int DataItem::compare(const CoreObject& otherObject, int, int) const {
    const DataItem* other = dynamic_cast<const DataItem*>(&otherObject);
    return other ? compare(*other) : 1;
}

int DataItem::compare(const DataItem& other) const {
    if (other.tag_ == TNull && tag_ != TNull) return 1;
    switch (tag_) {
        case TNull:
            return other.tag_ != TNull ? 1 : 0;
        case TChar:
        case TInt:
        case TUInt:
        case TLong:
        case TULong:
        case TDouble:
        case TColor:
            return sign(toDouble() - other.toDouble());
        case TString:
            if (other.tag_ == TBool) return compareBools(toBool(), other.toBool());
            if (other.isNumeric()) return sign(numberOf(text()) - other.toDouble());
            return text().compare(other.text());
        case TFont:
            return text().compare(other.text());
        case TDate:
            return compareDate(other);
        case TBool:
            return compareBools(toBool(), other.toBool());
        case TPoint: {
            int c = toPoint().compare(other.toPoint());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case TRect: {
            int c = toRect().compare(other.toRect());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case TCurrency: {
            int c = toCurrency().compare(other.toCurrency());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case TDay:
            return compareDay(other);
        case TRef:
        case TObj:
            return std::memcmp(&st_, &other.st_, sizeof st_) != 0 ? 1 : 0;
        default:
            return 0;  // bin, error
    }
}

int DataItem::compareDate(const DataItem& other) const {
    DateTime mine = storedDate();
    DateTime theirs;
    switch (other.tag_) {
        case TString:
            theirs.fromString(other.text());
            break;
        case TDouble:
            theirs.fromJulian(other.st_.d);
            break;
        case TDate:
            theirs = other.storedDate();
            break;
        case TDay:
            theirs = DateTime(mine.year, other.st_.dayMonth[1], other.st_.dayMonth[0]);
            break;
        default:
            break;  // the all-zero date
    }
    int c = mine.compare(theirs);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int DataItem::compareDay(const DataItem& other) const {
    DateDay mine(st_.dayMonth[0], st_.dayMonth[1]);
    DateDay theirs;
    switch (other.tag_) {
        case TString:
            theirs.fromString(other.text());
            break;
        case TInt:
        case TUInt:
        case TLong:
        case TULong:
            theirs = DateDay::fromDayOfYear(other.toInt());
            break;
        case TDate:
            theirs = DateDay(other.st_.date[3], other.st_.date[1]);
            break;
        case TDay:
            theirs = DateDay(other.st_.dayMonth[0], other.st_.dayMonth[1]);
            break;
        default:
            break;
    }
    int c = mine.compare(theirs);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int DataItem::compareNoCase(const DataItem& other, int, int) const {
    if (other.tag_ == TNull && tag_ != TNull) return 1;
    if (isNumeric()) return compare(other);
    String a(text()), b(other.text());
    a.makeLower();
    b.makeLower();
    return a.compare(b);
}

// -------------------------------------------------------------- SQL literal

String DataItem::sqlLiteral() const {
    switch (tag_) {
        case TInt:
        case TUInt:
        case TLong:
        case TULong:
            return text();
        case TDouble:
            // "nan" or "inf" would read as a column name: write NULL instead.
            if (!std::isfinite(st_.d)) return String("NULL");
            return exactNumber(st_.d, text());
        case TBool:
            return String(st_.b ? "1" : "0");
        case TCurrency: {
            if (!std::isfinite(st_.money[0])) return String("NULL");
            String s;
            s.appendDouble(st_.money[0]);
            return exactNumber(st_.money[0], s);
        }
        case TRef: {
            String s("Ref: ");
            s.appendInt(int64_t(reinterpret_cast<intptr_t>(st_.ptr)));
            return s;
        }
        case TObj: {
            String s("Obj: ");
            s.appendInt(int64_t(reinterpret_cast<intptr_t>(st_.ptr)));
            return s;
        }
        case TChar:
        case TString:
        case TDate:
        case TColor:
        case TPoint:
        case TRect:
        case TBin:  // binary texts are quoted like any text so a quote cannot end the literal
        case TDay:
        case TFont: {
            String body(text());
            body.escapeChar('\'', "'");
            String s = String::withCapacity(body.length() + 3);
            s.append('\'').append(body).append('\'');
            return s;
        }
        default:
            return String("NULL");
    }
}

}  // namespace VORLIN
