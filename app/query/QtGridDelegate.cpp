#include "app/query/QtGridDelegate.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QLineEdit>

#include "app/query/QtGridModel.h"
#include "core/DataItem.h"

using VORLIN::DataItem;

QWidget* QtGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    const int type = index.data(QtGridModel::kTypeRole).toInt();
    if (type == DataItem::TBool) {
        auto* box = new QCheckBox(parent);
        box->setAccessibleName(
            index.model()->headerData(index.column(), Qt::Horizontal).toString());
        box->setAutoFillBackground(true);
        return box;
    }
    if (type == DataItem::TDate) {
        const QVariant v = index.data(Qt::EditRole);
        QDateTimeEdit* edit;
        if (v.typeId() == QMetaType::QDateTime) {
            edit = new QDateTimeEdit(parent);
            edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        } else {
            edit = new QDateEdit(parent);
            edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        }
        edit->setCalendarPopup(true);
        edit->setAccessibleName(
            index.model()->headerData(index.column(), Qt::Horizontal).toString());
        return edit;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void QtGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        box->setChecked(index.data(Qt::EditRole).toBool());
        return;
    }
    if (auto* edit = qobject_cast<QDateTimeEdit*>(editor)) {
        const QVariant v = index.data(Qt::EditRole);
        if (v.typeId() == QMetaType::QDateTime)
            edit->setDateTime(v.toDateTime());
        else
            edit->setDate(v.toDate().isValid() ? v.toDate() : QDate::currentDate());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void QtGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        model->setData(index, box->isChecked(), Qt::EditRole);
        return;
    }
    if (auto* edit = qobject_cast<QDateTimeEdit*>(editor)) {
        if (qobject_cast<QDateEdit*>(editor))
            model->setData(index, edit->date(), Qt::EditRole);
        else
            model->setData(index, edit->dateTime(), Qt::EditRole);
        return;
    }
    // An editor closed without typing writes nothing (a NULL stays NULL).
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && !line->isModified()) return;
    QStyledItemDelegate::setModelData(editor, model, index);
}
