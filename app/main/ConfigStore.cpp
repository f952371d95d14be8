#include "app/main/ConfigStore.h"

#include <unistd.h>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/FileStream.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/ItemTable.h"

namespace VORLIN {

const char* const ConfigStore::kSchema[4] = {
    "CREATE TABLE tConfig(Id_Config INTEGER PRIMARY KEY,Item TEXT NOT NULL UNIQUE,Value TEXT);",
    "CREATE TABLE tRecentServers(Id_Recent INTEGER PRIMARY KEY, Tipo INTEGER, Host TEXT, Port "
    "INTEGER);",
    "CREATE INDEX iRecServ ON tRecentServers(Tipo, Host);",
    "CREATE TABLE tQuerys(Id_Query INTEGER PRIMARY KEY, Query TEXT, Notas TEXT);",
};

namespace {

// Short lock waits: another running copy of the program holding the store
// must not freeze this one.
constexpr int kBusyHandlerMillis = 2000;
constexpr int kBusyRetryMillis = 1000;

String literal(const String& text) {
    DataItem item;
    item.setString(text);
    return item.sqlLiteral();
}

}  // namespace

ConfigStore::ConfigStore()
    : connection_(std::make_unique<SqliteLocalConnection>()),
      config_(std::make_unique<ItemTable>(String("tConfig"))) {}

ConfigStore::~ConfigStore() {
    close();
}

TableDataset& ConfigStore::configSet() {
    return config_->set();
}

template <class Work>
void ConfigStore::inTransaction(Work&& work) {
    connection_->beginTransaction();
    try {
        work();
        connection_->commitTransaction();
    } catch (...) {
        try {
            connection_->rollbackTransaction();
        } catch (const GeneralException&) {
            // The failure to report is the one that made us roll back.
        }
        throw;
    }
}

void ConfigStore::createSchema() {
    inTransaction([this] {
        for (const char* statement : kSchema)
            connection_->execute(statement);
    });
}

bool ConfigStore::open(const String& folder) {
    close();
    error_ = String();
    path_ = folder + String(kFileName);
    bool created = false;
    try {
        connection_->setBusyLimits(kBusyHandlerMillis, kBusyRetryMillis);
        if (!connection_->connect(folder, "", "", false, ""))
            throw GeneralException("no se puede usar la carpeta " + folder.toStdString());
        if (!fileExists(path_)) {
            connection_->createDatabase(kFileName, false);
            created = true;
            createSchema();
        }
        if (!connection_->openDatabase(kFileName, false, "", ""))
            throw GeneralException("no se pudo abrir " + path_.toStdString());
        // A store whose making was cut short (the program killed before
        // the schema was committed) is, once SQLite has rolled the
        // unfinished transaction back, a database without tables: it is
        // made again. A file with tables of its own is never touched.
        if (!created && connection_->queryInt("SELECT count(*) FROM sqlite_master;") == 0)
            createSchema();
        connection_->openTable(&config_->set(), "tConfig", "", "");
        open_ = true;
        return true;
    } catch (const GeneralException& e) {
        error_ = String(e.message());
    }
    try {
        connection_->disconnect();
    } catch (const GeneralException&) {
    }
    // A store this run began and could not finish must not be found, half
    // made, by the next start.
    if (created) ::unlink(path_.c_str());
    return false;
}

void ConfigStore::close() {
    if (!open_) return;
    open_ = false;
    config_->set().clearRows();
    try {
        connection_->disconnect();
    } catch (const GeneralException&) {
    }
}

bool ConfigStore::addRecentServer(int kind, const String& host, int port) {
    if (!open_ || host.isEmpty()) return false;
    try {
        String count;
        count.format("SELECT COUNT(*) FROM tRecentServers WHERE Tipo=%d AND Host=%s;", kind,
                     literal(host).c_str());
        if (connection_->queryInt(count) >= 1) return true;
        String insert;
        insert.format("INSERT INTO tRecentServers VALUES(NULL,%d,%s,%d);", kind,
                      literal(host).c_str(), port);
        connection_->execute(insert);
        return true;
    } catch (const GeneralException& e) {
        error_ = String(e.message());
        return false;
    }
}

std::vector<String> ConfigStore::recentServers(int kind) {
    std::vector<String> hosts;
    if (!open_) return hosts;
    try {
        String sql;
        sql.format("SELECT Host FROM tRecentServers WHERE Tipo=%d ORDER BY Host;", kind);
        DataSet rows;
        connection_->queryDataset(sql, &rows, "", false);
        for (int i = 0; i < rows.rowCount(); ++i) {
            if (const DataRow* row = rows.row(i)) hosts.push_back(row->cell(0)->toString());
        }
    } catch (const GeneralException& e) {
        error_ = String(e.message());
    }
    return hosts;
}

bool ConfigStore::loadColorScheme(DataRow& solid, DataRow& gradient) {
    solid.setCount(kSolidColors);
    gradient.setCount(kGradientColors);
    if (!open_) return false;
    try {
        if (!connection_->tableExist("tColorSchema")) return false;
        for (int tipo : {1, 2}) {
            DataRow& list = tipo == 1 ? solid : gradient;
            String sql;
            sql.format("SELECT Id, Color FROM tColorSchema WHERE Tipo=%d;", tipo);
            DataSet rows;
            connection_->queryDataset(sql, &rows, "", false);
            for (int i = 0; i < rows.rowCount(); ++i) {
                const DataRow* row = rows.row(i);
                if (!row || row->count() < 2) continue;
                const int id = row->cell(0)->toInt();
                // Rows outside the list (or without a readable colour) are
                // left alone: they cannot stand for any colour.
                if (row->cell(0)->isNull() || id < 0 || id >= list.count()) continue;
                Color color;
                color.fromString(row->cell(1)->toString());
                if (color.isNone()) continue;
                list.cell(id)->setColor(color);
            }
        }
        return true;
    } catch (const GeneralException& e) {
        error_ = String(e.message());
        return false;
    }
}

void ConfigStore::saveColorScheme(const DataRow& solid, const DataRow& gradient) {
    if (!open_) throw GeneralException(kNotOpen);
    inTransaction([&] {
        if (!connection_->tableExist("tColorSchema")) {
            connection_->execute(kColorTable);
            connection_->execute(kColorIndex);
        }
        for (int tipo : {1, 2}) {
            const DataRow& list = tipo == 1 ? solid : gradient;
            const int n = tipo == 1 ? kSolidColors : kGradientColors;
            for (int i = 0; i < n && i < list.count(); ++i) {
                const DataItem* cell = list.cell(i);
                if (!cell || cell->isNull()) continue;
                String text;
                cell->toColor().toString(text);
                String sql;
                sql.format("INSERT OR REPLACE INTO tColorSchema VALUES(NULL,%d,%d,%s);", tipo, i,
                           literal(text).c_str());
                connection_->execute(sql);
            }
        }
    });
}

}  // namespace VORLIN
