#include "app/main/MainWnd.h"

#include <iostream>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/colors/ColorSchemaDlg.h"
#include "app/form/InsertDataDlg.h"
#include "app/import/ImportarTexto.h"
#include "app/main/DatabaseDump.h"
#include "app/main/ScriptPaneWidget.h"
#include "app/main/SqlFileJob.h"
#include "app/query/ConnectionBusy.h"
#include "app/query/QueryWnd.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "remote/ConnectionNotifier.h"
#include "ui/CodeEditor.h"
#include "ui/ColoringSet.h"
#include "ui/Command.h"
#include "ui/FileDialogs.h"
#include "ui/ImageStore.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"
#include "ui/SApp.h"
#include "ui/WaitCursor.h"

namespace VORLIN {

namespace {

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

// Node roles kept on the tree items.
constexpr int kConnectionRole = Qt::UserRole + 1;
constexpr int kTableRole = Qt::UserRole + 2;

const char* kindImage(int kind, bool lost) {
    if (lost) return "DB_LOST";
    switch (kind) {
        case MainWndLogic::Local:
            return "DB_LOCAL";
        case MainWndLogic::Server:
            return "DB_SERVER";
        case MainWndLogic::MySql:
            return "DB_MYSQL";
        case MainWndLogic::Odbc:
            return "DB_ODBC";
        default:
            return "DB_SOLUCION";
    }
}

}  // namespace

MainWnd::MainWnd(MainWndLogic::Environment environment, Dialogs dialogs, ScriptSession* scripts)
    : logic_(std::make_unique<MainWndLogic>(static_cast<MainWndLogic::Ui&>(*this),
                                            std::move(environment))),
      dialogs_(std::move(dialogs)) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    setWindowIcon(ImageStore::icon("DB_SOLUCION"));
    resize(1100, 720);

    tree_ = new QTreeWidget(this);
    tree_->setHeaderLabel(QString::fromUtf8(MainWndLogic::kTreeTitle));
    tree_->setAccessibleName(QString::fromUtf8(MainWndLogic::kTreeTitle));
    tree_->setIconSize(QSize(20, 20));
    tree_->setUniformRowHeights(true);
    root_ = new QTreeWidgetItem(tree_, QStringList(QString::fromUtf8(MainWndLogic::kRootLabel)));
    root_->setIcon(0, ImageStore::icon("DB_SOLUCION"));
    root_->setData(0, kConnectionRole, -1);
    root_->setData(0, kTableRole, -1);
    tree_->setCurrentItem(root_);

    ScriptPaneWidget::Hooks paneHooks;
    paneHooks.workFolder = [this] { return logic_->workFolder(); };
    paneHooks.setWorkFolderFrom = [this](const String& path) { logic_->setWorkFolderFrom(path); };
    paneHooks.showTitle = [this](const String& title) {
        statusBar()->showMessage(QStringLiteral("Script: ") + q(title));
    };
    paneHooks.busy = [this](bool running) { scriptBusy(running); };
    scripts_ = new ScriptPaneWidget(scripts, std::move(paneHooks), this);
    auto* right = scripts_;
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setAccessibleName(QStringLiteral("Conexiones y script"));
    split->addWidget(tree_);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    split->setSizes({300, 800});
    setCentralWidget(split);
    statusBar()->setAccessibleName(QStringLiteral("Estado"));

    buildMenus();
    menuBar()->setAccessibleName(QStringLiteral("Menú"));
    // The tool bar's own button for entries that do not fit.
    for (QToolButton* b :
         toolBar_->findChildren<QToolButton*>(QStringLiteral("qt_toolbarext_button")))
        b->setAccessibleName(QStringLiteral("Más herramientas"));
    if (scripts_->logic())
        statusBar()->showMessage(QStringLiteral("Script: ") + q(scripts_->logic()->title()));
    setTabOrder(tree_, scripts_->editor());
    setTabOrder(scripts_->editor(), scripts_->output());

    // The editor completes the names of the selected connection's tables
    // (and of the selected table's columns).
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { updateCompletion(); });
    // Enter or a double click on a table opens it in a query window.
    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { tableActivated(item); });
    queryClosing_ = std::make_unique<Event<MainWnd>>(this, &MainWnd::queryClosed);
    notifierId_ = ConnectionNotifier::subscribe(
        [this](DbConnection* source) { logic_->serverClosed(source); });
    treeChanged();
}

MainWnd::~MainWnd() {
    ConnectionNotifier::unsubscribe(notifierId_);
    // The query windows point at connections: they go first.
    queryWindows_.clear();
    // Reads the windows left to finish alone use connections too; the
    // program is ending, so none waits for an answer from a server.
    QueryWnd::abandonBackgroundLoads();
    queryClosing_.reset();
    commands_.clear();
}

QAction* MainWnd::addCommand(QMenu* menu, const char* text, const char* image, const char* tip,
                             void (MainWnd::*op)(), int32_t (MainWnd::*state)(QAction*, int32_t),
                             const char* hotKey) {
    auto* entry = new QAction(QString::fromUtf8(text), this);
    if (image && *image) entry->setIcon(ImageStore::icon(image));
    entry->setObjectName(QString::fromUtf8(text));
    menu->addAction(entry);
    QAction* button = nullptr;
    if (tip && *tip) {
        button = new QAction(entry->icon(), QString::fromUtf8(tip), this);
        button->setToolTip(QString::fromUtf8(tip));
        toolBar_->addAction(button);
        if (QWidget* w = toolBar_->widgetForAction(button))
            w->setAccessibleName(QString::fromUtf8(tip));
    }
    auto command = std::make_unique<Command<MainWnd>>(this, op, state, String(hotKey));
    command->link(entry, button);
    command->setText(text);
    if (SApp* app = SApp::instance()) app->post(command.get());
    commands_.push_back(std::move(command));
    actions_.push_back(entry);
    // Until the first idle pass asks, show the state the command would get.
    if (state) {
        const int32_t s = (this->*state)(entry, 0);
        entry->setEnabled(s & CommandBase::kEnabled);
        if (button) button->setEnabled(s & CommandBase::kEnabled);
    }
    return entry;
}

void MainWnd::buildMenus() {
    toolBar_ = addToolBar(QStringLiteral("Herramientas"));
    toolBar_->setObjectName(QStringLiteral("Herramientas"));
    toolBar_->setAccessibleName(QStringLiteral("Herramientas"));
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setMovable(false);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Archivo"));
    addCommand(file, "Esquema de color", "", "", &MainWnd::colorScheme, nullptr);
    file->addSeparator();
    addCommand(file, "Salir", "", "", &MainWnd::quit, nullptr, "Ctrl+Q");

    QMenu* db = menuBar()->addMenu(QStringLiteral("&Base de datos"));
    QMenu* open = db->addMenu(QStringLiteral("Abrir base de datos"));
    open->setIcon(ImageStore::icon("OPEN"));
    addCommand(open, "Sqlite local", "DB_LOCAL", "Abrir sqlite", &MainWnd::openLocal, nullptr,
               "Ctrl+O");
    addCommand(open, "Sqlite server", "DB_SERVER", "Abrir sqlite server", &MainWnd::openServer,
               nullptr);
    addCommand(open, "mySql", "DB_MYSQL", "Abrir mySql", &MainWnd::openMySql, nullptr);
    addCommand(open, "ODBC", "DB_ODBC", "Abrir ODBC", &MainWnd::openOdbc, nullptr);
    QMenu* create = db->addMenu(QStringLiteral("Crear base de datos"));
    create->setIcon(ImageStore::icon("NEW"));
    addCommand(create, "Sqlite local", "DB_LOCAL", "", &MainWnd::createLocal, nullptr);
    addCommand(create, "Sqlite server", "DB_SERVER", "", &MainWnd::createServer, nullptr);
    addCommand(create, "mySql", "DB_MYSQL", "", &MainWnd::createMySql, nullptr);
    toolBar_->addSeparator();
    addCommand(db, "Cerrar base de datos", "CANCEL", "Cerrar", &MainWnd::closeDatabase,
               &MainWnd::onConnectionNode);
    db->addSeparator();
    addCommand(db, "Nueva ventana de consulta", "DB_QUERYWND", "Ventana de consulta",
               &MainWnd::newQueryWindow, &MainWnd::onConnectionOrTable, "Ctrl+T");
    addCommand(db, "Insertar registros", "DB_INSERT", "Insertar registros", &MainWnd::insertRows,
               &MainWnd::onTableNode);
    addCommand(db, "Establecer alias", "DB_DB", "Alias", &MainWnd::setAlias,
               &MainWnd::onConnectionNode);
    db->addSeparator();
    addCommand(db, "Ejecutar archivo sql", "", "", &MainWnd::runSqlFile,
               &MainWnd::onConnectionOrTable);
    addCommand(db, "Importar desde texto", "", "", &MainWnd::importText,
               &MainWnd::onConnectionOrTable);
    addCommand(db, "Dump database", "", "", &MainWnd::dumpDatabase, &MainWnd::onConnectionOrTable);

    toolBar_->addSeparator();
    QMenu* script = menuBar()->addMenu(QStringLiteral("&Script"));
    addCommand(script, "Nuevo script", "NEW", "Nuevo script", &MainWnd::newScript,
               &MainWnd::scriptIdle, "Ctrl+N");
    addCommand(script, "Abrir script", "OPEN", "Abrir script", &MainWnd::openScript,
               &MainWnd::scriptIdle);
    addCommand(script, "Guardar script", "SAVE", "Guardar script", &MainWnd::saveScript,
               &MainWnd::scriptIdle, "Ctrl+S");
    addCommand(script, "Guardar como...", "", "", &MainWnd::saveScriptAs, &MainWnd::scriptIdle);
    script->addSeparator();
    addCommand(script, "Ejecutar script", "DB_EJECUTAR", "Ejecutar", &MainWnd::runScript,
               &MainWnd::scriptIdle, "F5");
    addCommand(script, "Detener", "STOP", "Detener", &MainWnd::stopScript, &MainWnd::scriptRunning);
    addCommand(script, "Explain script", "", "", &MainWnd::explainScript, &MainWnd::scriptIdle);
    action("Detener")->setShortcut(QKeySequence(Qt::Key_Escape));

    QMenu* help = menuBar()->addMenu(QStringLiteral("A&yuda"));
    addCommand(help, "Acerca de...", "INFO", "", &MainWnd::about, nullptr);
}

QAction* MainWnd::action(const String& text) const {
    const QString wanted = q(text);
    for (QAction* a : actions_)
        if (a->objectName() == wanted) return a;
    return nullptr;
}

// ------------------------------------------------------------------ tree

int MainWnd::selectedConnection() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return item ? item->data(0, kConnectionRole).toInt() : -1;
}

int MainWnd::selectedTable() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return item ? item->data(0, kTableRole).toInt() : -1;
}

bool MainWnd::rootSelected() const {
    return tree_->currentItem() == root_;
}

void MainWnd::treeChanged() {
    // Keep what was selected and which connections were open.
    const int selConnection = selectedConnection();
    const int selTable = selectedTable();
    std::vector<bool> expanded;
    for (int i = 0; i < root_->childCount(); ++i)
        expanded.push_back(root_->child(i)->isExpanded());
    const int before = root_->childCount();

    qDeleteAll(root_->takeChildren());
    const auto& nodes = logic_->nodes();
    QTreeWidgetItem* select = nullptr;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const MainWndLogic::Node& n = nodes[i];
        auto* item = new QTreeWidgetItem(root_, QStringList(q(n.shown())));
        item->setIcon(0, ImageStore::icon(kindImage(n.kind, n.lost)));
        item->setData(0, kConnectionRole, int(i));
        item->setData(0, kTableRole, -1);
        item->setToolTip(0, q(n.database));
        for (size_t t = 0; t < n.tables.size(); ++t) {
            auto* table = new QTreeWidgetItem(item, QStringList(q(n.tables[t])));
            table->setIcon(0, ImageStore::icon("DB_TABLE"));
            table->setData(0, kConnectionRole, int(i));
            table->setData(0, kTableRole, int(t));
            if (int(i) == selConnection && int(t) == selTable) select = table;
        }
        item->setExpanded(i < expanded.size() ? bool(expanded[i]) : true);
        if (int(i) == selConnection && selTable < 0) select = item;
    }
    root_->setExpanded(true);
    // A new connection is selected; otherwise the selection stays where it was.
    if (int(nodes.size()) > before && !nodes.empty()) select = root_->child(int(nodes.size()) - 1);
    tree_->setCurrentItem(select ? select : root_);
}

// -------------------------------------------------------------- commands

void MainWnd::newQueryWindow() {
    openQueryWindow(selectedConnection(), String());
}

void MainWnd::tableActivated(QTreeWidgetItem* item) {
    const int c = item ? item->data(0, kConnectionRole).toInt() : -1;
    const int t = item ? item->data(0, kTableRole).toInt() : -1;
    const MainWndLogic::Node* n = logic_->node(c);
    if (!n || t < 0 || size_t(t) >= n->tables.size()) return;
    try {
        openQueryWindow(c, n->tables[size_t(t)]);
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
    }
}

void MainWnd::openQueryWindow(int connection, const String& table) {
    const MainWndLogic::Node* n = logic_->node(connection);
    if (!n) return;
    logic_->requireLive(connection);
    QueryWnd::Hooks hooks;
    hooks.closing = [this](QueryWnd* window) { queryClosing_->fire(window, nullptr); };
    hooks.tablesChanged = [this](DbConnection* c) { logic_->refresh(c); };
    hooks.workFolder = [this] { return logic_->workFolder(); };
    hooks.setWorkFolder = [this](const String& path) { logic_->setWorkFolderFrom(path); };
    hooks.designerMemory = [this] { return &designerMemory_; };
    std::unique_ptr<QueryWnd> window;
    {
        WaitCursor wait;
        window =
            std::make_unique<QueryWnd>(*n->connection, n->label, table, std::move(hooks), this);
    }
    window->show();
    window->raise();
    window->activateWindow();
    queryWindows_.push_back(std::move(window));
}

void MainWnd::queryClosed(void* window, void*) {
    // Hidden by its close; deleted here, in an idle pass, outside its own handlers.
    for (auto it = queryWindows_.begin(); it != queryWindows_.end(); ++it) {
        if (it->get() == window) {
            queryWindows_.erase(it);
            return;
        }
    }
}

void MainWnd::updateCompletion() {
    std::vector<String> words;
    const int c = selectedConnection();
    if (const MainWndLogic::Node* n = logic_->node(c); n && !n->lost) {
        words = n->tables;
        const int t = selectedTable();
        if (t >= 0 && size_t(t) < n->tables.size()) {
            try {
                DataSet info;
                if (n->connection->getTableInfo(n->tables[size_t(t)], &info) == 1 &&
                    info.hasColumn("name")) {
                    const int column = info.findNamedColumn("name");
                    for (int i = 0; i < info.rowCount(); ++i)
                        words.push_back(info.row(i)->cell(column)->toString());
                }
            } catch (const GeneralException&) {
                // Completion is a help: a table that cannot be described offers its name only.
            }
        }
    }
    scripts_->editor()->setCompletionWords(words);
}

void MainWnd::closeDatabase() {
    logic_->close(selectedConnection());
}

void MainWnd::setAlias() {
    logic_->setAlias(selectedConnection());
}

void MainWnd::quit() {
    close();
}

void MainWnd::runSqlFile() {
    const int c = selectedConnection();
    const MainWndLogic::Node* n = logic_->node(c);
    if (!n) return;
    logic_->requireLive(c);
    const String path = FileDialogs::openFile("Abrir archivo SQL", "Archivos sql (*.sql)|sql",
                                              logic_->workFolder());
    if (path.isEmpty()) return;
    DbConnection* connection = n->connection;
    bool ok = false;
    String error;
    {
        WaitCursor wait;
        SqlFileJob job(*connection);
        ok = job.run(path);
        error = job.error();
    }
    // A file may have made or dropped tables.
    logic_->refresh(connection);
    if (ok)
        MsgBox::info(SqlFileJob::kDone);
    else
        MsgBox::error(error);
}

void MainWnd::dumpDatabase() {
    const int c = selectedConnection();
    const MainWndLogic::Node* n = logic_->node(c);
    if (!n) return;
    logic_->requireLive(c);
    const String path = FileDialogs::saveFile(
        "Guardar como", "Archivos sql (*.sql)|sql:Todos los archivos (*.*)|", logic_->workFolder());
    if (path.isEmpty()) return;
    bool ok = false;
    String text;
    {
        WaitCursor wait;
        DatabaseDump dump(*n->connection, std::cout);
        ok = dump.run(path);
        text = ok ? dump.doneText() : dump.error();
    }
    if (ok)
        MsgBox::info(text);
    else
        MsgBox::error(text);
}

void MainWnd::importText() {
    const int c = selectedConnection();
    const MainWndLogic::Node* n = logic_->node(c);
    if (!n) return;
    logic_->requireLive(c);
    ImportarTexto wizard(*n->connection, logic_->workFolder(), this);
    wizard.exec();
}

void MainWnd::colorScheme() {
    ColorSchemaDlg dialog(this);
    dialog.exec();
    // Stored only when the person applied it.
    if (dialog.logic().applied() && dialogs_.storeColors)
        dialogs_.storeColors(dialog.logic().solid(), dialog.logic().gradient());
}

void MainWnd::insertRows() {
    const int c = selectedConnection();
    const int t = selectedTable();
    const MainWndLogic::Node* n = logic_->node(c);
    if (!n || t < 0 || size_t(t) >= n->tables.size()) return;
    logic_->requireLive(c);
    InsertDataDlg dialog(*n->connection, n->tables[size_t(t)], this);
    dialog.exec();
}

void MainWnd::about() {
    if (dialogs_.about) dialogs_.about(this);
}

int32_t MainWnd::onConnectionNode(QAction*, int32_t) {
    return selectedConnection() >= 0 && selectedTable() < 0 ? CommandBase::kEnabled : 0;
}

int32_t MainWnd::onConnectionOrTable(QAction*, int32_t) {
    return selectedConnection() >= 0 ? CommandBase::kEnabled : 0;
}

int32_t MainWnd::onTableNode(QAction*, int32_t) {
    return selectedTable() >= 0 ? CommandBase::kEnabled : 0;
}

void MainWnd::print(const String& text) {
    scripts_->print(text);
}

// ---------------------------------------------------------------- scripts

QPlainTextEdit* MainWnd::output() const {
    return scripts_->output();
}
CodeEditor* MainWnd::editor() const {
    return scripts_->editor();
}
ScriptEditorLogic* MainWnd::scriptLogic() {
    return scripts_->logic();
}

void MainWnd::newScript() {
    scripts_->newScript();
}
void MainWnd::openScript() {
    scripts_->openScript();
}
void MainWnd::saveScript() {
    scripts_->saveScript();
}
void MainWnd::saveScriptAs() {
    scripts_->saveScriptAs();
}
void MainWnd::runScript() {
    scripts_->runScript();
}
void MainWnd::explainScript() {
    scripts_->explainScript();
}
void MainWnd::stopScript() {
    scripts_->stopScript();
}

int32_t MainWnd::scriptIdle(QAction*, int32_t) {
    return scripts_->logic() && !scripts_->running() ? CommandBase::kEnabled : 0;
}

int32_t MainWnd::scriptRunning(QAction*, int32_t) {
    return scripts_->running() ? CommandBase::kEnabled : 0;
}

void MainWnd::scriptBusy(bool running) {
    // While a run goes on only "Detener" acts; the controls come back after.
    if (running) {
        savedStates_.clear();
        for (QAction* a : actions_) {
            savedStates_.emplace_back(a, a->isEnabled());
            a->setEnabled(a->objectName() == QStringLiteral("Detener"));
        }
        for (QAction* b : toolBar_->actions()) {
            savedStates_.emplace_back(b, b->isEnabled());
            b->setEnabled(b->toolTip() == QStringLiteral("Detener"));
        }
        tree_->setEnabled(false);
        return;
    }
    tree_->setEnabled(true);
    for (auto& [a, on] : savedStates_)
        a->setEnabled(on);
    savedStates_.clear();
    if (QAction* stop = action("Detener")) stop->setEnabled(false);
    for (QAction* b : toolBar_->actions())
        if (b->toolTip() == QStringLiteral("Detener")) b->setEnabled(false);
}

void MainWnd::closeEvent(QCloseEvent* event) {
    // The window cannot go while a script runs on it: the run is asked to stop.
    if (scripts_->running()) {
        scripts_->stopScript();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// ------------------------------------------------------------------- Ui

String MainWnd::openFile(const String& title, const String& filter, const String& folder) {
    return FileDialogs::openFile(title, filter, folder);
}

bool MainWnd::askText(const String& title, const String& prompt, String& value) {
    return InputBox::ask(title, prompt, value);
}

void MainWnd::message(const String& text, const String& icon) {
    MsgBox::show(text, icon, icon);
}

bool MainWnd::serverDialog(int kind, DbConnection& connection, String& host, int& port,
                           String& database) {
    if (!dialogs_.server) return false;
    return dialogs_.server(kind, connection, host, port, database, this);
}

}  // namespace VORLIN
