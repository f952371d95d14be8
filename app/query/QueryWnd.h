// QueryWnd: "Ventana de datos", the modeless window in which a person
// types SQL, runs it on one connection and sees the result in the grid:
// "Ejecutar" (with "En una transacción"), "Guardar" (text, .xls, .xlsx or
// INSERT statements), "Fuente", "Diseñador" (the query designer on the
// window's connection, starting from the application's last design; its
// SQL replaces the editor text, as one edit Ctrl+Z takes back),
// "Filtrar", the "Tablas: " list, the SQL editor labelled "Conexión:
// host - alias" and the grid below a splitter.
//
// What runs and how is QueryRunner's; what is saved ResultSaver's; the grid
// is TableGrid. "Ejecutar", a table from the "Tablas: " list and the table
// the window opens on are read on a thread of their own: the window stays
// alive, the rows show as they arrive (read-only until all are in), a
// progress line counts them, and "Cancelar" (or Escape) interrupts the
// statement on the connection. A back end that cannot stop at once (the
// remote service answers every request in full) is left to finish on its
// own after kCancelGraceMs: the window returns at once to the rows of
// before, and the connection stays busy until the answer is in and thrown
// away. Meanwhile the connection is marked busy (ConnectionBusy) and the
// window's other controls wait.
//
// Ownership: the main window owns its query windows; a window never owns
// its connection. When it closes (Ctrl+W closes it too) it tells its owner
// through `closing` (which deletes it later, in an idle pass), and after a
// CREATE or DROP through `tablesChanged`. Reads a window left behind are
// finished by finishBackgroundLoads(), which the owner of the connections
// calls before it closes them. Threads: the UI thread.
#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QWidget>

#include "app/query/ConnectionBusy.h"
#include "app/query/QtQueryReads.h"
#include "app/query/QueryRunner.h"

#include "core/String.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TableGrid;

namespace VORLIN {
class CodeEditor;
class DbConnection;
}  // namespace VORLIN

class DesignerMemory;

class QueryWnd : public QWidget {
public:
    static constexpr const char* kTitle = "Ventana de datos";
    static constexpr const char* kConnectionLabel = "Conexión: %s - %s";
    static constexpr const char* kTransaction = "En una transacción";
    static constexpr const char* kCancelled = "Consulta cancelada";
    static constexpr int kCancelGraceMs = 300;
    // How often a run is looked at: until its first rows show (they show
    // at once), then while the rest arrives.
    static constexpr int kFirstRowsTickMs = 40;
    static constexpr int kArrivingTickMs = 250;
    // Results larger than this are freed on a thread of their own when the
    // window goes.
    static constexpr int kFreeAloneRows = 20000;

    struct Hooks {
        std::function<void(QueryWnd*)> closing;
        std::function<void(VORLIN::DbConnection*)> tablesChanged;
        std::function<VORLIN::String()> workFolder;
        std::function<void(const VORLIN::String&)> setWorkFolder;
        // The application's designer memory (null or unset: none).
        std::function<DesignerMemory*()> designerMemory;
    };

    QueryWnd(VORLIN::DbConnection& connection, const VORLIN::String& label,
             const VORLIN::String& table, Hooks hooks, QWidget* parent = nullptr);
    ~QueryWnd() override;

    VORLIN::DbConnection& connection() const noexcept { return connection_; }
    const VORLIN::String& label() const noexcept { return label_; }
    VORLIN::CodeEditor* editor() const noexcept { return editor_; }
    TableGrid* grid() const noexcept { return grid_; }
    QComboBox* tables() const noexcept { return tables_; }
    QCheckBox* transaction() const noexcept { return transaction_; }
    QueryRunner& runner() noexcept { return *runner_; }
    QPushButton* button(const char* text) const;

    // The buttons' actions (tests call them as the buttons do).
    void runText();
    void cancelRun();
    bool running() const noexcept { return load_ != nullptr; }
    // Rows read so far by the run in progress (0 when none).
    int rowsRead() const;

    // Interrupts and waits for the reads windows left behind (a window
    // closed while reading, a cancel a back end could not honour at once).
    static void finishBackgroundLoads();
    // The same at the program's end: the links of those reads to a server
    // are dropped first, so that none keeps the program waiting for an
    // answer it would throw away (the server runs a request to its end).
    static void abandonBackgroundLoads();
    // How many such reads are still going.
    static int backgroundLoads();
    void save();
    void showSource();
    void filter();
    void openDesigner();
    void openListedTable(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillTables(const VORLIN::String& select);
    void startLoad(QueryRunner::Job job);
    void tick();
    void finishRun();
    // Gives up waiting for the run in progress: it goes on alone.
    void abandonRun(bool quiet);
    void setRunning(bool on);
    void showRowCount();
    void showResult(const VORLIN::String& title);
    // The rows the runner holds, under the title they were shown with.
    void showRunnerRows();

    VORLIN::DbConnection& connection_;
    VORLIN::String label_;
    Hooks hooks_;
    std::unique_ptr<QueryRunner> runner_;
    VORLIN::CodeEditor* editor_ = nullptr;
    TableGrid* grid_ = nullptr;
    QComboBox* tables_ = nullptr;
    QCheckBox* transaction_ = nullptr;
    QLabel* source_ = nullptr;
    bool filling_ = false;
    // The run on its own thread.
    std::shared_ptr<QtQueryReads::Read> load_;
    bool cancelled_ = false;
    bool arrivingShown_ = false;
    VORLIN::String shownTitle_;
    QLabel* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* ticker_ = nullptr;
    QElapsedTimer elapsed_;
};
