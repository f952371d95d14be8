// Paso2: the second page of the text import wizard: "Importar a: " (the
// connection's tables), the lists "Campos del archivo" and "Campos de la
// tabla", the edit "Constante: ", the list "Relaciones", and the buttons
// that add a field relation, add a constant relation and "Borrar" the
// selected one.
//
// Ownership: a child of the wizard; the logic is the wizard's. Threads: the
// UI thread. Nothing escapes: failures (a table that cannot be described)
// are shown with MsgBox "ERROR".
#pragma once

#include <QWidget>

class ImportarTextoLogic;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class Paso2 : public QWidget {
public:
    Paso2(ImportarTextoLogic& logic, QWidget* parent = nullptr);

    // Entering the page: the tables, the file fields, no relation.
    void enter();
    void chooseTable(int index);
    void addField();
    void addConstant();
    void removeRelation();

    QComboBox* tableBox() const { return table_; }
    QListWidget* fileFields() const { return fileFields_; }
    QListWidget* tableFields() const { return tableFields_; }
    QLineEdit* constantEdit() const { return constant_; }
    QListWidget* relations() const { return relations_; }
    QPushButton* addFieldButton() const { return addField_; }
    QPushButton* addConstantButton() const { return addConstant_; }
    QPushButton* deleteButton() const { return delete_; }

private:
    void showRelations();

    ImportarTextoLogic& logic_;
    QComboBox* table_;
    QListWidget* fileFields_;
    QListWidget* tableFields_;
    QLineEdit* constant_;
    QListWidget* relations_;
    QPushButton* addField_;
    QPushButton* addConstant_;
    QPushButton* delete_;
    bool filling_ = false;
};
