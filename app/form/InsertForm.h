// InsertForm: the form "Insertar registros" generates from a table's
// columns, without its window: one field per column of getTableInfo, in
// order, with the kind of control and the input filter its declared type
// asks for, its starting value, and the INSERT that "Registrar" sends.
//
// Controls by declared type (case-insensitive, in this order): "DATE" (a
// date-and-time editor when the type also says "TIME", as DATETIME and
// TIMESTAMP do), "BOOL" or "BIT" a check box, anything else a text field.
// Filters of a text field: "INT" integers, "DOUBLE"/"FLOAT"/"NUMERIC"/
// "DECIMAL"/"REAL" decimals, and "CURRENCY"/"MONEY" money over either.
//
// Defaults arrive as SQL text: a quoted literal ('abc') starts the field
// with abc, a number with the number, NULL with nothing; an expression
// (CURRENT_TIMESTAMP, a function call) starts empty and, left empty, the
// column is left out of the INSERT so the database computes it. An empty
// field of a nullable column inserts NULL; of a NOT NULL text column, the
// empty text; of any other column (an integer key the database numbers, a
// NOT NULL number) the column is left out.
//
// Ownership: the connection is the caller's and outlives the form.
// Threads: the UI thread. Throws GeneralException: the connection's
// failures, kNoColumns for a table it cannot describe, kNotANumber for a
// numeric field holding something else.
#pragma once

#include <vector>

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class InsertForm {
public:
    static constexpr const char* kTitle = "Insertar datos - %s.%s";
    static constexpr const char* kRegister = "Registrar";
    static constexpr const char* kRegisterHint = "Guarda el registro capturado";
    static constexpr const char* kExit = "Salir";
    static constexpr const char* kExitHint = "Cierra ésta pantalla";
    static constexpr const char* kDone = "Registro ingresado correctamente";
    static constexpr const char* kNoColumns = "InsertForm: no se pudo describir la tabla %s";
    static constexpr const char* kNotANumber = "El valor de %s no es un número: %s";
    static constexpr const char* kIntegerChars = "0123456789-";
    static constexpr const char* kDecimalChars = "0123456789-.";
    static constexpr const char* kMoneyChars = "0123456789-.$";

    enum class Control { Text, Date, DateTime, Check };
    enum class Filter { None, Integer, Decimal, Money };

    struct Field {
        String name;
        String type;
        Control control = Control::Text;
        Filter filter = Filter::None;
        String label;          // "name: " ("name" for a check box)
        bool nullable = true;  // no NOT NULL
        bool key = false;      // part of the primary key
        bool expression = false;  // the default is computed by the database
        String initial;           // the starting text ("" for none)
        // Whether the column may be left empty with a meaning of its own
        // (NULL, the default, the database's number).
        bool canBeEmpty() const { return nullable || expression || key; }
    };

    // What a control holds: a text ("YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS",
    // "1"/"0" for check boxes), or nothing.
    struct Value {
        bool empty = true;
        String text;
    };

    InsertForm(DbConnection& connection, const String& table);

    const String& table() const noexcept { return table_; }
    const std::vector<Field>& fields() const noexcept { return fields_; }
    // "Insertar datos - alias.table".
    String title() const;
    // The characters a filter lets through (empty: any).
    static const char* allowed(Filter filter);

    // Describes a column from its getTableInfo row.
    static Field describe(const String& name, const String& type, const String& defaultSql,
                          bool defaultIsNull, bool notNull, bool key);
    // The starting values of the fields.
    std::vector<Value> initialValues() const;
    // The INSERT for these values (one per field, in order).
    String insertSql(const std::vector<Value>& values) const;
    // "Registrar": sends the INSERT.
    void registerRow(const std::vector<Value>& values);

private:
    DbConnection& connection_;
    String table_;
    std::vector<Field> fields_;
};

}  // namespace VORLIN
