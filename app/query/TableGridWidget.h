// TableGrid: the grid of the query window, a QTableView over a QtGridModel
// and its TGDataset, with the date and bool editors of QtGridDelegate.
//
// Table mode (showTable) edits the table: Enter or F2 or typing edits the
// current cell, the row after the last is the pending new row, written
// when the cursor leaves it (or commitPending()), Escape there clears it;
// Delete ("Borrar fila" in the context menu) deletes the current row after
// kDeleteQuestion; Ctrl+0 ("Poner NULL" in the context menu) sets the
// current cell to NULL. A table without key column is read-only, and these
// keys show why. Query mode (showQuery) is read-only and the keys do
// nothing. Rows appended
// to the set while it loads are announced with rowsAppended().
//
// The title is the table name, the statement, or "--" when empty; the view
// is named kAccessibleName for assistive technology and described by the
// title.
//
// Ownership: owns its model, adapter and delegate; the sets and the
// connection stay the caller's and must outlive what shows them (clear()
// first). Threads: the UI thread. Failures are shown with MsgBox "ERROR";
// nothing here throws.
#pragma once

#include <memory>

#include <QTableView>

#include "core/String.h"

class QAction;
class QtGridModel;
class RowArrival;
class TGDataset;

namespace VORLIN {
class DataSet;
class TableDataset;
class TableStore;
}  // namespace VORLIN

class TableGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr const char* kAccessibleName = "Datos";
    static constexpr const char* kEmptyTitle = "--";
    static constexpr const char* kDeleteQuestion = "¿Borrar la fila seleccionada?";
    static constexpr const char* kDeleteAction = "Borrar fila";
    static constexpr const char* kNullAction = "Poner NULL";

    explicit TableGrid(QWidget* parent = nullptr);
    ~TableGrid() override;

    // Table mode on `table`, written through `connection`.
    void showTable(VORLIN::TableDataset* table, VORLIN::TableStore* connection,
                   const VORLIN::String& title);
    // Query mode (read-only) on `rows`.
    void showQuery(VORLIN::DataSet* rows, const VORLIN::String& title);
    // Query mode (read-only) on rows a worker thread is still reading into
    // `rows` (see ArrivingRows); rowsAppended() shows the ones read since.
    // Showing the same set again with showTable or showQuery once it is
    // read keeps the view where the person scrolled it.
    void showArriving(VORLIN::DataSet* rows, std::shared_ptr<const RowArrival> arrival,
                      const VORLIN::String& title);
    // Nothing shown; the title becomes "--".
    void clear();
    // Re-reads the bound set (after a filter or a sort).
    void refresh();
    // The bound set now holds `newCount` rows (rows appended while loading).
    void rowsAppended(int newCount);

    void setTitle(const VORLIN::String& title);
    const VORLIN::String& title() const noexcept { return title_; }

    // Whether a cell editor is open.
    bool isEditing() const noexcept { return state() == QAbstractItemView::EditingState; }

    // The actions of the keys above; false when nothing changed.
    bool commitPending();
    bool deleteCurrentRow();
    bool setCurrentNull();

    TGDataset& rows() const noexcept { return *rows_; }
    QtGridModel& gridModel() const noexcept { return *model_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void rebuildColumns();
    // Binds with `bind`, keeping scroll position, current cell and column
    // widths when the set stays the one that was arriving.
    template <class Bind>
    void rebind(VORLIN::DataSet* rows, Bind&& bind);
    void updateActions();

    std::unique_ptr<TGDataset> rows_;
    QtGridModel* model_ = nullptr;
    QAction* nullAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    VORLIN::String title_;
};
