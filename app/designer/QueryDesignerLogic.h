// QueryDesignerLogic: the state and the actions of the query designer
// window "Diseñador de consultas" (QueryDesignerDlg), without Qt:
//
// - the tree "TABLAS": the connection's open database, its tables and,
//   read when first asked for, each table's columns (the first column node
//   of every table is "*", for COUNT(*) or a DELETE of every row);
// - the design (QueryDesign): "Tipo: ", the rows added by choosing a column
//   of the tree, the cells the grid edits (a cell refuses characters its
//   column does not allow), the relations ("+", "!", "-");
// - the commands "Limpiar", "Guardar", "Abrir" and "Procesar", which gives
//   the SQL text and remembers the design in the application's
//   DesignerMemory.
//
// Messages and file names go through Ui: what the window shows and asks.
// The SQL is built for the connection's back end: FULL OUTER JOIN only
// where the back end has it (hasFullOuterJoin).
//
// Ownership: the connection, the Ui and the memory are the caller's and
// must outlive the logic; the memory may be null (nothing is remembered).
// Threads: the UI thread. Failures of the connection and of design files
// are shown through Ui::message, never thrown; the row and column indexes
// of the cell operations are checked (GeneralException).
#pragma once

#include <map>
#include <vector>

#include "app/designer/QueryDesign.h"
#include "core/String.h"

namespace VORLIN {
class DbConnection;
}  // namespace VORLIN

class DesignerMemory;
class TableJoinLogic;

class QueryDesignerLogic {
public:
    static constexpr const char* kTitle = "Diseñador de consultas";
    static constexpr const char* kTree = "TABLAS";
    static constexpr const char* kRelations = "Relaciones entre tablas: ";
    static constexpr const char* kNoRelation = "Seleccione una relación";
    static constexpr const char* kTwoTables =
        "Seleccione columnas de al menos dos tablas para relacionarlas";
    static constexpr const char* kBadCharacter = "La columna %s no admite el carácter %s";
    static constexpr const char* kAll = "*";
    static constexpr const char* kTypeChange =
        "Al cambiar el tipo de consulta se borran las columnas y las relaciones del "
        "diseño. ¿Desea continuar?";

    // A button or command: its caption and its hint.
    struct Command {
        const char* text;
        const char* hint;
    };
    static constexpr Command kAddRelation{"+", "Agregar nueva relación"};
    static constexpr Command kEditRelation{"!", "Editar relación seleccionada"};
    static constexpr Command kRemoveRelation{"-", "Eliminar relación seleccionada"};
    static constexpr Command kClear{"Limpiar", "Nueva consulta"};
    static constexpr Command kSave{"Guardar", "Guarda el diseño de la consulta"};
    static constexpr Command kOpen{"Abrir", "Abre un diseño guaraddo para su edición"};
    static constexpr Command kExit{"Salir", "Cierra ésta pantalla"};
    static constexpr Command kProcess{"Procesar", "Genera la sentencia SQL y cierra la ventana"};

    // What the window shows and asks for the logic.
    class Ui {
    public:
        virtual ~Ui() = default;
        // A message box; icon "ERROR", "ALERT" or "INFO".
        virtual void message(const VORLIN::String& text, const char* icon) = 0;
        // A file to write or read; empty when the person cancels.
        virtual VORLIN::String saveFile(const VORLIN::String& title,
                                        const VORLIN::String& filter) = 0;
        virtual VORLIN::String openFile(const VORLIN::String& title,
                                        const VORLIN::String& filter) = 0;
        // Shows "Relación entre tablas" on `join`; true on OK (the window
        // checks join.problem() before it closes).
        virtual bool askRelation(TableJoinLogic& join) = 0;
        // A question with "OK" and "Cancelar"; true for OK.
        virtual bool confirm(const VORLIN::String& text) = 0;
    };

    // The design starts from the memory's (a copy), or empty.
    QueryDesignerLogic(VORLIN::DbConnection& connection, Ui& ui, DesignerMemory* memory);
    ~QueryDesignerLogic();

    // Whether the back end of `connection` runs FULL OUTER JOIN: a SQLite
    // file here when the library has it, a remote SQLite service when its
    // SQLite version has it; MySQL and ODBC sources do not.
    static bool hasFullOuterJoin(VORLIN::DbConnection& connection);

    // --- the tree ---
    // The database node's text: the connection's alias, else its host.
    VORLIN::String databaseName() const;
    // Reads the tables again; a connection error is shown ("ERROR") and
    // answers false (the tree then has no tables).
    bool fillTree();
    const std::vector<VORLIN::String>& tables() const noexcept { return tables_; }
    // The column nodes of a table: "*" and its columns; read from the
    // connection the first time (a failure is shown once and leaves "*").
    const std::vector<VORLIN::String>& columnsOf(const VORLIN::String& table);
    bool columnsRead(const VORLIN::String& table) const { return columns_.count(table) > 0; }

    // --- the design ---
    const QueryDesign& design() const noexcept { return design_; }
    int type() const noexcept { return design_.type(); }
    // "Tipo: ": the rows and relations go, the grid takes the type's columns.
    void setType(int type);
    // The "Tipo: " list chose `type`: a design with rows or relations is
    // only emptied when the person confirms kTypeChange (a key press on the
    // list must not wipe a design); false when it stays as it was.
    bool changeType(int type);
    // A column chosen in the tree becomes a row; answers its index.
    int chooseColumn(const VORLIN::String& table, const VORLIN::String& column);
    // Why `text` cannot go into a cell of grid column `column`, or empty.
    // Line breaks count as spaces in the columns with a character set.
    VORLIN::String cellProblem(int column, const VORLIN::String& text) const;
    // Writes a cell (by grid column); refused text is shown ("ALERT") and
    // leaves the cell as it was (answers false).
    bool setCell(int row, int column, const VORLIN::String& text);
    void removeRow(int row);

    // --- relations (SELECT only) ---
    // The relations list: one condition text per relation.
    std::vector<VORLIN::String> relationTexts() const;
    bool canRelate() const noexcept { return design_.type() == QueryDesign::kSelect; }
    // "+", "!", "-"; true when the relations changed. `index` is the
    // selected entry, -1 for none ("Seleccione una relación").
    bool addRelation();
    bool editRelation(int index);
    bool removeRelation(int index);

    // --- commands ---
    void clear();
    // "Guardar": true when a file was written.
    bool save();
    // "Abrir": true when a design was read (the window shows it anew).
    bool open();
    // "Procesar": true when the SQL is ready (sql()); the design is then
    // remembered. An empty design is refused with "ALERT".
    bool process();
    const VORLIN::String& sql() const noexcept { return sql_; }

private:
    VORLIN::DbConnection& connection_;
    Ui& ui_;
    DesignerMemory* memory_;
    QueryDesign design_;
    std::vector<VORLIN::String> tables_;
    std::map<VORLIN::String, std::vector<VORLIN::String>> columns_;
    VORLIN::String sql_;
};
