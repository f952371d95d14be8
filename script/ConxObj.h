// ConxObj: the script object over an open DbConnection (made by
// "DbConnection("name")"): statements, queries, transactions, and the
// object-mapping layer (one TableDef per table of the connection, mapped
// rows by key, references and list references).
//
// Members (class number 4): "execute", "insert", "executeInsert",
// "queryString", "queryInt", "queryDouble", "queryItem", "queryDataRow",
// "tableExist", "beginTransaction"/"begin", "commitTransaction"/"commit",
// "rollbackTransaction"/"rollback", "getHost", "getAlias", "newInstance",
// "deleteInstance", "addReference", "addListReference", "updateDatabase",
// "setPrimaryKey". "addReference" and "addListReference" take
// "tabla.especificación" in the grammar of TableDef.h.
//
// "newInstance" answers a reference that owns the new mapped row: the row
// dies with the variable that receives it (or by "deleteInstance" on that
// variable, which empties it; like any displaced object the row itself
// lives until the run ends), and it shares its table mapping, so it
// outlives this object; it has no owner object (getOwner is null).
//
// Ownership: the connection belongs to the application; the host too.
// Throws GeneralException: "DbConnection: No se ha conectado a ninguna base
// de datos", "DBConnection %s.%s no está definido", "La tabla %s no existe
// en la conexión %s", "No se puede agregar la referencia %s a la conexión
// %s", "No se puede agregar la lista de referencias %s a la conexión %s",
// "No se puede definir %s como PrimaryKey en la conexión %s", and the
// connection's own failures. The UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Interfasable.h"
#include "core/String.h"
#include "script/TableDef.h"

namespace VORLIN {

class DbConnection;
class ScriptHost;

class ConxObj : public Interfasable {
public:
    enum Member : int32_t {
        Execute = 0,
        Insert,
        ExecuteInsert,
        QueryString,
        QueryInt,
        QueryDouble,
        QueryItem,
        QueryDataRow,
        TableExist,
        BeginTransaction,
        Begin,
        CommitTransaction,
        Commit,
        RollbackTransaction,
        Rollback,
        GetHost,
        GetAlias,
        NewInstance,
        DeleteInstance,
        AddReference,
        AddListReference,
        UpdateDatabase,
        SetPrimaryKey,
    };

    // Lists the connection's tables (one TableDef each). `host` serves the
    // file dialog of "updateDatabase" (may be null).
    ConxObj(DbConnection* connection, const String& name, ScriptHost* host = nullptr);
    ~ConxObj() override;

    static int32_t classNumber();
    // The connection of a value that holds a ConxObj, or null.
    static DbConnection* connectionOf(const DataItem& value);

    DataItem execute(const String& name, const DataRow* args) override;
    bool hasMember(const String& name) override;

    DbConnection* connection() const noexcept { return connection_; }
    const String& name() const noexcept { return name_; }
    // The mapping of a table by exact name; a table created since this
    // object was made (by the script itself, say) is mapped on first use.
    std::shared_ptr<TableDef> findTable(TextRef name);
    int tableCount() const noexcept { return int(tables_->size()); }

private:
    DbConnection* connection_;
    String name_;
    ScriptHost* host_;
    using Catalog = std::vector<std::unique_ptr<TableDef>>;
    std::shared_ptr<Catalog> tables_;
};

}  // namespace VORLIN
