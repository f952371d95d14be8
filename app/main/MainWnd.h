// MainWnd: the main window of the desktop client, "VORLIN Quelmir": the
// menus and tool bar, the tree "CONEXIONES" of the open connections with
// their tables, the script editor and the output pane. What the commands
// do is MainWndLogic's; this class builds the controls, keeps each
// command's enabled state in step with the selected node (through the
// idle pass), and forwards what the person does.
//
// The server dialogs and the about box are handed in by the application
// (Dialogs), so that this window needs no knowledge of the connection
// windows. When a remote server goes away (ConnectionNotifier, delivered on
// the UI thread), the connection's node is marked.
//
// Ownership: the application owns the main window; the window owns its
// widgets, commands, logic and the designer memory, never the
// connections. Threads: the UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QMainWindow>

#include "app/designer/DesignerMemory.h"
#include "app/main/MainWndLogic.h"
#include "app/main/ScriptEditorLogic.h"
#include "ui/Event.h"

class QAction;
class QCloseEvent;
class QMenu;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QToolBar;
class QueryWnd;

namespace VORLIN {

class CodeEditor;
class CommandBase;
class DataRow;
class ScriptEditorLogic;
class ScriptPaneWidget;
class ScriptSession;

class MainWnd : public QMainWindow, private MainWndLogic::Ui {
public:
    static constexpr const char* kTitle = MainWndLogic::kTitle;

    struct Dialogs {
        // The server dialog of a kind (see MainWndLogic::Ui::serverDialog).
        std::function<bool(int kind, DbConnection& connection, String& host, int& port,
                           String& database, QWidget* parent)>
            server;
        std::function<void(QWidget* parent)> about;
        // Stores an applied colour scheme (the configuration store).
        std::function<void(const DataRow& solid, const DataRow& gradient)> storeColors;
    };

    // `scripts` (may be null: the Script menu stays disabled) runs the
    // editor's scripts; `traceFile` answers where "Explain script" writes.
    MainWnd(MainWndLogic::Environment environment, Dialogs dialogs = Dialogs(),
            ScriptSession* scripts = nullptr);
    ~MainWnd() override;

    MainWndLogic& logic() noexcept { return *logic_; }
    void setDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }
    QTreeWidget* tree() const noexcept { return tree_; }
    // The last design of the query designer, kept while the program runs
    // and offered to every query window's designer.
    DesignerMemory& designerMemory() noexcept { return designerMemory_; }
    // The open query windows, oldest first.
    const std::vector<std::unique_ptr<QueryWnd>>& queryWindows() const noexcept {
        return queryWindows_;
    }
    QPlainTextEdit* output() const;
    CodeEditor* editor() const;
    ScriptEditorLogic* scriptLogic();
    // Appends a line to the output pane.
    void print(const String& text);
    // The action of a menu entry by its text ("Cerrar base de datos"), or null.
    QAction* action(const String& text) const;

    // The selected node: its connection index (-1: root or none) and, for a
    // table node, the table index (-1 otherwise).
    int selectedConnection() const;
    int selectedTable() const;
    bool rootSelected() const;

private:
    // --- MainWndLogic::Ui ---
    String openFile(const String& title, const String& filter, const String& folder) override;
    bool askText(const String& title, const String& prompt, String& value) override;
    void message(const String& text, const String& icon) override;
    bool serverDialog(int kind, DbConnection& connection, String& host, int& port,
                      String& database) override;
    void treeChanged() override;

    // --- commands ---
    void openLocal() { logic_->open(MainWndLogic::Local); }
    void openServer() { logic_->open(MainWndLogic::Server); }
    void openMySql() { logic_->open(MainWndLogic::MySql); }
    void openOdbc() { logic_->open(MainWndLogic::Odbc); }
    void createLocal() { logic_->create(MainWndLogic::Local); }
    void createServer() { logic_->create(MainWndLogic::Server); }
    void createMySql() { logic_->create(MainWndLogic::MySql); }
    void closeDatabase();
    void newQueryWindow();
    void openQueryWindow(int connection, const String& table);
    void tableActivated(QTreeWidgetItem* item);
    void queryClosed(void* window, void*);
    void updateCompletion();
    void setAlias();
    void quit();
    void about();
    void nothing() {}
    void colorScheme();
    void runSqlFile();
    void importText();
    void dumpDatabase();
    void insertRows();
    void newScript();
    void openScript();
    void saveScript();
    void saveScriptAs();
    void runScript();
    void explainScript();
    void stopScript();
    void scriptBusy(bool running);
    void closeEvent(QCloseEvent* event) override;

    // --- states ---
    int32_t always(QAction*, int32_t) { return 1; }
    int32_t onConnectionNode(QAction*, int32_t);
    int32_t onConnectionOrTable(QAction*, int32_t);
    int32_t onTableNode(QAction*, int32_t);
    int32_t notYet(QAction*, int32_t) { return 0; }
    int32_t scriptIdle(QAction*, int32_t);
    int32_t scriptRunning(QAction*, int32_t);

    void buildMenus();
    QAction* addCommand(QMenu* menu, const char* text, const char* image, const char* tip,
                        void (MainWnd::*op)(), int32_t (MainWnd::*state)(QAction*, int32_t),
                        const char* hotKey = "");

    std::unique_ptr<MainWndLogic> logic_;
    Dialogs dialogs_;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    ScriptPaneWidget* scripts_ = nullptr;
    std::vector<std::pair<QAction*, bool>> savedStates_;
    QToolBar* toolBar_ = nullptr;
    std::vector<std::unique_ptr<CommandBase>> commands_;
    DesignerMemory designerMemory_;
    std::vector<std::unique_ptr<QueryWnd>> queryWindows_;
    std::unique_ptr<Event<MainWnd>> queryClosing_;
    std::vector<QAction*> actions_;
    int notifierId_ = -1;
};

}  // namespace VORLIN
