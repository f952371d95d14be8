// QtGridDelegate: the cell editors of the query window's grid. Date cells
// are edited in a QDateEdit (a date without time) or a QDateTimeEdit, both
// with a calendar; bool cells in a check box; every other cell in the
// line edit Qt gives by default. A NULL date starts at today's date.
//
// Ownership: a Qt child of the view it serves; the editors are the view's.
// Threads: the UI thread. Nothing here throws.
#pragma once

#include <QStyledItemDelegate>

class QtGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
