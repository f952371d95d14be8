// TableJoinDlg: "Relación entre tablas", the modal window that edits one
// relation of the query designer: "Tabla 1: " and its "Campo: ", "Tabla 2: "
// and its "Campo: ", "Relación: " (the join type, with what it gives shown
// below it), OK and "Cancelar". Choosing a table refills its "Campo: "
// list. What is chosen lives in the TableJoinLogic the caller passes; OK
// closes only when the logic has no problem (else "ALERT").
//
// Ownership: the logic is the caller's and must outlive the window.
// Threads: the UI thread. Nothing here throws.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class TableJoinLogic;

class TableJoinDlg : public QDialog {
public:
    explicit TableJoinDlg(TableJoinLogic& logic, QWidget* parent = nullptr);

    TableJoinLogic& logic() noexcept { return logic_; }
    // side 0 or 1.
    QComboBox* tableList(int side) const noexcept { return tables_[side ? 1 : 0]; }
    QComboBox* fieldList(int side) const noexcept { return fields_[side ? 1 : 0]; }
    QComboBox* joinList() const noexcept { return join_; }
    QLabel* meaning() const noexcept { return meaning_; }

    void accept() override;

private:
    void fillFields(int side);

    TableJoinLogic& logic_;
    QComboBox* tables_[2] = {nullptr, nullptr};
    QComboBox* fields_[2] = {nullptr, nullptr};
    QComboBox* join_ = nullptr;
    QLabel* meaning_ = nullptr;
    bool filling_ = false;
};
