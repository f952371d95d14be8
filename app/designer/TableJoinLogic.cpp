#include "app/designer/TableJoinLogic.h"

#include "app/designer/QuerySqlBuilder.h"
#include "core/GeneralException.h"

using VORLIN::GeneralException;
using VORLIN::String;

TableJoinLogic::TableJoinLogic(std::vector<String> tables, ColumnSource columns,
                               const TableRelation* start)
    : tables_(std::move(tables)), source_(std::move(columns)) {
    if (!start) return;
    for (const String* t : {&start->tabla1, &start->tabla2})
        if (!t->isEmpty() && find(*t) < 0) tables_.push_back(*t);
    const String* names[2][2] = {{&start->tabla1, &start->campo1},
                                 {&start->tabla2, &start->campo2}};
    for (int s = 0; s < 2; ++s) {
        const int t = find(*names[s][0]);
        if (t < 0) continue;
        chooseTable(s, t);
        const std::vector<String>& cols = side_[s].columns;
        for (size_t c = 0; c < cols.size(); ++c)
            if (cols[c] == *names[s][1]) side_[s].column = int(c);
    }
    const auto& choices = QuerySqlBuilder::joinChoices();
    join_ = -1;
    for (size_t j = 0; j < choices.size(); ++j)
        if (start->join.equalsNoCase(choices[j].join)) join_ = int(j);
    if (join_ < 0) {
        otherJoin_ = start->join;
        otherJoin_.trim();
        join_ = otherJoin_.isEmpty() ? 0 : int(choices.size());
    }
}

int TableJoinLogic::index(int side) {
    if (side != 0 && side != 1) throw GeneralException::format(kBadIndex, side);
    return side;
}

int TableJoinLogic::find(const String& table) const {
    for (size_t i = 0; i < tables_.size(); ++i)
        if (tables_[i] == table) return int(i);
    return -1;
}

String TableJoinLogic::tableName(int side) const {
    const int t = table(side);
    return t < 0 ? String() : tables_[size_t(t)];
}

String TableJoinLogic::columnName(int side) const {
    const Side& s = side_[index(side)];
    return s.column < 0 ? String() : s.columns[size_t(s.column)];
}

void TableJoinLogic::chooseTable(int side, int table) {
    Side& s = side_[index(side)];
    if (table < -1 || table >= int(tables_.size())) throw GeneralException::format(kBadIndex, table);
    s.table = table;
    s.columns.clear();
    s.column = -1;
    if (table < 0 || !source_) return;
    for (const String& c : source_(tables_[size_t(table)]))
        if (c != "*") s.columns.push_back(c);
}

void TableJoinLogic::chooseColumn(int side, int column) {
    Side& s = side_[index(side)];
    if (column < -1 || column >= int(s.columns.size()))
        throw GeneralException::format(kBadIndex, column);
    s.column = column;
}

std::vector<String> TableJoinLogic::joins() const {
    std::vector<String> list;
    for (const QuerySqlBuilder::JoinChoice& c : QuerySqlBuilder::joinChoices())
        list.emplace_back(c.join);
    if (!otherJoin_.isEmpty()) list.push_back(otherJoin_);
    return list;
}

void TableJoinLogic::chooseJoin(int join) {
    if (join < 0 || join >= int(joins().size())) throw GeneralException::format(kBadIndex, join);
    join_ = join;
}

String TableJoinLogic::meaning() const {
    const auto& choices = QuerySqlBuilder::joinChoices();
    return size_t(join_) < choices.size() ? String(choices[size_t(join_)].meaning) : String();
}

String TableJoinLogic::problem() const {
    for (const Side& s : side_)
        if (s.table < 0 || s.column < 0) return String(kIncomplete);
    if (side_[0].table == side_[1].table) return String(kSameTable);
    return String();
}

TableRelation TableJoinLogic::relation() const {
    const String reason = problem();
    if (!reason.isEmpty()) throw GeneralException(reason.toStdString());
    TableRelation r;
    r.tabla1 = tableName(0);
    r.campo1 = columnName(0);
    r.tabla2 = tableName(1);
    r.campo2 = columnName(1);
    r.join = joins()[size_t(join_)];
    return r;
}
