// QuerySqlBuilder: the SQL text "Procesar" makes from a QueryDesign: the
// SELECT, UPDATE or DELETE statement, its lines separated by "\r\n" and
// ended by ";". Used by the designer window and by quelmir-cli design.
//
// Names that need quoting (spaces, keywords, other characters) are written
// with the connections' quoting, TableDataset::quoteName (double quotes;
// MySQL connections run with ANSI_QUOTES). A name already in quotes
// (", ` or [) and the column "*" are written as they are; conditions,
// values and function names as typed. A group condition ("Having",
// "OHav") on a row with a function tests the function's value, as in
// "HAVING SUM(t.a) > 10": the bare column would test one arbitrary row of
// each group.
//
// Joins: "INNER JOIN", "LEFT JOIN" and "CROSS JOIN" are written as chosen.
// "OUTER JOIN" means every row of both tables, matched or not: it is
// written "FULL OUTER JOIN" when the back end has one (SQLite 3.39 and
// later; fullOuterJoin in the constructor), otherwise the build is refused
// with kNoFullOuterJoin, since the back end would reject it anyway.
//
// Ownership: value type. Threads: any. build() throws GeneralException:
// kNoColumns for a design without rows, kNoFullOuterJoin as above.
#pragma once

#include <vector>

#include "app/designer/QueryDesign.h"
#include "core/String.h"

class QuerySqlBuilder {
public:
    static constexpr const char* kNoColumns = "Seleccione al menos una columna de una tabla";
    static constexpr const char* kNoFullOuterJoin =
        "OUTER JOIN (FULL OUTER JOIN) no está disponible en esta base de datos: use "
        "LEFT JOIN";
    static constexpr const char* kOuterJoin = "OUTER JOIN";
    static constexpr const char* kFullOuterJoin = "FULL OUTER JOIN";

    // One entry of the "Relación: " list: the join and what it gives.
    struct JoinChoice {
        const char* join;
        const char* meaning;
    };
    // "INNER JOIN", "LEFT JOIN", "OUTER JOIN", "CROSS JOIN", with their
    // meanings, in list order.
    static const std::vector<JoinChoice>& joinChoices();

    // Whether the SQLite library this program runs with (checked at run
    // time) has FULL OUTER JOIN: 3.39.0 and later.
    static bool sqliteHasFullOuterJoin();

    // fullOuterJoin: whether the connection the text is for has FULL OUTER
    // JOIN (SQLite connections: sqliteHasFullOuterJoin(); MySQL: false).
    explicit QuerySqlBuilder(bool fullOuterJoin = sqliteHasFullOuterJoin())
        : fullOuterJoin_(fullOuterJoin) {}

    // The statement for the design's type.
    VORLIN::String build(const QueryDesign& design) const;
    VORLIN::String selectText(const QueryDesign& design) const;
    VORLIN::String updateText(const QueryDesign& design) const;
    VORLIN::String deleteText(const QueryDesign& design) const;

    // A table or column name as it goes into the text.
    static VORLIN::String name(const VORLIN::String& text);
    // A relation's condition with its names quoted.
    static VORLIN::String conditionText(const TableRelation& relation);
    // The join keyword written for a relation's "Join".
    VORLIN::String joinText(const VORLIN::String& join) const;

private:
    bool fullOuterJoin_;
};
