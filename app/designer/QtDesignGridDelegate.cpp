#include "app/designer/QtDesignGridDelegate.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "app/designer/QueryDesignerLogic.h"

QtDesignGridDelegate::QtDesignGridDelegate(const QueryDesignerLogic& logic, QObject* parent)
    : QStyledItemDelegate(parent), logic_(logic) {}

QWidget* QtDesignGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    const DesignColumn* c = column(index);
    if (!c) return QStyledItemDelegate::createEditor(parent, option, index);
    if (c->kind == DesignColumn::Choice) {
        auto* list = new QComboBox(parent);
        for (const QString& choice : QString::fromUtf8(c->choices).split(QLatin1Char(',')))
            list->addItem(choice.trimmed());
        list->setAccessibleName(QString::fromUtf8(c->title));
        return list;
    }
    auto* line = new QLineEdit(parent);
    line->setAccessibleName(QString::fromUtf8(c->title));
    line->setFrame(false);
    if (*c->allowed) {
        const QString pattern = QStringLiteral("[") +
                                QRegularExpression::escape(QString::fromUtf8(c->allowed)) +
                                QStringLiteral("]*");
        line->setValidator(new QRegularExpressionValidator(
            QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption), line));
    }
    return line;
}

void QtDesignGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        const int at = list->findText(index.data(Qt::EditRole).toString().trimmed());
        list->setCurrentIndex(at < 0 ? 0 : at);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void QtDesignGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                        const QModelIndex& index) const {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, list->currentText().trimmed(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

// Check boxes are drawn here, in the text colour, so that they show on
// light and dark schemes alike (the style's own box can vanish on a
// dark palette), centred in their cell.
void QtDesignGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const DesignColumn* c = column(index);
    if (!c || c->kind != DesignColumn::Check) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem o(option);
    initStyleOption(&o, index);
    const bool on = o.checkState == Qt::Checked;
    o.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    o.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
    const bool selected = o.state & QStyle::State_Selected;
    const QColor ink = o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect box = checkBox(o.rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(ink, 1));
    painter->setBrush(selected ? Qt::NoBrush : QBrush(o.palette.color(QPalette::Base)));
    painter->drawRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
    if (on) {
        painter->setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QRectF r = QRectF(box).adjusted(3, 3, -3, -3);
        const QPointF mark[] = {{r.left(), r.center().y()},
                                {r.left() + r.width() * 0.4, r.bottom()},
                                {r.right(), r.top()}};
        painter->drawPolyline(mark, 3);
    }
    painter->restore();
}

// A click in a check cell or Space on it changes the check.
bool QtDesignGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    const DesignColumn* c = column(index);
    if (!c || c->kind != DesignColumn::Check)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    bool toggle = false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        case QEvent::MouseButtonRelease:
            toggle = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                     option.rect.contains(static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            toggle = key == Qt::Key_Space || key == Qt::Key_Select;
            break;
        }
        default:
            break;
    }
    if (!toggle) return false;
    const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

QRect QtDesignGridDelegate::checkBox(const QRect& cell) {
    const int side = std::max(8, std::min(cell.height() - 6, 14));
    QRect box(0, 0, side, side);
    box.moveCenter(cell.center());
    return box;
}

const DesignColumn* QtDesignGridDelegate::column(const QModelIndex& index) const {
    const auto& columns = logic_.design().columns();
    return index.column() >= 0 && index.column() < int(columns.size())
               ? &columns[size_t(index.column())]
               : nullptr;
}
