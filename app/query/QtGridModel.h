// QtGridModel: the query window's grid rows as a Qt table model over a
// TGDataset. It is virtual: nothing is kept per row, data() reads the cell
// of the bound set in place when the view asks for it, so a million rows
// cost the view nothing beyond what it paints.
//
// Column 0 is "#ROW#" (the row number, "*" on the pending new row); the
// set's shown columns follow. In table mode the last row is the pending new
// row. A NULL cell shows "NULL" in grey italics. Bool cells show a check
// mark (CheckStateRole); date cells answer a QDate or QDateTime for
// editing. kTypeRole and kNullRole give the delegate the cell's type tag
// and whether it is NULL.
//
// The model counts the rows it has announced: after the set grew (rows
// appended while loading) rowsAppended() announces the new ones in one
// batch; after the set was replaced, filtered or sorted, reset().
//
// Ownership: the TGDataset stays the caller's and outlives the model.
// Threads: the UI thread. Refused or failed changes are shown with MsgBox
// "ERROR" and answered false; nothing here throws.
#pragma once

#include <QAbstractTableModel>

#include "core/String.h"

class TGDataset;

class QtGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kTypeRole = Qt::UserRole + 1;
    static constexpr int kNullRole = Qt::UserRole + 2;
    static constexpr const char* kNullText = "NULL";

    explicit QtGridModel(TGDataset& rows, QObject* parent = nullptr);

    TGDataset& rows() const noexcept { return rows_; }

    // Re-reads everything (another set bound, filter, sort, clear).
    void reset();
    // The bound set now holds `newCount` rows, the announced ones first.
    void rowsAppended(int newCount);
    // Rows of the set announced to the view (the pending row not counted).
    int shownRows() const noexcept { return shownRows_; }
    bool isPendingRow(int row) const noexcept;

    // Grid actions; false when nothing changed (a failure is shown).
    bool setNull(const QModelIndex& index);
    bool commitPending();
    bool removeDataRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    bool hasPendingRow() const noexcept;
    // The adapter's number of a row of the view.
    int dataRow(int row) const noexcept;
    // Runs a change of the adapter, showing a GeneralException with "ERROR".
    template <class F>
    bool guarded(F&& change);

    TGDataset& rows_;
    int shownRows_ = 0;
};
