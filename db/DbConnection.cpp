#include "db/DbConnection.h"

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/TableDataset.h"

namespace VORLIN {

bool DbConnection::connect(const String&, const String&, const String&, bool, const String&) {
    return false;
}
void DbConnection::disconnect() {}
void DbConnection::createDatabase(const String&, bool) {}
bool DbConnection::openDatabase(const String&, bool, const String&, const String&) {
    return false;
}
void DbConnection::listDatabases(DataSet*, const String&) {}
bool DbConnection::databaseExists(const String&, bool) {
    return false;
}
bool DbConnection::isConnected() {
    return false;
}
String DbConnection::browseDatabase(const String&, const String&, const String&) {
    return String();
}
void DbConnection::beginTransaction() {}
void DbConnection::commitTransaction() {}
void DbConnection::rollbackTransaction() {}
void DbConnection::execute(const String&) {}
void DbConnection::executeFile(const String&) {}
int32_t DbConnection::executeInsert(const String&) {
    return 0;
}
void DbConnection::insertLiterals(const String& prefix, const std::vector<std::string>& literals) {
    std::string sql(prefix.view());
    for (size_t i = 0; i < literals.size(); ++i) {
        if (i > 0) sql.push_back(',');
        sql.append(literals[i]);
    }
    sql.append(");");
    execute(String(sql));
}
DataItem DbConnection::queryItem(const String&) {
    return DataItem();
}
int32_t DbConnection::queryInt(const String&) {
    return 0;
}
String DbConnection::queryString(const String&) {
    return String();
}
double DbConnection::queryDouble(const String&) {
    return 0.0;
}
DateTime DbConnection::queryDateTime(const String&) {
    return DateTime();
}
DateDay DbConnection::queryDate(const String&) {
    return DateDay();
}
void DbConnection::queryDataRow(const String&, DataRow*) {}
DataRow* DbConnection::queryNewDataRow(const String&) {
    return nullptr;
}
void DbConnection::queryDataset(const String&, DataSet*, const String&, bool) {}
void DbConnection::queryModel(const String&, TableDataset*) {}
void DbConnection::queryColumns(const String&, DataSet*) {}
void DbConnection::listTables(DataSet*) {}
int DbConnection::getTableInfo(const String&, DataSet*) {
    return -1;
}
void DbConnection::openTable(TableDataset*, const String&, const String&) {}
void DbConnection::openTable(TableDataset*, const String&, const String&, const String&) {}
bool DbConnection::tableExist(const String&) {
    return false;
}
String DbConnection::getCreateTable(const String&) {
    return String();
}
bool DbConnection::updateDatabase(const String*, DataSet*, WaitWindow*) {
    return false;
}
int32_t DbConnection::nextCounter(const String&, const String&, const String&) {
    return 0;
}
String DbConnection::getHost() {
    return String();
}
String DbConnection::getAlias() {
    return String();
}
void DbConnection::exportSql(String*, bool) {}
void DbConnection::interrupt() {}

void DbConnection::dropLink() {
    interrupt();
}

void DbConnection::exportSqlToFile(const String& path, bool withSchema) {
    String dump;
    exportSql(&dump, withSchema);
    String text;
    text.format("exportSql: no se pudo escribir el archivo %s", path.c_str());
    if (!FileText::writeReplacing(path, dump)) fail(text);
}
void DbConnection::createCursor(const String&, DbCursor*) {}
void DbConnection::backupDatabase(const String&, bool, int32_t) {}
void DbConnection::setLabel(const String& label) {
    label_ = label;
}
String DbConnection::getLabel() {
    return label_;
}

int32_t DbConnection::remoteTextQuery(const String&) {
    return 0;
}
void DbConnection::remoteIntCommand(int32_t) {}
int32_t DbConnection::remoteIntQuery(int32_t) {
    return -1;
}
int32_t DbConnection::remoteIntQuery2(int32_t) {
    return 0;
}
void DbConnection::remoteCommand() {}
void DbConnection::remoteNotify() {}
void DbConnection::uploadFile(const String&, int32_t, const void*, uint32_t, const String&) {}
const uint8_t* DbConnection::downloadFile(const String&, uint32_t* length, const String&) {
    if (length) *length = 0;
    return nullptr;
}
String DbConnection::remoteFileText(const String&, const String&) {
    return String();
}
void DbConnection::listFiles(DataSet*) {}

int32_t DbConnection::commonNextCounter(const String& table, const String& where,
                                        const String& column) {
    String sql;
    sql.format("UPDATE %s SET %s=%s+1 WHERE %s;", table.c_str(), column.c_str(), column.c_str(),
               where.c_str());
    execute(sql);
    sql.format("SELECT %s FROM %s WHERE %s;", column.c_str(), table.c_str(), where.c_str());
    return queryInt(sql);
}

void DbConnection::loadKeyedTable(TableDataset* out, const String& table, int key,
                                  const String& where, const String& orderBy) {
    out->setTrackChanges(false);
    try {
        out->setRowIdMode(false);
        out->setReadOnly(false);
        queryModel(table, out);
        out->setKeyColumn(key);
        openTable(out, where, orderBy);
        out->setReadOnly(key < 0);
    } catch (...) {
        out->setTrackChanges(true);
        throw;
    }
    out->setTrackChanges(true);
}

void DbConnection::fail(const String& text) {
    lastError_ = text;
    throw GeneralException(text.toStdString());
}

}  // namespace VORLIN
