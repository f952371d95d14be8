#include "app/designer/QueryDesignerDlg.h"

#include <algorithm>
#include <iterator>

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/designer/ExpandColumnDlg.h"
#include "app/designer/Gap.h"
#include "app/designer/QtDesignGridDelegate.h"
#include "app/designer/TableJoinDlg.h"
#include "app/designer/TableJoinLogic.h"
#include "ui/FileDialogs.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"

using VORLIN::String;

namespace {

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}
String s(const QString& t) {
    return String(t.toUtf8().toStdString());
}

// What a tree item is.
enum Node { DatabaseNode = 0, TableNode, ColumnNode };
constexpr int kNodeRole = Qt::UserRole;
constexpr int kTableRole = Qt::UserRole + 1;
constexpr int kTypes[] = {QueryDesign::kSelect, QueryDesign::kUpdate, QueryDesign::kDelete};

QPushButton* makeButton(const char* text, const char* caption, const char* hint, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(text));
    b->setAccessibleName(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(hint));
    b->setAccessibleDescription(QString::fromUtf8(hint));
    // Enter in the tree or the grid must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QPushButton* makeButton(const QueryDesignerLogic::Command& command, const char* caption,
                        QWidget* parent) {
    return makeButton(command.text, caption, command.hint, parent);
}

}  // namespace

QueryDesignerDlg::QueryDesignerDlg(VORLIN::DbConnection& connection, DesignerMemory* memory,
                                   const String& folder, QWidget* parent)
    : QDialog(parent),
      logic_(std::make_unique<QueryDesignerLogic>(connection, ui(), memory)),
      folder_(folder) {
    setWindowTitle(QString::fromUtf8(QueryDesignerLogic::kTitle));
    setAccessibleName(QString::fromUtf8(QueryDesignerLogic::kTitle));
    setModal(true);
    setSizeGripEnabled(true);

    // The tree of the connection.
    tree_ = new QTreeWidget(this);
    tree_->setHeaderLabel(QString::fromUtf8(QueryDesignerLogic::kTree));
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(QString::fromUtf8(QueryDesignerLogic::kTree));
    tree_->setAccessibleDescription(
        QStringLiteral("Intro o doble clic en un campo lo agrega a la consulta"));
    tree_->setToolTip(tree_->accessibleDescription());
    auto* treeLabel = new QLabel(QStringLiteral("&TABLAS"), this);
    treeLabel->setBuddy(tree_);
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(treeLabel);
    leftLayout->addWidget(tree_, 1);

    // "Tipo: ".
    type_ = new QComboBox(this);
    type_->setAccessibleName(QStringLiteral("Tipo"));
    for (int type : kTypes)
        type_->addItem(QString::fromUtf8(QueryDesign::typeName(type)), type);
    auto* typeLabel = new QLabel(QStringLiteral("T&ipo: "), this);
    typeLabel->setBuddy(type_);
    auto* typeLine = new QHBoxLayout;
    typeLine->addWidget(typeLabel);
    typeLine->addWidget(type_);
    typeLine->addStretch(1);

    // The grid.
    grid_ = new QTableWidget(this);
    grid_->setAccessibleName(QString::fromUtf8(QueryDesign::kGridTitle));
    grid_->setItemDelegate(new QtDesignGridDelegate(*logic_, grid_));
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setTabKeyNavigation(false);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
    auto* gridLabel = new QLabel(QStringLiteral("Columnas de la c&onsulta"), this);
    gridLabel->setBuddy(grid_);
    QPushButton* zoom = makeButton(
        "...", "...", "Abre la celda seleccionada en una ventana de edición (F4 o Ctrl+E)", this);
    zoom->setAccessibleName(QString::fromUtf8(ExpandColumnDlg::kTitle));
    QPushButton* remove =
        makeButton("Quitar", "&Quitar", "Quita la fila seleccionada del diseño (Supr)", this);
    auto* gridLine = new QHBoxLayout;
    gridLine->addWidget(gridLabel);
    gridLine->addStretch(1);
    gridLine->addWidget(zoom);
    gridLine->addWidget(remove);

    // The relations.
    relations_ = new QListWidget(this);
    relations_->setAccessibleName(QStringLiteral("Relaciones entre tablas"));
    relations_->setMaximumHeight(6 * relations_->fontMetrics().lineSpacing() + 8);
    auto* relationsLabel = new QLabel(QStringLiteral("R&elaciones entre tablas: "), this);
    relationsLabel->setBuddy(relations_);
    QPushButton* add =
        makeButton(QueryDesignerLogic::kAddRelation, QueryDesignerLogic::kAddRelation.text, this);
    QPushButton* edit =
        makeButton(QueryDesignerLogic::kEditRelation, QueryDesignerLogic::kEditRelation.text, this);
    QPushButton* drop = makeButton(QueryDesignerLogic::kRemoveRelation,
                                   QueryDesignerLogic::kRemoveRelation.text, this);
    for (QPushButton* b : {add, edit, drop}) {
        b->setAccessibleName(QString::fromUtf8(b == add    ? "Agregar relación"
                                               : b == edit ? "Editar relación"
                                                           : "Eliminar relación"));
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 16);
    }
    auto* relationButtons = new QVBoxLayout;
    relationButtons->addWidget(add);
    relationButtons->addWidget(edit);
    relationButtons->addWidget(drop);
    relationButtons->addStretch(1);
    auto* relationLine = new QHBoxLayout;
    relationLine->addWidget(relations_, 1);
    relationLine->addLayout(relationButtons);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(typeLine);
    rightLayout->addWidget(new Gap(1, 4, right));
    rightLayout->addLayout(gridLine);
    rightLayout->addWidget(grid_, 1);
    rightLayout->addWidget(new Gap(1, 4, right));
    rightLayout->addWidget(relationsLabel);
    rightLayout->addLayout(relationLine);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setAccessibleName(QStringLiteral("Tablas y diseño"));
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 4);
    split->setChildrenCollapsible(false);

    // The commands.
    QPushButton* clear = makeButton(QueryDesignerLogic::kClear, "&Limpiar", this);
    clear->setIcon(VORLIN::ImageStore::icon("NEW"));
    QPushButton* save = makeButton(QueryDesignerLogic::kSave, "&Guardar", this);
    save->setIcon(VORLIN::ImageStore::icon("SAVE"));
    QPushButton* open = makeButton(QueryDesignerLogic::kOpen, "&Abrir", this);
    open->setIcon(VORLIN::ImageStore::icon("OPEN"));
    QPushButton* exit = makeButton(QueryDesignerLogic::kExit, "&Salir", this);
    exit->setIcon(VORLIN::ImageStore::icon("CANCEL"));
    QPushButton* run = makeButton(QueryDesignerLogic::kProcess, "&Procesar", this);
    run->setIcon(VORLIN::ImageStore::icon("DB_EJECUTAR"));
    auto* commands = new QHBoxLayout;
    commands->addWidget(clear);
    commands->addWidget(save);
    commands->addWidget(open);
    commands->addStretch(1);
    commands->addWidget(exit);
    commands->addWidget(new Gap(8, 1, this));
    commands->addWidget(run);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(new Gap(1, 4, this));
    layout->addLayout(commands);

    // Keyboard order: tree, type, grid and its buttons, relations and
    // theirs, then the commands.
    QWidget* order[] = {tree_, type_, grid_, zoom, remove, relations_, add,
                        edit,  drop,  clear, save, open,   exit,       run};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { chooseItem(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { fillColumns(item); });
    connect(type_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { typeChosen(index); });
    connect(grid_, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { cellChanged(item); });
    connect(zoom, &QPushButton::clicked, this, [this] { zoomCell(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeCurrentRow(); });
    connect(add, &QPushButton::clicked, this, [this] { addRelation(); });
    connect(edit, &QPushButton::clicked, this, [this] { editRelation(); });
    connect(drop, &QPushButton::clicked, this, [this] { removeRelation(); });
    connect(relations_, &QListWidget::itemActivated, this, [this] { editRelation(); });
    connect(clear, &QPushButton::clicked, this, [this] { clearDesign(); });
    connect(save, &QPushButton::clicked, this, [this] { saveDesign(); });
    connect(open, &QPushButton::clicked, this, [this] { openDesign(); });
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    connect(run, &QPushButton::clicked, this, [this] { process(); });

    for (const QKeySequence& key : {QKeySequence(Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_E)}) {
        // Only in the grid (and a cell being typed in): a list elsewhere
        // keeps F4 for opening itself.
        auto* shortcut = new QShortcut(key, grid_);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { zoomCell(); });
    }
    grid_->installEventFilter(this);
    relations_->installEventFilter(this);

    const int unit = fontMetrics().averageCharWidth();
    resize(std::max(980, 90 * unit + 280), 600);
    split->setSizes({220, width() - 220});
    fillTree();
    showDesign();
    tree_->setFocus();
}

QueryDesignerDlg::~QueryDesignerDlg() = default;

bool QueryDesignerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        // (A cell being typed in has its own editor, which gets the key.)
        if (watched == grid_) {
            removeCurrentRow();
            return true;
        }
        if (watched == relations_) {
            removeRelation();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QPushButton* QueryDesignerDlg::button(const char* text) const {
    return findChild<QPushButton*>(QString::fromUtf8(text));
}

// ------------------------------------------------------------------ the tree

void QueryDesignerDlg::fillTree() {
    tree_->clear();
    auto* database = new QTreeWidgetItem(tree_, QStringList(q(logic_->databaseName())));
    database->setIcon(0, VORLIN::ImageStore::icon("DB_DB"));
    database->setData(0, kNodeRole, int(DatabaseNode));
    if (logic_->fillTree()) {
        for (const String& t : logic_->tables()) {
            auto* table = new QTreeWidgetItem(database, QStringList(q(t)));
            table->setIcon(0, VORLIN::ImageStore::icon("DB_TABLE"));
            table->setData(0, kNodeRole, int(TableNode));
            table->setData(0, kTableRole, q(t));
            table->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
    }
    database->setExpanded(true);
    tree_->setCurrentItem(database->childCount() > 0 ? database->child(0) : database);
}

void QueryDesignerDlg::fillColumns(QTreeWidgetItem* table) {
    if (!table || table->data(0, kNodeRole).toInt() != TableNode || table->childCount() > 0) return;
    const String name = s(table->data(0, kTableRole).toString());
    for (const String& c : logic_->columnsOf(name)) {
        auto* column = new QTreeWidgetItem(table, QStringList(q(c)));
        column->setIcon(0, VORLIN::ImageStore::icon("DB_FIELD"));
        column->setData(0, kNodeRole, int(ColumnNode));
        column->setData(0, kTableRole, q(name));
    }
    table->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* QueryDesignerDlg::tableItem(const String& table) const {
    QTreeWidgetItem* database = tree_->topLevelItem(0);
    for (int i = 0; database && i < database->childCount(); ++i)
        if (database->child(i)->data(0, kTableRole).toString() == q(table))
            return database->child(i);
    return nullptr;
}

QTreeWidgetItem* QueryDesignerDlg::columnItem(const String& table, const String& column) {
    QTreeWidgetItem* t = tableItem(table);
    if (!t) return nullptr;
    fillColumns(t);
    for (int i = 0; i < t->childCount(); ++i)
        if (t->child(i)->text(0) == q(column)) return t->child(i);
    return nullptr;
}

void QueryDesignerDlg::chooseItem(QTreeWidgetItem* item) {
    if (!item || item->data(0, kNodeRole).toInt() != ColumnNode) return;
    finishEditing();
    const int row = logic_->chooseColumn(s(item->data(0, kTableRole).toString()), s(item->text(0)));
    fillGrid();
    grid_->setCurrentCell(row, 0);
}

// ------------------------------------------------------------------ the grid

void QueryDesignerDlg::showDesign() {
    filling_ = true;
    for (int i = 0; i < type_->count(); ++i)
        if (type_->itemData(i).toInt() == logic_->type()) type_->setCurrentIndex(i);
    filling_ = false;
    fillGrid();
    fillRelations();
}

void QueryDesignerDlg::fillGrid() {
    filling_ = true;
    const QueryDesign& design = logic_->design();
    const std::vector<DesignColumn>& columns = design.columns();
    grid_->clear();
    grid_->setColumnCount(int(columns.size()));
    grid_->setRowCount(design.rowCount());
    QStringList titles;
    for (const DesignColumn& c : columns)
        titles << QString::fromUtf8(c.title);
    grid_->setHorizontalHeaderLabels(titles);
    const int unit = std::max(1, grid_->fontMetrics().averageCharWidth());
    for (size_t c = 0; c < columns.size(); ++c)
        grid_->setColumnWidth(int(c), columns[c].width * unit / kUnitsPerChar);
    for (int r = 0; r < design.rowCount(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const String& text = design.row(r)[c];
            auto* item = new QTableWidgetItem;
            if (columns[c].kind == DesignColumn::Check) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
                item->setCheckState(QueryDesign::isSet(text) ? Qt::Checked : Qt::Unchecked);
            } else {
                item->setText(q(text).trimmed().isEmpty() ? QString() : q(text));
            }
            grid_->setItem(r, int(c), item);
        }
    }
    filling_ = false;
    updateButtons();
}

void QueryDesignerDlg::cellChanged(QTableWidgetItem* item) {
    if (filling_ || !item) return;
    const int row = item->row();
    const int column = item->column();
    const DesignColumn& c = logic_->design().columns()[size_t(column)];
    const String text = c.kind == DesignColumn::Check
                            ? String(item->checkState() == Qt::Checked ? "1" : "0")
                            : s(item->text());
    if (logic_->setCell(row, column, text)) return;
    // Refused: the cell shows what the design holds.
    filling_ = true;
    item->setText(q(logic_->design().row(row)[size_t(column)]));
    filling_ = false;
}

void QueryDesignerDlg::finishEditing() {
    // A cell being typed in is written before another action reads the design.
    QWidget* editor = QApplication::focusWidget();
    if (editor && editor != grid_ && grid_->viewport()->isAncestorOf(editor)) {
        emit grid_->itemDelegate()->commitData(editor);
        emit grid_->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void QueryDesignerDlg::zoomCell() {
    finishEditing();
    const int row = grid_->currentRow();
    const int column = grid_->currentColumn();
    const auto& columns = logic_->design().columns();
    if (row < 0 || column < 0 || column >= int(columns.size())) return;
    const DesignColumn& c = columns[size_t(column)];
    if (c.kind != DesignColumn::Text) return;
    ExpandColumnDlg zoom(
        String(c.title), logic_->design().row(row)[size_t(column)],
        [this, column](const String& text) { return logic_->cellProblem(column, text); }, this);
    if (zoom.exec() != QDialog::Accepted) return;
    logic_->setCell(row, column, zoom.text());
    fillGrid();
    grid_->setCurrentCell(row, column);
    grid_->setFocus();
}

void QueryDesignerDlg::removeCurrentRow() {
    finishEditing();
    const int row = grid_->currentRow();
    if (row < 0 || row >= logic_->design().rowCount()) return;
    const int column = std::max(0, grid_->currentColumn());
    logic_->removeRow(row);
    fillGrid();
    if (grid_->rowCount() > 0) grid_->setCurrentCell(std::min(row, grid_->rowCount() - 1), column);
}

void QueryDesignerDlg::typeChosen(int index) {
    if (filling_ || index < 0) return;
    finishEditing();
    logic_->changeType(type_->itemData(index).toInt());
    // Also when the person kept the design: the list shows its type again.
    showDesign();
}

// ----------------------------------------------------------------- relations

void QueryDesignerDlg::fillRelations() {
    const int current = relations_->currentRow();
    relations_->clear();
    const auto& list = logic_->design().relations();
    const std::vector<String> texts = logic_->relationTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
        auto* item = new QListWidgetItem(q(texts[i]), relations_);
        const QString whole = q(list[i].join) + QLatin1Char(' ') + q(list[i].tabla2) +
                              QStringLiteral(" ON ") + q(texts[i]);
        item->setToolTip(whole);
        item->setData(Qt::AccessibleDescriptionRole, whole);
    }
    if (relations_->count() > 0)
        relations_->setCurrentRow(std::clamp(current, 0, relations_->count() - 1));
    updateButtons();
}

void QueryDesignerDlg::updateButtons() {
    const bool relate = logic_->canRelate();
    for (const char* name : {"+", "!", "-"})
        button(name)->setEnabled(relate);
    relations_->setEnabled(relate);
}

void QueryDesignerDlg::addRelation() {
    finishEditing();
    if (!logic_->addRelation()) return;
    fillRelations();
    relations_->setCurrentRow(relations_->count() - 1);
}

void QueryDesignerDlg::editRelation() {
    QListWidgetItem* item = relations_->currentItem();
    const int index = item && item->isSelected() ? relations_->row(item) : -1;
    if (logic_->editRelation(index)) fillRelations();
}

void QueryDesignerDlg::removeRelation() {
    QListWidgetItem* item = relations_->currentItem();
    const int index = item && item->isSelected() ? relations_->row(item) : -1;
    if (logic_->removeRelation(index)) fillRelations();
}

// ------------------------------------------------------------------ commands

void QueryDesignerDlg::clearDesign() {
    finishEditing();
    logic_->clear();
    showDesign();
}

void QueryDesignerDlg::saveDesign() {
    finishEditing();
    logic_->save();
}

void QueryDesignerDlg::openDesign() {
    finishEditing();
    if (logic_->open()) showDesign();
}

void QueryDesignerDlg::process() {
    finishEditing();
    if (logic_->process()) done(QDialog::Accepted);
}

// --------------------------------------------------------- the logic's Ui

void QueryDesignerDlg::keepFolder(const String& path) {
    const size_t slash = path.view().rfind('/');
    if (slash != std::string_view::npos) folder_ = String(path.view().substr(0, slash + 1));
}

void QueryDesignerDlg::message(const String& text, const char* icon) {
    VORLIN::MsgBox::show(text, icon, icon);
}

String QueryDesignerDlg::saveFile(const String& title, const String& filter) {
    const String path = VORLIN::FileDialogs::saveFile(title, filter, folder_);
    keepFolder(path);
    return path;
}

String QueryDesignerDlg::openFile(const String& title, const String& filter) {
    const String path = VORLIN::FileDialogs::openFile(title, filter, folder_);
    keepFolder(path);
    return path;
}

bool QueryDesignerDlg::askRelation(TableJoinLogic& join) {
    TableJoinDlg dialog(join, this);
    return dialog.exec() == QDialog::Accepted;
}

bool QueryDesignerDlg::confirm(const String& text) {
    return VORLIN::MsgBox::ask(text, QueryDesignerLogic::kTitle, "Cancelar", "ASK");
}
