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
// is TableGrid. "Ejecutar" does its work on a thread of its own: the window
// stays alive, shows how long it has been reading, and "Cancelar" (or
// Escape) interrupts the statement on the connection; the rows shown before
// stay until the new ones are read. Meanwhile the connection is marked
// busy (ConnectionBusy) and the window's other controls wait.
//
// Ownership: the main window owns its query windows; a window never owns
// its connection. When it closes it tells its owner through `closing`
// (which deletes it later, in an idle pass), and after a CREATE or DROP
// (Ctrl+W closes it too)
// through `tablesChanged`. Threads: the UI thread.
#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QWidget>

#include <thread>

#include "app/query/ConnectionBusy.h"
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
    bool running() const noexcept { return worker_.joinable(); }
    void save();
    void showSource();
    void filter();
    void openDesigner();
    void openListedTable(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillTables(const VORLIN::String& select);
    void finishRun();
    void setRunning(bool on);
    void showResult(const VORLIN::String& title);

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
    std::thread worker_;
    std::unique_ptr<QueryRunner::Job> job_;
    std::unique_ptr<ConnectionBusy::Hold> hold_;
    bool cancelled_ = false;
    bool closeAfterRun_ = false;
    QLabel* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* ticker_ = nullptr;
    QElapsedTimer elapsed_;
};
