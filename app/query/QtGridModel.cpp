#include "app/query/QtGridModel.h"

#include <QBrush>
#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QPalette>

#include "app/query/TGDataset.h"
#include "core/DataItem.h"
#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

bool hasTime(const DateTime& d) {
    return d.hour != 0 || d.minute != 0 || d.second != 0;
}

QVariant editValue(const DataItem& item) {
    switch (item.type()) {
        case DataItem::TDate: {
            const DateTime d = item.toDateTime();
            if (!d.isValid()) return QVariant(QDate());
            const QDate day(d.year, d.month, d.day);
            if (!hasTime(d)) return QVariant(day);
            return QVariant(QDateTime(day, QTime(d.hour, d.minute, d.second)));
        }
        case DataItem::TBool:
            return QVariant(item.toBool());
        default:
            return QVariant(
                QString::fromUtf8(item.text().c_str(), qsizetype(item.text().length())));
    }
}

}  // namespace

QtGridModel::QtGridModel(TGDataset& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {
    const auto lock = rows_.readLock();
    shownRows_ = rows_.rowCount();
}

void QtGridModel::reset() {
    beginResetModel();
    {
        const auto lock = rows_.readLock();
        shownRows_ = rows_.rowCount();
    }
    endResetModel();
}

void QtGridModel::rowsAppended(int newCount) {
    if (newCount <= shownRows_) {
        if (newCount < shownRows_) reset();
        return;
    }
    beginInsertRows(QModelIndex(), shownRows_, newCount - 1);
    shownRows_ = newCount;
    endInsertRows();
}

bool QtGridModel::hasPendingRow() const noexcept {
    return rows_.allowsNewRows();
}

bool QtGridModel::isPendingRow(int row) const noexcept {
    return hasPendingRow() && row == shownRows_;
}

int QtGridModel::dataRow(int row) const noexcept {
    // While rows arrive the set may hold more than the view was told of: the
    // pending row is the adapter's own, wherever the view shows it.
    return isPendingRow(row) ? rows_.rowCount() : row;
}

int QtGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return shownRows_ + (hasPendingRow() ? 1 : 0);
}

int QtGridModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || rows_.mode() == TGDataset::Mode::None) return 0;
    return rows_.columnCount() + 1;
}

QVariant QtGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (section == 0) return QString::fromUtf8(TGDataset::kRowColumnTitle);
    const String name = rows_.columnName(section - 1);
    return QString::fromUtf8(name.c_str(), qsizetype(name.length()));
}

QVariant QtGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const int row = index.row();
    if (index.column() == 0) {
        if (role == Qt::DisplayRole)
            return isPendingRow(row) ? QVariant(QStringLiteral("*")) : QVariant(row + 1);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    const int column = index.column() - 1;
    // Rows still arriving are read under their lock, held until the cell's
    // value has been copied out.
    const auto lock = rows_.readLock();
    const DataItem* item = rows_.cell(dataRow(row), column);
    if (!item) return QVariant();
    const bool null = item->isNull();
    const int type = rows_.columnType(column);
    switch (role) {
        case Qt::DisplayRole:
            if (null)
                return isPendingRow(row) ? QVariant() : QVariant(QString::fromUtf8(kNullText));
            if (type == DataItem::TBool) return QVariant();
            return QString::fromUtf8(item->text().c_str(), qsizetype(item->text().length()));
        case Qt::EditRole:
            if (null) return type == DataItem::TBool ? QVariant(false) : QVariant();
            return editValue(*item);
        case Qt::AccessibleTextRole:
            if (null) return QString::fromUtf8(kNullText);
            return QString::fromUtf8(item->text().c_str(), qsizetype(item->text().length()));
        case Qt::CheckStateRole:
            if (type != DataItem::TBool || null) return QVariant();
            return item->toBool() ? Qt::Checked : Qt::Unchecked;
        case Qt::ForegroundRole:
            if (null) return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
            return QVariant();
        case Qt::FontRole:
            if (null) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return QVariant();
        case Qt::TextAlignmentRole:
            if (DataItem::isNumericTag(type)) return int(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant();
        case kTypeRole:
            return type;
        case kNullRole:
            return null;
        default:
            return QVariant();
    }
}

Qt::ItemFlags QtGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() > 0 && !rows_.isReadOnly()) f |= Qt::ItemIsEditable;
    return f;
}

template <class F>
bool QtGridModel::guarded(F&& change) {
    try {
        return change();
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
        return false;
    }
}

bool QtGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() == 0 || role != Qt::EditRole) return false;
    const int row = index.row();
    const int column = index.column() - 1;
    DataItem item;
    bool asText = false;
    switch (value.typeId()) {
        case QMetaType::QDate: {
            const QDate d = value.toDate();
            if (d.isValid()) item.setDate(DateTime(d.year(), d.month(), d.day()));
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime t = value.toDateTime();
            if (t.isValid())
                item.setDate(DateTime(t.date().year(), t.date().month(), t.date().day(),
                                      t.time().hour(), t.time().minute(), t.time().second()));
            break;
        }
        case QMetaType::Bool:
            item.setBool(value.toBool());
            break;
        default:
            asText = true;
    }
    const bool done = guarded([&] {
        if (asText) {
            const QByteArray text = value.toString().toUtf8();
            return rows_.setCellText(dataRow(row), column,
                                     TextRef(text.constData(), size_t(text.size())));
        }
        return rows_.setCellValue(dataRow(row), column, item);
    });
    // A failed change still repaints: the cell shows the value it kept.
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    return done;
}

bool QtGridModel::setNull(const QModelIndex& index) {
    if (!index.isValid() || index.column() == 0) return false;
    const int row = index.row();
    const bool done = guarded([&] { return rows_.setCellNull(dataRow(row), index.column() - 1); });
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    return done;
}

bool QtGridModel::commitPending() {
    if (!hasPendingRow() || !rows_.pendingChanged()) return false;
    const bool done = guarded([&] { return rows_.commitPending(); });
    if (!done) return false;
    // The new row is the set's now; the pending row below it starts empty.
    const int now = rows_.rowCount();
    if (now == shownRows_ + 1)
        rowsAppended(now);
    else
        reset();
    const int pending = rowCount() - 1;
    emit dataChanged(index(pending, 0), index(pending, columnCount() - 1));
    return true;
}

bool QtGridModel::removeDataRow(int row) {
    if (row < 0 || row >= rowCount()) return false;
    if (isPendingRow(row)) {
        rows_.clearPending();
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        return true;
    }
    const bool done = guarded([&] { return rows_.deleteRow(row); });
    if (!done) return false;
    beginRemoveRows(QModelIndex(), row, row);
    --shownRows_;
    endRemoveRows();
    return true;
}
