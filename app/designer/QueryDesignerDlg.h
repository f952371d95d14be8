// QueryDesignerDlg: "Diseñador de consultas", the modal window in which a
// person composes a SELECT, UPDATE or DELETE statement over one
// connection. Left, the tree "TABLAS" (the database, its tables, their
// columns: Enter or a double click on a column adds it to the design);
// right, "Tipo: ", the grid "Columnas de la consulta" (check boxes, choice
// lists and typed cells that refuse characters their column does not
// allow; "..." or F4 or Ctrl+E opens a cell in "Zoom de la propiedad";
// Delete or "Quitar" takes the selected row out), the list "Relaciones
// entre tablas: " with "+", "!" and "-", and the commands "Limpiar",
// "Guardar", "Abrir", "Salir" and "Procesar". What each does is
// QueryDesignerLogic's.
//
// exec() answers 1 after "Procesar" succeeded, and sql() then holds the
// statement; "Salir" or Escape answer 0. No button is the default one:
// Enter in the tree or the grid never closes the window.
//
// Ownership: the connection and the memory (may be null) are the
// caller's. Threads: the UI thread. Nothing here throws.
#pragma once

#include <memory>

#include <QDialog>

#include "app/designer/QueryDesignerLogic.h"

class QComboBox;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;
class QTreeWidgetItem;

class QueryDesignerDlg : public QDialog, private QueryDesignerLogic::Ui {
public:
    // Grid units (the column widths of the design) to pixels: a unit is a
    // fifth of the font's average character width.
    static constexpr int kUnitsPerChar = 5;

    // `folder`: where the file dialogs of "Guardar" and "Abrir" start.
    QueryDesignerDlg(VORLIN::DbConnection& connection, DesignerMemory* memory,
                     const VORLIN::String& folder = VORLIN::String(), QWidget* parent = nullptr);
    ~QueryDesignerDlg() override;

    QueryDesignerLogic& logic() noexcept { return *logic_; }
    // The statement "Procesar" made (empty before).
    const VORLIN::String& sql() const noexcept { return logic_->sql(); }

    QTreeWidget* tree() const noexcept { return tree_; }
    QComboBox* typeList() const noexcept { return type_; }
    QTableWidget* grid() const noexcept { return grid_; }
    QListWidget* relations() const noexcept { return relations_; }
    // A button by its caption without mnemonic ("Procesar", "+", "...").
    QPushButton* button(const char* text) const;
    // The tree item of a table, or of one of its columns (read on demand).
    QTreeWidgetItem* tableItem(const VORLIN::String& table) const;
    QTreeWidgetItem* columnItem(const VORLIN::String& table, const VORLIN::String& column);

    // What the controls do (tests call them as the controls do).
    void chooseItem(QTreeWidgetItem* item);
    void zoomCell();
    void removeCurrentRow();
    void addRelation();
    void editRelation();
    void removeRelation();
    void clearDesign();
    void saveDesign();
    void openDesign();
    void process();
    // Shows the design anew: "Tipo: ", the grid and the relations.
    void showDesign();

protected:
    // Delete in the grid and in the relations list.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- QueryDesignerLogic::Ui ---
    QueryDesignerLogic::Ui& ui() noexcept { return *this; }
    void message(const VORLIN::String& text, const char* icon) override;
    VORLIN::String saveFile(const VORLIN::String& title, const VORLIN::String& filter) override;
    VORLIN::String openFile(const VORLIN::String& title, const VORLIN::String& filter) override;
    bool askRelation(TableJoinLogic& join) override;
    bool confirm(const VORLIN::String& text) override;

    void fillTree();
    void fillColumns(QTreeWidgetItem* table);
    void fillGrid();
    void fillRelations();
    void cellChanged(QTableWidgetItem* item);
    void typeChosen(int index);
    void finishEditing();
    void updateButtons();
    // The next file dialog starts in the folder of `path`.
    void keepFolder(const VORLIN::String& path);

    std::unique_ptr<QueryDesignerLogic> logic_;
    VORLIN::String folder_;
    QTreeWidget* tree_ = nullptr;
    QComboBox* type_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QListWidget* relations_ = nullptr;
    bool filling_ = false;
};
