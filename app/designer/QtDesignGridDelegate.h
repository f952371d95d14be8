// QtDesignGridDelegate: the editors and check boxes of the query designer's
// grid "Columnas de la consulta". A choice column edits with a list of its
// choices; a typed column with a line that refuses characters outside the
// column's set; a check column is drawn here, in the text colour so that it
// shows on light and dark schemes alike, and changes with a click or Space.
// The columns are those of the designer logic's current design type.
//
// Ownership: the logic stays the dialog's and outlives the delegate, which
// its view owns. Threads: the UI thread. Throws nothing.
#pragma once

#include <QStyledItemDelegate>

#include "app/designer/QueryDesign.h"

class QueryDesignerLogic;

class QtDesignGridDelegate : public QStyledItemDelegate {
public:
    QtDesignGridDelegate(const QueryDesignerLogic& logic, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where a check cell's box is drawn.
    static QRect checkBox(const QRect& cell);

private:
    const DesignColumn* column(const QModelIndex& index) const;

    const QueryDesignerLogic& logic_;
};
