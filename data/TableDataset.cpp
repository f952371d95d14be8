#include "data/TableDataset.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

TableDataset::MessageHook& messageHook() {
    static TableDataset::MessageHook hook;
    return hook;
}

TableDataset::CounterHook& counterHook() {
    static TableDataset::CounterHook hook;
    return hook;
}

// SQLite's keyword list, upper case and sorted for the binary search in
// isSqlKeyword. A name equal to one of these (in any case) is quoted even
// when SQLite would accept it bare in some positions: "group", "order" and
// "key" break a statement in others, and the rule is simpler kept whole.
// clang-format off
constexpr std::string_view kSqlKeywords[] = {
    "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYZE", "AND", "AS", "ASC",
    "ATTACH", "AUTOINCREMENT", "BEFORE", "BEGIN", "BETWEEN", "BY", "CASCADE", "CASE", "CAST",
    "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT", "CREATE", "CROSS", "CURRENT",
    "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "DATABASE", "DEFAULT", "DEFERRABLE",
    "DEFERRED", "DELETE", "DESC", "DETACH", "DISTINCT", "DO", "DROP", "EACH", "ELSE", "END",
    "ESCAPE", "EXCEPT", "EXCLUDE", "EXCLUSIVE", "EXISTS", "EXPLAIN", "FAIL", "FILTER", "FIRST",
    "FOLLOWING", "FOR", "FOREIGN", "FROM", "FULL", "GENERATED", "GLOB", "GROUP", "GROUPS",
    "HAVING", "IF", "IGNORE", "IMMEDIATE", "IN", "INDEX", "INDEXED", "INITIALLY", "INNER",
    "INSERT", "INSTEAD", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN", "KEY", "LAST", "LEFT",
    "LIKE", "LIMIT", "MATCH", "MATERIALIZED", "NATURAL", "NO", "NOT", "NOTHING", "NOTNULL", "NULL",
    "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OTHERS", "OUTER", "OVER", "PARTITION", "PLAN",
    "PRAGMA", "PRECEDING", "PRIMARY", "QUERY", "RAISE", "RANGE", "RECURSIVE", "REFERENCES",
    "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPLACE", "RESTRICT", "RETURNING", "RIGHT",
    "ROLLBACK", "ROW", "ROWS", "SAVEPOINT", "SELECT", "SET", "TABLE", "TEMP", "TEMPORARY", "THEN",
    "TIES", "TO", "TRANSACTION", "TRIGGER", "UNBOUNDED", "UNION", "UNIQUE", "UPDATE", "USING",
    "VACUUM", "VALUES", "VIEW", "VIRTUAL", "WHEN", "WHERE", "WINDOW", "WITH", "WITHOUT",
};
// clang-format on

constexpr bool keywordsSorted() {
    for (size_t i = 1; i < std::size(kSqlKeywords); ++i)
        if (!(kSqlKeywords[i - 1] < kSqlKeywords[i])) return false;
    return true;
}
static_assert(keywordsSorted(), "the keyword table must stay sorted for the binary search");
static_assert(std::size(kSqlKeywords) == 147, "SQLite documents 147 keywords");

constexpr size_t kLongestKeyword = 17;  // CURRENT_TIMESTAMP

inline bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSqlKeyword(std::string_view name) {
    if (name.size() > kLongestKeyword) return false;
    char upper[kLongestKeyword];
    for (size_t i = 0; i < name.size(); ++i)
        upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? char(name[i] - 'a' + 'A') : name[i];
    std::string_view key(upper, name.size());
    return std::binary_search(std::begin(kSqlKeywords), std::end(kSqlKeywords), key);
}

bool isPlainIdentifier(std::string_view name) {
    if (name.empty() || !(isAsciiLetter(name[0]) || name[0] == '_')) return false;
    for (char c : name)
        if (!(isAsciiLetter(c) || isAsciiDigit(c) || c == '_')) return false;
    return true;
}

inline bool isIntegerTag(int tag) {
    return tag >= DataItem::TInt && tag <= DataItem::TULong;
}

// A key value for a WHERE clause. An integer key keeps its old form, the
// signed 32-bit decimal of the value; anything else goes in as its SQL
// literal, so that a text key such as '0012' is compared as that text and
// not as the number 12 (which would hit the row '12'). A missing cell (no
// key column) gives NULL, which matches no row.
String keyText(const DataItem* key) {
    if (!key) return String("NULL");
    if (!isIntegerTag(key->type())) return key->sqlLiteral();
    String out;
    out.appendInt(key->toInt());
    return out;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

void TableDataset::setMessageHook(MessageHook hook) {
    messageHook() = std::move(hook);
}

void TableDataset::setCounterHook(CounterHook hook) {
    counterHook() = std::move(hook);
}

TableDataset::TableDataset() = default;

TableDataset::~TableDataset() {
    // The base destructor's clearRows no longer reaches this override, so
    // the parked rows are dropped here.
    clearRows();
}

bool TableDataset::deleteRow(int index) {
    checkWritable();
    ItemList& list = currentList();
    ItemList::Node* node = list.nodeAt(index);
    if (!node) return false;
    DataRow* target = static_cast<DataRow*>(list.remove(node));
    // A filtered set removed it from the selection only; the main list holds
    // it as well.
    if (isFiltered()) {
        ItemList& all = *rowListObject();
        if (ItemList::Node* inMain = all.findNode(target)) all.remove(inMain);
    }
    // A row never stored has nothing to delete: a DELETE by the key the user
    // typed into it could hit a stored row.
    if (target->isInserted()) {
        disposeRow(target);
        return true;
    }
    deleted_.addLast(target);
    return true;
}

void TableDataset::clearRows() {
    DataSet::clearRows();
    for (const ItemList::Node* n = deleted_.headNode(); n; n = n->next)
        disposeRow(static_cast<DataRow*>(n->item));
    deleted_.clear();
}

void TableDataset::markStored() {
    for (const ItemList::Node* n = rowList().headNode(); n; n = n->next) {
        DataRow* r = static_cast<DataRow*>(n->item);
        r->clearFlags();
        if (!noImages_) r->keepStoredImage();
    }
}

DataRow* TableDataset::insertStoredRow(std::unique_ptr<DataRow> row) {
    if (!row) return nullptr;
    row->clearFlags();
    if (!noImages_) row->keepStoredImage();
    // Tracking off while it goes in, so that insertRow does not mark it.
    struct Untracked {
        TableDataset& set;
        bool saved;
        ~Untracked() { set.setTrackChanges(saved); }
    } untracked{*this, tracksChanges()};
    setTrackChanges(false);
    return insertRow(std::move(row));
}

void TableDataset::setKeyColumn(int index) {
    keyColumn_ = index;
    if (index >= 0 && index < nameList().count()) keyColumnName_ = columnName(index);
}

// --------------------------------------------------------------- statements

String TableDataset::quoteName(const String& name) {
    std::string_view text = name.view();
    if (isPlainIdentifier(text) && !isSqlKeyword(text)) return name;
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    for (char c : text) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return String(quoted);
}

int64_t TableDataset::countKeyed(TableStore& connection, const String& key) const {
    String sql("SELECT COUNT(*) FROM ");
    sql.append(quoteName(tableName_))
        .append(" WHERE ")
        .append(quoteName(keyColumnName_))
        .append('=')
        .append(key);
    DataRow count(1);
    count.cell(0)->setInt(-1);
    try {
        connection.queryDataRow(sql, &count);
    } catch (const GeneralException&) {
        // The edit went through; only the check could not be made.
        return -1;
    }
    return count.cell(0)->toLong();
}

String TableDataset::keyLiteral(const DataRow& row) const {
    if (row.hasStoredImage()) return keyText(row.storedCell(keyColumn_));
    return keyText(row.cell(keyColumn_));
}

String TableDataset::insertSql(const DataRow& row, bool orReplace) {
    String sql(orReplace ? "INSERT OR REPLACE INTO " : "INSERT INTO ");
    sql.append(quoteName(tableName_)).append(" VALUES(");
    lastGenerated_ = 0;
    // In row-id mode the first column is the database's own row id, which
    // the table does not declare: leaving it out gives one value per column.
    int first = rowIdMode_ ? 1 : 0;
    int columns = columnCount();
    for (int i = first; i < columns; ++i) {
        if (i > first) sql.append(',');
        const DataItem* c = row.cell(i);
        if (i == counterColumn_ && (!c || c->isEmpty())) {
            const CounterHook& next = counterHook();
            lastGenerated_ = next ? next(counterKey_) : 0;
            if (lastGenerated_ == 0)
                sql.append("NULL");
            else
                sql.appendInt(lastGenerated_);
        } else if (!c || (i == keyColumn_ && c->isEmpty())) {
            // An empty key lets the database assign one.
            sql.append("NULL");
        } else {
            sql.append(c->sqlLiteral());
        }
    }
    sql.append(");");
    return sql;
}

String TableDataset::updateSql(const DataRow& row) const {
    String sql("UPDATE ");
    sql.append(quoteName(tableName_)).append(" SET ");
    // The key name comes from the column itself; the stored key name only
    // stands in when the key lies outside the columns.
    String keyName = keyColumnName_;
    // With a stored image only the changed cells are written (the key too,
    // when it changed: the row is renamed); a row without one is written
    // whole, key excepted.
    const bool onlyChanged = row.hasStoredImage();
    bool firstAssignment = true;
    int columns = columnCount();
    for (int i = 0; i < columns; ++i) {
        if (i == keyColumn_) {
            String name = columnName(i);
            if (!name.isEmpty()) keyName = name;
            // The row id of row-id mode is the database's, never written.
            if (!onlyChanged || rowIdMode_ || !row.cellChanged(i)) continue;
        } else if (onlyChanged && (!row.cellChanged(i) || (rowIdMode_ && i == 0))) {
            continue;
        }
        // Separators go before each assignment, so skipping the key (last
        // column included) never leaves a comma in front of WHERE.
        if (!firstAssignment) sql.append(',');
        firstAssignment = false;
        const DataItem* c = row.cell(i);
        sql.append(quoteName(columnName(i)))
            .append('=')
            .append(c ? c->sqlLiteral() : String("NULL"));
    }
    if (firstAssignment && onlyChanged) return String();
    sql.append(" WHERE ").append(quoteName(keyName)).append('=').append(keyLiteral(row));
    sql.append(';');
    return sql;
}

String TableDataset::deleteSql(int index) const {
    const DataRow* target = row(index);
    return target ? deleteSql(*target) : String();
}

String TableDataset::deleteSql(const DataRow& row) const {
    String sql("DELETE FROM ");
    sql.append(quoteName(tableName_))
        .append(" WHERE ")
        .append(quoteName(keyColumnName_))
        .append('=')
        .append(keyLiteral(row))
        .append(';');
    return sql;
}

void TableDataset::toSql(String& text) {
    // String grows exactly, so appending row by row would copy the whole
    // text once per row: gather the statements first, append them once.
    std::string all;
    for (const DataRow* r : rows()) {
        String sql = insertSql(*r, false);
        all.append(sql.c_str(), sql.length()).append("\r\n");
    }
    text.append(all);
}

// ------------------------------------------------------------------ writing

void TableDataset::refreshRow(TableStore& connection, const DataItem& keyValue, DataRow& row) {
    String sql(rowIdMode_ ? "SELECT ROWID,* FROM " : "SELECT * FROM ");
    sql.append(quoteName(tableName_))
        .append(" WHERE ")
        .append(quoteName(keyColumnName_))
        .append('=')
        .append(keyText(&keyValue))
        .append(';');
    connection.queryDataRow(sql, &row);
    row.keepStoredImage();
}

void TableDataset::saveRow(DataRow& row, TableStore& connection, int32_t& id) {
    if (id != 0) {
        String sql = updateSql(row);
        if (!sql.isEmpty()) connection.execute(sql);
        row.keepStoredImage();
        return;
    }
    const DataItem* key = row.cell(keyColumn_);
    const bool takesId = keyTakesRowId() && key && key->isEmpty();
    id = connection.executeInsert(insertSql(row, false));
    // A key the user typed stays; only the database's own row number fills
    // an empty key.
    if (takesId) row.set(keyColumn_, DataItem(id));
    row.keepStoredImage();
}

bool TableDataset::updateCell(int rowIndex, TextRef columnName, const DataItem& value,
                              TableStore* connection) {
    DataRow* target = row(rowIndex);
    if (!target || !hasColumn(columnName)) return false;
    const int column = findNamedColumn(columnName);
    DataItem* cell = target->cell(column);
    if (connection) {
        String sql("UPDATE ");
        sql.append(quoteName(tableName_))
            .append(" SET ")
            .append(quoteName(String(columnName)))
            .append('=')
            .append(value.sqlLiteral())
            .append(" WHERE ")
            .append(quoteName(keyColumnName_))
            .append('=')
            .append(keyLiteral(*target));
        String failure;
        try {
            // A row deleted meanwhile (or whose key someone else changed)
            // matches nothing: that is no saved edit. A back end that cannot
            // count the rows matched is asked whether the row is there now,
            // by the key it has after the edit.
            int64_t matched = connection->executeMatched(sql);
            if (matched < 0) {
                const bool keyEdited = column == keyColumn_;
                if (!keyEdited || !value.isNull())
                    matched = countKeyed(*connection,
                                         keyEdited ? value.sqlLiteral() : keyLiteral(*target));
            }
            if (matched == 0)
                failure.format(kNoRowMatched, tableName_.c_str(), keyColumnName_.c_str(),
                               keyLiteral(*target).c_str());
        } catch (const GeneralException& e) {
            failure = String(e.message());
        }
        if (!failure.isEmpty()) {
            // The grid goes on with the old value; the user sees why.
            if (const MessageHook& show = messageHook())
                show(String("ERROR"), failure);
            else
                std::fprintf(stderr, "ERROR: %s\n", failure.c_str());
            return false;
        }
    }
    // A name beyond the header's cells has no cell to take the value.
    if (cell) {
        cell->assignNullable(&value);
        // The database holds it now (with a connection).
        if (connection) target->setStoredCell(column, *cell);
    }
    return true;
}

void TableDataset::saveChanges(TableStore& connection, bool insertAll) {
    // Without a key column no row can be addressed nor its new key kept:
    // refuse before anything is written, so that saving again cannot write
    // the same rows twice.
    const bool keyed = keyColumn_ >= 0 && keyColumn_ < columnCount();
    if (!keyed) {
        bool pending = deleted_.count() > 0;
        for (const ItemList::Node* n = rowList().headNode(); n && !pending; n = n->next) {
            const DataRow& r = *static_cast<const DataRow*>(n->item);
            pending = insertAll || r.isInserted() || r.isModified();
        }
        if (pending) {
            String text;
            text.format(kNoKeyColumn, tableName_.c_str());
            throw GeneralException(text.toStdString());
        }
    }
    // Flags are cleared row by row, right after each row is written, so that
    // a failure leaves exactly the unwritten rows marked for the next try.
    for (const ItemList::Node* n = rowList().headNode(); n; n = n->next) {
        DataRow& r = *static_cast<DataRow*>(n->item);
        if (insertAll || r.isInserted()) {
            const DataItem* key = r.cell(keyColumn_);
            const bool takesId = keyTakesRowId() && key && key->isEmpty();
            int32_t id = connection.executeInsert(insertSql(r, false));
            // A key the user typed stays; only the database's own row number
            // fills an empty key.
            if (takesId) r.cell(keyColumn_)->setLong(id);
        } else if (r.isModified()) {
            String sql = updateSql(r);
            if (!sql.isEmpty()) connection.execute(sql);
        } else {
            continue;
        }
        r.clearFlags();
        r.keepStoredImage();
    }
    // The parked rows stay parked until every DELETE went through; running
    // one again later matches no row and is harmless.
    for (const ItemList::Node* n = deleted_.headNode(); n; n = n->next)
        connection.execute(deleteSql(*static_cast<const DataRow*>(n->item)));
    for (const ItemList::Node* n = deleted_.headNode(); n; n = n->next)
        disposeRow(static_cast<DataRow*>(n->item));
    deleted_.clear();
}

void TableDataset::appendFrom(const DataSet& set, TableStore* connection) {
    std::unique_ptr<DataRow> templ = header() ? header()->clone() : std::make_unique<DataRow>(1);
    // assignByNames matches by this set's names, so the template needs them.
    templ->setNameList(&nameList());
    // One template serves every row, so a column the source lacks keeps
    // what the previous source row left in it.
    for (const DataRow* source : set.rows()) {
        templ->assignByNames(source);
        if (!connection) {
            insertRow(templ->clone());
            continue;
        }
        try {
            connection->execute(insertSql(*templ, false));
        } catch (const GeneralException&) {
            // A row the database rejects (duplicate key, constraint) is
            // skipped; the copy goes on with the next one.
        }
    }
}

}  // namespace VORLIN
