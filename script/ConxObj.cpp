#include "script/ConxObj.h"

#include <cstdio>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "script/AdmObjInstance.h"
#include "script/FunctionRegistry.h"
#include "script/ItemGrid.h"
#include "script/ItemRow.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"
#include "script/ScriptArgs.h"
#include "script/ScriptHost.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

DataItem boolItem(bool b) {
    DataItem d;
    d.setBool(b);
    return d;
}

// "tabla.resto" cut at the first ".".
bool splitTable(const String& text, String& table, String& rest) {
    int dot = text.findChar('.');
    if (dot <= 0) return false;
    table = text.left(uint32_t(dot));
    table.trim();
    rest = text.mid(uint32_t(dot) + 1);
    return true;
}

bool readFile(const String& path, String& out) {
    return FileText::read(path, out);
}

}  // namespace

ConxObj::ConxObj(DbConnection* connection, const String& name, ScriptHost* host)
    : connection_(connection), name_(name), host_(host), tables_(std::make_shared<Catalog>()) {
    if (!connection_) return;
    DataSet tables;
    connection_->listTables(&tables);
    for (int i = 0; i < tables.rowCount(); ++i) {
        String table = tables.getCellText(i, 0);
        if (table.isEmpty()) continue;
        tables_->push_back(std::make_unique<TableDef>(connection_, table));
        tables_->back()->setCatalog(tables_);
    }
}

ConxObj::~ConxObj() = default;

int32_t ConxObj::classNumber() {
    return MemberTables::classNumber(MemberTables::ConxObj);
}

bool ConxObj::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

DbConnection* ConxObj::connectionOf(const DataItem& value) {
    if (value.type() != DataItem::TObj || !value.getObj()) return nullptr;
    auto* c = dynamic_cast<ConxObj*>(value.getObj());
    return c ? c->connection() : nullptr;
}

std::shared_ptr<TableDef> ConxObj::findTable(TextRef name) {
    for (const auto& t : *tables_)
        if (t->name().view() == name.view()) return t->share();
    if (!connection_ || name.size() == 0) return nullptr;
    String table{name};
    std::unique_ptr<TableDef> def;
    try {
        if (!connection_->tableExist(table)) return nullptr;
        def = std::make_unique<TableDef>(connection_, table);
    } catch (const GeneralException&) {
        return nullptr;
    }
    def->setCatalog(tables_);
    tables_->push_back(std::move(def));
    return tables_->back()->share();
}

DataItem ConxObj::execute(const String& name, const DataRow* args) {
    if (!connection_)
        throw GeneralException("DbConnection: No se ha conectado a ninguna base de datos");
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    DbConnection& c = *connection_;
    switch (index) {
        case Execute:
            c.execute(ScriptArgs::text(args, 0));
            return DataItem();
        case Insert:
        case ExecuteInsert:
            return DataItem(c.executeInsert(ScriptArgs::text(args, 0)));
        case QueryString:
            return DataItem(c.queryString(ScriptArgs::text(args, 0)));
        case QueryInt:
            return DataItem(c.queryInt(ScriptArgs::text(args, 0)));
        case QueryDouble:
            return DataItem(c.queryDouble(ScriptArgs::text(args, 0)));
        case QueryItem:
            return c.queryItem(ScriptArgs::text(args, 0));
        case QueryDataRow: {
            String sql = ScriptArgs::text(args, 0);
            const DataItem& holder = ScriptArgs::value(args, 1);
            if (holder.type() == DataItem::TObj) {
                if (auto* item = dynamic_cast<ItemRow*>(holder.getObj())) {
                    if (!item->row()) {
                        // A row object without cells takes the result's shape.
                        DataRow forward(2);
                        forward.cell(0)->setString(sql);
                        forward.cell(1)->setObj(this, false);
                        item->execute("queryDataRow", &forward);
                        return DataItem();
                    }
                }
            }
            DataRow* row = ItemGrid::rowOf(holder);
            if (row) c.queryDataRow(sql, row);
            return DataItem();
        }
        case TableExist:
            return boolItem(c.tableExist(ScriptArgs::text(args, 0)));
        case BeginTransaction:
        case Begin:
            c.beginTransaction();
            return DataItem();
        case CommitTransaction:
        case Commit:
            c.commitTransaction();
            return DataItem();
        case RollbackTransaction:
        case Rollback:
            c.rollbackTransaction();
            return DataItem();
        case GetHost:
            return DataItem(c.getHost());
        case GetAlias:
            return DataItem(c.getAlias());
        case NewInstance: {
            String table = ScriptArgs::text(args, 0);
            std::shared_ptr<TableDef> def = findTable(table);
            if (!def)
                throw GeneralException::format("La tabla %s no existe en la conexión %s",
                                               table.c_str(), name_.c_str());
            int32_t key = ScriptArgs::has(args, 1) ? ScriptArgs::toInt(args, 1) : 0;
            // No owner: the variable that receives the row owns it, and the
            // row may outlive this object (an owner is followed when the end
            // of a run decides what dies with what).
            DataItem d;
            d.setObj(new AdmObjInstance(def, nullptr, key), true);
            return d;
        }
        case DeleteInstance: {
            // Only a variable that owns its mapped row can let it go; any
            // other value is left alone (its owner deletes it).
            if (!ScriptArgs::has(args, 0) || !Variable::isFollowed(*args->cell(0)))
                return DataItem();
            DataItem* holder = ScriptArgs::variable(args, 0);
            if (holder && holder->type() == DataItem::TObj && holder->ownsObject() &&
                dynamic_cast<AdmObjInstance*>(holder->getObj())) {
                // The variable lets go at once; the row itself dies when the
                // run ends, as other values of the run may still point at it.
                ObjectCollector::store(*holder, DataItem());
            }
            return DataItem();
        }
        case AddReference:
        case AddListReference: {
            bool list = index == AddListReference;
            String text = ScriptArgs::text(args, 0);
            String table, rest;
            std::shared_ptr<TableDef> def =
                splitTable(text, table, rest) ? findTable(table) : nullptr;
            auto d = std::make_unique<RefDescription>();
            bool ok = def && RefDescription::parse(rest, list, table, *d);
            if (ok) {
                d->table = findTable(d->texts[1]).get();
                ok = d->table != nullptr;
            }
            if (!ok)
                throw GeneralException::format(
                    list ? "No se puede agregar la lista de referencias %s a la conexión %s"
                         : "No se puede agregar la referencia %s a la conexión %s",
                    text.c_str(), name_.c_str());
            if (list) {
                def->addList(std::move(d));
            } else {
                d->flag = ScriptArgs::has(args, 1) && ScriptArgs::toBool(args, 1);
                def->addReference(std::move(d));
            }
            return DataItem();
        }
        case UpdateDatabase: {
            if (!host_) return DataItem();
            String path = host_->openFileDialog("Abrir archivo SQL", "Archivos sql (*.sql)|sql");
            if (path.isEmpty()) return DataItem();
            std::unique_ptr<WaitWindow> wait = host_->openWaitWindow(
                "Actualizando la base de datos, pude tardarse unos minutos....");
            String schema;
            if (!readFile(path, schema))
                throw GeneralException::format("DbConnection.updateDatabase: no se pudo leer %s",
                                               path.c_str());
            c.updateDatabase(&schema, nullptr, wait.get());
            return DataItem();
        }
        case SetPrimaryKey: {
            String text = ScriptArgs::text(args, 0);
            String table, column;
            std::shared_ptr<TableDef> def =
                splitTable(text, table, column) ? findTable(table) : nullptr;
            column.trim();
            int at = -1;
            if (def) {
                TableDataset& model = def->model();
                for (int i = 0; i < model.nameList().count(); ++i)
                    if (model.columnName(i) == column) at = i;
                if (at >= 0) model.setKeyColumn(at);
            }
            if (at < 0)
                throw GeneralException::format(
                    "No se puede definir %s como PrimaryKey en la conexión %s", text.c_str(),
                    name_.c_str());
            return DataItem();
        }
        default:
            throw GeneralException::format("DBConnection %s.%s no está definido", name_.c_str(),
                                           name.c_str());
    }
}

}  // namespace VORLIN
