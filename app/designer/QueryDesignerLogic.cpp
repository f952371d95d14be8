#include "app/designer/QueryDesignerLogic.h"

#include <algorithm>
#include <cstdio>

#include "app/designer/DesignerMemory.h"
#include "app/designer/QueryDesignFile.h"
#include "app/designer/QuerySqlBuilder.h"
#include "app/designer/TableJoinLogic.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"

using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// Tabs and line breaks (a cell edited in the zoom window) as spaces.
String flattened(const String& text) {
    std::string out;
    const std::string_view v = text.view();
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n') continue;
        out += v[i] == '\r' || v[i] == '\n' || v[i] == '\t' ? ' ' : v[i];
    }
    return String(out);
}

}  // namespace

QueryDesignerLogic::QueryDesignerLogic(DbConnection& connection, Ui& ui, DesignerMemory* memory)
    : connection_(connection),
      ui_(ui),
      memory_(memory),
      design_(memory ? memory->startDesign() : QueryDesign()) {}

QueryDesignerLogic::~QueryDesignerLogic() = default;

bool QueryDesignerLogic::hasFullOuterJoin(DbConnection& connection) {
    if (dynamic_cast<VORLIN::SqliteLocalConnection*>(&connection))
        return QuerySqlBuilder::sqliteHasFullOuterJoin();
    if (dynamic_cast<VORLIN::SqliteClientConnection*>(&connection)) {
        // The service runs its own SQLite library, of its own version.
        try {
            const String version = connection.queryString("SELECT sqlite_version();");
            int major = 0, minor = 0;
            if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return false;
            return major > 3 || (major == 3 && minor >= 39);
        } catch (const GeneralException&) {
            return false;
        }
    }
    return false;
}

// ------------------------------------------------------------------ the tree

String QueryDesignerLogic::databaseName() const {
    String name = connection_.getAlias();
    if (name.isEmpty()) name = connection_.getHost();
    return name;
}

bool QueryDesignerLogic::fillTree() {
    tables_.clear();
    columns_.clear();
    try {
        DataSet list;
        connection_.listTables(&list);
        for (int i = 0; i < list.rowCount(); ++i)
            if (const VORLIN::DataRow* row = list.row(i); row && row->count() > 0)
                tables_.push_back(row->cell(0)->toString());
    } catch (const GeneralException& e) {
        tables_.clear();
        ui_.message(String(e.message()), "ERROR");
        return false;
    }
    return true;
}

const std::vector<String>& QueryDesignerLogic::columnsOf(const String& table) {
    auto found = columns_.find(table);
    if (found != columns_.end()) return found->second;
    std::vector<String>& names = columns_[table];
    names.emplace_back(kAll);
    try {
        DataSet info;
        if (connection_.getTableInfo(table, &info) == 1 && info.hasColumn("name")) {
            const int column = info.findNamedColumn("name");
            for (int i = 0; i < info.rowCount(); ++i)
                names.push_back(info.row(i)->cell(column)->toString());
        }
        if (names.size() == 1) {
            // A back end without a catalogue: the columns of an empty result.
            DataSet shape;
            String sql;
            sql.format("SELECT * FROM %s WHERE 1=0",
                       VORLIN::TableDataset::quoteName(table).c_str());
            connection_.queryColumns(sql, &shape);
            for (int i = 0; i < shape.columnCount(); ++i)
                names.push_back(shape.columnName(i));
        }
    } catch (const GeneralException& e) {
        names.resize(1);
        ui_.message(String(e.message()), "ERROR");
    }
    return names;
}

// ---------------------------------------------------------------- the design

void QueryDesignerLogic::setType(int type) {
    design_.setType(type);
}

bool QueryDesignerLogic::changeType(int type) {
    if (type == design_.type()) return false;
    if (!QueryDesign::isValidType(type)) throw GeneralException::format(QueryDesign::kBadType, type);
    if ((!design_.isEmpty() || !design_.relations().empty()) && !ui_.confirm(kTypeChange))
        return false;
    design_.setType(type);
    return true;
}

int QueryDesignerLogic::chooseColumn(const String& table, const String& column) {
    return design_.addRow(table, column);
}

String QueryDesignerLogic::cellProblem(int column, const String& text) const {
    const std::vector<DesignColumn>& columns = design_.columns();
    if (column < 0 || column >= int(columns.size()))
        throw GeneralException::format(QueryDesign::kBadColumn, "?");
    const DesignColumn& c = columns[size_t(column)];
    if (!*c.allowed) return String();
    const String flat = flattened(text);
    const std::string_view v = flat.view();
    for (size_t i = 0; i < v.size();) {
        const unsigned char lead = static_cast<unsigned char>(v[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        n = std::min(n, v.size() - i);
        const String one(v.substr(i, n));
        if (!QueryDesign::accepts(c, one)) {
            String shown("'");
            shown.append(one).append('\'');
            String reason;
            reason.format(kBadCharacter, c.title, shown.c_str());
            return reason;
        }
        i += n;
    }
    return String();
}

bool QueryDesignerLogic::setCell(int row, int column, const String& text) {
    const String reason = cellProblem(column, text);
    if (!reason.isEmpty()) {
        ui_.message(reason, "ALERT");
        return false;
    }
    const DesignColumn& c = design_.columns()[size_t(column)];
    const String value = *c.allowed ? flattened(text) : text;
    if (c.kind == DesignColumn::Check)
        design_.setChecked(row, c.title, QueryDesign::isSet(value));
    else
        design_.setCell(row, c.title, value);
    return true;
}

void QueryDesignerLogic::removeRow(int row) {
    design_.removeRow(row);
}

// ----------------------------------------------------------------- relations

std::vector<String> QueryDesignerLogic::relationTexts() const {
    std::vector<String> texts;
    for (const TableRelation& r : design_.relations())
        texts.push_back(r.condition());
    return texts;
}

bool QueryDesignerLogic::addRelation() {
    if (!canRelate()) return false;
    std::vector<String> tables = design_.tables();
    if (tables.size() < 2) {
        ui_.message(kTwoTables, "ALERT");
        return false;
    }
    TableJoinLogic join(std::move(tables), [this](const String& t) { return columnsOf(t); });
    if (!ui_.askRelation(join) || !join.problem().isEmpty()) return false;
    design_.addRelation(join.relation());
    return true;
}

bool QueryDesignerLogic::editRelation(int index) {
    if (index < 0 || index >= int(design_.relations().size())) {
        ui_.message(kNoRelation, "ALERT");
        return false;
    }
    const TableRelation current = design_.relations()[size_t(index)];
    TableJoinLogic join(design_.tables(), [this](const String& t) { return columnsOf(t); },
                        &current);
    if (!ui_.askRelation(join) || !join.problem().isEmpty()) return false;
    design_.setRelation(index, join.relation());
    return true;
}

bool QueryDesignerLogic::removeRelation(int index) {
    if (index < 0 || index >= int(design_.relations().size())) {
        ui_.message(kNoRelation, "ALERT");
        return false;
    }
    design_.removeRelation(index);
    return true;
}

// ------------------------------------------------------------------ commands

void QueryDesignerLogic::clear() {
    design_.clear();
}

bool QueryDesignerLogic::save() {
    const String path = ui_.saveFile(QueryDesignFile::kSaveTitle, QueryDesignFile::kFilter);
    if (path.isEmpty()) return false;
    try {
        QueryDesignFile::save(design_, path);
    } catch (const GeneralException& e) {
        ui_.message(String(e.message()), "ERROR");
        return false;
    }
    ui_.message(QueryDesignFile::kSaved, "INFO");
    return true;
}

bool QueryDesignerLogic::open() {
    const String path = ui_.openFile(QueryDesignFile::kOpenTitle, QueryDesignFile::kFilter);
    if (path.isEmpty()) return false;
    QueryDesignFile::Loaded loaded;
    try {
        loaded = QueryDesignFile::load(path);
    } catch (const GeneralException& e) {
        ui_.message(String(e.message()), "ERROR");
        return false;
    }
    design_ = loaded.design;
    if (!loaded.warnings.empty()) {
        String text;
        for (const String& w : loaded.warnings) {
            if (!text.isEmpty()) text.append('\n');
            text.append(w);
        }
        ui_.message(text, "ALERT");
    }
    return true;
}

bool QueryDesignerLogic::process() {
    if (design_.isEmpty()) {
        ui_.message(QuerySqlBuilder::kNoColumns, "ALERT");
        return false;
    }
    try {
        sql_ = QuerySqlBuilder(hasFullOuterJoin(connection_)).build(design_);
    } catch (const GeneralException& e) {
        sql_.clear();
        ui_.message(String(e.message()), "ALERT");
        return false;
    }
    if (memory_) memory_->remember(design_);
    return true;
}
