#include "data/DataRow.h"

#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/ValueFunctions.h"

namespace VORLIN {

namespace {

// The byte that stands for a "\r\n" inside a cell in the row's text line.
constexpr char kLineBreakMark = 31;

// The pieces of `text` between vertical bars, empty pieces skipped (the
// tokenizer's rule without empty tokens).
std::vector<std::string_view> splitBars(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos) bar = text.size();
        if (bar > pos) pieces.push_back(text.substr(pos, bar - pos));
        pos = bar + 1;
    }
    return pieces;
}

const String& nameAt(const ItemList::Node* node) {
    return *static_cast<const String*>(node->item);
}

// Deletes a name list made by a row and the strings in it.
void deleteNameList(const ItemList* list) {
    if (!list) return;
    for (const ItemList::Node* n = list->headNode(); n; n = n->next)
        delete static_cast<const String*>(n->item);
    delete list;
}

// A new list holding copies of `names`; nothing leaks if a copy fails.
template <typename Names>
ItemList* makeNameList(const Names& names) {
    auto list = std::make_unique<ItemList>();
    try {
        for (const auto& name : names) {
            auto s = std::make_unique<String>(TextRef(name));
            list->addLast(s.get());
            s.release();
        }
    } catch (...) {
        for (const ItemList::Node* n = list->headNode(); n; n = n->next)
            delete static_cast<const String*>(n->item);
        throw;
    }
    return list.release();
}

std::vector<std::string_view> namesOf(const ItemList& list) {
    std::vector<std::string_view> names;
    names.reserve(size_t(list.count()));
    for (const ItemList::Node* n = list.headNode(); n; n = n->next)
        names.push_back(nameAt(n).view());
    return names;
}

// The text of a field read from a row line: "null" is the empty text and the
// byte 31 is a line break again.
String decodeField(std::string_view field) {
    if (field == "null") return String();
    if (field.find(kLineBreakMark) == std::string_view::npos) return String(TextRef(field));
    std::string text;
    text.reserve(field.size() + 8);
    for (char c : field) {
        if (c == kLineBreakMark)
            text += "\r\n";
        else
            text += c;
    }
    return String(text);
}

bool isLineDelimiter(char c) {
    return c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

DataRow::DataRow(int n) {
    if (n > 0) replaceCells(std::make_unique<DataItem[]>(size_t(n)), n);
}

DataRow::DataRow(InlineCells, int n) noexcept {
    cells_ = reinterpret_cast<DataItem*>(reinterpret_cast<unsigned char*>(this) + sizeof(DataRow));
    for (int i = 0; i < n; ++i)
        new (cells_ + i) DataItem();
    count_ = n;
    inlineCells_ = 1;
}

std::unique_ptr<DataRow> DataRow::make(int n) {
    if (n <= 0) return std::make_unique<DataRow>(0);
    static_assert(sizeof(DataRow) % alignof(DataItem) == 0);
    void* block = ::operator new(sizeof(DataRow) + size_t(n) * sizeof(DataItem));
    // DataItem's constructor cannot throw: nothing to undo past this point.
    return std::unique_ptr<DataRow>(::new (block) DataRow(InlineCells{}, n));
}

void DataRow::replaceCells(std::unique_ptr<DataItem[]> fresh, int n) noexcept {
    if (inlineCells_) {
        // Built in place: destroyed in place; the storage goes with the row.
        for (int i = 0; i < count_; ++i)
            cells_[i].~DataItem();
        inlineCells_ = 0;
    } else {
        delete[] cells_;
    }
    cells_ = fresh.release();
    count_ = cells_ ? n : 0;
}

DataRow::DataRow(const DataRow& other) : CoreObject(), Interfasable() {
    copyFrom(other);
}

DataRow& DataRow::operator=(const DataRow& other) {
    copyFrom(other);
    return *this;
}

DataRow::~DataRow() {
    dropOwnNames();
    replaceCells(nullptr, 0);
}

void DataRow::dropOwnNames() noexcept {
    if (ownsNames_) {
        deleteNameList(names_);
        names_ = nullptr;
        ownsNames_ = 0;
    }
}

void DataRow::setCount(int n) {
    std::unique_ptr<DataItem[]> fresh;
    if (n > 0) fresh = std::make_unique<DataItem[]>(size_t(n));
    replaceCells(std::move(fresh), n);
    dropOwnNames();
    names_ = nullptr;
    nameText_.reset();
    clearFlags();
    stored_.reset();
}

void DataRow::keepStoredImage() {
    auto image = std::make_unique<std::vector<DataItem>>();
    image->reserve(size_t(count_));
    for (int i = 0; i < count_; ++i)
        image->emplace_back(cells_[i]);
    stored_ = std::move(image);
}

const DataItem* DataRow::storedCell(int index) const noexcept {
    if (!stored_ || index < 0 || size_t(index) >= stored_->size()) return nullptr;
    return &(*stored_)[size_t(index)];
}

void DataRow::setStoredCell(int index, const DataItem& value) {
    if (!stored_ || index < 0 || size_t(index) >= stored_->size()) return;
    (*stored_)[size_t(index)].copyFrom(value);
}

bool DataRow::cellChanged(int index) const {
    const DataItem* now = cell(index);
    const DataItem* was = storedCell(index);
    if (!now || !was) return true;
    if (now->type() != was->type() || now->text() != was->text()) return true;
    // The text of a value may round it (doubles, dates): the value bytes
    // decide for the fixed-size types.
    int size = DataItem::binarySize(now->type());
    if (size <= 0) return false;
    std::vector<uint8_t> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
    now->writeBinary(a.data());
    was->writeBinary(b.data());
    return a != b;
}

void DataRow::copyFrom(const DataRow& other) {
    if (&other == this) return;
    if (count_ != other.count_) {
        std::unique_ptr<DataItem[]> fresh;
        if (other.count_ > 0) fresh = std::make_unique<DataItem[]>(size_t(other.count_));
        replaceCells(std::move(fresh), other.count_);
    }
    for (int i = 0; i < count_; ++i)
        cells_[i].copyFrom(other.cells_[i]);

    if (other.ownsNames_) {
        // The other row's own list dies with it: take a copy of our own.
        ItemList* copy = makeNameList(namesOf(*other.names_));
        dropOwnNames();
        names_ = copy;
        ownsNames_ = 1;
    } else if (other.names_ != names_) {
        dropOwnNames();
        names_ = other.names_;
    }
    nameText_ = other.nameText_ ? std::make_unique<String>(*other.nameText_) : nullptr;
    modified_ = other.modified_;
    inserted_ = other.inserted_;
}

std::unique_ptr<DataRow> DataRow::clone() const {
    std::unique_ptr<DataRow> row = make(count_);
    row->copyFrom(*this);
    return row;
}

bool DataRow::isFilled() const {
    for (int i = 0; i < count_; ++i) {
        const DataItem& c = cells_[i];
        if (c.type() == DataItem::TNull) return false;
        if ((c.type() == DataItem::TRef || c.type() == DataItem::TObj) && c.isNullOrEmpty())
            return false;
    }
    return true;
}

// --------------------------------------------------------------- text form

String& DataRow::toString(String& out) const {
    size_t total = 2;
    for (int i = 0; i < count_; ++i) {
        uint32_t len = cells_[i].text().length();
        total += (len ? len : 4) + 1;
    }
    out.clear();
    out.reserve(uint32_t(total));
    for (int i = 0; i < count_; ++i) {
        if (i > 0) out.append('\t');
        std::string_view t = cells_[i].text().view();
        if (t.empty()) {
            out.append("null");
            continue;
        }
        // Copy the runs between line breaks; each "\r\n" becomes one byte 31.
        size_t pos = 0;
        for (;;) {
            size_t br = t.find("\r\n", pos);
            if (br == std::string_view::npos) {
                out.append(TextRef(t.substr(pos)));
                break;
            }
            out.append(TextRef(t.substr(pos, br - pos)));
            out.append(kLineBreakMark);
            pos = br + 2;
        }
    }
    out.append("\r\n");
    return out;
}

void DataRow::fromString(String line) {
    std::string_view v = line.view();
    size_t pos = 0;
    for (int i = 0; i < count_; ++i) {
        std::string_view field;
        if (i == 0) {
            // The first field keeps an empty token (a line that starts with a
            // tab reads nothing). It also ends at a line break, so that the
            // line of a one-cell row does not carry its "\r\n" into the cell.
            size_t end = pos;
            while (end < v.size() && !isLineDelimiter(v[end]))
                ++end;
            field = v.substr(pos, end - pos);
            pos = end < v.size() ? end + 1 : end;
        } else {
            // Further fields skip empty tokens: leading and repeated
            // delimiters vanish.
            while (pos < v.size() && isLineDelimiter(v[pos]))
                ++pos;
            size_t end = pos;
            while (end < v.size() && !isLineDelimiter(v[end]))
                ++end;
            field = v.substr(pos, end - pos);
            pos = end < v.size() ? end + 1 : end;
        }
        if (field.empty()) break;
        cells_[i].fromString(decodeField(field));
    }
}

// --------------------------------------------------------------- comparison

int DataRow::compare(const CoreObject& other, int column, int mode) const {
    const DataRow* row = dynamic_cast<const DataRow*>(&other);
    if (!row) return 1;
    const DataItem* a = cell(column);
    const DataItem* b = row->cell(column);
    if (!a || !b) return 0;
    return mode == 0 ? a->compareNoCase(*b) : a->compare(*b);
}

int DataRow::compare(const DataRow& other, const SortKeys& order) const {
    for (const SortKeys::Key& key : order.keys()) {
        const DataItem* a = cell(key.column);
        const DataItem* b = other.cell(key.column);
        if (!a || !b) continue;  // a missing cell decides nothing
        int c = a->compare(*b);
        if (c != 0) return key.descending ? -c : c;
    }
    return 0;
}

int DataRow::compareItems(const void* a, const void* b, const void* context, int mode) {
    const DataRow& left = *static_cast<const DataRow*>(a);
    const DataRow& right = *static_cast<const DataRow*>(b);
    if (mode == kSortKeysMode) {
        if (!context) return 0;
        return left.compare(right, *static_cast<const SortKeys*>(context));
    }
    int column = context ? *static_cast<const int*>(context) : 0;
    return left.compare(right, column, mode);
}

// ------------------------------------------------------------------- cells

void DataRow::setText(int index, TextRef text) {
    if (DataItem* c = cell(index)) c->fromString(String(text));
}

void DataRow::setTextByName(TextRef name, TextRef text) {
    setText(findNamedColumn(name), text);
}

void DataRow::set(int index, const DataItem& value) {
    if (DataItem* c = cell(index)) c->copyFrom(value);
}

void DataRow::setByName(TextRef name, const DataItem& value) {
    set(findNamedColumn(name), value);
}

DataItem* DataRow::cellChecked(int index) {
    if (index < 0 || index >= count_) throw GeneralException("DataRow[]: indice fuera de rango");
    return &cells_[index];
}

const DataItem* DataRow::cellChecked(int index) const {
    return const_cast<DataRow*>(this)->cellChecked(index);
}

DataItem* DataRow::cellByName(TextRef name) noexcept {
    return cell(findColumn(name));
}

const DataItem* DataRow::cellByName(TextRef name) const noexcept {
    return cell(findColumn(name));
}

DataItem DataRow::get(int index) const {
    const DataItem* c = cell(index);
    return c ? DataItem(*c) : DataItem();
}

DataItem DataRow::getByName(TextRef name) const {
    return get(findColumn(name));
}

void DataRow::setType(int index, int tag) {
    if (DataItem* c = cell(index)) c->setType(tag);
}

int DataRow::typeOf(int index) const noexcept {
    const DataItem* c = cell(index);
    return c ? c->type() : DataItem::TNull;
}

void DataRow::clearValues() {
    for (int i = 0; i < count_; ++i)
        if (!cells_[i].ownsObject()) cells_[i].setNull();
    clearFlags();
}

void DataRow::resetValues() {
    for (int i = 0; i < count_; ++i)
        if (!cells_[i].ownsObject()) cells_[i].setType(cells_[i].type());
    clearFlags();
}

// ------------------------------------------------------------------- names

int DataRow::findColumn(TextRef name) const noexcept {
    if (names_) {
        int i = 0;
        for (const ItemList::Node* n = names_->headNode(); n; n = n->next, ++i)
            if (nameAt(n).view() == name.view()) return i;
        return -1;
    }
    if (nameText_) {
        // Tokens of the name text count only while they stay below the
        // cell count.
        std::vector<std::string_view> pieces = splitBars(nameText_->view());
        for (size_t i = 0; i < pieces.size(); ++i)
            if (pieces[i] == name.view()) return int(i) < count_ ? int(i) : -1;
    }
    return -1;
}

int DataRow::findNamedColumn(TextRef name) const {
    if (!names_ && !nameText_) throw GeneralException("DataRow.findNamedColumn: Not named DataRow");
    int index = findColumn(name);
    if (index < 0)
        throw GeneralException("DataRow.findNamedColumn: " + std::string(name.view()) +
                               " no existe");
    return index;
}

bool DataRow::hasColumn(TextRef name) const noexcept {
    return findColumn(name) >= 0;
}

String DataRow::columnName(int index) const {
    if (index < 0) return String();
    if (names_) {
        const String* s = static_cast<const String*>(names_->at(index));
        return s ? *s : String();
    }
    if (nameText_) {
        std::vector<std::string_view> pieces = splitBars(nameText_->view());
        if (size_t(index) < pieces.size()) return String(TextRef(pieces[size_t(index)]));
    }
    return String();
}

void DataRow::setNameList(const ItemList* names) {
    if (names == names_) return;
    dropOwnNames();
    names_ = names;
}

void DataRow::setOwnNames(TextRef text) {
    ItemList* list = makeNameList(splitBars(text.view()));
    dropOwnNames();
    names_ = list;
    ownsNames_ = 1;
}

void DataRow::setNameText(TextRef text) {
    if (text.size() == 0)
        nameText_.reset();
    else
        nameText_ = std::make_unique<String>(text);
}

void DataRow::assignByNames(const DataRow* other) {
    if (!names_ || !other) return;
    int i = 0;
    for (const ItemList::Node* n = names_->headNode(); n && i < count_; n = n->next, ++i) {
        const DataItem* source = other->cell(other->findColumn(nameAt(n)));
        if (!source) continue;
        DataItem& target = cells_[i];
        if (target.type() == source->type())
            target.copyFrom(*source);
        else
            target.fromString(source->text());
    }
    clearFlags();
}

// ------------------------------------------------------------ Interfasable

DataItem* DataRow::getMemberItem(const String& name) {
    if (name.isNumber(false)) return cell(name.toInt());
    return cellByName(name);
}

std::unique_ptr<DataItem> DataRow::copyMemberItem(const String& name) const {
    const DataItem* c = const_cast<DataRow*>(this)->getMemberItem(name);
    return c ? std::make_unique<DataItem>(*c) : nullptr;
}

DataItem* DataRow::memberCell(const String& head) {
    if (head.isNumber(false)) {
        int index = head.toInt();
        if (index >= 0 && index < count_) return &cells_[index];
    }
    return cellByName(head);
}

DataItem DataRow::makeRowRef(DataRow* row) {
    // A reference of the row kind, so nothing takes the row for an item;
    // rowFromRef turns it back into the same DataRow*.
    DataItem ref;
    ref.setRef(DataItem::RefKind::Row, row);
    return ref;
}

DataRow* DataRow::rowFromRef(const DataItem& ref) {
    // getRef refuses items of other tags and variable references; a raw
    // reference is taken for a row as it always was.
    DataItem* target = ref.getRef();
    return static_cast<DataRow*>(static_cast<void*>(target));
}

namespace {

const char* const kRowFunctions[] = {"size",         "setItem",  "getItem",    "setItems",
                                     "setDataTypes", "setNames", "getDataRow", "extract"};

}  // namespace

std::vector<String> DataRow::functionNames() {
    std::vector<String> out;
    for (const char* f : kRowFunctions)
        out.push_back(String(f));
    return out;
}

bool DataRow::hasMember(const String& name) {
    int dot = name.findChar('.');
    if (dot >= 0) return memberCell(name.left(uint32_t(dot))) != nullptr;
    for (const char* f : kRowFunctions)
        if (name == f) return true;
    return false;
}

DataItem DataRow::execute(const String& name, const DataRow* args) {
    // Arguments are read as copies; a variable passed by a script is read
    // through to its value.
    auto arg = [args](int n) {
        const DataItem* cell = args ? args->cell(n) : nullptr;
        return cell ? DataItem(cell->argumentValue()) : DataItem();
    };

    int dot = name.findChar('.');
    if (dot >= 0) {
        // "col.func": the value function `func` on the cell `col`.
        DataItem* target = memberCell(name.left(uint32_t(dot)));
        if (!target) throw GeneralException::format("DataRow.%s not defined", name.c_str());
        return ValueFunctions::execute(*target, name.mid(uint32_t(dot) + 1), args);
    }

    if (name == "size") return DataItem(int32_t(count_));
    if (name == "getItem") return get(arg(0).toInt());
    if (name == "setItem") {
        setText(arg(0).toInt(), arg(1).text());
        return DataItem();
    }
    if (name == "setItems") {
        DataItem text = arg(0);
        std::vector<std::string_view> pieces = splitBars(text.text().view());
        for (size_t i = 0; i < pieces.size() && int(i) < count_; ++i)
            cells_[i].fromString(String(TextRef(pieces[i])));
        return DataItem();
    }
    if (name == "setDataTypes") {
        DataItem text = arg(0);
        std::vector<std::string_view> pieces = splitBars(text.text().view());
        for (size_t i = 0; i < pieces.size() && int(i) < count_; ++i)
            cells_[i].setType(DataItem::typeFromName(TextRef(pieces[i])));
        return DataItem();
    }
    if (name == "setNames") {
        setOwnNames(arg(0).text());
        return DataItem();
    }
    if (name == "getDataRow") return makeRowRef(this);
    if (name == "extract") {
        Interfasable* object = arg(0).getObj();
        if (object) assignByNames(rowFromRef(object->execute("getDataRow", nullptr)));
        return DataItem();
    }
    throw GeneralException::format("DataRow.%s not defined", name.c_str());
}

// -------------------------------------------------------------- binary image

void DataRow::serialize(Archive& archive, bool storing) {
    if (storing) {
        archive.writeInt(count_);
        for (int i = 0; i < count_; ++i)
            archive.writeItem(cells_[i]);
        return;
    }
    int32_t n = archive.readInt();
    // Every item image takes at least its tag byte: a count that cannot fit
    // in what is left (or a negative one) fails before anything is allocated.
    archive.requireCount(n, 1);
    std::unique_ptr<DataItem[]> fresh;
    if (n > 0) fresh = std::make_unique<DataItem[]>(size_t(n));
    for (int32_t i = 0; i < n; ++i)
        archive.readItem(fresh[i]);
    replaceCells(std::move(fresh), n);
}

}  // namespace VORLIN
