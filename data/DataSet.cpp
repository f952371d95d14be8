#include "data/DataSet.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/FileStream.h"

namespace VORLIN {

namespace {

DataSet::SaveFileChooser& saveFileChooser() {
    static DataSet::SaveFileChooser chooser;
    return chooser;
}

inline DataRow* rowOf(const ItemList::Node* node) {
    return static_cast<DataRow*>(node->item);
}

std::vector<std::unique_ptr<String>> splitNames(std::string_view text) {
    std::vector<std::unique_ptr<String>> names;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t bar = text.find('|', pos);
        if (bar == std::string_view::npos) bar = text.size();
        if (bar > pos)
            names.push_back(std::make_unique<String>(TextRef(text.substr(pos, bar - pos))));
        pos = bar + 1;
    }
    return names;
}

inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    if (!ignoreCase) return a == b;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// ------------------------------------------------------------------ sorting
//
// The sort keys of a row (see ItemList::SortKey) follow the typed comparison
// of its key cells: a text against a text compares byte-wise unsigned, then
// by length; the numeric tags (int, uint, long, ulong, double) compare by
// value against each other. A text is cut into levels of 7 bytes (zero
// padded) plus one byte holding how many bytes were left, at most 8: two
// texts whose levels agree that far and that have at most 7 bytes left are
// equal. A number takes one level. The levels of the sort keys follow one
// another; any other cell ends the keys (rank 0: the comparator decides).

enum : uint8_t { kNoRank = 0, kTextRank = 1, kNumberRank = 2 };

constexpr uint32_t kTextLevelBytes = 7;

bool isNumberTag(int tag) {
    return tag == DataItem::TInt || tag == DataItem::TUInt || tag == DataItem::TLong ||
           tag == DataItem::TULong || tag == DataItem::TDouble;
}

// Levels a text of `length` bytes takes: the last is the one with at most
// 7 bytes left.
uint32_t textLevels(size_t length) {
    return length == 0 ? 1 : uint32_t((length - 1) / kTextLevelBytes + 1);
}

uint64_t textLevelKey(std::string_view text, uint32_t level) {
    size_t from = size_t(level) * kTextLevelBytes;
    size_t left = text.size() > from ? text.size() - from : 0;
    uint64_t key = 0;
    for (size_t i = 0; i < kTextLevelBytes; ++i)
        key = (key << 8) | (i < left ? uint8_t(text[from + i]) : 0u);
    return (key << 8) | uint64_t(left < 8 ? left : 8);
}

// Doubles as unsigned numbers in the same order (NaN is left to the caller).
uint64_t numberKey(double value) {
    if (value == 0.0) value = 0.0;  // -0 and 0 are the same number
    uint64_t bits = std::bit_cast<uint64_t>(value);
    return (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
}

double numberOf(const DataItem& c) {
    switch (c.type()) {
        case DataItem::TInt:
            return c.toInt();
        case DataItem::TUInt:
            return c.toUInt();
        case DataItem::TLong:
            return double(c.toLong());
        case DataItem::TULong:
            return c.toULong();
        default:
            return c.toDouble();
    }
}

void probeRow(const void* item, const void* context, int, uint32_t level, ItemList::SortKey& key) {
    const SortKeys& order = *static_cast<const SortKeys*>(context);
    const DataRow* row = static_cast<const DataRow*>(item);
    bool single = order.count() == 1;
    // With one key the comparator is given the key cells, not the rows (and
    // the deeper levels read the cell without going through the row again).
    if (single && level == 0) key.subject = row->cell(order.key(0).column);
    for (int k = 0; k < order.count(); ++k) {
        const SortKeys::Key& sortKey = order.key(k);
        const DataItem* c =
            single ? static_cast<const DataItem*>(key.subject) : row->cell(sortKey.column);
        if (!c) return;
        bool lastKey = k + 1 == order.count();
        if (c->type() == DataItem::TString) {
            std::string_view text = c->text().view();
            uint32_t levels = textLevels(text.size());
            if (level >= levels) {
                level -= levels;
                continue;
            }
            key.rank = kTextRank;
            key.prefix = textLevelKey(text, level);
            key.exact = lastKey && level + 1 == levels;
        } else if (isNumberTag(c->type())) {
            double number = numberOf(*c);
            if (std::isnan(number)) return;
            if (level >= 1) {
                level -= 1;
                continue;
            }
            key.rank = kNumberRank;
            key.prefix = numberKey(number);
            key.exact = lastKey;
        } else {
            return;
        }
        if (sortKey.descending) key.prefix = ~key.prefix;
        return;
    }
}

// The comparator of a one-key sort: the subjects are the key cells.
int compareKeyCells(const void* a, const void* b, const void* context, int) {
    const DataItem* x = static_cast<const DataItem*>(a);
    const DataItem* y = static_cast<const DataItem*>(b);
    if (!x || !y) return 0;  // a missing cell decides nothing
    int c = x->compare(*y);
    return static_cast<const SortKeys*>(context)->key(0).descending ? -c : c;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

DataSet::DataSet() : rows_(std::make_unique<ItemList>()), names_(std::make_unique<ItemList>()) {}

DataSet::~DataSet() {
    // Rows first (they point at the names), then the selection, the header,
    // the name strings and finally the list objects themselves.
    clearRows();
    filtered_list_.clear();
    header_.reset();
    deleteNames();
    if (listsNotOwned_) {
        // Someone else took the list objects over; they are left empty.
        (void)rows_.release();
        (void)names_.release();
    }
}

void DataSet::deleteNames() {
    for (const ItemList::Node* n = names_->headNode(); n; n = n->next)
        delete static_cast<String*>(n->item);
    names_->clear();
}

void DataSet::checkWritable() const {
    if (readOnly_) throw GeneralException("DataSet.insertRow: DataSet is read only");
}

void DataSet::markInserted(DataRow* row) const {
    if (trackChanges_ && !row->isModified()) row->setInserted(true);
}

void DataSet::markModified(DataRow* row) const {
    if (trackChanges_ && !row->isInserted()) row->setModified(true);
}

void DataSet::disposeRow(DataRow* row) const {
    if (!row) return;
    if (!rowsNotOwned_) {
        delete row;
    } else if (row->nameList() == names_.get()) {
        row->setNameList(nullptr);
    }
}

// --------------------------------------------------------------------- rows

DataRow* DataSet::newRow() {
    if (!header_) return nullptr;
    std::unique_ptr<DataRow> fresh = header_->clone();
    fresh->setNameList(names_.get());
    markInserted(fresh.get());
    rows_->addFirst(fresh.get());
    // From here on the main list owns the row.
    DataRow* row = fresh.release();
    if (filtered_) filtered_list_.addFirst(row);
    return row;
}

DataRow* DataSet::insertRow(DataRow* row) {
    checkWritable();
    if (!row) return nullptr;
    rows_->addLast(row);
    row->setNameList(names_.get());
    markInserted(row);
    return row;
}

DataRow* DataSet::insertRow(std::unique_ptr<DataRow>&& row) {
    DataRow* added = insertRow(row.get());
    if (added) (void)row.release();
    return added;
}

DataRow* DataSet::copyRow(int index, const DataRow& other) {
    checkWritable();
    DataRow* target = row(index);
    if (!target) return nullptr;
    target->copyFrom(other);
    // copyFrom takes the other row's name list; a row of this set keeps ours.
    target->setNameList(names_.get());
    markModified(target);
    return target;
}

bool DataSet::deleteRow(int index) {
    checkWritable();
    ItemList& list = currentList();
    ItemList::Node* node = list.nodeAt(index);
    if (!node) return false;
    DataRow* target = static_cast<DataRow*>(list.remove(node));
    if (filtered_) rows_->remove(rows_->findNode(target));
    disposeRow(target);
    return true;
}

void DataSet::clearRows() {
    for (const ItemList::Node* n = rows_->headNode(); n; n = n->next)
        disposeRow(rowOf(n));
    rows_->clear();
    filtered_list_.clear();
    filtered_ = 0;
}

int DataSet::deleteWhere(int column, const DataItem& value) {
    ItemList& list = currentList();
    std::vector<DataRow*> doomed;
    for (ItemList::Node* n = const_cast<ItemList::Node*>(list.headNode()); n;) {
        ItemList::Node* following = n->next;
        const DataItem* c = rowOf(n)->cell(column);
        if (c && c->equals(value)) {
            doomed.push_back(rowOf(n));
            // Index entries go in one pass at the end, not one search each.
            list.remove(n, false);
        }
        n = following;
    }
    if (filtered_ && !doomed.empty()) {
        std::unordered_set<const DataRow*> gone(doomed.begin(), doomed.end());
        for (ItemList::Node* n = const_cast<ItemList::Node*>(rows_->headNode()); n;) {
            ItemList::Node* following = n->next;
            if (gone.count(rowOf(n))) rows_->remove(n, false);
            n = following;
        }
    }
    for (DataRow* r : doomed)
        disposeRow(r);
    return int(doomed.size());
}

void DataSet::copyFrom(const DataSet& other, bool withHeader) {
    if (withHeader && &other != this) {
        setColumnNames(other.nameList());
        setHeader(other.header());
    }
    // Taken first: copying a set into itself must not see its own new rows.
    std::vector<const DataRow*> source;
    source.reserve(size_t(other.rowCount()));
    for (const DataRow* r : other.rows())
        source.push_back(r);
    for (const DataRow* r : source) {
        std::unique_ptr<DataRow> copy = r->clone();
        copy->setNameList(names_.get());
        rows_->addLast(copy.get());
        (void)copy.release();
    }
    filtered_list_.clear();
    filtered_ = 0;
}

// --------------------------------------------------------- header and names

void DataSet::replaceNames(std::vector<std::unique_ptr<String>> names) {
    deleteNames();
    for (std::unique_ptr<String>& name : names) {
        names_->addLast(name.get());
        (void)name.release();
    }
    if (header_) header_->setNameList(names_.get());
}

void DataSet::setDataTypes(TextRef text) {
    header_.reset();
    std::vector<std::unique_ptr<String>> types = splitNames(text.view());
    if (types.empty()) return;
    auto header = std::make_unique<DataRow>(int(types.size()));
    for (size_t i = 0; i < types.size(); ++i)
        header->setType(int(i), DataItem::typeFromName(*types[i]));
    header->setNameList(names_.get());
    header_ = std::move(header);
}

void DataSet::setColumnNames(TextRef text) {
    replaceNames(splitNames(text.view()));
}

void DataSet::setColumnNames(const ItemList& names) {
    if (&names == names_.get()) return;
    std::vector<std::unique_ptr<String>> copies;
    copies.reserve(size_t(names.count()));
    for (const ItemList::Node* n = names.headNode(); n; n = n->next)
        copies.push_back(std::make_unique<String>(*static_cast<const String*>(n->item)));
    replaceNames(std::move(copies));
}

void DataSet::setHeader(const DataRow* row) {
    if (row == header_.get()) return;
    if (!row) {
        header_.reset();
        return;
    }
    std::unique_ptr<DataRow> header = row->clone();
    header->setNameList(names_.get());
    header_ = std::move(header);
}

String DataSet::columnName(int column) const {
    const String* name = static_cast<const String*>(names_->at(column));
    return name ? *name : String();
}

bool DataSet::hasColumn(TextRef name) const noexcept {
    for (const ItemList::Node* n = names_->headNode(); n; n = n->next)
        if (static_cast<const String*>(n->item)->view() == name.view()) return true;
    return false;
}

int DataSet::findNamedColumn(TextRef name) const {
    int i = 0;
    for (const ItemList::Node* n = names_->headNode(); n; n = n->next, ++i)
        if (static_cast<const String*>(n->item)->view() == name.view()) return i;
    throw GeneralException("DataSet.findNamedColumn: '" + std::string(name.view()) + "' no existe");
}

// ---------------------------------------------------------------- cells

DataItem DataSet::getCell(int rowIndex, int column) const {
    const DataRow* r = row(rowIndex);
    if (!r) return DataItem();
    return *r->cellChecked(column);
}

String DataSet::getCellText(int rowIndex, int column) const {
    const DataRow* r = row(rowIndex);
    if (!r) return String();
    return r->cellChecked(column)->text();
}

void DataSet::setCell(int rowIndex, int column, const DataItem& value) {
    DataRow* r = row(rowIndex);
    if (!r) return;
    r->cellChecked(column)->copyFrom(value);
    markModified(r);
}

void DataSet::setCellText(int rowIndex, int column, TextRef text) {
    DataRow* r = row(rowIndex);
    if (!r) return;
    r->cellChecked(column)->fromString(String(text));
    markModified(r);
}

// ---------------------------------------------- searching, filter and sort

DataRow* DataSet::find(int column, const DataItem& value, bool byIndex) {
    lastFound_ = -1;
    if (column >= columnCount()) return nullptr;
    const ItemList& list = currentList();
    if (byIndex) {
        for (int i = 0; i < list.count(); ++i) {
            DataRow* r = static_cast<DataRow*>(list.at(i));
            if (r->cellChecked(column)->equals(value)) {
                lastFound_ = i;
                return r;
            }
        }
    } else {
        int i = 0;
        for (const ItemList::Node* n = list.headNode(); n; n = n->next, ++i) {
            if (rowOf(n)->cellChecked(column)->equals(value)) {
                lastFound_ = i;
                return rowOf(n);
            }
        }
    }
    return nullptr;
}

DataRow* DataSet::findText(int column, TextRef text, bool whole, bool ignoreCase) {
    lastFound_ = -1;
    if (column >= columnCount()) return nullptr;
    const ItemList& list = currentList();
    std::string_view wanted = text.view();
    for (int i = 0; i < list.count(); ++i) {
        DataRow* r = static_cast<DataRow*>(list.at(i));
        std::string_view have = r->cellChecked(column)->text().view();
        // Without `whole` only the first length(text) bytes must match.
        if (!whole) {
            if (have.size() < wanted.size()) continue;
            have = have.substr(0, wanted.size());
        }
        if (sameBytes(have, wanted, ignoreCase)) {
            lastFound_ = i;
            return r;
        }
    }
    return nullptr;
}

void DataSet::filter(int column, const DataItem& value, bool exact) {
    filtered_list_.clear();
    const String& wanted = value.text();
    for (const ItemList::Node* n = rows_->headNode(); n; n = n->next) {
        const DataItem* c = rowOf(n)->cell(column);
        if (!c) continue;
        bool match =
            exact ? c->equals(value) : (wanted.isEmpty() || c->text().find(wanted, true) >= 0);
        if (match) filtered_list_.addLast(n->item);
    }
    filtered_ = 1;
}

void DataSet::clearFilter() {
    filtered_list_.clear();
    filtered_ = 0;
}

void DataSet::sort(const SortKeys& order) {
    // Without keys every row compares equal: the order stays as it is.
    if (order.count() == 0) return;
    ItemList::Comparator compare = order.count() == 1 ? compareKeyCells : DataRow::compareItems;
    currentList().sort(&order, DataRow::kSortKeysMode, compare, probeRow);
}

// -------------------------------------------------------------- text export

void DataSet::setSaveFileChooser(SaveFileChooser chooser) {
    saveFileChooser() = std::move(chooser);
}

bool DataSet::exportText(FileStream* file) {
    FileStream chosen;
    FileStream* out = file;
    if (!out) {
        // The data layer never shows a window: the UI's chooser does.
        const SaveFileChooser& choose = saveFileChooser();
        if (!choose) return false;
        String path = choose(String(kTextFileFilter));
        if (path.isEmpty()) return false;
        if (!chosen.create(path))
            throw GeneralException("DataSet.exportText: no se pudo crear el archivo " +
                                   path.toStdString());
        out = &chosen;
    }

    auto write = [out](const String& text) {
        if (out->write(text) != text.length())
            throw GeneralException("DataSet.exportText: no se pudo escribir el archivo");
    };

    String line;
    for (int i = 0; i < columnCount(); ++i) {
        if (i > 0) line.append('\t');
        line.append(columnName(i));
    }
    line.append("\r\n");
    write(line);
    for (const DataRow* r : rows())
        write(r->toString(line));

    if (out == &chosen) chosen.close();
    return true;
}

// ------------------------------------------------------------- binary image

void DataSet::serialize(Archive& archive, bool storing, bool keepRows) {
    if (storing) {
        int columns = columnCount();
        archive.writeInt(columns);
        archive.writeByte(header_ ? 1 : 0);
        if (header_) {
            for (int i = 0; i < columns; ++i) {
                archive.writeItem(*header_->cell(i));
                archive.writeString(columnName(i));
            }
        }
        const ItemList& list = currentList();
        archive.writeInt(list.count());
        for (int r = 0; r < list.count(); ++r) {
            const DataRow* source = static_cast<const DataRow*>(list.at(r));
            // A short row is padded with null items.
            for (int c = 0; c < columns; ++c)
                archive.writeItemOrNull(source->cell(c));
        }
        return;
    }

    if (!keepRows) clearRows();
    int32_t columns = archive.readInt();
    // Every count read from an archive is checked against the bytes left
    // before anything is allocated for it: each item image is at least its
    // tag byte, so two billion columns cannot hide in a short message.
    archive.requireCount(columns, 1);
    bool withHeader = archive.readByte() != 0;
    if (withHeader) {
        // Per column at least a tag byte and a 4-byte name length.
        archive.requireCount(columns, 5);
        auto header = std::make_unique<DataRow>(columns);
        std::vector<std::unique_ptr<String>> names;
        names.reserve(size_t(columns));
        for (int32_t i = 0; i < columns; ++i) {
            archive.readItem(*header->cell(i));
            names.push_back(std::make_unique<String>(archive.readString()));
        }
        // Header and names change together, only once both were read whole.
        header->setNameList(names_.get());
        header_ = std::move(header);
        replaceNames(std::move(names));
    } else {
        header_.reset();
        deleteNames();
    }

    int32_t count = archive.readInt();
    // A row takes at least one byte per column (a row of no columns is
    // counted as one byte, so that an empty image cannot announce billions
    // of rows).
    archive.requireCount(count, uint32_t(std::max<int32_t>(columns, 1)));
    for (int32_t r = 0; r < count; ++r) {
        std::unique_ptr<DataRow> fresh = DataRow::make(columns);
        for (int32_t c = 0; c < columns; ++c)
            archive.readItem(*fresh->cell(c));
        fresh->setNameList(names_.get());
        rows_->addLast(fresh.get());
        (void)fresh.release();
    }
}

}  // namespace VORLIN
