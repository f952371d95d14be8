#include "app/query/TableGridWidget.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include <vector>

#include "app/query/ArrivingRows.h"
#include "app/query/QtGridDelegate.h"
#include "app/query/QtGridModel.h"
#include "app/query/TGDataset.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

TableGrid::TableGrid(QWidget* parent) : QTableView(parent), rows_(std::make_unique<TGDataset>()) {
    model_ = new QtGridModel(*rows_, this);
    setModel(model_);
    setItemDelegate(new QtGridDelegate(this));
    setAccessibleName(QString::fromUtf8(kAccessibleName));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    // Every row has the same height: the view never measures rows, so a
    // million of them scroll as fast as ten.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(100);

    nullAction_ = new QAction(QString::fromUtf8(kNullAction), this);
    nullAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    nullAction_->setShortcutContext(Qt::WidgetShortcut);
    connect(nullAction_, &QAction::triggered, this, [this] { setCurrentNull(); });
    deleteAction_ = new QAction(QString::fromUtf8(kDeleteAction), this);
    deleteAction_->setShortcut(QKeySequence(Qt::Key_Delete));
    deleteAction_->setShortcutContext(Qt::WidgetShortcut);
    connect(deleteAction_, &QAction::triggered, this, [this] { deleteCurrentRow(); });
    addAction(nullAction_);
    addAction(deleteAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setTitle(String(kEmptyTitle));
    updateActions();
}

TableGrid::~TableGrid() = default;

template <class Bind>
void TableGrid::rebind(DataSet* rows, Bind&& bind) {
    const bool same = rows && rows_->isArriving() && rows_->dataSet() == rows;
    if (!same) {
        bind();
        rebuildColumns();
        return;
    }
    // The rows the person has been looking at while they arrived are now
    // all there: the view stays where it was.
    const int scroll = verticalScrollBar()->value();
    const int hscroll = horizontalScrollBar()->value();
    const QModelIndex current = currentIndex();
    const int row = current.row(), column = current.column();
    std::vector<int> widths;
    for (int c = 0; c < model_->columnCount(); ++c)
        widths.push_back(horizontalHeader()->sectionSize(c));
    bind();
    model_->reset();
    for (int c = 0; c < model_->columnCount(); ++c)
        horizontalHeader()->resizeSection(c, c < int(widths.size()) ? widths[size_t(c)] : 100);
    if (row >= 0 && row < model_->rowCount() && column < model_->columnCount())
        setCurrentIndex(model_->index(row, column));
    else if (model_->rowCount() > 0 && model_->columnCount() > 1)
        setCurrentIndex(model_->index(0, 1));
    verticalScrollBar()->setValue(scroll);
    horizontalScrollBar()->setValue(hscroll);
    updateActions();
}

void TableGrid::showTable(TableDataset* table, TableStore* connection, const String& title) {
    rebind(table, [&] { rows_->bindTable(table, connection); });
    setTitle(title);
}

void TableGrid::showQuery(DataSet* rows, const String& title) {
    rebind(rows, [&] { rows_->bindQuery(rows); });
    setTitle(title);
}

void TableGrid::showArriving(DataSet* rows, std::shared_ptr<const RowArrival> arrival,
                             const String& title) {
    rows_->bindArriving(rows, std::move(arrival));
    rebuildColumns();
    setTitle(title);
}

void TableGrid::clear() {
    rows_->unbind();
    rebuildColumns();
    setTitle(String(kEmptyTitle));
}

void TableGrid::refresh() {
    rows_->clearPending();
    model_->reset();
}

void TableGrid::rowsAppended(int newCount) {
    model_->rowsAppended(newCount);
}

void TableGrid::setTitle(const String& title) {
    title_ = title.isEmpty() ? String(kEmptyTitle) : title;
    setAccessibleDescription(QString::fromUtf8(title_.c_str(), qsizetype(title_.length())));
}

void TableGrid::rebuildColumns() {
    model_->reset();
    const QString widest = QString::number(qMax(model_->shownRows(), 999999) * 10);
    horizontalHeader()->resizeSection(0, fontMetrics().horizontalAdvance(widest) + 8);
    for (int c = 1; c < model_->columnCount(); ++c)
        horizontalHeader()->resizeSection(c, 100);
    if (model_->rowCount() > 0 && model_->columnCount() > 1) setCurrentIndex(model_->index(0, 1));
    updateActions();
}

void TableGrid::updateActions() {
    const bool writable = rows_->mode() == TGDataset::Mode::Table;
    nullAction_->setEnabled(writable);
    deleteAction_->setEnabled(writable);
}

bool TableGrid::commitPending() {
    if (state() == QAbstractItemView::EditingState) {
        // What is still in the editor belongs to the row.
        QWidget* editor = indexWidget(currentIndex());
        if (editor) commitData(editor);
    }
    return model_->commitPending();
}

bool TableGrid::deleteCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || rows_->mode() != TGDataset::Mode::Table) return false;
    // A table that cannot be changed says why (before any question).
    if (rows_->isReadOnly() || model_->isPendingRow(current.row()))
        return model_->removeDataRow(current.row());
    if (!MsgBox::ask(String(kDeleteQuestion), String("ASK"), String("NO"))) return false;
    return model_->removeDataRow(current.row());
}

bool TableGrid::setCurrentNull() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.column() == 0 || rows_->mode() != TGDataset::Mode::Table)
        return false;
    return model_->setNull(current);
}

void TableGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // Leaving the pending row writes it.
    if (previous.isValid() && model_->isPendingRow(previous.row()) &&
        (!current.isValid() || current.row() != previous.row()))
        model_->commitPending();
}

void TableGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        const QModelIndex current = currentIndex();
        const int key = event->key();
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier &&
            current.isValid()) {
            if (model_->flags(current) & Qt::ItemIsEditable) edit(current);
            event->accept();
            return;
        }
        if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
            deleteCurrentRow();
            event->accept();
            return;
        }
        if (key == Qt::Key_0 && mods == Qt::ControlModifier) {
            setCurrentNull();
            event->accept();
            return;
        }
        if (key == Qt::Key_Escape && current.isValid() && model_->isPendingRow(current.row())) {
            model_->removeDataRow(current.row());
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
