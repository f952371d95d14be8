#include "script/OCCreate.h"

#include "core/GeneralException.h"
#include "script/ConxObj.h"
#include "script/ItemGrid.h"
#include "script/ItemRow.h"
#include "script/ItemTable.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptHost.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

DataItem owned(Interfasable* object) {
    DataItem d;
    d.setObj(object, true);
    return d;
}

String head(const OpCode& op, const char* form) {
    String s("    SET ");
    s.append(op.targetName());
    s.append(" = ");
    s.append(form);
    return s;
}

}  // namespace

bool OCSetRow::run(int&) {
    // A count from a script must not take all the memory.
    if (count_ > kMaxCells) throw GeneralException::format("Row: demasiadas celdas (%d)", count_);
    write(owned(new ItemRow(count_)));
    return true;
}

String OCSetRow::listing(const String& prefix) const {
    String s = prefix;
    s.append(head(*this, "Row("));
    if (count_ > 0) s.appendInt(count_);
    s.append(')');
    return s;
}

bool OCSetGrid::run(int&) {
    if (namesVar_ && templateVar_) {
        String names = namesVar_->valueText();
        String templ = templateVar_->valueText();
        write(owned(new ItemGrid(names, templ)));
    } else if (hasTexts_) {
        write(owned(new ItemGrid(names_, template_)));
    } else {
        write(owned(new ItemGrid()));
    }
    return true;
}

String OCSetGrid::listing(const String& prefix) const {
    String s = prefix;
    s.append(head(*this, "Grid("));
    if (namesVar_ && templateVar_) {
        s.append(namesVar_->name());
        s.append(", ");
        s.append(templateVar_->name());
    } else if (hasTexts_) {
        s.append('"');
        s.append(names_);
        s.append("\", \"");
        s.append(template_);
        s.append('"');
    }
    s.append(')');
    return s;
}

bool OCSetTable::run(int&) {
    write(owned(new ItemTable(table_)));
    return true;
}

String OCSetTable::listing(const String& prefix) const {
    String s = prefix;
    s.append(head(*this, "TableSet("));
    s.append(table_);
    s.append(')');
    return s;
}

bool OCConnection::run(int&) {
    ScriptHost* host = function() && function()->rutina() ? &function()->rutina()->host() : nullptr;
    DbConnection* connection = host ? host->findConnection(name_) : nullptr;
    if (!connection)
        throw GeneralException::format("La conexión %s no esta disponible.", name_.c_str());
    write(owned(new ConxObj(connection, name_, host)));
    return true;
}

String OCConnection::listing(const String& prefix) const {
    String s = prefix;
    s.append(head(*this, "Connection("));
    s.append(name_);
    s.append(')');
    return s;
}

}  // namespace VORLIN
